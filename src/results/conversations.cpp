#include "conversations.h"

#include <algorithm>
#include <array>
#include <optional>
#include <unordered_map>

#include "category_profile.h"
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

// The rows' places in time order: by their date texts, "yyyy-mm-dd hh:mm:ss", whose order is time
// order; rows of one time in the order given.
std::vector<std::uint32_t> timeOrder(const std::vector<std::string_view>& dates) {
    const auto n = static_cast<std::uint32_t>(dates.size());
    std::vector<DateKey> keys(n);
    for (std::uint32_t m = 0; m < n; ++m)
        keys[m] = dateKey(dates[m]);
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
    return order;
}

}  // namespace

ChatLine chatLine(const ResultStore& store, MessageRef m) {
    if (m.code == CategoryCode::Sms) {
        const PSMSvalue v = store.SmsRecords()[m.row];
        return {v.date, v.type, {}, v.body, v.state};
    }
    const PMessageValue v = store.MessageRecords(m.code)[m.row];
    return {v.date, v.type, v.sender, v.body, v.state};
}

std::size_t messageCount(const ResultStore& store) {
    std::size_t n = 0;
    for (const CategoryCode code : kMessageCategories)
        n += static_cast<std::size_t>(store.count(code));
    return n;
}

std::vector<Conversation> conversationsOf(const ResultStore& store) {
    const auto n = static_cast<std::uint32_t>(messageCount(store));
    std::vector<std::string_view> dates(n), addresses(n);
    std::vector<std::uint32_t> conversationOf(n);
    std::vector<MessageRef> refs(n);
    std::vector<Conversation> out;
    ConversationIds ids(n);
    std::uint32_t i = 0;
    auto add = [&](MessageRef ref, std::string_view address, std::string_view date,
                   RecordState state) {
        refs[i] = ref;
        dates[i] = date;
        addresses[i] = address;
        const auto [id, added] = ids.of(address);
        if (added) out.emplace_back();
        conversationOf[i] = id;
        out[id].deleted += state == RecordState::Deleted;
        ++i;
    };
    // The bodies are not needed: reading a million of them back from their blocks costs more than
    // the grouping.
    std::uint32_t row = 0;
    for (const PSMSvalue m : store.SmsRecordsWithoutBodies())
        add({row++, CategoryCode::Sms}, m.address, m.date, m.state);
    for (const CategoryCode code : kMessageCategories) {
        if (code == CategoryCode::Sms) continue;
        const CategoryProfile& p = profileOf(code);
        const auto rows = static_cast<std::uint32_t>(store.count(code));
        for (std::uint32_t r = 0; r < rows; ++r)
            add({r, code}, store.cellAt(code, r, static_cast<std::size_t>(p.numberCell)),
                store.cellAt(code, r, static_cast<std::size_t>(p.searchDateCell)),
                store.stateAt(code, r));
    }
    // Every message in time order at once, so that each conversation's come out in order.
    const std::vector<std::uint32_t> order = timeOrder(dates);
    for (std::uint32_t m : order)
        out[conversationOf[m]].messages.push_back(refs[m]);
    std::vector<std::uint32_t> last(out.size());
    for (std::uint32_t m : order)
        last[conversationOf[m]] = m;
    for (std::size_t c = 0; c < out.size(); ++c) {
        out[c].address = addresses[last[c]];
        out[c].lastDate = dates[last[c]];
    }
    std::stable_sort(out.begin(), out.end(), [](const Conversation& a, const Conversation& b) {
        return a.lastDate > b.lastDate;
    });
    return out;
}

std::vector<MessageRef> timelineOf(const ResultStore& store) {
    std::vector<MessageRef> refs;
    std::vector<std::string_view> dates;
    for (const CategoryCode code : kAllCategories) {
        const int dateCell = profileOf(code).searchDateCell;
        if (dateCell < 0) continue;  // contacts have no time
        const auto rows = static_cast<std::uint32_t>(store.count(code));
        for (std::uint32_t r = 0; r < rows; ++r) {
            refs.push_back({r, code});
            dates.push_back(store.cellAt(code, r, static_cast<std::size_t>(dateCell)));
        }
    }
    std::vector<MessageRef> out;
    out.reserve(refs.size());
    for (const std::uint32_t m : timeOrder(dates))
        out.push_back(refs[m]);
    return out;
}

}  // namespace pc
