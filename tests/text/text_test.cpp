#include <gtest/gtest.h>

#include "support/memory_form.h"
#include "text/text.h"

using namespace lilan;
using lilan::testing::gb;

namespace {

// A double-byte character whose trail byte is ASCII "b" (0x62), and one whose trail byte is
// "\\" (0x5C): searches must step over them whole.
const Text kTrailB = "\x81\x62";
const Text kTrailBackslash = "\x81\x5C";

TEST(Find, StepsOverDoubleByteCharactersAndFoldsAsciiOnly) {
    struct Case {
        Text text, needle;
        long from;
        bool ignoreCase;
        long expected;
    } cases[] = {
        {"abcabc", "c", 1, false, 3},
        {"abcabc", "c", 4, false, 6},
        {"abcabc", "c", -5, false, 3},
        {"abc", "", 1, false, 1},
        {"", "", 1, false, -1},
        {"ABC", "b", 1, true, 2},
        {"ABC", "b", 1, false, -1},
        {kTrailB + "b", "b", 1, false, 3},
        {kTrailB, "b", 1, false, -1},
        {kTrailB + "xb", "b", 2, false, 4}, // a start inside a character moves to the next boundary
        {gb("中文中"), gb("中"), 2, false, 5},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findText(c.text, c.needle, c.from, c.ignoreCase), c.expected)
            << c.text << " / " << c.needle;
    }
}

TEST(FindLast, SearchesBeforeThePosition) {
    EXPECT_EQ(findLast("abcabc", "bc"), 5);
    EXPECT_EQ(findLast("abcabc", "bc", 6), 2); // the match must end before byte 6
    EXPECT_EQ(findLast("abcabc", "bc", 7), 5);
    EXPECT_EQ(findLast("abcabc", "bc", 1), -1);
    EXPECT_EQ(findLast(kTrailB + kTrailB, "b"), -1);
    EXPECT_EQ(findLast("xAx", "a", kWholeText, true), 2);
}

TEST(Mid, CutsBytes) {
    EXPECT_EQ(mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(mid("abcdef", 0, 2), "");
    EXPECT_EQ(mid("abcdef", 7, 2), "");
    EXPECT_EQ(mid("abcdef", 2, 0), "");
}

TEST(Replace, LeftToRightWithoutOverlap) {
    EXPECT_EQ(replaceText("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(replaceText("aXa", "x", "-", 1, -1, false), "a-a");
    EXPECT_EQ(replaceText("aXa", "x", "-"), "aXa");
    EXPECT_EQ(replaceText("a.a.a", ".", "", 3), "a.aa");
    EXPECT_EQ(replaceText("a.a.a", ".", "", 1, 1), "aa.a");
    EXPECT_EQ(replaceText("abc", "", "x"), "abc");
    EXPECT_EQ(replaceText("aa", "a", "aa"), "aaaa"); // inserted text is not scanned again
    EXPECT_EQ(replaceText(kTrailB + "b", "b", "c"), kTrailB + "c");
}

TEST(Split, KeepsEmptyPiecesButNotATrailingOne) {
    const Text sep = gb("#分隔#");
    struct Case {
        Text text;
        TextList expected;
    } cases[] = {
        {"", {}},
        {"a" + sep, {"a"}},
        {sep + "a", {"", "a"}},
        {"a" + sep + sep + "b" + sep, {"a", "", "b"}},
        {sep + sep + "t", {"", "", "t"}},
        {"a|b||c", {"a|b||c"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitList(c.text, sep), c.expected);
    EXPECT_EQ(splitList("a|b||c", "|"), (TextList{"a", "b", "", "c"}));
}

TEST(Trim, RemovesAsciiAndFullWidthSpacesOnly) {
    const Text fw = "\xA1\xA1";
    EXPECT_EQ(trim("  a b  "), "a b");
    EXPECT_EQ(trim(fw + " a" + fw), "a");
    EXPECT_EQ(trim("\ta\t"), "\ta\t");
    EXPECT_EQ(trim("\r\na"), "\r\na");
    // "\xA1" as trail byte of a character followed by "\xA1\xA1" must not be split.
    EXPECT_EQ(trim("\xB0\xA1" + fw), "\xB0\xA1");
    EXPECT_EQ(trim("   "), "");
}

TEST(ToInteger, ReadsTheLeadingNumber) {
    struct Case {
        Text text;
        long long expected;
    } cases[] = {
        {"  12ab", 12},      {"-3", -3},       {"+7", 7},
        {gb("全部"), 0},     {"", 0},          {"x1", 0},
        {gb("１２３"), 123}, {gb("－５"), -5}, {"99999999999999999999999", LLONG_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(toInteger(c.text), c.expected) << c.text;
}

TEST(Numbers, RealToTextAndRounding) {
    EXPECT_EQ(realToText(2.0), "2");
    EXPECT_EQ(realToText(1.5), "1.5");
    EXPECT_EQ(realToText(12.35), "12.35");
    EXPECT_EQ(realToText(0.1 + 0.2), "0.3");
    EXPECT_EQ(realToText(-4.25), "-4.25");
    EXPECT_DOUBLE_EQ(roundHalfAway(1.025, 2), 1.03);
    EXPECT_DOUBLE_EQ(roundHalfAway(-1.025, 2), -1.03);
    EXPECT_DOUBLE_EQ(roundHalfAway(59.999, 2), 60.0);
    EXPECT_DOUBLE_EQ(roundHalfAway(2.5, 0), 3.0);
}

TEST(Random, StaysInTheInclusiveRange) {
    seedRandom();
    bool sawLow = false, sawHigh = false;
    for (int i = 0; i < 500; ++i) {
        const long long r = randomBetween(5, 3); // bounds are ordered
        ASSERT_GE(r, 3);
        ASSERT_LE(r, 5);
        sawLow |= r == 3;
        sawHigh |= r == 5;
    }
    EXPECT_TRUE(sawLow && sawHigh);
    EXPECT_EQ(randomBetween(-4, 0), 0);
}

TEST(Random, IsEvenAcrossTheRange) {
    seedRandom();
    int counts[7] = {};
    for (int i = 0; i < 70000; ++i)
        ++counts[randomBetween(10, 16) - 10];
    for (const int n : counts) { // 10 000 expected, a standard deviation of about 93
        EXPECT_GT(n, 9500);
        EXPECT_LT(n, 10500);
    }
    // The widest range still stays inside and reaches its upper half.
    bool upper = false;
    for (int i = 0; i < 64; ++i) {
        const long long r = randomBetween(0, LLONG_MAX);
        ASSERT_GE(r, 0);
        upper |= r > LLONG_MAX / 2;
    }
    EXPECT_TRUE(upper);
}

TEST(RestoreQuotes, TurnsDoubledApostrophesIntoQuotes) {
    EXPECT_EQ(restoreQuotes("''''"), "\"\"");
    EXPECT_EQ(restoreQuotes("'a'"), "'a'");
    EXPECT_EQ(restoreQuotes("x='''"), "x=\"'");
}

TEST(TextBetween, ForwardSearchAndWalking) {
    const Text page = "<html><TITLE>Hello</title><a href=\"u1\">x</a><a href=\"\">y</a><a href=\"u3\">";
    EXPECT_EQ(textBetween(page, "<title>", "</title>"), "Hello");
    EXPECT_EQ(textBetween(page, "<TITLE>", "</TITLE>"), "Hello");
    long pos = 0;
    EXPECT_EQ(textBetween(page, "<title>", "</nothing>", &pos), "");
    EXPECT_EQ(pos, 0);

    pos = 0;
    TextList links;
    for (Text link; !(link = textBetween(page, "href=\"", "\"", &pos)).empty();)
        links.push_back(link);
    EXPECT_EQ(links, TextList{"u1"}); // the empty href ends the walk

    EXPECT_EQ(textBetween("abc", "", "b"), "a");
    EXPECT_EQ(textBetween("abc", "b", ""), "c");
    EXPECT_EQ(textBetween("abc", "", ""), "abc");
}

TEST(TextBetween, ShiftsBackwardSearchAndMarkerQuotes) {
    BetweenOptions shifts;
    shifts.startShift = 1;
    shifts.endShift = 1;
    EXPECT_EQ(textBetween("[abcd]", "[", "]", nullptr, shifts), "bc");

    BetweenOptions back;
    back.fromEnd = true;
    long pos = 0;
    EXPECT_EQ(textBetween("<1><2><3>", "<", ">", &pos, back), "3");
    EXPECT_EQ(pos, 7);
    EXPECT_EQ(textBetween("<1><2><3>", "<", ">", &pos, back), "2");

    BetweenOptions quotes;
    quotes.restoreMarkerQuotes = true;
    EXPECT_EQ(textBetween("<div class=\"a\">x</div>", "class=''a''>", "<", nullptr, quotes), "x");
}

TEST(CountCharacters, ThreeLineBreakModes) {
    struct Case {
        Text text;
        int mode;
        long expected;
    } cases[] = {
        {gb("中文"), 1, 2}, {"ab\r\ncd", 1, 5},
        {"ab\r\ncd", 0, 4}, {"ab\r\ncd", 2, 6},
        {"a\rb", 1, 3},     {"a\nb", 1, 3},
        {"\n", 1, 1},       {gb("中") + "\r\n", 1, 2},
        {"\r\n\r\n", 1, 2}, {"", 1, 0},
        {gb("好😀😀"), 1, 3}, {gb("😀") + "ab", 0, 3}, // a four-byte character is one
    };
    for (const auto& c : cases) {
        EXPECT_EQ(countCharacters(c.text, c.mode), c.expected) << c.mode;
        // Stopping early must still answer "at least n?" rightly for every n.
        for (long n = 0; n <= c.expected + 1; ++n)
            EXPECT_EQ(countCharacters(c.text, c.mode, n) >= n, c.expected >= n) << c.mode << " " << n;
    }
}

} // namespace
