#include <gtest/gtest.h>

#include "text/encoding.h"

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
