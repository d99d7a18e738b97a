#include "timeline_model.h"

#include <string_view>

#include "category_profile.h"
#include "result_columns.h"

namespace pc {

namespace {

constexpr const char* kHeadings[] = {"日期", "类别", "电话", "类型", "状态", "内容"};

// The cell of `code`'s rows headed `heading`; -1 when there is none.
int cellHeaded(CategoryCode code, std::string_view heading) {
    const auto& columns = ResultColumns(code);
    for (std::size_t c = 0; c < columns.size(); ++c)
        if (heading == columns[c].heading) return static_cast<int>(c);
    return -1;
}

}  // namespace

std::string timelineCell(const ResultStore& store, MessageRef r, int column) {
    const CategoryProfile& p = profileOf(r.code);
    auto cell = [&](int c) {
        return c < 0 ? std::string() : std::string(store.cellAt(r.code, r.row, std::size_t(c)));
    };
    switch (column) {
        case 0: return cell(p.searchDateCell);
        case 1: return p.branch;
        case 2: return cell(p.numberCell);
        case 3: return cell(cellHeaded(r.code, "类型"));
        case 4: return stateText(store.stateAt(r.code, r.row));
        default: break;
    }
    if (r.code != CategoryCode::CallLog) return cell(p.textCell);
    // A call: how long, and with whom.
    std::string text = "通话 " + cell(cellHeaded(r.code, "通话时长(秒)")) + " 秒";
    const std::string name = cell(cellHeaded(r.code, "姓名"));
    if (!name.empty() && name != "NULL") text += " " + name;
    return text;
}

TimelineModel::TimelineModel(const ResultStore& store, ListWork* work, QObject* parent)
    : QAbstractTableModel(parent), store_(store), work_(work) {
}

void TimelineModel::refresh() {
    const std::uint64_t asked = ++asked_;
    auto show = [this, asked](std::vector<MessageRef> made) {
        if (asked != asked_) return;
        beginResetModel();
        rows_ = std::move(made);
        endResetModel();
        emit refreshed();
    };
    std::size_t rows = 0;
    for (const CategoryCode code : kAllCategories)
        rows += static_cast<std::size_t>(store_.count(code));
    makeThenShow(
        work_, rows, [this] { return timelineOf(store_); }, show);
}

void TimelineModel::clear() {
    ++asked_;
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int TimelineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TimelineModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kHeadings));
}

QVariant TimelineModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const std::string text = timelineCell(store_, rowAt(index.row()), index.column());
    // One line in the list; the whole text is in the details.
    return QString::fromStdString(text).replace('\n', ' ');
}

QVariant TimelineModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= std::size(kHeadings))
        return {};
    return QString::fromUtf8(kHeadings[section]);
}

}  // namespace pc
