#include "mms_scanner.h"

#include <algorithm>
#include <map>

namespace pc {

namespace {

// addr.type: who the address is.
constexpr std::int64_t kFrom = 137, kTo = 151, kCc = 130;
// What Android stores as the sender of a message the phone sent.
constexpr std::string_view kOwnAddressToken = "insert-address-token";

struct Parts {
    const GatheredTable* table;
    int mid, seq, ct, name, cl, fn, data, text;
};

// The sender and the recipients (joined by ", ") of a message's addresses; only the live ones
// for a live message.
struct Parties {
    std::string from, to;
};
Parties partiesOf(const GatheredTable* addr, const std::vector<const GatheredRow*>& rows,
                  bool liveOnly) {
    Parties p;
    const int typeColumn = addr->column("type"), addressColumn = addr->column("address");
    for (const GatheredRow* a : rows) {
        if (liveOnly && a->state != RecordState::Normal) continue;
        const std::int64_t type = addr->number(*a, typeColumn).value_or(0);
        const std::string address = addr->text(*a, addressColumn);
        if (type == kFrom && p.from.empty()) p.from = address;
        if ((type == kTo || type == kCc) && p.to.find(address) == std::string::npos)
            p.to += (p.to.empty() ? "" : ", ") + address;
    }
    return p;
}

// A part as the message shows it: its text, or its attachment named; "" for the layout (SMIL).
std::string partText(const Parts& p, const GatheredRow& row) {
    const std::string type = p.table->text(row, p.ct);
    if (type == "application/smil") return {};
    const std::string text = p.table->text(row, p.text);
    if (type == "text/plain" || (type.empty() && !text.empty())) return text;
    std::string name;
    for (const int c : {p.cl, p.name, p.fn})
        if (name.empty()) name = p.table->text(row, c);
    if (name.empty()) {
        name = p.table->text(row, p.data);
        name = name.substr(name.find_last_of('/') + 1);
    }
    return "[附件: " + (type.empty() ? std::string("?") : type) + (name.empty() ? "" : " " + name) +
           "]";
}

// The parts in their order in the message.
std::vector<const GatheredRow*> inOrder(const Parts& p, std::vector<const GatheredRow*> rows) {
    std::stable_sort(rows.begin(), rows.end(), [&](const GatheredRow* a, const GatheredRow* b) {
        return std::pair(p.table->number(*a, p.seq).value_or(0), p.table->id(*a).value_or(0)) <
               std::pair(p.table->number(*b, p.seq).value_or(0), p.table->id(*b).value_or(0));
    });
    return rows;
}

// A deleted row of pdu that is a message: a box a message lies in and a time a phone can have, and
// no older version of a live message. (Other tables' records may fit pdu's loose columns.)
bool plausibleMessage(const GatheredTable& pdu, const GatheredRow& m,
                      std::optional<std::int64_t> id,
                      const std::unordered_set<std::int64_t>& live) {
    const auto box = pdu.number(m, pdu.column("msg_box"));
    const auto seconds = pdu.number(m, pdu.column("date"));
    return box && *box >= 1 && *box <= 6 && seconds && plausibleTime(*seconds * 1000) &&
           !(id && live.count(*id));
}

}  // namespace

const char* mmsBoxText(std::int64_t box) {
    switch (box) {
        case 1: return "接收";
        case 2: return "发送";
        case 3: return "草稿";
        case 4: return "待发送";
        default: return "其它";
    }
}

bool MmsScanner::holds(const TableGatherer& gathered) const {
    return gathered.table("pdu") != nullptr;
}

void MmsScanner::join(const TableGatherer& gathered, const std::string&) {
    const GatheredTable& pdu = *gathered.table("pdu");
    const GatheredTable* part = gathered.table("part");
    const GatheredTable* addr = gathered.table("addr");
    const RowsByKey partsOf = rowsByKey(part, "mid");
    const RowsByKey addrsOf = rowsByKey(addr, "msg_id");
    Parts p{part, -1, -1, -1, -1, -1, -1, -1, -1};
    if (part)
        p = {part,
             part->column("mid"),
             part->column("seq"),
             part->column("ct"),
             part->column("name"),
             part->column("cl"),
             part->column("fn"),
             part->column("_data"),
             part->column("text")};
    const int box = pdu.column("msg_box"), date = pdu.column("date"), sub = pdu.column("sub"),
              marked = pdu.column("deleted");
    std::vector<bool> partUsed(part ? part->rows().size() : 0);
    auto partIndex = [&](const GatheredRow* row) {
        return static_cast<std::size_t>(row - part->rows().data());
    };

    const auto live = liveIds(pdu);
    for (const GatheredRow& m : pdu.rows()) {
        pump();
        const auto id = pdu.id(m);
        if (m.state == RecordState::Deleted && !plausibleMessage(pdu, m, id, live)) continue;
        MessageDraft message;
        message.state = m.state;
        message.found = provenanceOf(m);
        if (m.state == RecordState::Normal && pdu.number(m, marked).value_or(0) != 0) {
            message.state = RecordState::Deleted;
            message.found.markedDeleted = true;
        }
        const std::int64_t boxValue = pdu.number(m, box).value_or(0);
        message.type = mmsBoxText(boxValue);
        // pdu.date is in seconds.
        const auto seconds = pdu.number(m, date);
        message.date = shownDate(seconds ? std::optional(*seconds * 1000) : std::nullopt);

        // Who: the sender, and the other party (the sender of a message received, the recipients
        // of one sent). A live message reads its live addresses; a deleted one whichever remain.
        const auto found = id ? addrsOf.find(*id) : addrsOf.end();
        const auto [from, to] =
            found == addrsOf.end() ? Parties{}
                                   : partiesOf(addr, found->second, m.state == RecordState::Normal);
        const bool sent = boxValue >= 2 && boxValue <= 4;
        message.sender = sent || from == kOwnAddressToken ? kThisPhone : from;
        message.chat = sent ? to : from;

        addLine(message.body, pdu.text(m, sub).empty() ? "" : "[主题] " + pdu.text(m, sub));
        std::vector<const GatheredRow*> deletedParts;
        if (const auto found = id ? partsOf.find(*id) : partsOf.end(); found != partsOf.end()) {
            for (const GatheredRow* r : inOrder(p, found->second)) {
                partUsed[partIndex(r)] = true;
                // A deleted part of a live message is a row of its own.
                if (m.state == RecordState::Normal && r->state == RecordState::Deleted)
                    deletedParts.push_back(r);
                else
                    addLine(message.body, partText(p, *r));
            }
        }
        // A deleted row that says nothing of a message is no message.
        if (m.state == RecordState::Deleted && message.date.empty() && message.body.empty() &&
            message.chat.empty())
            continue;
        keepWithDeletedParts(message, deletedParts,
                             [&](const GatheredRow& r) { return partText(p, r); });
    }
    // Deleted parts whose message row is gone (or lost its id): one message of each id they
    // name, with the addresses that name it too.
    for (const auto& [mid, rows] : orphanParts(part, "mid", partUsed)) {
        MessageDraft orphan = orphanDraft(*rows.front());
        for (const GatheredRow* r : inOrder(p, rows))
            addLine(orphan.body, partText(p, *r));
        if (const auto found = addrsOf.find(mid); found != addrsOf.end()) {
            const auto [from, to] = partiesOf(addr, found->second, false);
            orphan.sender = from == kOwnAddressToken ? kThisPhone : from;
            orphan.chat = orphan.sender != kThisPhone && !from.empty() ? from : to;
        }
        if (!orphan.body.empty()) keepMessage(orphan);
    }
}

}  // namespace pc
