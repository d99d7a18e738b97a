// Conversations across the phone's messages: SMS, MMS and the apps' chats of one number together,
// in time order; a group chat by its name.
#include <gtest/gtest.h>

#include "conversations.h"

namespace pc {
namespace {

TEST(Conversations, JoinEveryStoresMessagesOfOneNumberInTimeOrder) {
    ResultStore store;
    const RecordState N = RecordState::Normal, D = RecordState::Deleted;
    store.append(PSMSvalue{"+86 138-0013-8000", "2021-03-04 10:02:00", "接收", "短信", N, {}, 0});
    store.append(PSMSvalue{"10086", "2021-03-04 09:00:00", "接收", "话费", N, {}, 0});
    store.append(PMessageValue{CategoryCode::Mms,
                               "13800138000",
                               "13800138000",
                               "2021-03-04 10:01:00",
                               "接收",
                               "彩信",
                               D,
                               {},
                               0});
    store.append(PMessageValue{CategoryCode::WhatsApp,
                               "张三 (8613800138000)",
                               "本机",
                               "2021-03-04 10:03:00",
                               "发送",
                               "WhatsApp",
                               N,
                               {},
                               0});
    store.append(PMessageValue{CategoryCode::WhatsApp,
                               "家庭群",
                               "李四 (8613900139000)",
                               "2021-03-04 08:00:00",
                               "接收",
                               "群",
                               N,
                               {},
                               0});
    store.append(PMessageValue{CategoryCode::GoogleMessages,
                               "王五 (+8613800138000)",
                               "本机",
                               "2021-03-04 10:04:00",
                               "发送",
                               "RCS",
                               N,
                               {},
                               0});

    const std::vector<Conversation> all = conversationsOf(store);
    ASSERT_EQ(all.size(), 3u);
    const Conversation& c = all[0];  // the newest message first
    EXPECT_EQ(c.address, "王五 (+8613800138000)");
    EXPECT_EQ(c.deleted, 1u);
    std::vector<std::string> bodies, senders;
    for (const MessageRef m : c.messages) {
        const ChatLine line = chatLine(store, m);
        bodies.emplace_back(line.body);
        senders.emplace_back(line.sender);
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"彩信", "短信", "WhatsApp", "RCS"}));
    EXPECT_EQ(senders, (std::vector<std::string>{"13800138000", "", "本机", "本机"}));
    EXPECT_EQ(all[1].address, "10086");
    EXPECT_EQ(all[2].address, "家庭群");
    EXPECT_EQ(messageCount(store), 6u);
}

}  // namespace
}  // namespace pc
