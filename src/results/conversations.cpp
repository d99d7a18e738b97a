#include "conversations.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

#include "contact_names.h"

namespace pc {

namespace {

// A date text's first 24 bytes as three numbers: "yyyy-mm-dd hh:mm:ss" whole, compared without
// a call per pair.
using DateKey = std::array<std::uint64_t, 3>;

DateKey dateKey(std::string_view date) {
    DateKey key{};
    for (std::size_t w = 0; w < key.size(); ++w)
        for (std::size_t i = 0; i < 8; ++i) {
            const std::size_t at = 8 * w + i;
            key[w] = (key[w] << 8) | (at < date.size() ? static_cast<std::uint8_t>(date[at]) : 0);
        }
    return key;
}

// The conversation of a number: its phoneKey packed in a number where it is short enough (almost
// always), else the key itself.
class ConversationIds {
  public:
    explicit ConversationIds(std::size_t rows) { packed_.reserve(rows / 8); }

    // The conversation of `address`, and whether it is new.
    std::pair<std::uint32_t, bool> of(std::string_view address) {
        std::string key = phoneKey(address);
        if (key.empty()) key = std::string(address);  // a sender's name, not a number
        const auto next = static_cast<std::uint32_t>(packed_.size() + other_.size());
        if (const auto packed = pack(key)) {
            const auto [it, added] = packed_.try_emplace(*packed, next);
            return {it->second, added};
        }
        const auto [it, added] = other_.try_emplace(std::move(key), next);
        return {it->second, added};
    }

  private:
    // Up to 17 digits, and how many: 10^17 < 2^57.
    static std::optional<std::uint64_t> pack(const std::string& key) {
        if (key.size() > 17) return std::nullopt;
        std::uint64_t v = 0;
        for (char c : key) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return (static_cast<std::uint64_t>(key.size()) << 57) | v;
    }

    std::unordered_map<std::uint64_t, std::uint32_t> packed_;
    std::unordered_map<std::string, std::uint32_t> other_;
};

}  // namespace

std::vector<Conversation> conversationsOf(const ResultStore& store) {
    // The bodies are not needed: reading a million of them back from their blocks costs more than
    // the grouping.
    const auto sms = store.SmsRecordsWithoutBodies();
    const auto n = static_cast<std::uint32_t>(sms.size());
    std::vector<std::string_view> dates(n), addresses(n);
    std::vector<DateKey> keys(n);
    std::vector<std::uint32_t> conversationOf(n);
    std::vector<Conversation> out;
    ConversationIds ids(n);
    std::uint32_t i = 0;
    for (const PSMSvalue m : sms) {
        dates[i] = m.date;
        addresses[i] = m.address;
        keys[i] = dateKey(m.date);
        const auto [id, added] = ids.of(m.address);
        if (added) out.emplace_back();
        conversationOf[i] = id;
        out[id].deleted += m.state == RecordState::Deleted;
        ++i;
    }
    // Every message in time order at once, so that each conversation's come out in order. Dates
    // are "yyyy-mm-dd hh:mm:ss" texts: their order is time order; messages of one time stay in
    // the order found.
    std::vector<std::uint32_t> order(n);
    for (std::uint32_t m = 0; m < n; ++m)
        order[m] = m;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (keys[a] != keys[b]) return keys[a] < keys[b];
        if (dates[a].size() != dates[b].size() || dates[a].size() > 24) {
            const int c = dates[a].compare(dates[b]);
            if (c != 0) return c < 0;
        }
        return a < b;
    });
    for (std::uint32_t m : order)
        out[conversationOf[m]].messages.push_back(m);
    for (Conversation& c : out) {
        c.address = addresses[c.messages.back()];
        c.lastDate = dates[c.messages.back()];
    }
    std::stable_sort(out.begin(), out.end(), [](const Conversation& a, const Conversation& b) {
        return a.lastDate > b.lastDate;
    });
    return out;
}

}  // namespace pc
