#include "conversation_list_model.h"

#include "category_profile.h"
#include "html_text.h"

namespace pc {

namespace {

constexpr const char* kHeadings[] = {"电话", "联系人", "最后时间", "短信数", "已删除"};

}  // namespace

ConversationListModel::ConversationListModel(const ResultStore& store, ListWork* work,
                                             QObject* parent)
    : QAbstractTableModel(parent), store_(store), work_(work) {
}

void ConversationListModel::refresh(const ContactNames* names) {
    const std::uint64_t asked = ++asked_;
    auto show = [this, names, asked](std::vector<Conversation> made) {
        if (asked != asked_) return;  // asked again since
        beginResetModel();
        names_ = names;
        conversations_ = std::move(made);
        endResetModel();
        emit refreshed();
    };
    makeThenShow(
        work_, messageCount(store_), [this] { return conversationsOf(store_); }, show);
}

void ConversationListModel::clear() {
    ++asked_;
    beginResetModel();
    conversations_.clear();
    names_ = nullptr;
    endResetModel();
}

std::string ConversationListModel::threadHtml(int row) const {
    const Conversation& c = conversation(row);
    std::string html = "<h3>" + htmlText(c.address);
    if (names_) {
        const std::string_view name = names_->nameOf(c.address);
        if (!name.empty()) html += " (" + htmlText(name) + ")";
    }
    html += "</h3>";
    for (const MessageRef m : c.messages) {
        const ChatLine v = chatLine(store_, m);
        const bool deleted = v.state == RecordState::Deleted;
        html += "<p><span style=\"color:gray\">" + htmlText(v.date) + " " + htmlText(v.type);
        if (m.code != CategoryCode::Sms)
            html += " [" + htmlText(profileOf(m.code).branch) + "] " + htmlText(v.sender);
        html += "</span>";
        if (deleted) html += " <b style=\"color:#c00000\">[已删除]</b>";
        html += "<br>" + htmlText(v.body, LineBreaks::AsBr) + "</p>";
    }
    return html;
}

int ConversationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(conversations_.size());
}

int ConversationListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kHeadings));
}

QVariant ConversationListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const Conversation& c = conversation(index.row());
    auto text = [](std::string_view s) {
        return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    };
    switch (index.column()) {
        case 0: return text(c.address);
        case 1: return names_ ? text(names_->nameOf(c.address)) : QString();
        case 2: return text(c.lastDate);
        case 3: return static_cast<qulonglong>(c.messages.size());
        default: return static_cast<qulonglong>(c.deleted);
    }
}

QVariant ConversationListModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        static_cast<std::size_t>(section) >= std::size(kHeadings))
        return {};
    return QString::fromUtf8(kHeadings[section]);
}

}  // namespace pc
