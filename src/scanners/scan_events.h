// What a scan tells whoever runs it, in no one's words: the window and the command line each say
// it their own way (WindowWords for the window's panels, tree, log and boxes).
#pragma once

#include <cstdint>
#include <string>

#include "result_types.h"

namespace pc {

// Why a scan ended early.
struct ScanFailure {
    enum class Reason {
        NotADatabase,     // no SQLite 3 header (or none could be read)
        MissingTable,     // the category's table is not in the database
        EmptyDefinition,  // its definition is empty, or what else it needs is missing
        Error,            // a file or SQLite error, `detail` its text
    };
    Reason reason;
    std::string detail;
};

// Something about the files read, besides the rows.
struct SourceNote {
    enum class Kind {
        OpenFailed,    // the database file could not be opened
        ReadFailed,    // it could not be read whole: what was read is scanned
        Incomplete,    // the header claims `count` pages (`bytes` bytes) more than the file holds
        LogRead,       // `file`, a write-ahead log: `count` frames, `committed` of them committed
        JournalRead,   // `file`, a rollback journal: `count` records
        HotJournal,    // `file` holds a transaction that never committed; read as rolled back
        Unrecognised,  // `file` lies beside the database but is not its log or journal
        Unreadable,    // `file` could not be read: `detail`
    };
    Kind kind;
    std::string file;
    std::uint64_t count = 0;
    std::uint64_t committed = 0;
    std::uint64_t bytes = 0;
    std::string detail;
};

class ScanEvents {
  public:
    virtual ~ScanEvents() = default;
    // A scan of `code` begins; its rows so far are gone from the store.
    virtual void started(CategoryCode code) = 0;
    virtual void noted(const SourceNote& note) = 0;
    // The pages and older images to read: progress runs from 0 to `maximum`, each step reading
    // `stepBytes` bytes.
    virtual void progressRange(std::uint32_t maximum, std::uint32_t stepBytes) = 0;
    // Page or image `index` is about to be read: a moment to show progress and let events run.
    virtual void pageReached(std::uint32_t index) = 0;
    // A moment in a long loop without pages to let events run; cheap when called often.
    virtual void idle() = 0;
    // A row was appended to the store at `index`.
    virtual void rowKept(CategoryCode code, std::uint32_t index, RecordState state) = 0;
    virtual void finished(CategoryCode code, std::int32_t found, std::int32_t deleted) = 0;
    virtual void failed(CategoryCode code, const ScanFailure& failure) = 0;
};

}  // namespace pc
