#include <gtest/gtest.h>

#include <random>
#include <set>

#include "record_key.h"

namespace pc {
namespace {

// The set answers as an exact set would, for keys put in one at a time (growing as it goes) and
// all at once, for the zero key, and for keys never put in, many of which differ from one in the
// set in a single bit of either half.
TEST(RecordKeySet, AnswersAsAnExactSet) {
    std::mt19937_64 random(5);
    std::vector<RecordKey> in, out;
    for (int i = 0; i < 200000; ++i)
        in.push_back({random(), random()});
    in.push_back({0, 0});
    in.push_back({0, 1});
    in.push_back({1, 0});
    for (const RecordKey& k : std::vector<RecordKey>(in.begin(), in.begin() + 50000)) {
        out.push_back({k.a, k.b ^ 1});
        out.push_back({k.a ^ 1, k.b});
        out.push_back({k.a, k.b ^ (std::uint64_t{1} << 40)});
        out.push_back({random(), random()});
    }
    const std::set<RecordKey> exact(in.begin(), in.end());
    std::erase_if(out, [&](const RecordKey& k) { return exact.contains(k); });

    RecordKeySet oneByOne, allAtOnce;
    for (const RecordKey& k : in)
        EXPECT_TRUE(oneByOne.insert(k));
    EXPECT_FALSE(oneByOne.insert(in[123]));
    EXPECT_FALSE(oneByOne.insert(RecordKey{}));
    allAtOnce.insertAll(std::vector<RecordKey>(in.begin(), in.begin() + 1000));
    allAtOnce.insertAll(in);
    for (const RecordKeySet* set : {&oneByOne, &allAtOnce}) {
        EXPECT_EQ(set->size(), in.size());
        for (const RecordKey& k : in)
            ASSERT_TRUE(set->contains(k)) << k.a << " " << k.b;
        for (const RecordKey& k : out)
            ASSERT_FALSE(set->contains(k)) << k.a << " " << k.b;
    }
    EXPECT_FALSE(RecordKeySet().contains(RecordKey{}));
    EXPECT_FALSE(RecordKeySet().contains(in[0]));
}

// Keys gathered before their count is known come back in order, across blocks and at their edges,
// and fill a set sized once for them.
TEST(RecordKeyList, GivesEveryKeyBackInOrder) {
    for (std::size_t count :
         {std::size_t{0}, std::size_t{1}, std::size_t{131072}, std::size_t{300001}}) {
        RecordKeyList list;
        for (std::size_t i = 0; i < count; ++i)
            list.push_back({i * 7 + 1, i});
        EXPECT_EQ(list.size(), count);
        std::size_t next = 0;
        RecordKeySet set;
        set.reserve(list.size());
        list.drainBlocks([&](std::span<const RecordKey> keys) {
            for (const RecordKey& k : keys) {
                ASSERT_EQ(k, (RecordKey{next * 7 + 1, next}));
                ++next;
            }
            set.insertAll(keys);
        });
        EXPECT_EQ(next, count);
        EXPECT_EQ(list.size(), 0u);  // drained
        EXPECT_EQ(set.size(), count);
        if (count) {
            EXPECT_TRUE(set.contains({(count - 1) * 7 + 1, count - 1}));
        }
    }
}

}  // namespace
}  // namespace pc
