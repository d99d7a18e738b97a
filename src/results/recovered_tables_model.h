// The report list of the "其它表" branch: the rows of one carved table (all, normal or deleted)
// with the table's own columns and the state last.
#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <vector>

#include "recovered_row_store.h"
#include "result_types.h"

namespace pc {

class RecoveredTablesModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit RecoveredTablesModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The rows shown come from `store`, which outlives the model; nothing is shown until
    // showTable. clear() lets go of the rows shown.
    void setStore(const RecoveredRowStore* store);
    void clear() { setStore(store_); }
    // Shows the rows of table `table` of the store that `filter` lets through.
    void showTable(std::size_t table, RowFilter filter);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const RecoveredRowStore* store_ = nullptr;
    std::size_t table_ = 0;
    bool shown_ = false;
    std::vector<std::uint32_t> rows_;  // indexes into the store's rows
    mutable std::vector<ValueView> values_;
};

}  // namespace pc
