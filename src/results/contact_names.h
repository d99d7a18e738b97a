// The names a contacts scan of the same run knows, by phone number: who a message or a call was
// with, where the contacts say so.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "result_store.h"

namespace pc {

// The digits of a phone number as Chinese numbers are dialled: "+86 138-0013-8000" and
// "13800138000" are one number.
std::string phoneKey(std::string_view number);

class ContactNames {
  public:
    // The names of the store's contacts rows, a live entry's before a deleted one's.
    explicit ContactNames(const ResultStore& store);
    // The name for `number`, or "" when no contact has it.
    std::string_view nameOf(std::string_view number) const;
    bool empty() const { return names_.empty(); }
    // Calls `f(key, name)` for every number's phoneKey and name.
    template <typename F>
    void forEach(F&& f) const {
        for (const auto& [key, name] : names_)
            f(key, name);
    }

  private:
    std::unordered_map<std::string, std::string_view> names_;
};

}  // namespace pc
