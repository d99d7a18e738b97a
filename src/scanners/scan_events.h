// What a scan tells whoever runs it, in no one's words: the window and the command line each say
// it their own way (WindowWords for the window's panels, tree, log and boxes).
#pragma once

#include <cstdint>
#include <string>

#include "result_types.h"
#include "walk_events.h"

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

class ScanEvents : public WalkEvents {
  public:
    // A scan of `code` begins; its rows so far are gone from the store.
    virtual void started(CategoryCode code) = 0;
    // A row was appended to the store at `index`.
    virtual void rowKept(CategoryCode code, std::uint32_t index, RecordState state) = 0;
    virtual void finished(CategoryCode code, std::int32_t found, std::int32_t deleted) = 0;
    virtual void failed(CategoryCode code, const ScanFailure& failure) = 0;
};

}  // namespace pc
