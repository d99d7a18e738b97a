#include "whatsapp_scanner.h"

#include <filesystem>
#include <set>

namespace pc {

namespace {

const std::vector<GatheredRow> kNoRows;

// What each address is called: wa.db's names, a live row's before a deleted one's.
using Names = std::unordered_map<std::string, std::string>;

Names namesBeside(const std::string& msgstore, WalkEvents& events, const std::uint8_t& halted) {
    Names names;
    const std::string wa = (std::filesystem::path(msgstore).parent_path() / "wa.db").string();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(wa, ec)) return names;
    TableGatherer gathered({"wa_contacts"}, events);
    try {
        gathered.gather(wa, {}, halted);
    } catch (const NotADatabase&) {
        return names;
    }
    const GatheredTable* contacts = gathered.table("wa_contacts");
    if (!contacts) return names;
    for (const RecordState pass : {RecordState::Normal, RecordState::Deleted})
        for (const GatheredRow& row : contacts->rows()) {
            if (row.state != pass) continue;
            std::string name = contacts->text(row, contacts->column("display_name"));
            if (name.empty()) name = contacts->text(row, contacts->column("wa_name"));
            const std::string jid = contacts->text(row, contacts->column("jid"));
            if (!name.empty() && !jid.empty()) names.emplace(jid, name);
        }
    return names;
}

// An address as shown: its name where known, and the number (the part before "@").
std::string shownAddress(const Names& names, const std::string& jid,
                         const std::string& subject = {}) {
    const std::string user = jid.substr(0, jid.find('@'));
    if (!subject.empty()) return subject;
    const auto name = names.find(jid);
    return nameAndNumber(name == names.end() ? "" : name->second, user);
}

std::string mediaLine(std::int64_t type) {
    return type == 0 ? std::string() : "[媒体: 类型 " + std::to_string(type) + "]";
}

}  // namespace

bool WhatsAppScanner::holds(const TableGatherer& gathered) const {
    return (gathered.table("message") && gathered.table("jid")) || gathered.table("messages");
}

void WhatsAppScanner::join(const TableGatherer& gathered, const std::string& path) {
    const Names names = namesBeside(path, events(), scanState().ScanHalted);
    std::set<std::string> listed;  // key_id of the messages of the new layout

    if (const GatheredTable* message = gathered.table("message")) {
        const GatheredTable* jids = gathered.table("jid");
        const GatheredTable* chats = gathered.table("chat");
        std::unordered_map<std::int64_t, std::string> jidOf;
        for (const GatheredRow& j : jids ? jids->rows() : kNoRows)
            if (const auto id = jids->id(j)) {
                std::string raw = jids->text(j, jids->column("raw_string"));
                if (raw.empty())
                    raw = jids->text(j, jids->column("user")) + "@" +
                          jids->text(j, jids->column("server"));
                jidOf.emplace(*id, raw);
            }
        std::unordered_map<std::int64_t, std::string> chatOf;
        std::vector<std::string> idless;  // deleted chats whose cell lost its id
        for (const GatheredRow& c : chats ? chats->rows() : kNoRows) {
            const auto jid = jidOf.find(chats->number(c, chats->column("jid_row_id")).value_or(-1));
            std::string shown = shownAddress(names, jid == jidOf.end() ? "" : jid->second,
                                             chats->text(c, chats->column("subject")));
            if (const auto id = chats->id(c))
                chatOf.emplace(*id, std::move(shown));
            else if (jid != jidOf.end())
                idless.push_back(std::move(shown));
        }
        // One deleted chat without its id and one chat id no chat row names: the same chat.
        std::set<std::int64_t> unnamed;
        for (const GatheredRow& m : message->rows())
            if (const auto c = message->number(m, message->column("chat_row_id")))
                if (*c >= 0 && !chatOf.count(*c)) unnamed.insert(*c);
        if (idless.size() == 1 && unnamed.size() == 1) chatOf.emplace(*unnamed.begin(), idless[0]);
        const auto live = liveIds(*message);
        for (const GatheredRow& m : message->rows()) {
            pump();
            const auto chatId = message->number(m, message->column("chat_row_id"));
            if (!chatId || *chatId < 0) continue;  // the table's own placeholder row
            if (m.state == RecordState::Deleted) {
                const auto id = message->id(m);
                const auto mine = message->number(m, message->column("from_me"));
                if (!mine || *mine < 0 || *mine > 1 || (id && live.count(*id)) ||
                    !plausibleTime(message->number(m, message->column("timestamp"))))
                    continue;
            }
            MessageDraft d;
            d.state = m.state;
            d.found = provenanceOf(m);
            const auto chat = chatOf.find(*chatId);
            d.chat = chat != chatOf.end() ? chat->second : "会话 " + std::to_string(*chatId);
            const bool mine = message->number(m, message->column("from_me")).value_or(0) != 0;
            d.type = mine ? "发送" : "接收";
            const auto sender =
                jidOf.find(message->number(m, message->column("sender_jid_row_id")).value_or(-1));
            d.sender = mine                    ? kThisPhone
                       : sender != jidOf.end() ? shownAddress(names, sender->second)
                                               : d.chat;
            d.date = shownDate(message->number(m, message->column("timestamp")));
            addLine(d.body,
                    mediaLine(message->number(m, message->column("message_type")).value_or(0)));
            addLine(d.body, message->text(m, message->column("text_data")));
            if (m.state == RecordState::Deleted && d.body.empty() && d.date.empty()) continue;
            listed.insert(message->text(m, message->column("key_id")));
            keepMessage(d);
        }
    }

    if (const GatheredTable* old = gathered.table("messages")) {
        const GatheredTable* chatList = gathered.table("chat_list");
        std::unordered_map<std::string, std::string> subjects;
        for (const GatheredRow& c : chatList ? chatList->rows() : kNoRows)
            subjects.emplace(chatList->text(c, chatList->column("key_remote_jid")),
                             chatList->text(c, chatList->column("subject")));
        // A deleted row of a key a live row has is an older version of it.
        std::set<std::string> liveKeys;
        for (const GatheredRow& m : old->rows())
            if (m.state == RecordState::Normal)
                liveKeys.insert(old->text(m, old->column("key_id")));
        for (const GatheredRow& m : old->rows()) {
            pump();
            const std::string jid = old->text(m, old->column("key_remote_jid"));
            const std::string key = old->text(m, old->column("key_id"));
            // "-1": the table's own first row; a message of the new layout is listed there.
            if (jid.empty() || jid == "-1" || (!key.empty() && listed.count(key))) continue;
            if (m.state == RecordState::Deleted &&
                (liveKeys.count(key) || !plausibleTime(old->number(m, old->column("timestamp")))))
                continue;
            MessageDraft d;
            d.state = m.state;
            d.found = provenanceOf(m);
            const auto subject = subjects.find(jid);
            d.chat = shownAddress(names, jid, subject == subjects.end() ? "" : subject->second);
            const bool mine = old->number(m, old->column("key_from_me")).value_or(0) != 0;
            d.type = mine ? "发送" : "接收";
            const std::string resource = old->text(m, old->column("remote_resource"));
            d.sender = mine               ? kThisPhone
                       : resource.empty() ? d.chat
                                          : shownAddress(names, resource);
            d.date = shownDate(old->number(m, old->column("timestamp")));
            const std::string mime = old->text(m, old->column("media_mime_type"));
            if (!mime.empty()) {
                const std::string name = old->text(m, old->column("media_name"));
                addLine(d.body, "[媒体: " + mime + (name.empty() ? "" : " " + name) + "]");
                addLine(d.body, old->text(m, old->column("media_caption")));
            }
            addLine(d.body, old->text(m, old->column("data")));
            if (m.state == RecordState::Deleted && d.body.empty() && d.date.empty()) continue;
            keepMessage(d);
        }
    }
}

}  // namespace pc
