// Text messages as conversations: grouped by the number they were with, the conversation with the
// newest message first, each in time order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "result_store.h"

namespace pc {

struct Conversation {
    std::string_view address;             // the number as its newest message shows it
    std::vector<std::uint32_t> messages;  // SMS rows of the store, oldest first
    std::string_view lastDate;
    std::uint32_t deleted = 0;
};

std::vector<Conversation> conversationsOf(const ResultStore& store);

}  // namespace pc
