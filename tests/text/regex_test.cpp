#include <gtest/gtest.h>

#include <set>

#include "support/memory_form.h"
#include "text/regex.h"

using namespace lilan;
using lilan::testing::gb;

namespace {

TEST(RegexObject, SetPatternTouchesTheEngineOnlyOnChange) {
    RegexObject r;
    r.setPattern("\\d+");
    const int first = r.compileCount();
    r.setPattern("\\d+");
    EXPECT_EQ(r.compileCount(), first);
    // An empty pattern keeps the one in force but applies the new flags.
    r.setPattern("", true, true, false);
    EXPECT_EQ(r.pattern(), "\\d+");
    EXPECT_EQ(r.replace("a1b22c"), "ab22c");
}

TEST(RegexObject, ExecuteAndSubMatches) {
    RegexObject r;
    EXPECT_EQ(r.matchCount(), 0);
    r.setPattern("(\\w)(\\d)?");
    EXPECT_EQ(r.execute("a1 b"), 2);
    EXPECT_EQ(r.subMatchText(1, 0), "a1");
    EXPECT_EQ(r.subMatchText(2, 1), "b");
    EXPECT_EQ(r.subMatchText(2, 2), ""); // a group that took no part
    EXPECT_EQ(r.subMatchText(3, 1), "");
    EXPECT_EQ(r.subMatchText(1, 9), "");
    EXPECT_EQ(r.execute("zz"), 2);
    EXPECT_EQ(r.subMatchText(1, 0), "z");
}

TEST(RegexObject, ReplaceSemantics) {
    struct Case {
        const char* pattern;
        bool ignoreCase, multiLine, global;
        const char* subject;
        const char* replacement;
        const char* expected;
    } cases[] = {
        {"\\d+", true, true, true, "a1b22c", "", "abc"},
        {"\\d+", true, true, false, "a1b22c", "", "ab22c"},
        {"(\\w+)@(\\w+)", true, true, true, "x@y", "$2 at $1", "y at x"},
        {"b", true, true, true, "abc", "[$&|$`|$'|$$|$9]", "a[b|a|c|$|$9]c"},
        {"x*", true, true, true, "xab", "-", "--a-b-"},
        // After an empty match the search moves on one character, as in script engines.
        {"a*?", true, true, true, "aa", "-", "-a-a-"},
        {"|a", true, true, true, "a", "-", "-a-"},
        {"^b", true, true, true, "a\rb", "-", "a\r-"}, // a lone CR ends a line too
        {"^ +| +$", true, true, true, " a \r\n b ", "", "a\r\nb"},
        {"^[ \\t]*$(\\r\\n)", true, true, true, "a\r\n  \r\nb", "", "a\r\nb"},
        {"a.c", true, true, true, "a\nc a\rc abc", "-", "a\nc - -"},
        {"{''id'':''(\\d+)''}", true, true, true, "{''id'':''12''}", "$1", "12"},
        {"x{", true, true, true, "ax{b", "", "ab"},
        {"ABC", true, true, true, "abc", "", ""},
        {"ABC", false, true, true, "abc", "", "abc"},
        {"a+?", true, true, true, "aaa", "b", "bbb"},
        {"(", true, true, true, "(((", "", ""}, // does not compile: empty result
        {"(a+)+$", true, true, true, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "",
         ""},
    };
    for (const auto& c : cases) {
        RegexObject r;
        r.setPattern(c.pattern, c.ignoreCase, c.multiLine, c.global);
        EXPECT_EQ(r.replace(c.subject, c.replacement), c.expected) << c.pattern << " on " << c.subject;
    }
}

TEST(RegexObject, UnicodeRangesAndLocalText) {
    RegexObject r;
    r.setPattern("([a-zA-Z]+://|www)[^\\s\\u4e00-\\u9fa5]+");
    // The full-width comma is neither whitespace nor an ideograph, so it goes with the address.
    EXPECT_EQ(r.replace(gb("看WWW.Example.com，好 http://a.b/c中文")), gb("看好 中文"));
    r.setPattern(gb("[，。]"));
    EXPECT_EQ(r.execute(gb("甲，乙。")), 2);
    EXPECT_EQ(r.subMatchText(2, 0), gb("。"));
}

TEST(RegexObject, StaysUsableAfterAFailedPattern) {
    RegexObject r;
    r.setPattern("[unclosed");
    EXPECT_EQ(r.execute("abc"), 0);
    EXPECT_EQ(r.replace("abc", "x"), "");
    r.setPattern("b");
    EXPECT_EQ(r.replace("abc", "x"), "axc");
}

// A pattern that backtracks without end gives up at the engine's limit instead of holding
// the window, fails quietly, and leaves the object usable.
TEST(RegexObject, RunawayBacktrackingStopsAtTheLimit) {
    RegexObject r;
    r.setPattern("(a+)+$");
    const Text subject = Text(40, 'a') + "b";
    EXPECT_EQ(r.execute(subject), 0);
    EXPECT_EQ(r.replace(subject, "x"), "");
    r.setPattern("a+b");
    EXPECT_EQ(r.replace(subject, "x"), "x");
}

TEST(RegexObject, NoPatternLeavesTextAlone) {
    RegexObject r;
    r.setPattern("");
    EXPECT_EQ(r.execute("abc"), 0);
    EXPECT_EQ(r.replace("abc", "x"), "abc");
}

TEST(EscapePattern, EscapesSpecialCharactersOnWholeCharacters) {
    EXPECT_EQ(RegexObject::escapePattern("a.b*c?"), "a\\.b\\*c\\?");
    EXPECT_EQ(RegexObject::escapePattern("(x|y)"), "\\(x\\|y\\)");
    EXPECT_EQ(RegexObject::escapePattern("\\"), "\\\\");
    EXPECT_EQ(RegexObject::escapePattern("^$+{}[]=\""), "\\^\\$\\+\\{\\}\\[\\]\\=\\\"");
    // Trail bytes 0x5C ("\\") and 0x5B ("[") belong to their characters.
    EXPECT_EQ(RegexObject::escapePattern("\x81\x5C\x81\x5B"), "\x81\x5C\x81\x5B");
    // An escaped text matches itself literally.
    RegexObject r;
    const Text literal = "a.b*(c)?" + gb("，");
    r.setPattern(RegexObject::escapePattern(literal));
    EXPECT_EQ(r.execute("xx" + literal + "a-b"), 1);
}

TEST(NumberDrawer, CyclesThroughTheRange) {
    NumberDrawer d;
    std::multiset<int> first, second;
    for (int i = 0; i < 3; ++i)
        first.insert(d.draw(1, 3));
    for (int i = 0; i < 3; ++i)
        second.insert(d.draw(1, 3));
    EXPECT_EQ(first, (std::multiset<int>{1, 2, 3}));
    EXPECT_EQ(second, (std::multiset<int>{1, 2, 3}));
    NumberDrawer one;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(one.draw(7, 7), 7);
}

} // namespace
