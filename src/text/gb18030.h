// Fast conversion between GB18030 and UTF-8, the conversion every text crossing the
// program's edges goes through (pages, patterns, file names, the window). Tables are built
// once from the C library's own converter, so the results are the same as iconv's; the
// rare characters outside the two-byte table are handed to iconv one at a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lilan::gb18030 {

// With `lenient`, an unreadable byte becomes "?" and the conversion goes on; otherwise the
// whole conversion fails (nullopt) on the first invalid or incomplete sequence.
// One character of GB18030 text at `i`: its code point and byte length (1, 2 or 4), or 0
// when the bytes there are no valid character.
int decodeChar(std::string_view gb, size_t i, char32_t& cp);
// Appends the GB18030 form of `cp`; false (nothing appended) for a lone surrogate.
bool appendChar(std::string& out, char32_t cp);
// Writes the GB18030 form of `cp` (at most four bytes) at `p` and returns the end; nullptr
// for a lone surrogate.
char* writeChar(char* p, char32_t cp);
// Writes the UTF-8 form of `cp` (at most four bytes) at `p` and returns the end. Inline:
// decoders call it for every character.
inline char* writeUtf8(char* p, char32_t cp) {
    if (cp < 0x80) {
        *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *p++ = static_cast<char>(0xC0 | (cp >> 6));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (cp >> 12));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *p++ = static_cast<char>(0xF0 | (cp >> 18));
        *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return p;
}
// Length of the run of ASCII bytes at the start of `s`.
size_t asciiRun(std::string_view s);

std::optional<std::string> toUtf8(std::string_view gb, bool lenient);
std::optional<std::string> fromUtf8(std::string_view utf8, bool lenient);

} // namespace lilan::gb18030
