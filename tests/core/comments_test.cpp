#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/comments.h"
#include "support/memory_form.h"
#include "support/printers.h"

using namespace lilan;
using lilan::testing::gb;

TEST(UnescapeResponse, DecodesLikeAScriptStringLiteral) {
    struct Case {
        Text body;
        Text expected;
    } cases[] = {
        {"\\u4e2d\\u6587", gb("中文")},
        {"a\\/b", "a/b"},
        {"say \\\"hi\\\"", "say \"hi\""},
        {"tab\\tend", "tab\tend"},
        {"\\x41\\101\\q", "AAq"},
        {"%41%u0042%zz%", "AB%zz%"},
        {"it's", "it's"},
        {gb("’"), "'"}, // a right quote in the response comes back as an apostrophe
        {"line1\r\nline2", "line1\r\nline2"},
        {"\rfirst", "first"},
        {"\\\\u4e2d", gb("中")}, // an escaped backslash before "u" still reads as a %u escape
        {"\\ud83d\\ude00", gb("😀")},
        {"\\ud83d.", "?."}, // a lone surrogate cannot be written
        {"", ""},
        // A body that would break the string literal gives nothing.
        {"raw\nfeed", ""},
        {"trailing\\", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unescapeResponse(c.body), c.expected) << c.body;
}

namespace {

// A record as the comment service writes it: "\\u" escapes, "\\/" in addresses.
std::string record(const std::string& id, const std::string& content, const std::string& nick,
                   const std::string& region) {
    return "{\"id\":\"" + id + "\",\"rootid\":\"0\",\"content\":\"" + content +
           "\",\"up\":\"1\",\"userinfo\":{\"userid\":\"9\",\"nick\":\"" + nick +
           "\",\"head\":\"http:\\/\\/q.qlogo.cn\\/9\\/40\",\"region\":\"" + region + "\",\"remark\":\"\"}}";
}

std::string page(const std::vector<std::string>& records) {
    std::string body = "{\"errCode\":0,\"data\":{\"commentid\":[";
    for (size_t i = 0; i < records.size(); ++i)
        body += (i ? "," : "") + records[i];
    return body + "]}}";
}

} // namespace

TEST(ParseCommentPage, TwentyRecordsAdvanceTheCursor) {
    std::vector<std::string> records;
    for (int i = 1; i <= 20; ++i) {
        records.push_back(
            record(std::to_string(700 + i), i % 4 ? "\\u8bc4\\u8bba\\u5185\\u5bb9\\u5f88\\u957f" : "ok",
                   "nick" + std::to_string(i), i == 3 ? "::" : "\\u5317\\u4eac:\\u5317\\u4eac:"));
    }
    Text cursor = "1";
    CommentList comments;
    EXPECT_TRUE(parseCommentPage(page(records), cursor, comments, 5));
    EXPECT_EQ(cursor, "720");
    EXPECT_EQ(comments.size(), 15u); // every fourth comment is too short
    EXPECT_EQ(comments[0], (CommentRecord{"nick1", gb("北京:北京:"), gb("评论内容很长")}));
    EXPECT_EQ(comments[2].region, gb("火星"));
}

TEST(ParseCommentPage, EdgeCasesOfTheRecordPattern) {
    struct Case {
        std::string body;
        long minimum;
        bool expectedResult;
        std::vector<CommentRecord> expected;
        Text expectedCursor;
    } cases[] = {
        // A region of two colons and a blank is kept as it is.
        {page({record("1", "hello", "a", ":: ")}), 0, true, {{"a", ":: ", "hello"}}, "1"},
        // An escaped double quote ends the content early, where the rest of the pattern fits.
        {page({record("2", "say \\\"hi\\\", friend", "b", "x")}), 0, true, {{"b", "x", "say "}}, "2"},
        // A line feed inside a comment loses that record; the next one is still found.
        {page({record("3", "two\\nlines", "c", "x"), record("4", "fine", "d", "y")}),
         0,
         true,
         {{"d", "y", "fine"}},
         "4"},
        {page({record("5", "100%41 \\u2019yes\\u2019", "e", "x")}), 0, true, {{"e", "x", "100A 'yes'"}}, "5"},
        // Lone surrogates, low or high, become one "?" each on their way through the pattern.
        {page({record("7", "a\\udc00b%udfffc\\ud83dd", "g", "x")}), 0, true, {{"g", "x", "a?b?c?d"}}, "7"},
        // Nothing long enough: no record kept, yet the page had records.
        {page({record("6", "short", "f", "x")}), 100, true, {}, "6"},
        {"", 0, false, {}, "keep"},
        {page({}), 0, false, {}, "keep"},
    };
    for (const auto& c : cases) {
        Text cursor = "keep";
        CommentList comments;
        EXPECT_EQ(parseCommentPage(c.body, cursor, comments, c.minimum), c.expectedResult) << c.body;
        EXPECT_EQ(comments, c.expected) << c.body;
        EXPECT_EQ(cursor, c.expectedCursor) << c.body;
    }
}

// Escapes that meet the percent decoding: the result must be what decoding the literal
// first and unescaping afterwards gives.
TEST(UnescapeResponse, LiteralEscapesAndPercentSequencesInteract) {
    struct Case {
        Text body;
        Text expected;
    } cases[] = {
        {"%4\\u0031", "%41"},                          // the decoded "1" does not form a new %41
        {"%\\u0041", "%A"},                            // "\\u" reads as "%u": the first "%" stays
        {"\\x25\\x34\\x31", "A"},                      // escapes that spell %41 are unescaped
        {"%\\x34\\x31", "A"},     {"%u00\\x341", "A"}, // %u0041 with one digit escaped
        {"%\r\n41", "%\r\n41"},                        // a line break is no hex digit
        {"%%41", "%A"},           {"\\%u4e2d", gb("中")}, {"%u4e2", "%u4e2"}, {"\\u4e2", "%u4e2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unescapeResponse(c.body), c.expected) << c.body;
}
