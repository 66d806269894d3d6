#include "core/comments.h"

#include "text/encoding.h"
#include "text/gb18030.h"
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

constexpr char16_t kRightQuote = 0x2019; // "’", the stand-in for an apostrophe

int hexValue(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

inline char16_t* putCodePoint(char16_t* p, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        *p++ = static_cast<char16_t>(0xD800 + (cp >> 10));
        *p++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        *p++ = static_cast<char16_t>(cp);
    }
    return p;
}

// The character of the local text at `at` as the script engine sees it after the transport
// rewrites, and its length in bytes. A CR LF reads as "{" (the caller writes the rest of
// "{$}"), an apostrophe as "’"; an unreadable byte as "?".
inline size_t readChar(const Text& text, size_t at, char32_t& cp) {
    const unsigned char c = text[at];
    if (c < 0x80) {
        if (c == '\r' && at + 1 < text.size() && text[at + 1] == '\n') {
            cp = U'{';
            return 2;
        }
        cp = c == '\'' ? kRightQuote : c;
        return 1;
    }
    const int used = gb18030::decodeChar(text, at, cp);
    if (used) return static_cast<size_t>(used);
    cp = U'?';
    return 1;
}

// Reads the local text as the body of a single-quoted script string literal, after the
// transport rewrites: CR LF travels as "{$}", a leading CR is dropped, "\u" is read as "%u"
// and an apostrophe as "’". False when the literal would not parse: a raw line break, or a
// backslash with nothing after it.
bool readStringLiteral(const Text& text, std::u16string& units) {
    const size_t n = text.size();
    units.resize(n + n / 2 + 4); // at most three units for two bytes
    char16_t* p = units.data();
    size_t i = (n > 0 && text[0] == '\r' && !(n > 1 && text[1] == '\n')) ? 1 : 0;
    while (i < n) {
        char32_t cp = 0;
        const unsigned char c = text[i];
        if (c >= 0x20 && c < 0x80 && c != '\\' && c != '\'') { // the common case
            *p++ = c;
            ++i;
            continue;
        }
        size_t len = readChar(text, i, cp);
        if (len == 2 && c == '\r') {
            *p++ = u'{', *p++ = u'$', *p++ = u'}';
            i += 2;
            continue;
        }
        if (cp == U'\r' || cp == U'\n') return false;
        if (cp != U'\\') {
            p = putCodePoint(p, cp);
            i += len;
            continue;
        }
        // A backslash: "\u" is no escape but the start of a %u sequence.
        if (++i >= n) return false;
        if (text[i] == 'u') {
            *p++ = u'%';
            continue;
        }
        if (text[i] == '\\' && i + 1 < n && text[i + 1] == 'u') {
            // The escaped backslash was itself the start of a "\u", read as "%u" first.
            *p++ = u'%';
            i += 1;
            continue;
        }
        len = readChar(text, i, cp);
        if (len == 2 && text[i] == '\r') { // an escaped "{" of "{$}"
            *p++ = u'{', *p++ = u'$', *p++ = u'}';
            i += 2;
            continue;
        }
        i += len;
        switch (cp) {
        case U'b':
            *p++ = u'\b';
            break;
        case U'f':
            *p++ = u'\f';
            break;
        case U'n':
            *p++ = u'\n';
            break;
        case U'r':
            *p++ = u'\r';
            break;
        case U't':
            *p++ = u'\t';
            break;
        case U'v':
            *p++ = u'\v';
            break;
        case U'\r':
        case U'\n':
            return false;
        case U'x':
            if (i + 1 < n && hexValue(text[i]) >= 0 && hexValue(text[i + 1]) >= 0) {
                *p++ = static_cast<char16_t>(hexValue(text[i]) * 16 + hexValue(text[i + 1]));
                i += 2;
            } else {
                *p++ = u'x';
            }
            break;
        default:
            if (cp >= U'0' && cp <= U'7') {
                // Up to three octal digits, as long as the value stays within a byte.
                int value = static_cast<int>(cp - U'0');
                const int maxDigits = cp <= U'3' ? 3 : 2;
                for (int used = 1; used < maxDigits && i < n && text[i] >= '0' && text[i] <= '7'; ++used)
                    value = value * 8 + (text[i++] - '0');
                *p++ = static_cast<char16_t>(value);
            } else {
                p = putCodePoint(p, cp); // any other escaped character stands for itself
            }
        }
    }
    units.resize(static_cast<size_t>(p - units.data()));
    return true;
}

// The script engine's unescape(), in place: %uXXXX and %XX, other "%" signs kept.
void unescapePercent(std::u16string& s) {
    char16_t* d = s.data();
    const size_t n = s.size();
    size_t w = 0;
    for (size_t i = 0; i < n; ++i) {
        if (d[i] == u'%') {
            if (i + 5 < n && d[i + 1] == u'u' && hexValue(d[i + 2]) >= 0 && hexValue(d[i + 3]) >= 0 &&
                hexValue(d[i + 4]) >= 0 && hexValue(d[i + 5]) >= 0) {
                d[w++] = static_cast<char16_t>((hexValue(d[i + 2]) << 12) | (hexValue(d[i + 3]) << 8) |
                                               (hexValue(d[i + 4]) << 4) | hexValue(d[i + 5]));
                i += 5;
                continue;
            }
            if (i + 2 < n && hexValue(d[i + 1]) >= 0 && hexValue(d[i + 2]) >= 0) {
                d[w++] = static_cast<char16_t>((hexValue(d[i + 1]) << 4) | hexValue(d[i + 2]));
                i += 2;
                continue;
            }
        }
        d[w++] = d[i];
    }
    s.resize(w);
}

// Back to local text, undoing the transport rewrites: "’" becomes an apostrophe and "{$}"
// a CR LF. A lone surrogate cannot be written and becomes "?".
Text toLocalText(const std::u16string& s) {
    const size_t n = s.size();
    Text out(n * 4 + 4, '\0'); // four bytes are the most one unit can need
    char* p = out.data();
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = s[i];
        if (u < 0x80) {
            if (u == u'{' && i + 2 < n && s[i + 1] == u'$' && s[i + 2] == u'}') {
                *p++ = '\r', *p++ = '\n';
                i += 2;
            } else {
                *p++ = static_cast<char>(u);
            }
            continue;
        }
        char32_t cp = u;
        if (u == kRightQuote) {
            *p++ = '\'';
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
            cp = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (s[++i] - 0xDC00);
        char* next = gb18030::writeChar(p, cp);
        if (next) {
            p = next;
        } else {
            *p++ = '?';
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return out;
}

} // namespace

Text unescapeResponse(const Text& response) {
    std::u16string units;
    if (!readStringLiteral(response, units)) return {};
    unescapePercent(units);
    return toLocalText(units);
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
