#include "run_report.h"

#include <algorithm>

namespace pc {

namespace {

std::string counted(std::int64_t found, std::int64_t deleted) {
    return std::to_string(found) + " 条，其中删除 " + std::to_string(deleted) + " 条";
}

}  // namespace

std::size_t RunReport::add(std::string what, std::string path) {
    items_.push_back({std::move(what), std::move(path), Outcome::Pending, {}, 0, 0});
    return items_.size() - 1;
}

std::size_t RunReport::count(Outcome o) const {
    return static_cast<std::size_t>(
        std::count_if(items_.begin(), items_.end(), [o](const Item& i) { return i.outcome == o; }));
}

std::string RunReport::line(const Item& i) const {
    switch (i.outcome) {
        case Outcome::Completed: return i.what + "：" + counted(i.found, i.deleted);
        case Outcome::Stopped: return i.what + "：已停止，找到 " + counted(i.found, i.deleted);
        case Outcome::Failed: return i.what + "：失败，" + i.reason;
        case Outcome::NotRun: return i.what + "：未扫描（已停止）";
        case Outcome::Pending: break;
    }
    return i.what + "：未扫描";
}

std::string RunReport::endWord() const {
    const std::size_t failed = count(Outcome::Failed);
    if (count(Outcome::Stopped) + count(Outcome::NotRun) > 0) return "已停止（部分结果）";
    if (failed > 0 && failed == items_.size()) return "扫描失败";
    if (failed > 0) return "扫描完成（" + std::to_string(failed) + " 项失败）";
    return "扫描完成";
}

std::vector<RunReport::Box> RunReport::endBoxes() const {
    std::vector<Box> boxes;
    for (const Item& i : items_)
        if (i.outcome == Outcome::Failed)
            boxes.push_back({"失败：" + i.path + "\n" + i.reason, MessageIcon::Error});
    if (!items_.empty() && count(Outcome::Failed) == items_.size()) return boxes;
    const std::string word = endWord();
    std::string text = word == "扫描完成" ? "扫描完成！" : word;
    if (items_.size() > 1 || !duplicates_.empty() || word != "扫描完成") {
        text += "\n";
        for (const Item& i : items_)
            text += "\n" + line(i);
        for (const std::string& d : duplicates_)
            text += "\n未重复扫描（与已扫描的文件内容相同）：" + d;
    }
    boxes.push_back({text, MessageIcon::Information});
    return boxes;
}

std::string RunReport::totals() const {
    std::string out;
    for (const Item& i : items_) {
        if (i.outcome != Outcome::Completed && i.outcome != Outcome::Stopped) continue;
        if (!out.empty()) out += "，";
        out +=
            i.what + " " + std::to_string(i.found) + " 条 (删除 " + std::to_string(i.deleted) + ")";
    }
    return out;
}

}  // namespace pc
