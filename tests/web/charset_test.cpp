#include "web/charset.h"

#include <gtest/gtest.h>

#include "support/memory_form.h"

namespace lilan {
namespace {

using testing::gb;

// "中文" in the encodings the decoder meets.
const std::string kUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kGbk = "\xD6\xD0\xCE\xC4";
const std::string kBig5 = "\xA4\xA4\xA4\xE5";
const std::string kUtf16LE = std::string("\x2D\x4E\x87\x65", 4);
const std::string kUtf16BE = std::string("\x4E\x2D\x65\x87", 4);

std::string page(const std::string& head, const std::string& body) {
    return "<html><head>" + head + "</head><body>" + body + "</body></html>";
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    int requested;
    std::string expected; // local text
    int code;
};

// Test lists show a case by its name, not by the raw bytes of the struct.
void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeResponse : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeResponse, GivesTextAndCode) {
    const DecodeCase& c = GetParam();
    const DecodedText result = decodeResponse(c.bytes, c.requested);
    EXPECT_EQ(result.text, c.expected);
    EXPECT_EQ(result.code, c.code);
}

const std::string kGbkPage =
    page("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">", kGbk);

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeResponse,
    ::testing::Values(
        DecodeCase{"Empty", "", 0, "", 1}, DecodeCase{"Utf8MarkDropped", "\xEF\xBB\xBF" + kUtf8, 0, kGbk, 2},
        DecodeCase{"Utf16LEMark", "\xFF\xFE" + kUtf16LE, 0, kGbk, 3},
        DecodeCase{"Utf16BEMark", "\xFE\xFF" + kUtf16BE, 0, kGbk, 4},
        // A whole-conversion failure on the double-byte characters sends it back untouched.
        DecodeCase{"GbkPageUnconverted", kGbkPage, 0, kGbkPage, 1},
        DecodeCase{"PlainAscii", "<p>plain</p>", 0, "<p>plain</p>", 2},
        DecodeCase{"ServiceReplyUtf8", "{\"c\":\"" + kUtf8 + "\"}", 0, "{\"c\":\"" + kGbk + "\"}", 2},
        DecodeCase{"MetaUtf8Bare", page("<meta charset=utf-8>", kUtf8), 0, page("<meta charset=utf-8>", kGbk),
                   2},
        DecodeCase{"MetaUtf8DoubleQuoted", page("<META CHARSET=\"UTF-8\">", kUtf8), 0,
                   page("<META CHARSET=\"UTF-8\">", kGbk), 2},
        DecodeCase{"MetaUtf8SingleQuoted", page("<meta charset='Utf-8'>", kUtf8), 0,
                   page("<meta charset='Utf-8'>", kGbk), 2},
        DecodeCase{"MetaBig5Hkscs", page("<meta charset=Big5-HKSCS>", kBig5), 0,
                   page("<meta charset=Big5-HKSCS>", kGbk), 6},
        DecodeCase{"MetaBig5", page("<meta content='text/html; charset=big5'>", kBig5), 0,
                   page("<meta content='text/html; charset=big5'>", kGbk), 5},
        DecodeCase{"FirstMatchingTagDecides",
                   page("<meta name=x><meta charset=big5><meta charset=utf-8>", kBig5), 0,
                   page("<meta name=x><meta charset=big5><meta charset=utf-8>", kGbk), 5},
        // An empty tag ends the scan, so the Big5 tag after it is never read.
        DecodeCase{"EmptyTagEndsScan", page("<meta><meta charset=big5>", kBig5), 0,
                   page("<meta><meta charset=big5>", kBig5), 1},
        // With a non-empty head, a tag in the body does not count.
        DecodeCase{"MetaOutsideHeadIgnored", page("<title>t</title>", "<meta charset=big5>" + kBig5), 0,
                   page("<title>t</title>", "<meta charset=big5>" + kBig5), 1},
        DecodeCase{"NoHeadScansWholeText", "<meta charset=big5>" + kBig5, 0, "<meta charset=big5>" + kGbk, 5},
        // Without a mark the caller's UTF-16 request still skips two bytes.
        DecodeCase{"RequestedUtf16SkipsTwo", "AB" + kUtf16LE, 3, kGbk, 3},
        DecodeCase{"RequestedUtf16TooShort", "A", 4, "A", 1},
        // An odd length fails the conversion; UTF-16 has no fallback.
        DecodeCase{"BrokenUtf16Unconverted", std::string("\xFF\xFE\x41\x00\x42", 5), 0, "\xFF\xFE\x41", 1},
        DecodeCase{"RequestedUtf8KeepsMarkless", kUtf8, 2, kGbk, 2},
        DecodeCase{"Utf8FallbackMarksBadBytes",
                   "\xEF\xBB\xBF"
                   "a\xC3(b",
                   0, "a?(b", 2},
        DecodeCase{"Big5FallbackStopsAtZero",
                   page("<meta charset=big5>", kBig5 + "\xFF") + std::string("\0tail", 5), 0,
                   page("<meta charset=big5>", kGbk + "?"), 5},
        DecodeCase{"RequestedLocalTriesUtf8", kUtf8, 1, kGbk, 2},
        DecodeCase{"UnknownCodeTriesUtf8", kUtf8, 9, kGbk, 2},
        DecodeCase{"RequestedLocalGbk", kGbk, 1, kGbk, 1},
        DecodeCase{"ConvertedTextEndsAtZero", std::string("ab\0cd", 5), 0, "ab", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CharsetFromMeta, FindsTheFirstNamingTag) {
    EXPECT_EQ(charsetFromMeta("<head><meta charset=\"big5-hkscs\"></head>"), kCharsetBig5Hkscs);
    EXPECT_EQ(charsetFromMeta("<HEAD><Meta Charset=UTF-8/></HEAD>"), kCharsetUtf8);
    EXPECT_EQ(charsetFromMeta("<head><meta charset=gbk></head>"), std::nullopt);
    EXPECT_EQ(charsetFromMeta("<head><meta charset=big5"), std::nullopt); // no closing ">"
    EXPECT_EQ(charsetFromMeta(""), std::nullopt);
}

TEST(ContainsAny, MatchesAnyItemIgnoringAsciiCase) {
    EXPECT_TRUE(containsAny("Content: CHARSET=UTF-8", "charset=x[fg]charset=utf-8"));
    EXPECT_FALSE(containsAny("charset=utf-16", "charset=utf-8[fg]charset=big5"));
    // "b" hidden as the trail byte of a double-byte character is not a match.
    EXPECT_FALSE(containsAny(gb("中") + "\x81"
                                        "b",
                             "x[fg]b"));
    EXPECT_TRUE(containsAny("ab", "q[fg]b"));
}

} // namespace
} // namespace lilan
