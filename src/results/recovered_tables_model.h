// The report list of the "其它表" branch: the rows of one carved table (all, normal or deleted)
// with the table's own columns and the state last.
#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <string>
#include <vector>

#include "recovered_row_store.h"
#include "result_types.h"
#include "row_search.h"
#include "row_ticks.h"

namespace pc {

class RecoveredTablesModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit RecoveredTablesModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The rows shown come from `store`, which outlives the model; nothing is shown until
    // showTable. clear() lets go of the rows shown.
    void setStore(const RecoveredRowStore* store);
    void clear() { setStore(store_); }
    // Shows the rows of table `table` of the store that `filter` lets through, of those the ones
    // the query selects.
    void showTable(std::size_t table, RowFilter filter);
    // Shows only the rows holding the query's text in a cell (ASCII letters either case) and in
    // its state; a table has no date of its own, so the dates are not asked.
    void setQuery(const RowQuery& query);
    // Rows of the table before the query: what the match count is out of.
    int unfilteredCount() const { return static_cast<int>(tableRows_.size()); }

    // Ticks on the first column, of the rows shown; kept by the store's row.
    void setAllTicks(bool ticked);
    void setTicks(const std::vector<int>& rows, bool ticked);
    // The store's rows ticked, in the order found.
    std::vector<std::uint32_t> tickedRows() const { return ticks_.ticked(); }
    // A cell's whole text (the state's word in the last column).
    std::string cellText(int row, int column) const;
    // The store's row of a list row.
    std::uint32_t storeIndex(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    const RecoveredRowStore* store_ = nullptr;
    std::size_t table_ = 0;
    bool shown_ = false;
    void narrow();  // rows_ from tableRows_ and the query

    std::vector<std::uint32_t> tableRows_;  // indexes into the store's rows
    std::vector<std::uint32_t> rows_;       // of those, the ones the query selects
    RowQuery query_;
    mutable std::vector<ValueView> values_;
    RowTicks ticks_;
};

}  // namespace pc
