// The report list of the "其它表" branch: the rows of one carved table (all, normal or deleted)
// with the table's own columns and the state last.
#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

#include "result_types.h"
#include "table_recovery.h"

namespace pc {

class RecoveredTablesModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit RecoveredTablesModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    void setRecovery(std::shared_ptr<const Recovery> recovery);
    // Shows the rows of table `table` (an index into the recovery's tables) that `filter` lets
    // through.
    void showTable(std::size_t table, RowFilter filter);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::shared_ptr<const Recovery> recovery_;
    std::size_t table_ = 0;
    std::vector<std::size_t> rows_;  // indexes into the recovery's rows
};

}  // namespace pc
