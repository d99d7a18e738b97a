// The category tree: per scanned category a root for all its rows and two children for its
// normal and its deleted rows. The newest branch is at the top.
#pragma once

#include <QTreeWidget>

#include <cstdint>
#include <optional>

#include "result_types.h"

namespace pc {

class CategoryTree {
  public:
    explicit CategoryTree(QTreeWidget& view) : view_(view) {}

    void clearTree();
    void addCategoryBranch(CategoryCode code);
    // Appends the counts to the three texts of the topmost branch and expands every node.
    void setBranchCounts(std::int32_t found, std::int32_t deleted);

    static std::optional<CategoryTag> tagOf(const QTreeWidgetItem* item);

  private:
    QTreeWidget& view_;
};

}  // namespace pc
