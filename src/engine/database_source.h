// A database as a scan reads it: the main file, and beside it the write-ahead log and the rollback
// journal SQLite would find (the same name with "-wal" or "-journal"), each mapped read-only and
// never created, written, removed or handed to SQLite. Together they make the newest state: the
// main file with the log's committed frames, or with a hot journal's pages put back. Every other
// page image they hold is an older one, for the carver.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "database_image.h"
#include "database_pages.h"
#include "mapped_file.h"
#include "source_file.h"

namespace pc {

class DatabaseSource {
  public:
    // The side files of the database at `path`, whose main file `image` is (and outlives this).
    DatabaseSource(const std::string& path, const DatabaseImage& image);
    DatabaseSource(const DatabaseSource&) = delete;
    DatabaseSource& operator=(const DatabaseSource&) = delete;

    const DatabasePages& newest() const { return *newest_; }

    // A page image older than the newest state: a main-file page a log frame or journal record
    // replaced, a page past the newest end, an earlier or uncommitted frame, a journal record.
    struct OldImage {
        SourceFile source;
        std::uint64_t offset;  // of the page in its file
        std::uint32_t page;    // the page number it is an image of; 0 where unknown
    };
    const std::vector<OldImage>& oldImages() const { return old_; }
    std::span<const std::uint8_t> file(SourceFile source) const { return newest_->file(source); }

    // What lay beside the database, for the log.
    struct SideFile {
        std::string path;
        bool present = false;
        std::string error;          // why it could not be read, when it could not
        bool recognised = false;    // a log or journal of this database
        std::size_t images = 0;     // frame slots or journal records
        std::size_t committed = 0;  // log frames that make the newest state
        bool hot = false;           // a journal of a transaction that never committed
    };
    const SideFile& wal() const { return wal_; }
    const SideFile& journal() const { return journal_; }

  private:
    void openSide(SideFile& side, MappedFile& map);
    void readWal(std::uint32_t& pageCount);
    void readJournal(std::uint32_t& pageCount);

    std::string path_;
    const DatabaseImage* image_;
    MappedFile walMap_, journalMap_;
    SideFile wal_, journal_;
    std::vector<DatabasePages::Replacement> replacements_;
    std::vector<OldImage> old_;
    std::optional<DatabasePages> newest_;
};

}  // namespace pc
