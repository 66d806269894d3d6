#include "core/comments.h"

#include <array>
#include <bit>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

constexpr char16_t kRightQuote = 0x2019; // "’", the stand-in for an apostrophe

// The value of a hexadecimal digit, or -1.
inline int hexValue(char16_t c) {
    static constexpr auto table = [] {
        std::array<signed char, 128> t{};
        for (auto& v : t)
            v = -1;
        for (int i = 0; i < 10; ++i)
            t['0' + i] = static_cast<signed char>(i);
        for (int i = 0; i < 6; ++i)
            t['a' + i] = t['A' + i] = static_cast<signed char>(10 + i);
        return t;
    }();
    return c < 128 ? table[c] : -1;
}

// The character a backslash and `cp` stand for in a string literal, or 0 when `cp` is no
// one-letter escape.
inline char16_t simpleEscape(char32_t cp) {
    switch (cp) {
    case U'b': return u'\b';
    case U'f': return u'\f';
    case U'n': return u'\n';
    case U'r': return u'\r';
    case U't': return u'\t';
    case U'v': return u'\v';
    default: return 0;
    }
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

// Writes decoded code units as local text (or, for the pattern engine, as UTF-8), undoing
// the transport rewrites on the way: "’" becomes an apostrophe and "{$}" a CR LF. A lone
// surrogate cannot be written and becomes "?".
template <bool Utf8> class DecodedWriter {
public:
    DecodedWriter(std::string& out, size_t capacity) : out_(out) {
        out_.resize(capacity + kSlack);
        p_ = out_.data();
    }

    [[gnu::always_inline]] void put(char16_t u) {
        if (!high_ && u >= 0x80 && u < 0xD800 && u != kRightQuote) { // the usual escaped character
            braces_ = 0;
            write(u);
            return;
        }
        if (high_) {
            const char16_t high = high_;
            high_ = 0;
            if (u >= 0xDC00 && u <= 0xDFFF) {
                write(0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (u - 0xDC00));
                return;
            }
            *p_++ = '?';
        }
        if (u < 0x80) {
            putAscii(static_cast<char>(u));
            return;
        }
        braces_ = 0;
        if (u == kRightQuote) {
            *p_++ = '\'';
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            high_ = u;
        } else {
            write(u);
        }
    }

    // ASCII text without "{", "$" or "}"; `readable` bytes (at least `len`) may be read at `s`.
    void putRun(const char* s, size_t len, size_t readable) {
        if (high_) {
            *p_++ = '?';
            high_ = 0;
        }
        // Most runs are short: when 16 bytes can be read, copying all of them is cheaper than
        // a library call, and the slack at the end of the output takes the excess.
        if (len <= 16 && readable >= 16) {
            std::memcpy(p_, s, 16);
        } else {
            std::memcpy(p_, s, len);
        }
        p_ += len;
        braces_ = 0;
    }

    void finish() {
        if (high_) *p_++ = '?';
        out_.resize(static_cast<size_t>(p_ - out_.data()));
    }

private:
    void write(char32_t cp) {
        if constexpr (Utf8) {
            // A lone low surrogate has no UTF-8 form, and the pattern engine must only ever
            // see valid UTF-8: it becomes "?", as in local text.
            if (cp >= 0xD800 && cp <= 0xDFFF) {
                *p_++ = '?';
            } else {
                p_ = gb18030::writeUtf8(p_, cp);
            }
        } else if (char* next = gb18030::writeChar(p_, cp)) {
            p_ = next;
        } else {
            *p_++ = '?';
        }
    }

    void putAscii(char c) {
        if (c == '}' && braces_ == 2) {
            p_[-2] = '\r', p_[-1] = '\n';
            braces_ = 0;
            return;
        }
        braces_ = c == '{' ? 1 : (c == '$' && braces_ == 1 ? 2 : 0);
        *p_++ = c;
    }

    static constexpr size_t kSlack = 16;
    std::string& out_;
    char* p_;
    char16_t high_ = 0; // a high surrogate waiting for its low half
    int braces_ = 0;    // 1 after "{", 2 after "{$"
};

// The decoder reads the response as the script engine would: first as the body of a
// single-quoted string literal, after the transport rewrites (CR LF travels as "{$}", a
// leading CR is dropped, "\u" is read as "%u", an apostrophe as "’"), then through
// unescape(). Both steps run in one pass over the text.
class ResponseDecoder {
public:
    explicit ResponseDecoder(const Text& text) : text_(text), n_(text.size()) {
        if (n_ > 0 && text_[0] == '\r' && !(n_ > 1 && text_[1] == '\n')) pos_ = 1;
    }

    // The decoded text, as local text or as UTF-8; false when the literal would not parse (a
    // raw line break, or a backslash with nothing after it).
    template <bool Utf8> bool decode(std::string& result) {
        DecodedWriter<Utf8> out(result, n_ * 2 + 8); // no character grows by more than that
        char16_t produced[3];
        const char* data = text_.data();
        while (pos_ < n_) {
            const unsigned char c = data[pos_];
            if (c == '\\' && pos_ + 1 < n_) {
                const char next = data[pos_ + 1];
                // The service sends every non-ASCII character as "\uXXXX": read as "%uXXXX"
                // and unescaped, it is that code unit whatever stands around it, since a "%"
                // before it can never take a "%" for one of its hex digits.
                if (next == 'u' && pos_ + 5 < n_) {
                    if (const int unit = hex4(data + pos_ + 2); unit >= 0) {
                        out.put(static_cast<char16_t>(unit));
                        pos_ += 6;
                        continue;
                    }
                }
                // "\/" and "\"" fill the service's addresses and quotes; they stand for themselves.
                if (next == '/' || next == '"') {
                    out.put(static_cast<char16_t>(next));
                    pos_ += 2;
                    continue;
                }
            } else if (kRunByte[c]) { // a run of plain text goes out as it is
                const size_t end = runEnd(data, pos_ + 1, n_);
                out.putRun(data + pos_, end - pos_, n_ - pos_);
                pos_ = end;
                continue;
            } else if (isPlain(c)) { // "{", "$" and "}", which may spell "{$}"
                out.put(c);
                ++pos_;
                continue;
            }
            const int count = literalUnits(pos_, produced);
            if (count < 0) return false;
            if (count == 1 && produced[0] == u'%') {
                out.put(percentSequence());
                continue;
            }
            for (int k = 0; k < count; ++k)
                out.put(produced[k]);
        }
        out.finish();
        return true;
    }

private:
    // Bytes that stand for themselves and can never be part of "{$}": they are copied in runs.
    static constexpr auto kRunByte = [] {
        std::array<bool, 256> t{};
        for (int c = 0x20; c < 0x80; ++c)
            t[c] = true;
        for (const char c : {'\\', '\'', '%', '{', '$', '}'})
            t[static_cast<unsigned char>(c)] = false;
        return t;
    }();

    // The end of the run of plain bytes from `at`. The service's pages alternate short runs
    // with escapes; looking at sixteen bytes at a time keeps the branch at a run's end
    // predictable, where a byte loop mispredicts once per run.
    static size_t runEnd(const char* data, size_t at, size_t n) {
#if defined(__SSE2__)
        // Compared as signed, a byte below 0x20 or above 0x7F is less than 0x20.
        const __m128i low = _mm_set1_epi8(0x20);
        for (; at + 16 <= n; at += 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            __m128i special = _mm_cmplt_epi8(v, low);
            for (const char c : {'\\', '\'', '%', '{', '$', '}'})
                special = _mm_or_si128(special, _mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
            if (const int mask = _mm_movemask_epi8(special))
                return at + static_cast<size_t>(std::countr_zero(static_cast<unsigned>(mask)));
        }
#endif
        while (at < n && kRunByte[static_cast<unsigned char>(data[at])])
            ++at;
        return at;
    }

    static bool isPlain(unsigned char c) {
        return c >= 0x20 && c < 0x80 && c != '\\' && c != '\'' && c != '%';
    }

    // The value of four hexadecimal digits, or -1 when one is no digit.
    static int hex4(const char* at) {
        const int a = hexValue(static_cast<unsigned char>(at[0])),
                  b = hexValue(static_cast<unsigned char>(at[1])),
                  c = hexValue(static_cast<unsigned char>(at[2])),
                  d = hexValue(static_cast<unsigned char>(at[3]));
        return (a | b | c | d) < 0 ? -1 : (a << 12) | (b << 8) | (c << 4) | d;
    }

    // unescape() at a "%": looks at the literal units that follow; consumes "uXXXX" or "XX"
    // and gives the unit they name, or gives the "%" itself.
    char16_t percentSequence() {
        char16_t next[5];
        size_t ends[5];
        size_t at = pos_;
        int have = 0;
        char16_t produced[3];
        while (have < 5 && at < n_) {
            const int count = literalUnits(at, produced);
            if (count != 1) break; // an error, or "{$}" or a surrogate pair: no hex digit
            next[have] = produced[0];
            ends[have++] = at;
        }
        if (have == 5 && next[0] == u'u' && hexValue(next[1]) >= 0 && hexValue(next[2]) >= 0 &&
            hexValue(next[3]) >= 0 && hexValue(next[4]) >= 0) {
            pos_ = ends[4];
            return static_cast<char16_t>((hexValue(next[1]) << 12) | (hexValue(next[2]) << 8) |
                                         (hexValue(next[3]) << 4) | hexValue(next[4]));
        }
        if (have >= 2 && hexValue(next[0]) >= 0 && hexValue(next[1]) >= 0) {
            pos_ = ends[1];
            return static_cast<char16_t>((hexValue(next[0]) << 4) | hexValue(next[1]));
        }
        return u'%';
    }

    // The literal units of the character or escape at `at` (advanced past it): their count,
    // or -1 when the literal breaks there.
    int literalUnits(size_t& at, char16_t* units) const {
        char32_t cp = 0;
        const unsigned char c = text_[at];
        if (c >= 0x20 && c < 0x80 && c != '\\' && c != '\'') { // the common case
            units[0] = c;
            ++at;
            return 1;
        }
        size_t len = readChar(text_, at, cp);
        if (len == 2 && c == '\r') {
            units[0] = u'{', units[1] = u'$', units[2] = u'}';
            at += 2;
            return 3;
        }
        if (cp == U'\r' || cp == U'\n') return -1;
        if (cp != U'\\') {
            at += len;
            return static_cast<int>(putCodePoint(units, cp) - units);
        }
        // A backslash: "\u" is no escape but the start of a %u sequence.
        if (++at >= n_) return -1;
        if (text_[at] == 'u') {
            units[0] = u'%';
            return 1;
        }
        if (text_[at] == '\\' && at + 1 < n_ && text_[at + 1] == 'u') {
            // The escaped backslash was itself the start of a "\u", read as "%u" first.
            units[0] = u'%';
            at += 1;
            return 1;
        }
        len = readChar(text_, at, cp);
        if (len == 2 && text_[at] == '\r') { // an escaped "{" of "{$}"
            units[0] = u'{', units[1] = u'$', units[2] = u'}';
            at += 2;
            return 3;
        }
        at += len;
        if (const char16_t simple = simpleEscape(cp)) {
            units[0] = simple;
            return 1;
        }
        switch (cp) {
        case U'\r':
        case U'\n': return -1;
        case U'x':
            if (at + 1 < n_ && hexValue(text_[at]) >= 0 && hexValue(text_[at + 1]) >= 0) {
                units[0] = static_cast<char16_t>(hexValue(text_[at]) * 16 + hexValue(text_[at + 1]));
                at += 2;
            } else {
                units[0] = u'x';
            }
            return 1;
        default:
            if (cp >= U'0' && cp <= U'7') {
                // Up to three octal digits, as long as the value stays within a byte.
                int value = static_cast<int>(cp - U'0');
                const int maxDigits = cp <= U'3' ? 3 : 2;
                for (int used = 1; used < maxDigits && at < n_ && text_[at] >= '0' && text_[at] <= '7';
                     ++used)
                    value = value * 8 + (text_[at++] - '0');
                units[0] = static_cast<char16_t>(value);
                return 1;
            }
            return static_cast<int>(putCodePoint(units, cp) - units); // stands for itself
        }
    }

    const Text& text_;
    const size_t n_;
    size_t pos_ = 0;
};

} // namespace

const Text& commentRecordPattern() {
    static const Text pattern = restoreQuotes(
        "{''id'':''(\\d+)''.*?''content'':''(.*?)''.*?''nick'':''(.*?)''.*?''region'':''(.*?)''.*?''}");
    return pattern;
}

bool parseCommentPage(const Text& body, Text& lastCommentId, CommentList& comments, long minimumLength) {
    static const Text mars = local("火星");

    RegexObject regex;
    regex.setPattern(commentRecordPattern());
    // The decoded response goes to the pattern engine in its own UTF-8, sparing a
    // conversion of the whole page.
    std::string decoded;
    if (!ResponseDecoder(body).decode<true>(decoded)) decoded.clear();
    const int n = regex.executeUtf8(std::move(decoded));
    if (n > 0) lastCommentId = regex.subMatchText(n, 1); // paging goes on after the last record
    for (int i = 1; i <= n; ++i) {
        CommentRecord record{regex.subMatchText(i, 3), regex.subMatchText(i, 4), regex.subMatchText(i, 2)};
        if (record.region == "::") record.region = mars;
        if (countCharacters(record.content, 1, minimumLength) >= minimumLength)
            comments.push_back(std::move(record));
        processEvents();
    }
    return regex.matchCount() != 0;
}

Text unescapeResponse(const Text& response) {
    Text decoded;
    if (!ResponseDecoder(response).decode<false>(decoded)) return {};
    return decoded;
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
