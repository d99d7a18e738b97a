#include "category_tree.h"

#include <array>
#include <vector>

#include "category_profile.h"

namespace pc {

namespace {

constexpr int kTagRole = Qt::UserRole;
constexpr int kTextRole = Qt::UserRole + 1;   // the text without its count
constexpr int kTableRole = Qt::UserRole + 2;  // a carved table's index and the rows shown
constexpr int kTimelineRole = Qt::UserRole + 3;

QTreeWidgetItem* node(const QString& text, CategoryTag tag) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kTagRole,
                  QVariant::fromValue<qulonglong>(qulonglong{tag.part} << 16 |
                                                  static_cast<unsigned>(tag.code) << 8 |
                                                  static_cast<unsigned>(tag.filter)));
    item->setData(0, kTextRole, text);
    return item;
}

void appendCount(QTreeWidgetItem* item, std::int32_t n) {
    item->setText(0, item->data(0, kTextRole).toString() + "(" + QString::number(n) + ")");
}

}  // namespace

void CategoryTree::clearTree() {
    view_.clear();
}

void CategoryTree::addCategoryBranch(CategoryCode code, const std::string& file, PartIndex part) {
    const CategoryProfile& p = profileOf(code);
    QString rootText = QString::fromUtf8(p.branch);
    if (!file.empty()) rootText += QString::fromUtf8(" — ") + QString::fromStdString(file);
    // The tree takes ownership of the items.
    QTreeWidgetItem* root = node(rootText, {code, RowFilter::All, part});
    root->addChild(node(QString::fromUtf8(p.normalNode), {code, RowFilter::Normal, part}));
    root->addChild(node(QString::fromUtf8(p.deletedNode), {code, RowFilter::Deleted, part}));
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

void CategoryTree::addTablesBranch(const RecoveredRowStore& store) {
    auto* root = new QTreeWidgetItem(QStringList{QString::fromUtf8("其它表")});
    auto tableNode = [](const QString& text, std::size_t table, RowFilter filter,
                        std::int32_t count) {
        auto* item = new QTreeWidgetItem(QStringList{text + "(" + QString::number(count) + ")"});
        item->setData(0, kTableRole,
                      QVariant::fromValue<qulonglong>(table << 8 | static_cast<unsigned>(filter)));
        return item;
    };
    for (std::size_t t = 0; t < store.tableCount(); ++t) {
        const std::int32_t normal = store.count(t, RowFilter::Normal);
        const std::int32_t deleted = store.count(t, RowFilter::Deleted);
        QString name = QString::fromStdString(store.table(t).name);
        if (store.table(t).dropped) name += QString::fromUtf8(" (已删除的表)");
        QTreeWidgetItem* node = tableNode(name, t, RowFilter::All, normal + deleted);
        node->addChild(tableNode(QString::fromUtf8("正常"), t, RowFilter::Normal, normal));
        node->addChild(tableNode(QString::fromUtf8("删除"), t, RowFilter::Deleted, deleted));
        root->addChild(node);
    }
    view_.addTopLevelItem(root);
    root->setExpanded(true);
}

void CategoryTree::addTimelineNode(std::size_t rows) {
    auto* item = new QTreeWidgetItem(
        QStringList{QString::fromUtf8("时间线") + "(" + QString::number(rows) + ")"});
    item->setData(0, kTimelineRole, true);
    view_.addTopLevelItem(item);
}

bool CategoryTree::isTimeline(const QTreeWidgetItem* item) {
    return item && item->data(0, kTimelineRole).toBool();
}

std::optional<CategoryTree::TableTag> CategoryTree::tableTagOf(const QTreeWidgetItem* item) {
    if (!item) return std::nullopt;
    const QVariant v = item->data(0, kTableRole);
    if (!v.isValid()) return std::nullopt;
    const qulonglong packed = v.toULongLong();
    return TableTag{static_cast<std::size_t>(packed >> 8), static_cast<RowFilter>(packed & 0xFF)};
}

std::optional<CategoryTag> CategoryTree::tagOf(const QTreeWidgetItem* item) {
    if (!item) return std::nullopt;
    const QVariant v = item->data(0, kTagRole);
    if (!v.isValid()) return std::nullopt;
    const qulonglong packed = v.toULongLong();
    return CategoryTag{static_cast<CategoryCode>(packed >> 8 & 0xFF),
                       static_cast<RowFilter>(packed & 0xFF), static_cast<PartIndex>(packed >> 16)};
}

}  // namespace pc
