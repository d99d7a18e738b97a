// The conversations view's rows: one per number the messages were with, the newest conversation
// first, with the contact's name where the run's contacts know the number.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <vector>

#include "contact_names.h"
#include "conversations.h"
#include "list_work.h"
#include "result_store.h"

namespace pc {

class ConversationListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // With `work`, the grouping runs off the window's thread.
    explicit ConversationListModel(const ResultStore& store, ListWork* work = nullptr,
                                   QObject* parent = nullptr);

    // Groups the store's messages again (refreshed() when shown); `names` may be null and must
    // outlive the next call.
    void refresh(const ContactNames* names);
    // No conversations: the rows they view are going.
    void clear();
    const Conversation& conversation(int row) const {
        return conversations_.at(static_cast<std::size_t>(row));
    }
    // The conversation whole, oldest message first, deleted ones marked: HTML for the detail pane.
    std::string threadHtml(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  signals:
    void refreshed();

  private:
    const ResultStore& store_;
    ListWork* work_;
    std::uint64_t asked_ = 0;  // refreshes asked for: only the last is shown
    const ContactNames* names_ = nullptr;
    std::vector<Conversation> conversations_;
};

}  // namespace pc
