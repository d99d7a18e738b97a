#include "google_messages_scanner.h"

#include <algorithm>
#include <map>
#include <set>

namespace pc {

namespace {

constexpr std::int64_t kFirstIncoming = 100;

// Each row of `table` by its id.
std::unordered_map<std::int64_t, const GatheredRow*> byId(const GatheredTable* table) {
    std::unordered_map<std::int64_t, const GatheredRow*> out;
    if (!table) return out;
    for (const GatheredRow& row : table->rows())
        if (const auto id = table->id(row)) {
            // A live row wins over a deleted copy of the same id.
            auto [at, added] = out.emplace(*id, &row);
            if (!added && row.state == RecordState::Normal) at->second = &row;
        }
    return out;
}

// A part as the message shows it: its text, or its attachment named by its type.
std::string partText(const GatheredTable& parts, const GatheredRow& row) {
    const std::string text = parts.text(row, parts.column("text"));
    if (!text.empty()) return text;
    const std::string type = parts.text(row, parts.column("content_type"));
    if (type.empty() || type.starts_with("text/")) return {};
    return "[附件: " + type + "]";
}

}  // namespace

const char* bugleStatusText(std::int64_t status) {
    if (status >= kFirstIncoming) return "接收";
    if (status == 3) return "草稿";
    if (status == 8) return "发送失败";
    if (status >= 1) return "发送";
    return "其它";
}

bool GoogleMessagesScanner::holds(const TableGatherer& gathered) const {
    return gathered.table("messages") && gathered.table("participants");
}

void GoogleMessagesScanner::join(const TableGatherer& gathered, const std::string&) {
    const GatheredTable& messages = *gathered.table("messages");
    const GatheredTable* parts = gathered.table("parts");
    const GatheredTable& people = *gathered.table("participants");
    const GatheredTable* chats = gathered.table("conversations");
    const RowsByKey partsOf = rowsByKey(parts, "message_id");
    const auto person = byId(&people);
    const auto chat = byId(chats);
    std::vector<bool> partUsed(parts ? parts->rows().size() : 0);
    // Parts of a message that no row of `messages` names (a deleted message whose cell lost its
    // id), by their conversation and time, which a part repeats from its message.
    std::map<std::pair<std::int64_t, std::int64_t>, std::int64_t> partsByTime;
    for (const auto& [mid, rows] : partsOf)
        for (const GatheredRow* r : rows)
            if (const auto conv = parts->number(*r, parts->column("conversation_id")))
                if (const auto when = parts->number(*r, parts->column("timestamp")))
                    partsByTime.emplace(std::pair(*conv, *when), mid);
    std::set<std::int64_t> named;
    for (const GatheredRow& m : messages.rows())
        if (const auto id = messages.id(m)) named.insert(*id);

    auto who = [&](std::optional<std::int64_t> id) {
        const auto at = id ? person.find(*id) : person.end();
        if (at == person.end()) return std::string();
        const GatheredRow& p = *at->second;
        std::string number = people.text(p, people.column("display_destination"));
        if (number.empty()) number = people.text(p, people.column("normalized_destination"));
        return nameAndNumber(people.text(p, people.column("full_name")), number);
    };
    auto chatName = [&](std::optional<std::int64_t> id) {
        const auto at = id ? chat.find(*id) : chat.end();
        if (at == chat.end()) return std::string();
        const GatheredRow& c = *at->second;
        std::string number = chats->text(c, chats->column("participant_normalized_destination"));
        return nameAndNumber(chats->text(c, chats->column("name")), number);
    };

    const auto live = liveIds(messages);
    for (const GatheredRow& m : messages.rows()) {
        pump();
        auto id = messages.id(m);
        if (m.state == RecordState::Deleted) {
            const auto status = messages.number(m, messages.column("message_status"));
            const bool dated =
                plausibleTime(messages.number(m, messages.column("received_timestamp"))) ||
                plausibleTime(messages.number(m, messages.column("sent_timestamp")));
            if (!status || !dated || (id && live.count(*id))) continue;
        }
        if (!id && m.state == RecordState::Deleted) {
            const auto conv = messages.number(m, messages.column("conversation_id"));
            for (const char* column : {"received_timestamp", "sent_timestamp"}) {
                const auto when = messages.number(m, messages.column(column));
                const auto found =
                    conv && when ? partsByTime.find({*conv, *when}) : partsByTime.end();
                if (found != partsByTime.end() && !named.count(found->second)) {
                    id = found->second;
                    break;
                }
            }
        }
        const std::int64_t status =
            messages.number(m, messages.column("message_status")).value_or(0);
        const bool incoming = status >= kFirstIncoming;
        MessageDraft message;
        message.state = m.state;
        message.found = provenanceOf(m);
        message.type = bugleStatusText(status);
        message.chat = chatName(messages.number(m, messages.column("conversation_id")));
        message.sender =
            incoming ? who(messages.number(m, messages.column("sender_id"))) : kThisPhone;
        if (message.chat.empty() && incoming) message.chat = message.sender;
        auto when =
            messages.number(m, messages.column(incoming ? "received_timestamp" : "sent_timestamp"));
        if (!when || *when <= 0)
            when = messages.number(
                m, messages.column(incoming ? "sent_timestamp" : "received_timestamp"));
        message.date = shownDate(when);
        addLine(message.body, messages.text(m, messages.column("mms_subject")));

        std::vector<const GatheredRow*> deletedParts;
        if (const auto found = id ? partsOf.find(*id) : partsOf.end(); found != partsOf.end()) {
            std::vector<const GatheredRow*> rows = found->second;
            std::stable_sort(rows.begin(), rows.end(), [&](const auto* a, const auto* b) {
                return parts->id(*a).value_or(0) < parts->id(*b).value_or(0);
            });
            for (const GatheredRow* r : rows) {
                partUsed[static_cast<std::size_t>(r - parts->rows().data())] = true;
                if (m.state == RecordState::Normal && r->state == RecordState::Deleted)
                    deletedParts.push_back(r);
                else
                    addLine(message.body, partText(*parts, *r));
            }
        }
        if (m.state == RecordState::Deleted && message.date.empty() && message.body.empty())
            continue;
        keepWithDeletedParts(message, deletedParts,
                             [&](const GatheredRow& r) { return partText(*parts, r); });
    }
    // Deleted parts whose message is gone: their texts, in their conversation where it is known.
    for (const auto& [mid, rows] : orphanParts(parts, "message_id", partUsed)) {
        MessageDraft orphan = orphanDraft(*rows.front());
        orphan.chat = chatName(parts->number(*rows.front(), parts->column("conversation_id")));
        orphan.date = shownDate(parts->number(*rows.front(), parts->column("timestamp")));
        for (const GatheredRow* r : rows)
            addLine(orphan.body, partText(*parts, *r));
        if (!orphan.body.empty()) keepMessage(orphan);
    }
}

}  // namespace pc
