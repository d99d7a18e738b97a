// A scan host that keeps everything a scanner reports, for tests to look at.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "result_store.h"
#include "scan_host.h"

namespace pc::testing {

struct ShownMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    bool operator==(const ShownMessage&) const = default;
};

inline void PrintTo(const ShownMessage& m, std::ostream* os) {
    *os << "\"" << m.text << "\" (" << m.caption << ", icon " << static_cast<int>(m.icon) << ")";
}

class RecordingHost : public ScanHost {
  public:
    struct Branch {
        CategoryCode code;
        std::string counts;  // "(12)(10)(2)" once set
    };

    void clearRows() override { rows.clear(); }
    void addCategoryBranch(CategoryCode code) override {
        branches.insert(branches.begin(), {code, ""});
    }
    void setBranchCounts(std::int32_t found, std::int32_t deleted) override;
    void rowAdded(CategoryCode code, std::uint32_t index) override {
        rows.push_back({code, index});
    }
    void setStatus(int panel, const std::string& text) override {
        status[panel == 0 ? 0 : 1] = text;
    }
    void log(const std::string& message) override { logRows.push_back(message); }
    void setCommandState(CommandState state) override { commandStates.push_back(state); }
    void setProgressRange(std::uint32_t maximum, std::uint32_t) override { progressMax = maximum; }
    void pageReached(std::uint32_t page) override;
    void pumpEvents() override {}
    void showMessage(const std::string& text, const std::string& caption,
                     MessageIcon icon) override {
        messages.push_back({text, caption, icon});
    }
    void showError(const std::string& text) override { errors.push_back(text); }
    void addTablesBranch(const RecoveredRowStore& store) override {
        tablesBranches.push_back(store.tableCount());
    }

    std::vector<std::pair<CategoryCode, std::uint32_t>> rows;
    std::vector<std::size_t> tablesBranches;  // the tables each "其它表" branch showed
    std::vector<Branch> branches;
    std::string status[2];  // panels 0 and 2
    std::vector<std::string> logRows;
    std::vector<CommandState> commandStates;
    std::uint32_t progressMax = 0;
    std::vector<std::uint32_t> pages;
    std::vector<ShownMessage> messages;
    std::vector<std::string> errors;
    std::function<void(std::uint32_t)> onPage;  // e.g. a stop request during a given page
};

}  // namespace pc::testing
