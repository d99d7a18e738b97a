// "按会话查看": the messages grouped by number, the newest conversation first; the current one is
// shown as a chat in the detail pane.
#pragma once

#include <QTableView>

#include <functional>
#include <string>

#include "contact_names.h"
#include "conversation_list_model.h"
#include "result_store.h"

namespace pc {

class ConversationsView : public QTableView {
    Q_OBJECT
  public:
    ConversationsView(const ResultStore& store, ListWork* work, QWidget* parent = nullptr);

    // Groups the store's messages anew, names from `names` (nullptr: none); when they are shown,
    // the newest conversation is made current and refreshed() said.
    void refresh(const ContactNames* names);
    void clear() { model_->clear(); }
    int conversationCount() const { return model_->rowCount(); }
    // The current conversation as a chat; empty when there is none.
    std::string currentThreadHtml() const;

  signals:
    void currentConversationChanged();
    void refreshed();

  private:
    ConversationListModel* model_;
};

}  // namespace pc
