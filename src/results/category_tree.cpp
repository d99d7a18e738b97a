#include "category_tree.h"

#include "category_profile.h"

namespace pc {

namespace {

constexpr int kTagRole = Qt::UserRole;
constexpr int kTextRole = Qt::UserRole + 1;  // the text without its count

QTreeWidgetItem* node(const char* text, CategoryTag tag) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromUtf8(text)});
    item->setData(0, kTagRole, static_cast<int>(tag.code) << 8 | static_cast<int>(tag.filter));
    item->setData(0, kTextRole, QString::fromUtf8(text));
    return item;
}

void appendCount(QTreeWidgetItem* item, std::int32_t n) {
    item->setText(0, item->data(0, kTextRole).toString() + "(" + QString::number(n) + ")");
}

}  // namespace

void CategoryTree::clearTree() {
    view_.clear();
}

void CategoryTree::addCategoryBranch(CategoryCode code) {
    const CategoryProfile& p = profileOf(code);
    // The tree takes ownership of the items.
    QTreeWidgetItem* root = node(p.branch, {code, RowFilter::All});
    root->addChild(node(p.normalNode, {code, RowFilter::Normal}));
    root->addChild(node(p.deletedNode, {code, RowFilter::Deleted}));
    view_.insertTopLevelItem(0, root);
}

void CategoryTree::setBranchCounts(std::int32_t found, std::int32_t deleted) {
    if (QTreeWidgetItem* root = view_.topLevelItem(0); root && root->childCount() == 2) {
        appendCount(root, found);
        appendCount(root->child(0), found - deleted);
        appendCount(root->child(1), deleted);
    }
    view_.expandAll();
}

std::optional<CategoryTag> CategoryTree::tagOf(const QTreeWidgetItem* item) {
    if (!item) return std::nullopt;
    const QVariant v = item->data(0, kTagRole);
    if (!v.isValid()) return std::nullopt;
    const int packed = v.toInt();
    return CategoryTag{static_cast<CategoryCode>(packed >> 8),
                       static_cast<RowFilter>(packed & 0xFF)};
}

}  // namespace pc
