// The files a database is read from: the database itself, and the side files SQLite keeps beside
// it under its name with a suffix, named here once for everything that reads, copies or removes
// them.
#pragma once

#include <cstdint>
#include <string>

namespace pc {

// The file a page image, and so a found row, comes from: the database itself, its write-ahead log
// or its rollback journal.
enum class SourceFile : std::uint8_t { Main = 0, Wal = 1, Journal = 2 };

struct SideFileKind {
    SourceFile source;
    const char* suffix;
};
inline constexpr SideFileKind kSideFiles[] = {{SourceFile::Wal, "-wal"},
                                              {SourceFile::Journal, "-journal"}};

// "" for the database itself, "-wal" or "-journal".
constexpr const char* sideSuffix(SourceFile source) {
    for (const SideFileKind& k : kSideFiles)
        if (k.source == source) return k.suffix;
    return "";
}

// The path of the file `source` of the database at `database`.
inline std::string sideFilePath(const std::string& database, SourceFile source) {
    return database + sideSuffix(source);
}

}  // namespace pc
