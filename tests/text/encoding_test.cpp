#include <gtest/gtest.h>
#include <iconv.h>

#include "text/encoding.h"
#include "text/gb18030.h"

using namespace lilan;

TEST(Encoding, StrictConversionFailsWholeOnOneBadSequence) {
    EXPECT_EQ(convertStrict("\xE4\xB8\xAD", "UTF-8", "GB18030"), std::optional<std::string>("\xD6\xD0"));
    EXPECT_EQ(convertStrict("a\xD6\xD0", "UTF-8", "GB18030"), std::nullopt);
    EXPECT_EQ(convertStrict("\xE4\xB8", "UTF-8", "GB18030"), std::nullopt); // incomplete
    EXPECT_EQ(convertStrict("", "UTF-8", "GB18030"), std::optional<std::string>(""));
    EXPECT_EQ(convertStrict("x", "NO-SUCH-CHARSET", "GB18030"), std::nullopt);
}

TEST(Encoding, LenientConversionMarksUnreadableBytes) {
    EXPECT_EQ(convertLenient("a\xFF"
                             "b",
                             "UTF-8", "GB18030"),
              "a?b");
    EXPECT_EQ(fromUtf8("中"), "\xD6\xD0");
    EXPECT_EQ(toUtf8("\xD6\xD0"), "中");
    // Characters outside GBK survive as GB18030 four-byte sequences.
    EXPECT_EQ(toUtf8(fromUtf8("😀")), "😀");
}

namespace {

// One converter of the C library, used character by character.
class Iconv {
public:
    Iconv(const char* from, const char* to) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (valid()) iconv_close(cd_);
    }
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    std::optional<std::string> operator()(const std::string& in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char out[16];
        char* src = const_cast<char*>(in.data());
        char* dst = out;
        size_t srcLeft = in.size(), dstLeft = sizeof out;
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) || srcLeft != 0)
            return std::nullopt;
        return std::string(out, sizeof out - dstLeft);
    }

private:
    iconv_t cd_;
};

} // namespace

// The table-driven converter and its shortcuts must give what the C library gives, for
// every character of the BMP and a sample beyond it, in both directions; and whole texts
// must convert as their characters do.
TEST(Encoding, TableConversionAgreesWithIconv) {
    Iconv toGb("UTF-8", "GB18030"), toUtf("GB18030", "UTF-8");
    ASSERT_TRUE(toGb.valid() && toUtf.valid());
    std::string allUtf8, allGb;
    int checked = 0;
    for (char32_t cp = 0x80; cp <= 0x10FFFF; cp += cp < 0x10000 ? 1 : 0x3FF) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        char buffer[4];
        const std::string utf8(buffer, static_cast<size_t>(gb18030::writeUtf8(buffer, cp) - buffer));
        const auto expected = toGb(utf8);
        const auto gb = gb18030::fromUtf8(utf8, false);
        ASSERT_EQ(gb, expected) << std::hex << static_cast<uint32_t>(cp);
        if (!expected) continue;
        ASSERT_EQ(gb18030::toUtf8(*expected, false), toUtf(*expected))
            << std::hex << static_cast<uint32_t>(cp);
        allUtf8 += utf8 + "a";
        allGb += *expected + "a";
        ++checked;
    }
    EXPECT_GT(checked, 60000);
    EXPECT_TRUE(gb18030::fromUtf8(allUtf8, false) == allGb);
    EXPECT_TRUE(gb18030::toUtf8(allGb, false) == allUtf8);
}

// Short texts are converted on the stack and long ones on the heap; the edge between them
// must lose nothing.
TEST(Encoding, ConversionAroundTheShortTextLimit) {
    for (size_t ascii = 240; ascii <= 270; ++ascii) {
        const std::string utf8 = std::string(ascii, 'a') + "中文" + std::string(ascii % 7, 'b');
        const std::string local = std::string(ascii, 'a') + "\xD6\xD0\xCE\xC4" + std::string(ascii % 7, 'b');
        EXPECT_EQ(fromUtf8(utf8), local) << ascii;
        EXPECT_EQ(toUtf8(local), utf8) << ascii;
    }
    EXPECT_EQ(gb18030::fromUtf8(std::string(300, 'x') + "\xE4\xB8", false), std::nullopt);
    EXPECT_EQ(gb18030::toUtf8(std::string(300, 'x') + "\xD6", false), std::nullopt);
}
