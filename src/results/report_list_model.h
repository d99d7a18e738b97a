// The report list's rows: indexes into the result store, never copies of the rows, so a list of
// hundreds of thousands of rows costs a few bytes each. It shows either the rows a running scan
// adds, or the rows of one tree node, never a mix; of those, the ones the search bar's query
// selects. Ticks belong to the store's rows, so sorting and searching keep them.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "large_array_allocator.h"
#include "list_work.h"
#include "result_store.h"
#include "row_search.h"
#include "row_ticks.h"

namespace pc {

class ReportListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // With `work`, sorts and searches run off the window's thread; without, here and now.
    explicit ReportListModel(const ResultStore& store, ListWork* work = nullptr,
                             QObject* parent = nullptr);

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
    // equal keep their order. A column the rows do not have leaves them as they are. With work
    // given, the sorted rows are shown when ready, unless the list showed another node
    // meanwhile; while the work is held (a scan writes the store), the sort waits for it.
    void sortRows(int column, bool ascending);

    // Shows only the rows the query selects (every row for an empty query). `names` stays the
    // caller's and lives until the next call (the work is waited for before it goes). With work
    // given and not held, the rows are narrowed off the window's thread and shown when ready.
    void setQuery(RowQuery query, const ContactNames* names = nullptr);
    const RowQuery& query() const { return query_; }
    // The contacts' names a text also matches; searches again only when a text is searched for.
    void setNames(const ContactNames* names);
    // Rows of the node or scan before the query: what the match count is out of.
    int unfilteredCount() const { return static_cast<int>(nodeRows_.size()); }

    std::optional<CategoryCode> code() const { return code_; }
    // The store's index of a list row.
    std::uint32_t storeIndex(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

    // Ticks on the first column, of the rows shown.
    void setAllTicks(bool ticked);
    void setTicks(const std::vector<int>& rows, bool ticked);
    bool ticked(int row) const;
    // The ticked rows of the category shown (of `code`), by store index in the order found.
    std::vector<std::uint32_t> tickedRows() const;
    std::vector<std::uint32_t> tickedRows(CategoryCode code) const;
    // A new run: the rows ticked belong to the one before.
    void forgetTicks();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    void reset(std::vector<std::uint32_t> nodeRows, bool followsScan);
    void filter();
    using Rows = std::vector<std::uint32_t>;
    // The node's rows in a new order, and those of them the query selects.
    using Make = std::function<std::pair<Rows, Rows>(Rows nodeRows, const RowQuery& query,
                                                     const ContactNames* names)>;
    // The rows made again from the node's rows, the query and the names as they are when it
    // runs: off the window's thread when there is work to run it on and it is not held.
    void remake(Make make);
    // Shows rows made from the rows of `revision`, unless those have changed since.
    void showMade(std::uint64_t revision, Rows nodeRows, Rows shown);

    const ResultStore& store_;
    ListWork* work_;
    // Bumped whenever the rows shown change, so rows made from older ones are not shown; `node_`
    // whenever another node (or none) is shown, so work asked for on the last one is not begun.
    std::uint64_t revision_ = 0, node_ = 0;
    std::optional<CategoryCode> code_;
    bool followsScan_ = true;
    // Lists of a scan's rows grow to millions while it runs: laid where large pages can back them,
    // so that their growth does not take fresh memory a small page at a time.
    using RowList = std::vector<std::uint32_t, LargeArrayAllocator<std::uint32_t>>;
    RowList nodeRows_;  // of the node or the scan, in the order shown
    RowList rows_;      // of those, the ones the query selects
    std::vector<std::uint32_t> queued_;
    RowQuery query_;
    const ContactNames* names_ = nullptr;
    PerCategory<RowTicks> ticks_;
};

}  // namespace pc
