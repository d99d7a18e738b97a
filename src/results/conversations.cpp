#include "conversations.h"

#include <algorithm>
#include <unordered_map>

#include "contact_names.h"

namespace pc {

std::vector<Conversation> conversationsOf(const ResultStore& store) {
    const auto& sms = store.SmsRecords();
    std::vector<Conversation> out;
    std::unordered_map<std::string, std::size_t> byKey;
    for (std::uint32_t i = 0; i < sms.size(); ++i) {
        std::string key = phoneKey(sms[i].address);
        if (key.empty()) key = std::string(sms[i].address);  // a sender's name, not a number
        const auto [it, added] = byKey.try_emplace(key, out.size());
        if (added) out.push_back({std::move(key), sms[i].address, {}, {}, 0});
        out[it->second].messages.push_back(i);
    }
    // Dates are "yyyy-mm-dd hh:mm:ss" texts: their order is time order.
    for (Conversation& c : out) {
        std::stable_sort(
            c.messages.begin(), c.messages.end(),
            [&](std::uint32_t a, std::uint32_t b) { return sms[a].date < sms[b].date; });
        const PSMSvalue& newest = sms[c.messages.back()];
        c.address = newest.address;
        c.lastDate = newest.date;
        c.deleted = static_cast<std::uint32_t>(
            std::count_if(c.messages.begin(), c.messages.end(),
                          [&](std::uint32_t m) { return sms[m].state == RecordState::Deleted; }));
    }
    std::stable_sort(out.begin(), out.end(), [](const Conversation& a, const Conversation& b) {
        return a.lastDate > b.lastDate;
    });
    return out;
}

}  // namespace pc
