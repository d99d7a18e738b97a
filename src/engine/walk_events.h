// What a long walk over a database tells whoever runs it, whatever it looks for: how far it is,
// moments to let events run, and what it found out about the files it reads. The category scan and
// the carve of every table both speak through it; the window and the command line listen.
#pragma once

#include <cstdint>
#include <string>

namespace pc {

// Something about the files read, besides the rows.
struct SourceNote {
    enum class Kind {
        OpenFailed,    // the database file could not be opened
        ReadFailed,    // it could not be read whole: what was read is scanned
        Incomplete,    // the header claims `count` pages (`bytes` bytes) more than the file holds
        PastHeader,    // the file holds `count` whole pages past the header's page count; read
        BadRoot,       // the schema gives table `file` root page `count`, no page of a b-tree
        Unreached,     // `count` table leaves no structure reaches hold live rows: pages `detail`
        LogRead,       // `file`, a write-ahead log: `count` frames, `committed` of them committed
        JournalRead,   // `file`, a rollback journal: `count` records
        HotJournal,    // `file` holds a transaction that never committed; read as rolled back
        Unrecognised,  // `file` lies beside the database but is not its log or journal
        Unreadable,    // `file` could not be read: `detail`; the result lacks what it holds
    };
    Kind kind;
    std::string file;
    std::uint64_t count = 0;
    std::uint64_t committed = 0;
    std::uint64_t bytes = 0;
    std::string detail;
};

class WalkEvents {
  public:
    virtual ~WalkEvents() = default;
    virtual void noted(const SourceNote& note) = 0;
    // The pages and older images to read: progress runs from 0 to `maximum`, each step reading
    // `stepBytes` bytes.
    virtual void progressRange(std::uint32_t maximum, std::uint32_t stepBytes) = 0;
    // Page or image `index` is about to be read: a moment to show progress and let events run.
    virtual void pageReached(std::uint32_t index) = 0;
    // A moment in a long loop without pages to let events run; cheap when called often.
    virtual void idle() = 0;
};

}  // namespace pc
