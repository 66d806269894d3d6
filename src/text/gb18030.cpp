#include "text/gb18030.h"

#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <vector>

namespace lilan::gb18030 {
namespace {

constexpr int kTrails = 191; // trail bytes 0x40..0xFE (0x7F is not a trail byte)

inline int twoByteIndex(unsigned char lead, unsigned char trail) {
    return (lead - 0x81) * kTrails + (trail - 0x40);
}

// One conversion through iconv, all or nothing; used for the rare characters the tables
// leave out, and to build the tables.
std::optional<std::string> iconvWhole(std::string_view in, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1) || srcLeft != 0) return std::nullopt;
    out.resize(out.size() - dstLeft);
    return out;
}

struct Tables {
    std::vector<char32_t> toUnicode;   // by twoByteIndex; 0 when unmapped
    std::vector<uint16_t> fromUnicode; // BMP code point to its two-byte code; 0 when none

    Tables() : toUnicode(126 * kTrails, 0), fromUnicode(0x10000, 0) {
        std::string codes;
        std::vector<int> indexes;
        for (int lead = 0x81; lead <= 0xFE; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                codes += static_cast<char>(lead);
                codes += static_cast<char>(trail);
                indexes.push_back(twoByteIndex(lead, trail));
            }
        }
        // All two-byte codes in one conversion; each gives one UTF-32 unit.
        const auto utf32 = iconvWhole(codes, "GB18030", "UTF-32LE");
        if (!utf32 || utf32->size() != indexes.size() * 4) return; // tables stay empty: iconv does all
        std::vector<char32_t> points(indexes.size());
        for (size_t i = 0; i < points.size(); ++i) {
            const auto* p = reinterpret_cast<const unsigned char*>(utf32->data() + 4 * i);
            points[i] = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<char32_t>(p[3]) << 24);
            toUnicode[indexes[i]] = points[i];
        }
        // The reverse direction takes a two-byte code only where iconv itself encodes the
        // character that way (a few characters decode from two bytes but encode to four).
        const auto back = iconvWhole(*utf32, "UTF-32LE", "GB18030");
        if (!back) return;
        size_t at = 0;
        for (size_t i = 0; i < points.size() && at < back->size(); ++i) {
            const bool four = at + 1 < back->size() && static_cast<unsigned char>((*back)[at + 1]) >= 0x30 &&
                              static_cast<unsigned char>((*back)[at + 1]) <= 0x39;
            const size_t len = four ? 4 : 2;
            if (!four && points[i] < 0x10000 && back->compare(at, 2, codes, 2 * i, 2) == 0) {
                fromUnicode[points[i]] =
                    static_cast<uint16_t>((static_cast<unsigned char>(codes[2 * i]) << 8) |
                                          static_cast<unsigned char>(codes[2 * i + 1]));
            }
            at += len;
        }
    }
};

const Tables& tables() {
    static const Tables t;
    return t;
}

// Decodes one UTF-8 character at `i` strictly (no overlongs, surrogates or values past
// U+10FFFF). Returns its length, 0 when invalid, -1 when cut off at the end.
int decodeUtf8(std::string_view s, size_t i, char32_t& cp) {
    const unsigned char c = s[i];
    int len;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        len = 2, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    for (int k = 1; k < len; ++k) {
        if (i + k >= s.size()) return -1;
        const unsigned char d = s[i + k];
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

} // namespace

namespace {

char32_t fromUtf32(const std::string& one) {
    const auto* p = reinterpret_cast<const unsigned char*>(one.data());
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<char32_t>(p[3]) << 24);
}

// Decoding with the tables at hand; see decodeChar.
inline int decodeWith(const Tables& t, std::string_view gb, size_t i, char32_t& cp) {
    const unsigned char c = gb[i];
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if (c < 0x81 || c > 0xFE || i + 1 >= gb.size()) return 0;
    const unsigned char d = gb[i + 1];
    if (d >= 0x40 && d <= 0xFE && d != 0x7F) {
        cp = t.toUnicode.empty() ? 0 : t.toUnicode[twoByteIndex(c, d)];
        if (cp) return 2;
        if (auto one = iconvWhole(gb.substr(i, 2), "GB18030", "UTF-32LE"); one && one->size() == 4) {
            cp = fromUtf32(*one);
            return 2;
        }
        return 0;
    }
    if (d < 0x30 || d > 0x39 || i + 3 >= gb.size()) return 0;
    const unsigned char e = gb[i + 2], f = gb[i + 3];
    if (e < 0x81 || e > 0xFE || f < 0x30 || f > 0x39) return 0;
    if (c >= 0x90 && c <= 0xE3) {
        // Beyond the BMP the four-byte codes count up linearly from U+10000.
        cp = 0x10000 + ((((c - 0x90) * 10 + (d - 0x30)) * 126 + (e - 0x81)) * 10 + (f - 0x30));
        return cp <= 0x10FFFF ? 4 : 0;
    }
    if (auto one = iconvWhole(gb.substr(i, 4), "GB18030", "UTF-32LE"); one && one->size() == 4) {
        cp = fromUtf32(*one);
        return 4;
    }
    return 0;
}

// Writes the GB18030 form of `cp` at `p` (at most 4 bytes); nullptr for a lone surrogate
// or a character iconv cannot write.
inline char* putGb(const Tables& t, char* p, char32_t cp) {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x10000 && !t.fromUnicode.empty() && t.fromUnicode[cp]) {
        *p++ = static_cast<char>(t.fromUnicode[cp] >> 8);
        *p++ = static_cast<char>(t.fromUnicode[cp] & 0xFF);
    } else if (cp >= 0x10000 && cp <= 0x10FFFF) {
        uint32_t index = cp - 0x10000;
        *p++ = static_cast<char>(0x90 + index / 12600);
        index %= 12600;
        *p++ = static_cast<char>(0x30 + index / 1260);
        index %= 1260;
        *p++ = static_cast<char>(0x81 + index / 10);
        *p++ = static_cast<char>(0x30 + index % 10);
    } else {
        if (cp >= 0xD800 && cp <= 0xDFFF) return nullptr;
        char utf8[4];
        const size_t len = writeUtf8(utf8, cp) - utf8;
        auto one = iconvWhole(std::string_view(utf8, len), "UTF-8", "GB18030");
        if (!one || one->size() > 4) return nullptr;
        for (const char b : *one)
            *p++ = b;
    }
    return p;
}

} // namespace

int decodeChar(std::string_view gb, size_t i, char32_t& cp) {
    return decodeWith(tables(), gb, i, cp);
}

char* writeChar(char* p, char32_t cp) {
    return putGb(tables(), p, cp);
}

// Length of the run of ASCII bytes at the start of `s`, eight bytes at a time: most of
// what the program converts (markup, escapes, addresses) is ASCII.
size_t asciiRun(std::string_view s) {
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i;
}

bool appendChar(std::string& out, char32_t cp) {
    char buffer[4];
    const char* end = putGb(tables(), buffer, cp);
    if (!end) return false;
    out.append(buffer, static_cast<size_t>(end - buffer));
    return true;
}

namespace {

// Both conversions write into a buffer sized for the worst case and trim it at the end.
// Either way a text can double: a few two-byte GB18030 characters (FE51, for one) stand for
// characters outside the BMP, four bytes in UTF-8; and most characters of two UTF-8 bytes
// (Latin-1 letters, Hebrew, Arabic) take four bytes in GB18030. Short texts (nicknames,
// regions, pattern groups) are converted on the stack, so that their results fit the
// string's own small buffer without a trip to the heap.
// Copies the ASCII run at `i` (advanced past it) to `p` and returns the new end. Inside
// mixed text most runs are a few bytes of mark-up or punctuation, too short for a library
// copy to pay off.
inline char* copyAscii(char* p, std::string_view text, size_t& i) {
    do {
        *p++ = text[i++];
    } while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80);
    return p;
}

template <typename Convert> std::optional<std::string> convertBuffered(std::string_view in, Convert convert) {
    const size_t capacity = in.size() * 2 + 4;
    constexpr size_t kStackBytes = 512;
    if (capacity <= kStackBytes) {
        char buffer[kStackBytes];
        const char* end = convert(buffer);
        if (!end) return std::nullopt;
        return std::string(buffer, static_cast<size_t>(end - buffer));
    }
    std::string out;
    out.resize(capacity);
    const char* end = convert(out.data());
    if (!end) return std::nullopt;
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

} // namespace

std::optional<std::string> toUtf8(std::string_view gb, bool lenient) {
    const size_t ascii = asciiRun(gb);
    if (ascii == gb.size()) return std::string(gb); // the same bytes in both encodings
    const Tables& t = tables();
    const char32_t* twoByte = t.toUnicode.empty() ? nullptr : t.toUnicode.data();
    return convertBuffered(gb, [&](char* p) -> char* {
        std::memcpy(p, gb.data(), ascii);
        p += ascii;
        for (size_t i = ascii; i < gb.size();) {
            const unsigned char c = gb[i];
            if (c < 0x80) {
                p = copyAscii(p, gb, i);
                continue;
            }
            // Chinese text is almost all two-byte codes the table knows.
            if (i + 1 < gb.size() && c >= 0x81 && c <= 0xFE && twoByte) {
                const unsigned char d = gb[i + 1];
                if (d >= 0x40 && d <= 0xFE && d != 0x7F) {
                    if (const char32_t known = twoByte[twoByteIndex(c, d)]) {
                        p = writeUtf8(p, known);
                        i += 2;
                        continue;
                    }
                }
            }
            char32_t cp = 0;
            const int used = decodeWith(t, gb, i, cp);
            if (used == 0) {
                if (!lenient) return nullptr;
                *p++ = '?';
                ++i;
                continue;
            }
            p = writeUtf8(p, cp);
            i += static_cast<size_t>(used);
        }
        return p;
    });
}

std::optional<std::string> fromUtf8(std::string_view utf8, bool lenient) {
    const size_t ascii = asciiRun(utf8);
    if (ascii == utf8.size()) return std::string(utf8);
    const Tables& t = tables();
    const uint16_t* twoByte = t.fromUnicode.empty() ? nullptr : t.fromUnicode.data();
    return convertBuffered(utf8, [&](char* p) -> char* {
        std::memcpy(p, utf8.data(), ascii);
        p += ascii;
        const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
        for (size_t i = ascii; i < utf8.size();) {
            const unsigned char c = s[i];
            if (c < 0x80) {
                p = copyAscii(p, utf8, i);
                continue;
            }
            // Chinese text is almost all three-byte characters with a two-byte code.
            if ((c & 0xF0) == 0xE0 && twoByte && i + 2 < utf8.size() && (s[i + 1] & 0xC0) == 0x80 &&
                (s[i + 2] & 0xC0) == 0x80) {
                const char32_t cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
                if (cp >= 0x800) {
                    if (const uint16_t code = twoByte[cp]) { // never set for a surrogate
                        *p++ = static_cast<char>(code >> 8);
                        *p++ = static_cast<char>(code & 0xFF);
                        i += 3;
                        continue;
                    }
                }
            }
            char32_t cp = 0;
            const int len = decodeUtf8(utf8, i, cp);
            if (len <= 0) {
                if (!lenient) return nullptr;
                *p++ = '?';
                ++i;
                continue;
            }
            char* next = putGb(t, p, cp);
            if (!next) {
                if (!lenient) return nullptr;
                *p++ = '?';
            } else {
                p = next;
            }
            i += static_cast<size_t>(len);
        }
        return p;
    });
}

} // namespace lilan::gb18030
