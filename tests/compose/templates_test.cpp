#include <gtest/gtest.h>

#include <set>

#include "compose/templates.h"
#include "support/memory_form.h"
#include "support/printers.h"

namespace lilan {
namespace {

using testing::gb;

const char* const kDefaultTemplate = "#所在地#网友<b>#昵称#</b>说：#评论#<br>\r\n";

TEST(TemplateSet, CutsAtSeparatorKeepingEmptyPiecesButNotATrailingOne) {
    struct Case {
        const char* box;
        std::vector<const char*> expected;
    };
    const Case cases[] = {
        {"", {}},
        {kDefaultTemplate, {kDefaultTemplate}},
        {"a#分隔#", {"a"}},
        {"#分隔#a", {"", "a"}},
        {"#分隔##分隔#b", {"", "", "b"}},
        {"a#分隔##分隔#b#分隔#", {"a", "", "b"}},
        {"甲\r\n#分隔#\r\n乙", {"甲\r\n", "\r\n乙"}},
    };
    for (const Case& c : cases) {
        TextList expected;
        for (const char* piece : c.expected)
            expected.push_back(gb(piece));
        EXPECT_EQ(buildTemplateSet(gb(c.box)), expected) << c.box;
    }
}

TEST(TemplateChoice, UsesEveryTemplateOncePerCycle) {
    const TextList templates = {"a", "b", "c"};
    NumberDrawer drawer;
    for (int cycle = 0; cycle < 3; ++cycle) {
        std::set<Text> seen;
        for (int i = 0; i < 3; ++i)
            seen.insert(chooseTemplate(drawer, templates));
        EXPECT_EQ(seen, (std::set<Text>{"a", "b", "c"})) << "cycle " << cycle;
    }
    const TextList single = {"only"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(chooseTemplate(drawer, single), "only");
    EXPECT_EQ(chooseTemplate(drawer, {}), "");
}

TEST(TemplateFilling, FillsPlaceholdersInOrder) {
    struct Case {
        const char* name;
        const char* templ;
        CommentRecord comment; // UTF-8 here, converted below
        const char* title;
        const char* expected;
    };
    const Case cases[] = {
        {"default template",
         kDefaultTemplate,
         {"abc", "北京", "好"},
         "标题",
         "北京网友<b>abc</b>说：好<br>\r\n"},
        {"no placeholders", "固定文字", {"n", "r", "c"}, "t", "固定文字"},
        {"repeated placeholder", "#评论#/#评论#/#昵称#", {"n", "r", "c"}, "t", "c/c/n"},
        {"content quoting the title", "#评论#", {"n", "r", "看#标题#吧"}, "新闻", "看新闻吧"},
        {"region holding the nickname placeholder", "#所在地#", {"张三", "#昵称#家", "c"}, "t", "张三家"},
        {"title holding the content placeholder", "#标题#", {"n", "r", "c"}, "新#评论#闻", "新#评论#闻"},
        {"fields with a bar stay whole", "#评论#", {"n", "r", "a|b"}, "t", "a|b"},
    };
    for (const Case& c : cases) {
        const CommentRecord comment{gb(c.comment.nickname), gb(c.comment.region), gb(c.comment.content)};
        EXPECT_EQ(fillTemplate(gb(c.templ), comment, gb(c.title)), gb(c.expected)) << c.name;
    }
}

TEST(PairReplacement, AppliesPairsOneAfterAnother) {
    struct Case {
        const char* name;
        const char* text;
        TextList names;
        TextList values;
        bool caseSensitive;
        const char* expected;
    };
    const Case cases[] = {
        {"later pairs see earlier values", "ab", {"a", "b"}, {"b", "c"}, true, "cc"},
        {"missing values delete", "abcabc", {"a", "b", "c"}, {"x"}, true, "xx"},
        {"surplus values are ignored", "ab", {"a"}, {"1", "2"}, true, "1b"},
        {"empty name changes nothing", "ab", {"", "b"}, {"x", "y"}, true, "ay"},
        {"inserted text is not rescanned", "aa", {"a"}, {"aa"}, true, "aaaa"},
        {"case sensitive", "Abc abc", {"abc"}, {"x"}, true, "Abc x"},
        {"case folded", "Abc ABC", {"abc"}, {"x"}, false, "x x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(replacePairs(c.text, c.names, c.values, c.caseSensitive), c.expected) << c.name;
}

TEST(PairReplacement, MatchesWholeCharactersAndFoldsAsciiOnly) {
    // "中" is D6 D0 in the local code page: the pair D0 61 must not be found across it.
    const Text text = gb("中a");
    EXPECT_EQ(replacePairs(text,
                           {"\xD0"
                            "a"},
                           {"X"}, true),
              text);
    // Full-width letters are characters of their own and keep their case.
    EXPECT_EQ(replacePairs(gb("Ａａ"), {gb("ａ")}, {"x"}, false), gb("Ａx"));
}

} // namespace
} // namespace lilan
