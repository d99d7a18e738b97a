// The category tree: per scanned category a root for all its rows and two children for its
// normal and its deleted rows. The newest branch is at the top; the other tables of a carved
// file have a branch of their own at the bottom.
#pragma once

#include <QTreeWidget>

#include <cstdint>
#include <optional>
#include <string>

#include "recovered_row_store.h"
#include "result_types.h"

namespace pc {

class CategoryTree {
  public:
    explicit CategoryTree(QTreeWidget& view) : view_(view) {}

    void clearTree();
    // `file`: the database's name, shown beside the category's where a run read several of a
    // kind; `part`: which of them the branch's nodes show.
    void addCategoryBranch(CategoryCode code, const std::string& file = {},
                           PartIndex part = kWholeCategory);
    // Appends the counts to the three texts of the topmost branch and expands every node.
    void setBranchCounts(std::int32_t found, std::int32_t deleted);

    // The "其它表" branch, last: a node per table of `recovery` with its normal and deleted
    // children, each with its count.
    void addTablesBranch(const RecoveredRowStore& store);

    // "时间线", last: every message and call of the run in time order; `rows` of them.
    void addTimelineNode(std::size_t rows);
    static bool isTimeline(const QTreeWidgetItem* item);

    static std::optional<CategoryTag> tagOf(const QTreeWidgetItem* item);
    // The table and the rows of it a node of the "其它表" branch shows.
    struct TableTag {
        std::size_t table;
        RowFilter filter;
    };
    static std::optional<TableTag> tableTagOf(const QTreeWidgetItem* item);

  private:
    QTreeWidget& view_;
};

}  // namespace pc
