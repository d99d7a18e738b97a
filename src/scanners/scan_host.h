// The window's surface for a scan: what WindowWords turns a scan's events into (the window itself
// implements it, and so does a test that looks at what the window would show).
#pragma once

#include <cstdint>
#include <string>

#include "recovered_row_store.h"
#include "result_types.h"

namespace pc {

enum class MessageIcon { None, Information, Error, Question };
enum class CommandState { Idle, Scanning };

class ScanHost {
  public:
    virtual ~ScanHost() = default;

    virtual void clearRows() = 0;
    virtual void addCategoryBranch(CategoryCode code) = 0;
    // Appends the counts to the topmost branch and expands the tree.
    virtual void setBranchCounts(std::int32_t found, std::int32_t deleted) = 0;
    // A record was appended to the store at `index`: show its row.
    virtual void rowAdded(CategoryCode code, std::uint32_t index) = 0;
    virtual void setStatus(int panel, const std::string& text) = 0;
    virtual void log(const std::string& message) = 0;
    virtual void setCommandState(CommandState state) = 0;
    // Progress runs from 0 to `maximum`, each step reading `stepBytes` bytes.
    virtual void setProgressRange(std::uint32_t maximum, std::uint32_t stepBytes) = 0;
    // Page `page` is about to be carved: move the progress and let pending events run.
    virtual void pageReached(std::uint32_t page) = 0;
    // Lets pending events run during long loops that have no pages; cheap when called often.
    virtual void pumpEvents() = 0;
    virtual void showMessage(const std::string& text, const std::string& caption,
                             MessageIcon icon) = 0;
    // An error no command handles: the application's own error report.
    virtual void showError(const std::string& text) = 0;
    // The carve of every table of a file ended: its tables, with their rows, in the "其它表"
    // branch.
    virtual void addTablesBranch(const RecoveredRowStore& store) = 0;
};

}  // namespace pc
