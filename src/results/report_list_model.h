// The report list's rows: indexes into the result store, never copies of the rows, so a list of
// hundreds of thousands of rows costs a few bytes each. It shows either the rows a running scan
// adds, or the rows of one tree node, never a mix.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <optional>
#include <vector>

#include "result_store.h"

namespace pc {

class ReportListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit ReportListModel(const ResultStore& store, QObject* parent = nullptr);

    // Replaces the columns with the category's layout; the rows go too.
    void setColumns(CategoryCode code);
    // Removes every row and keeps the columns; rows a scan adds of `code` are shown from now on.
    void clearRows();
    // A scan added a row; it is shown at the next flush, when the list shows that scan's rows.
    void queueRow(CategoryCode code, std::uint32_t index);
    void flushQueuedRows();
    // Shows the rows of a tree node, in the order found; a running scan adds none to them.
    void showNode(CategoryTag tag);

    // Sorts by a column: byte-wise on the GBK text, ASCII letters folded; rows that compare
    // equal keep their order. A column the rows do not have leaves them as they are.
    void sortRows(int column, bool ascending);

    // Ticks: kept per row, read by nothing else.
    void setAllTicks(bool ticked);
    void setTicks(const std::vector<int>& rows, bool ticked);
    bool ticked(int row) const { return ticks_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const ResultStore& store_;
    std::optional<CategoryCode> code_;
    bool followsScan_ = true;
    std::vector<std::uint32_t> rows_;
    std::vector<std::uint32_t> queued_;
    std::vector<bool> ticks_;
};

}  // namespace pc
