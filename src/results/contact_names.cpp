#include "contact_names.h"

namespace pc {

std::string phoneKey(std::string_view number) {
    std::string digits;
    for (char c : number)
        if (c >= '0' && c <= '9') digits += c;
    if (digits.rfind("0086", 0) == 0) digits.erase(0, 4);
    if (digits.size() == 13 && digits.rfind("86", 0) == 0) digits.erase(0, 2);
    return digits;
}

ContactNames::ContactNames(const ResultStore& store) {
    for (const RecordState wanted : {RecordState::Normal, RecordState::Deleted})
        for (const PtelValue& c : store.ContactRecords())
            if (c.state == wanted && !c.name.empty()) {
                std::string key = phoneKey(c.phone);
                if (!key.empty()) names_.try_emplace(std::move(key), c.name);
            }
}

std::string_view ContactNames::nameOf(std::string_view number) const {
    const auto it = names_.find(phoneKey(number));
    return it == names_.end() ? std::string_view() : it->second;
}

}  // namespace pc
