// "时间线": every message and call of the run in time order, each with its category.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

#include "conversations.h"
#include "list_work.h"
#include "result_store.h"

namespace pc {

class TimelineModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // With `work`, the ordering runs off the window's thread.
    explicit TimelineModel(const ResultStore& store, ListWork* work = nullptr,
                           QObject* parent = nullptr);

    // Orders the store's rows again; refreshed() once they are shown.
    void refresh();
    // No rows: those they view are going.
    void clear();
    MessageRef rowAt(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    void refreshed();

  private:
    const ResultStore& store_;
    ListWork* work_;
    std::uint64_t asked_ = 0;
    std::vector<MessageRef> rows_;
};

// The cell of a row of `code` the timeline shows in its column `column` (date, category, number,
// type, state, content).
std::string timelineCell(const ResultStore& store, MessageRef row, int column);

}  // namespace pc
