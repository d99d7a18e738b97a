#include "carve_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "ascii_case.h"
#include "file_error.h"
#include "recovered_rows_output.h"
#include "scan_command.h"
#include "table_recovery.h"
#include "terminal_progress.h"

namespace pc::cli {

namespace {

void note(const CarveOptions& o, const std::string& text, bool always = false) {
    if (!o.quiet || always) std::fprintf(stderr, "%s\n", text.c_str());
}

// Only the tables asked for, by name (ASCII letters in either case); the rest of the file still
// competed for the bytes when the rows were found.
// Keeps the tables named (ASCII letters compared without regard to case) and their rows; returns
// the names no table has.
std::vector<std::string> keepTables(Recovery& r, const std::vector<std::string>& names) {
    if (names.empty()) return {};
    std::vector<std::string> unknown;
    for (const std::string& n : names)
        if (std::none_of(r.tables.begin(), r.tables.end(),
                         [&](const TableShape& t) { return asciiLower(n) == asciiLower(t.name); }))
            unknown.push_back(n);
    std::vector<std::optional<std::size_t>> moved(r.tables.size());
    std::vector<TableShape> kept;
    for (std::size_t t = 0; t < r.tables.size(); ++t)
        if (std::any_of(names.begin(), names.end(), [&](const std::string& n) {
                return asciiLower(n) == asciiLower(r.tables[t].name);
            })) {
            moved[t] = kept.size();
            kept.push_back(std::move(r.tables[t]));
        }
    std::erase_if(r.rows, [&](const RecoveredRow& row) { return !moved[row.table]; });
    for (RecoveredRow& row : r.rows)
        row.table = *moved[row.table];
    r.tables = std::move(kept);
    return unknown;
}

int writeJsonLines(const CarveOptions& o, const Recovery& r) {
    std::FILE* out = stdout;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    if (o.out) {
        file.reset(std::fopen(o.out->c_str(), "wx"));  // never over an existing file
        if (!file) {
            note(o, "Cannot create file \"" + *o.out + "\". " + std::strerror(errno), true);
            return kSomethingFailed;
        }
        out = file.get();
    }
    std::string buffer;
    for (const RecoveredRow& row : r.rows) {
        appendRecoveredJson(buffer, r, row);
        if (buffer.size() >= (256u << 10)) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    if (std::fflush(out) != 0) {
        note(o, "Stream write error", true);
        return kSomethingFailed;
    }
    return kAllScanned;
}

int writeRows(const CarveOptions& o, const Recovery& r) {
    try {
        switch (o.format) {
            case CarveFormat::Jsonl: return writeJsonLines(o, r);
            case CarveFormat::Csv: {
                std::error_code ec;
                std::filesystem::create_directories(*o.out, ec);
                for (const std::string& path : writeRecoveredCsv(r, *o.out))
                    note(o, "已保存 " + path);
                return kAllScanned;
            }
            case CarveFormat::Sqlite:
                writeRecoveredDatabase(r, *o.out);
                note(o, "已保存 " + *o.out);
                return kAllScanned;
        }
    } catch (const ExportError& e) {
        note(o, e.what(), true);
    }
    return kSomethingFailed;
}

}  // namespace

int runCarveCommand(const CarveOptions& o) {
    Recovery r;
    try {
        RecoveryOptions options;
        options.allCopies = o.allCopies;
        TerminalProgress progress(o.quiet);
        options.progress = [&](std::uint64_t done, std::uint64_t total) {
            progress.show(o.file, done, total);
        };
        r = recoverTables(o.file, options);
        progress.clear();
    } catch (const NotADatabase& e) {
        note(o, e.what(), true);
        return kSomethingFailed;
    } catch (const FileError& e) {
        note(o, e.what(), true);
        return kSomethingFailed;
    }
    const std::vector<std::string> unknown = keepTables(r, o.tables);
    for (const std::string& name : unknown)
        note(o, o.file + ": no table named \"" + name + "\"", true);
    const auto deleted = std::count_if(r.rows.begin(), r.rows.end(), [](const RecoveredRow& row) {
        return row.state == RecordState::Deleted;
    });
    auto count = [](std::size_t n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    note(o, o.file + ": " + count(r.tables.size(), "table") + ", " + count(r.rows.size(), "row") +
                ", " + std::to_string(deleted) + " deleted");
    const int status = writeRows(o, r);
    // A table asked for that the file does not have is a failure, after the others are written.
    return unknown.empty() ? status : kSomethingFailed;
}

}  // namespace pc::cli
