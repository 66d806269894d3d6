#include <gtest/gtest.h>

#include <set>

#include "compose/article.h"
#include "support/memory_form.h"

namespace lilan {
namespace {

using testing::gb;
using testing::RecordingPlatform;

const char* const kLong = "一二三四五六七八九十";
const char* const kOther = "十九八七六五四三二一";

// Picks often enough to see every piece that can come up; two qualifying pieces in random
// order are each missed by chance once in 2^40.
std::set<Text> picks(const Text& article, int times = 40) {
    std::set<Text> seen;
    for (int i = 0; i < times; ++i)
        seen.insert(pickRandomSentence(article));
    return seen;
}

TEST(RandomSentence, ReturnsTheOnlyLongEnoughPiece) {
    struct Case {
        const char* name;
        const char* article;
        const char* expected;
    };
    const Case cases[] = {
        {"no separators, blanks trimmed", "  这是一段没有任何分隔符号的文字\t",
         "这是一段没有任何分隔符号的文字"},
        {"number keeps its full stop", "价格是3.5元钱的东西很便宜，好", "价格是3.5元钱的东西很便宜"},
        {"full stop and space end a piece", "Hello there everyone. x", "Hello there everyone"},
        {"piece may begin with a space", "短， abcdefghijk", " abcdefghijk"},
        {"mark-up removed, empty pair too", "<b>abc<>defg</b>hij>", "abcdefghij"},
        {"unpaired < stays and cuts", "a<b<c>defghijkl", "bdefghijkl"},
        {"blank lines and line ends", "\r\n \r\n\t一二三四五六七八九十　 \r\n\r\n短\r\n", kLong},
        {"marker in the text cuts", "一二三四五六七八九十[⊥]短", kLong},
        {"ten characters are enough", "短，一二三四五六七八九十，九个字一二三四五六", kLong},
    };
    RecordingPlatform platform;
    for (const Case& c : cases)
        EXPECT_EQ(picks(gb(c.article)), std::set<Text>{gb(c.expected)}) << c.name;
}

TEST(RandomSentence, TheDefaultHeadOffersTheNewsTitle) {
    RecordingPlatform platform;
    const Text article =
        gb("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" content=\"text/html; "
           "charset=gb2312\" />\r\n<title>网友对《一个足够长的新闻标题文字》的评论</title>\r\n"
           "</head>\r\n<body>\r\n甲说：好<br>\r\n</body>\r\n</html>");
    EXPECT_EQ(picks(article), std::set<Text>{gb("一个足够长的新闻标题文字")});
}

TEST(RandomSentence, EveryListedSeparatorCutsAndOthersDoNot) {
    RecordingPlatform platform;
    const char* const separators[] = {",",  "，", "。", "！", "!", "？", "?",    ";",  "；", "<",  ">",  "/",
                                      ":",  "：", "(",  ")",  "=", "'",  "{",    "}",  "《", "》", "（", "）",
                                      "、", "‘",  "’",  "“",  "”", "\"", "\r\n", "\r", "\n", ". "};
    for (const char* separator : separators) {
        const Text article = gb(std::string(kLong) + separator + kOther);
        EXPECT_EQ(picks(article), (std::set<Text>{gb(kLong), gb(kOther)})) << separator;
    }
    for (const char* joiner : {".", " ", "-", "[", "]", "|", "*", "$", "\\", "^", "+", "#"}) {
        const std::string whole = std::string(kLong) + joiner + kOther;
        EXPECT_EQ(picks(gb(whole), 3), std::set<Text>{gb(whole)}) << joiner;
    }
}

TEST(RandomSentence, FallsBackToAnyPieceWhenNoneIsLongEnough) {
    RecordingPlatform platform;
    EXPECT_EQ(picks(gb("甲，乙。丙"), 60), (std::set<Text>{gb("甲"), gb("乙"), gb("丙")}));
    // Nine characters and a line break are still too short.
    EXPECT_EQ(picks(gb("一二三四五六七八九\r\n"), 5), std::set<Text>{gb("一二三四五六七八九")});
    // Two separators in a row give an empty piece, which only the fallback can pick.
    EXPECT_EQ(picks(gb("甲，，乙"), 60), (std::set<Text>{gb("甲"), "", gb("乙")}));
    EXPECT_EQ(pickRandomSentence(""), "");
    EXPECT_EQ(pickRandomSentence("<b></b>"), "");
}

TEST(RandomSentence, LetsTheWindowBreatheOncePerPieceExamined) {
    RecordingPlatform platform;
    pickRandomSentence(gb("甲，乙，丙，丁"));
    EXPECT_EQ(platform.eventCalls, 4);
    platform.eventCalls = 0;
    pickRandomSentence(gb(kLong));
    EXPECT_EQ(platform.eventCalls, 1);
}

} // namespace
} // namespace lilan
