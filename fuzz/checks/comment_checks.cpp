// Properties of the comment-service decoding and the record pattern on arbitrary bodies.
#include "checks.h"
#include "support.h"

#include <cstdio>

#include "core/comments.h"
#include "text/encoding.h"
#include "text/regex.h"

namespace lilan::fuzzing {
namespace {

// "’" in local text: the decoder returns it as an apostrophe.
constexpr std::string_view kRightQuote = "\xA1\xAF";

bool contains(std::string_view text, std::string_view needle) {
    return findText(text, needle) > 0;
}

// Text that the decoder must hand back unchanged: nothing in it is an escape, a transport
// token or a line break.
bool isPlain(std::string_view text) {
    return isLocalText(text) && text.find_first_of("\\%'\r\n") == std::string_view::npos &&
           !contains(text, kRightQuote) && !contains(text, "{$}");
}

// The service's way of sending text: everything but letters, digits and spaces as \uXXXX
// escapes of its UTF-16 units.
std::string escapeAsService(std::string_view localText) {
    const std::u16string units = [&] {
        const std::string utf8 = *gb18030::toUtf8(localText, false);
        std::u16string out;
        for (size_t i = 0; i < utf8.size();) {
            const auto c = static_cast<unsigned char>(utf8[i]);
            const int length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            char32_t cp = length == 1 ? c : c & (0x3F >> (length - 1));
            for (int k = 1; k < length; ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            i += static_cast<size_t>(length);
            if (cp >= 0x10000) {
                out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else {
                out += static_cast<char16_t>(cp);
            }
        }
        return out;
    }();
    std::string body;
    for (const char16_t u : units) {
        const bool bare =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == ' ';
        if (bare) {
            body += static_cast<char>(u);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(u));
            body += buf;
        }
    }
    return body;
}

std::string checkUnescape(std::string_view data) {
    const Text body(data);
    const Text decoded = unescapeResponse(body);
    if (!isLocalText(decoded)) return "unescapeResponse gave malformed text: " + shown(decoded);
    if (isPlain(body) && characters(decoded) != characters(body))
        return "plain text changed by unescapeResponse: " + shown(body) + " became " + shown(decoded);
    if (isLocalText(body) && !contains(body, kRightQuote) && !contains(body, "{$}")) {
        const Text sent = escapeAsService(body);
        const Text back = unescapeResponse(sent);
        if (characters(back) != characters(body))
            return "escaped text " + shown(sent) + " decoded to " + shown(back);
    }
    return {};
}

bool isDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string checkRecord(const CommentRecord& record) {
    for (const Text* field : {&record.nickname, &record.region, &record.content}) {
        // "." never crosses a line feed, and each lazy group ends at the first double quote
        // after which the rest of the pattern can still match.
        if (field->find('\n') != Text::npos) return "record field holds a line feed: " + shown(*field);
        if (field->find('"') != Text::npos) return "record field holds a double quote: " + shown(*field);
    }
    if (record.region == "::") return "region \"::\" was not replaced";
    return {};
}

std::string checkParse(std::string_view data) {
    const Text body(data);
    const Text untouched = "untouched";
    Text lastId = untouched;
    CommentList all;
    const bool found = parseCommentPage(body, lastId, all, 0);
    if (found != !all.empty())
        return "minimum length 0 must keep every record, and only pages with records count";
    if (!found && lastId != untouched) return "a page without records moved the cursor to " + shown(lastId);
    if (found && !isDigits(lastId)) return "cursor is no comment id: " + shown(lastId);
    for (const CommentRecord& record : all) {
        if (std::string failure = checkRecord(record); !failure.empty()) return failure;
    }

    // The page read the plain way, decoded to local text and then matched, gives the same
    // records: the parse hands its decoder's UTF-8 straight to the pattern engine instead.
    RegexObject regex;
    regex.setPattern(commentRecordPattern());
    CommentList plain;
    const int matches = regex.execute(unescapeResponse(body));
    for (int i = 1; i <= matches; ++i) {
        const Text region = regex.subMatchText(i, 4);
        plain.push_back(
            {regex.subMatchText(i, 3), region == "::" ? local("火星") : region, regex.subMatchText(i, 2)});
    }
    if (plain != all)
        return "the parse found " + std::to_string(all.size()) + " records, the plain way " +
               std::to_string(plain.size()) + (all.size() == plain.size() ? " with other fields" : "");

    // A higher minimum keeps exactly the long enough records, in order, and moves the cursor
    // to the same id.
    const long minimum = 1 + static_cast<long>(data.size() % 8);
    Text filteredId = untouched;
    CommentList filtered;
    const bool filteredFound = parseCommentPage(body, filteredId, filtered, minimum);
    CommentList expected;
    for (const CommentRecord& record : all) {
        if (countCharacters(record.content, 1) >= minimum) expected.push_back(record);
    }
    if (filteredFound != found || filteredId != lastId || filtered != expected)
        return "minimum length " + std::to_string(minimum) + " kept " + std::to_string(filtered.size()) +
               " records, expected " + std::to_string(expected.size());
    return {};
}

} // namespace

std::string checkCommentPage(std::string_view data) {
    if (std::string failure = checkUnescape(data); !failure.empty()) return failure;
    return checkParse(data);
}

} // namespace lilan::fuzzing
