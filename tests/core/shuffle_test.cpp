#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/comments.h"
#include "support/memory_form.h"
#include "support/printers.h"

using namespace lilan;
using lilan::testing::RecordingPlatform;

TEST(DrawPool, DrawsEachValueOncePerCycle) {
    DrawPool pool;
    for (int round = 0; round < 20; ++round) {
        std::set<int> cycle;
        for (int i = 0; i < 5; ++i)
            cycle.insert(pool.drawWithoutRepeat(1, 5));
        EXPECT_EQ(cycle, (std::set<int>{1, 2, 3, 4, 5}));
    }
    EXPECT_EQ(pool.drawWithoutRepeat(0, 0), 0);
    // Two values: every pair of draws in a cycle differs.
    for (int i = 0; i < 10; ++i)
        EXPECT_NE(pool.drawWithoutRepeat(1, 2), pool.drawWithoutRepeat(1, 2));
}

TEST(Shuffle, MixesFieldsFromTheSnapshotOnly) {
    RecordingPlatform platform;
    DrawPool pool;
    CommentList empty;
    shuffleCommentFields(empty, pool);
    EXPECT_TRUE(empty.empty());

    CommentList one{{"n", "r", "c"}};
    shuffleCommentFields(one, pool);
    EXPECT_EQ(one, (CommentList{{"n", "r", "c"}}));

    CommentList list;
    for (int i = 0; i < 7; ++i)
        list.push_back({"n" + std::to_string(i), "r" + std::to_string(i), "c" + std::to_string(i)});
    const CommentList before = list;
    platform.eventCalls = 0;
    shuffleCommentFields(list, pool);
    EXPECT_EQ(platform.eventCalls, 7);
    // With 21 draws over 7 values in cycles of 7, every region, nickname and content
    // comes from a cycle: the multiset of regions is a mix of the old values only.
    for (const CommentRecord& r : list) {
        auto from = [&](auto field, const Text& v) {
            return std::any_of(before.begin(), before.end(),
                               [&](const CommentRecord& b) { return b.*field == v; });
        };
        EXPECT_TRUE(from(&CommentRecord::region, r.region));
        EXPECT_TRUE(from(&CommentRecord::nickname, r.nickname));
        EXPECT_TRUE(from(&CommentRecord::content, r.content));
    }
    // The first cycle of seven draws hands out regions 1..7 once each.
    std::set<Text> regions;
    for (const CommentRecord& r : list)
        regions.insert(r.region);
    EXPECT_GE(regions.size(), 3u);
}
