#include <gtest/gtest.h>

#include "core/comments.h"
#include "support/memory_form.h"

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
