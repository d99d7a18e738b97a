// Messages as conversations: SMS, MMS, Google Messages and WhatsApp grouped by the number (or chat)
// they were with, the conversation with the newest message first, each in time order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "result_store.h"

namespace pc {

// The categories whose messages make conversations.
inline constexpr CategoryCode kMessageCategories[] = {
    CategoryCode::Sms, CategoryCode::Mms, CategoryCode::GoogleMessages, CategoryCode::WhatsApp};

// A message: a row of one of kMessageCategories.
struct MessageRef {
    std::uint32_t row;
    CategoryCode code;
};

// A message as a chat shows it; its views last until the store's next read of a long text.
struct ChatLine {
    std::string_view date, type, sender, body;
    RecordState state;
};
ChatLine chatLine(const ResultStore& store, MessageRef message);

// The rows conversations are made of.
std::size_t messageCount(const ResultStore& store);

struct Conversation {
    std::string_view address;          // the number (or chat) as its newest message shows it
    std::vector<MessageRef> messages;  // oldest first
    std::string_view lastDate;
    std::uint32_t deleted = 0;
};

std::vector<Conversation> conversationsOf(const ResultStore& store);

// Every message and call of the store in time order (of one time, in the order found).
std::vector<MessageRef> timelineOf(const ResultStore& store);

}  // namespace pc
