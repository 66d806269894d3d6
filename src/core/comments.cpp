#include "core/comments.h"

#include "text/encoding.h"
#include "text/platform.h"
#include "text/regex.h"
#include "web/hosts.h"

namespace lilan {

Text probeNewsPage(WebClient& web, const Text& line, bool bareThreadId, Text& currentTitle) {
    const Text address = bareThreadId ? CommentServiceBase + line : line;
    const Text page = web.visit(address);

    static const Text suffixes[] = {local("_新闻_腾讯网</title>"), local("_评论_腾讯网</title>"),
                                    local("_腾讯网</title>"), "</title>"};
    currentTitle.clear();
    for (const Text& end : suffixes) {
        currentTitle = textBetween(page, "<title>", end);
        if (!currentTitle.empty()) break;
    }
    if (bareThreadId) return line;
    Text id = trim(textBetween(page, "vid=\"", "\""));
    if (id.empty()) id = trim(textBetween(page, "cmt_id = ", ";"));
    return id;
}

bool readCommentPage(WebClient& web, const Text& threadId, Text& lastCommentId, CommentList& comments,
                     long minimumLength) {
    const Text body = web.visit(Text(CommentServiceBase) + "article/" + threadId +
                                "/comment?commentid=" + lastCommentId + "&reqnum=20&source=1");
    return parseCommentPage(body, lastCommentId, comments, minimumLength);
}

bool parseCommentPage(const Text& body, Text& lastCommentId, CommentList& comments, long minimumLength) {
    static const Text recordPattern = restoreQuotes(
        "{''id'':''(\\d+)''.*?''content'':''(.*?)''.*?''nick'':''(.*?)''.*?''region'':''(.*?)''.*?''}");
    static const Text mars = local("火星");

    RegexObject regex;
    regex.setPattern(recordPattern);
    const int n = regex.execute(unescapeResponse(body));
    for (int i = 1; i <= n; ++i) {
        lastCommentId = regex.subMatchText(i, 1);
        CommentRecord record{regex.subMatchText(i, 3), regex.subMatchText(i, 4), regex.subMatchText(i, 2)};
        if (record.region == "::") record.region = mars;
        if (countCharacters(record.content, 1) >= minimumLength) comments.push_back(std::move(record));
        processEvents();
    }
    return regex.matchCount() != 0;
}

namespace {

// UTF-8 (valid, as produced by the lenient conversion) to UTF-16 code units.
std::u16string utf8ToUtf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c >> 5) == 6) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c >> 4) == 14) {
            cp = c & 0x0F;
            len = 3;
        } else {
            cp = c & 0x07;
            len = 4;
        }
        for (size_t k = 1; k < len && i + k < s.size(); ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 to UTF-8; a lone surrogate cannot be written in the local code page and becomes "?".
std::string utf16ToUtf8(const std::u16string& s) {
    std::string out;
    out.reserve(s.size() * 2);
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += '?';
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

int hexValue(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `s` as the body of a single-quoted script string literal. False when the literal
// would not parse: a raw line break, or a backslash with nothing after it.
bool readStringLiteral(const std::u16string& s, std::u16string& out) {
    out.clear();
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029) return false;
        if (c == '\'') return false; // would end the literal early
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i >= s.size()) return false;
        const char16_t e = s[i];
        switch (e) {
        case 'b':
            out.push_back(u'\b');
            break;
        case 'f':
            out.push_back(u'\f');
            break;
        case 'n':
            out.push_back(u'\n');
            break;
        case 'r':
            out.push_back(u'\r');
            break;
        case 't':
            out.push_back(u'\t');
            break;
        case 'v':
            out.push_back(u'\v');
            break;
        case '\n':
        case '\r':
        case 0x2028:
        case 0x2029:
            return false;
        case 'x':
            if (i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
                out.push_back(static_cast<char16_t>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2])));
                i += 2;
            } else {
                out.push_back(u'x');
            }
            break;
        default:
            if (e >= '0' && e <= '7') {
                // Up to three octal digits, as long as the value stays within a byte.
                int value = e - '0';
                const size_t maxDigits = e <= '3' ? 3 : 2;
                size_t used = 1;
                while (used < maxDigits && i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7') {
                    value = value * 8 + (s[++i] - '0');
                    ++used;
                }
                out.push_back(static_cast<char16_t>(value));
            } else {
                out.push_back(e); // any other escaped character stands for itself
            }
        }
    }
    return true;
}

// The script engine's unescape(): %uXXXX and %XX, other "%" signs kept.
std::u16string unescapePercent(const std::u16string& s) {
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%') {
            if (i + 5 < s.size() && s[i + 1] == 'u' && hexValue(s[i + 2]) >= 0 && hexValue(s[i + 3]) >= 0 &&
                hexValue(s[i + 4]) >= 0 && hexValue(s[i + 5]) >= 0) {
                out.push_back(static_cast<char16_t>((hexValue(s[i + 2]) << 12) | (hexValue(s[i + 3]) << 8) |
                                                    (hexValue(s[i + 4]) << 4) | hexValue(s[i + 5])));
                i += 5;
                continue;
            }
            if (i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
                out.push_back(static_cast<char16_t>((hexValue(s[i + 1]) << 4) | hexValue(s[i + 2])));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

} // namespace

Text unescapeResponse(const Text& response) {
    static const Text rightQuote = local("’");
    Text text = replaceText(response, "\r\n", "{$}");
    if (!text.empty() && text[0] == '\r') text.erase(0, 1);
    if (findText(text, "\\u") > 0) text = replaceText(text, "\\u", "%u");
    text = replaceText(text, "'", rightQuote);

    std::u16string literal;
    if (!readStringLiteral(utf8ToUtf16(toUtf8(text)), literal)) return {};
    Text decoded = fromUtf8(utf16ToUtf8(unescapePercent(literal)));

    decoded = replaceText(decoded, rightQuote, "'");
    return replaceText(decoded, "{$}", "\r\n");
}

void shuffleCommentFields(CommentList& comments, DrawPool& pool) {
    pool.drawWithoutRepeat(0, 0);
    const CommentList snapshot = comments;
    const int count = static_cast<int>(comments.size());
    for (CommentRecord& record : comments) {
        record.region = snapshot[pool.drawWithoutRepeat(1, count) - 1].region;
        record.nickname = snapshot[pool.drawWithoutRepeat(1, count) - 1].nickname;
        record.content = snapshot[pool.drawWithoutRepeat(1, count) - 1].content;
        processEvents();
    }
}

} // namespace lilan
