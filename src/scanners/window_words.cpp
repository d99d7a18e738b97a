#include "window_words.h"

#include "category_profile.h"

namespace pc {

namespace {

constexpr const char* kInvalidFile = "无效的数据文件！";
constexpr const char* kOpenDeviceError = "Open the device error......";
constexpr const char* kReadDeviceError = "Read then device error......";

}  // namespace

std::string totalsText(CategoryCode code, std::int32_t found, std::int32_t deleted) {
    return "扫描完成,共找到 " + std::to_string(found) + " 条" + profileOf(code).noun + ", 其中有" +
           std::to_string(deleted) + "条删除";
}

std::string failureText(CategoryCode code, const ScanFailure& failure) {
    using Reason = ScanFailure::Reason;
    switch (failure.reason) {
        case Reason::NotADatabase: return kInvalidFile;
        case Reason::Error: return failure.detail;
        case Reason::MissingTable:
        case Reason::EmptyDefinition: break;
    }
    const CategoryProfile& p = profileOf(code);
    return failure.reason == Reason::MissingTable ? p.missingTable : p.emptyDefinition;
}

std::string noteText(const SourceNote& n) {
    using Kind = SourceNote::Kind;
    switch (n.kind) {
        case Kind::OpenFailed: return kOpenDeviceError;
        case Kind::ReadFailed: return kReadDeviceError;
        case Kind::Incomplete:
            return "文件不完整: 缺少 " + std::to_string(n.count) + " 页 (" +
                   std::to_string(n.bytes) + " 字节)";
        case Kind::PastHeader:
            return "数据库头记录的页数少于文件: 文件末尾另有 " + std::to_string(n.count) + " 页 (" +
                   std::to_string(n.bytes) + " 字节), 一并读取";
        case Kind::BadRoot:
            return "表 " + n.file + " 的根页 (" + std::to_string(n.count) +
                   ") 不是它的 b-tree: 在未被引用的页中查找它的行";
        case Kind::Unreached:
            return std::to_string(n.count) + " 个表页没有被任何结构引用, 其中的行按正常列出 (页 " +
                   n.detail + ")";
        case Kind::LogRead:
            return "读取日志文件 " + n.file + ": " + std::to_string(n.count) + " 帧, 其中 " +
                   std::to_string(n.committed) + " 帧已提交";
        case Kind::JournalRead:
            return "读取回滚日志 " + n.file + ": " + std::to_string(n.count) + " 页";
        case Kind::HotJournal:
            return n.file + " 中有未提交的事务: 按回滚后的数据库扫描, 数据库文件本身不变";
        case Kind::Unrecognised: return n.file + " 不是本数据库的日志文件或回滚日志, 未读取";
        case Kind::Unreadable: break;
    }
    return "无法读取 " + n.file + ": " + n.detail;
}

void WindowWords::started(CategoryCode code) {
    code_ = code;
    found_ = deleted_ = 0;
    countChanged_ = false;
    host_.clearRows();
    host_.addCategoryBranch(code);
    host_.log("扫描... ");
    host_.setStatus(0, "正在扫描...");
    host_.setCommandState(CommandState::Scanning);
}

void WindowWords::noted(const SourceNote& note) {
    // The device errors are boxes, as the window has always shown them; the rest log rows.
    if (note.kind == SourceNote::Kind::OpenFailed)
        host_.showMessage(noteText(note), "information", MessageIcon::Error);
    else if (note.kind == SourceNote::Kind::ReadFailed)
        host_.showMessage(noteText(note), "提示", MessageIcon::Error);
    else
        host_.log(noteText(note));
}

void WindowWords::pageReached(std::uint32_t index) {
    flushCount();
    host_.pageReached(index);
}

void WindowWords::idle() {
    flushCount();
    host_.pumpEvents();
}

void WindowWords::rowKept(CategoryCode code, std::uint32_t index, RecordState state) {
    host_.rowAdded(code, index);
    ++found_;
    if (state == RecordState::Deleted) ++deleted_;
    countChanged_ = true;
}

void WindowWords::flushCount() {
    if (!countChanged_) return;
    countChanged_ = false;
    host_.setStatus(2, "找到 " + std::to_string(found_) + " 条" + profileOf(code_).noun + ", " +
                           std::to_string(deleted_) + "条删除");
}

void WindowWords::finished(CategoryCode code, std::int32_t found, std::int32_t deleted) {
    found_ = found;
    deleted_ = deleted;
    countChanged_ = true;
    flushCount();
    host_.setStatus(0, "扫描完成");
    host_.log(totalsText(code, found, deleted));
    host_.setBranchCounts(found, deleted);
    host_.setCommandState(CommandState::Idle);
}

void WindowWords::failed(CategoryCode code, const ScanFailure& failure) {
    if (failure.reason == ScanFailure::Reason::Error)
        host_.showError(failure.detail);
    else
        host_.showMessage(failureText(code, failure), "提示", MessageIcon::Information);
    host_.setCommandState(CommandState::Idle);
}

void CarveWords::started(const std::string& path) {
    path_ = path;
    found_ = deleted_ = 0;
    countChanged_ = false;
    store_.clear();
    host_.log("其它表: " + path + " 扫描... ");
    host_.setStatus(0, "正在扫描...");
    host_.setCommandState(CommandState::Scanning);
}

void CarveWords::noted(const SourceNote& note) {
    host_.log(noteText(note));
}

void CarveWords::pageReached(std::uint32_t index) {
    flushCount();
    host_.pageReached(index);
}

void CarveWords::idle() {
    flushCount();
    host_.pumpEvents();
}

void CarveWords::tableFound(std::size_t index, const TableShape& table) {
    store_.addTable(index, table);
}

void CarveWords::rowFound(const RecoveredRowView& row) {
    store_.append(row);
    ++found_;
    if (row.state == RecordState::Deleted) ++deleted_;
    countChanged_ = true;
}

void CarveWords::flushCount() {
    if (!countChanged_) return;
    countChanged_ = false;
    host_.setStatus(
        2, "找到 " + std::to_string(found_) + " 条记录, " + std::to_string(deleted_) + "条删除");
}

void CarveWords::finished(bool stopped) {
    countChanged_ = true;
    flushCount();
    const std::string totals = "其它表: " + std::to_string(store_.tableCount()) + " 张表, 共找到 " +
                               std::to_string(found_) + " 条记录, 其中有" +
                               std::to_string(deleted_) + "条删除";
    host_.log(stopped ? totals + " (已停止, 部分结果)" : totals);
    host_.setStatus(0, stopped ? "已停止（部分结果）" : "扫描完成");
    host_.addTablesBranch(store_);
    host_.setCommandState(CommandState::Idle);
}

void CarveWords::failed(const std::string& reason) {
    host_.log(path_ + ": " + reason);
    host_.showMessage(reason, "提示", MessageIcon::Information);
    host_.setCommandState(CommandState::Idle);
}

}  // namespace pc
