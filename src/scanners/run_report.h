// What a run of the window did, database by database, and how the window says so at its end: a
// box per failure naming the file, one box of what each database gave, and the status bar's
// words for this run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan_host.h"

namespace pc {

class RunReport {
  public:
    enum class Outcome { Pending, Completed, Stopped, Failed, NotRun };
    struct Item {
        std::string what;  // as its branch says it: "短信", "短信 — 备份/mmssms.db", "其它表"
        std::string path;
        Outcome outcome = Outcome::Pending;
        std::string reason;  // of a failure
        std::int64_t found = 0, deleted = 0;
    };
    struct Box {
        std::string text;
        MessageIcon icon;
    };

    void clear() { *this = {}; }
    // Items in the order the run takes them.
    std::size_t add(std::string what, std::string path);
    Item& item(std::size_t i) { return items_.at(i); }
    const std::vector<Item>& items() const { return items_; }
    // Files left out because they hold the same bytes as one read.
    void setDuplicates(std::vector<std::string> files) { duplicates_ = std::move(files); }

    // The boxes that end the run: one per failure, then what each database gave (none when
    // every one failed: their boxes said it).
    std::vector<Box> endBoxes() const;
    // Status panel 0: "扫描完成", "已停止（部分结果）", "扫描失败", ...
    std::string endWord() const;
    // Status panel 2: this run's counts.
    std::string totals() const;

  private:
    std::size_t count(Outcome o) const;
    std::string line(const Item& item) const;

    std::vector<Item> items_;
    std::vector<std::string> duplicates_;
};

}  // namespace pc
