#include <gtest/gtest.h>

#include "core/collection_run.h"
#include "support/memory_form.h"

using namespace lilan;
using lilan::testing::u8;

TEST(ElapsedText, ScalesThroughTheUnits) {
    struct Case {
        int64_t ms;
        const char* expected;
    } cases[] = {
        {999, "999 毫秒"},
        {0, "0 毫秒"},
        {59'999, "60 秒"},
        {61'500, "1.03 分"},
        {3'600'000, "1 时"},
        {45LL * 86'400'000, "1.5 月"},
        {400LL * 86'400'000, "1.11 年"},
        {2LL * 86'400'000, "2 天"},
        {1'500, "1.5 秒"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(u8(elapsedText(c.ms)), c.expected) << c.ms;
}
