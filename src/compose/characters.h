// Stepping through local text one whole character at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace lilan {

// Length in bytes of the character at byte `index` (0-based) of GB18030 text: one for ASCII,
// four for a four-byte sequence (lead, digit, lead, digit), otherwise two. Never reaches past
// the end, so a truncated character at the end counts as what is left of it.
inline size_t characterLength(std::string_view text, size_t index) {
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const auto isDigit = [](unsigned char c) { return c >= 0x30 && c <= 0x39; };
    const auto isLead = [](unsigned char c) { return c >= 0x81 && c <= 0xFE; };
    const size_t left = text.size() - index;
    if (byteAt(index) < 0x80 || left < 2) return 1;
    if (left >= 4 && isLead(byteAt(index)) && isDigit(byteAt(index + 1)) && isLead(byteAt(index + 2)) &&
        isDigit(byteAt(index + 3)))
        return 4;
    return 2;
}

} // namespace lilan
