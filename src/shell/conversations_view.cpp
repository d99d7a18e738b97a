#include "conversations_view.h"

#include <QHeaderView>

namespace pc {

ConversationsView::ConversationsView(const ResultStore& store, ListWork* work, QWidget* parent)
    : QTableView(parent), model_(new ConversationListModel(store, work, this)) {
    setObjectName("ConversationView");
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->setVisible(false);
    horizontalHeader()->setStretchLastSection(true);
    setColumnWidth(0, 150);
    setColumnWidth(1, 120);
    setColumnWidth(2, 140);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &ConversationsView::currentConversationChanged);
    connect(model_, &ConversationListModel::refreshed, this, [this] {
        if (model_->rowCount() > 0) selectRow(0);
        emit refreshed();
    });
}

void ConversationsView::refresh(const ContactNames* names) {
    model_->refresh(names);
}

std::string ConversationsView::currentThreadHtml() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? model_->threadHtml(current.row()) : std::string();
}

}  // namespace pc
