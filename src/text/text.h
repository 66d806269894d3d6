// Text primitives on the program's local text: std::string holding GB18030 bytes.
//
// Positions count bytes and start at 1, as everywhere in the program. A byte of 0x80 or
// above begins a two-byte unit; every search steps over such units whole, so a match never
// starts on a trail byte. (GB18030's four-byte characters are two such units, which keeps
// the stepping aligned.) Letter-case folding touches ASCII letters only.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lilan {

using Text = std::string;
using TextList = std::vector<Text>;

inline bool isLeadByte(unsigned char c) {
    return c >= 0x80;
}

// "find last" searches the whole text when given this position.
constexpr long kWholeText = LONG_MAX;

// First match at or after `from` (below 1 counts as 1); -1 when none. An empty needle is
// found at 1 in a non-empty text.
long findText(std::string_view text, std::string_view needle, long from = 1, bool ignoreCase = false);

// Last match lying wholly inside bytes 1..before-1; -1 when none.
long findLast(std::string_view text, std::string_view needle, long before = kWholeText,
              bool ignoreCase = false);

// Up to `count` bytes from `position`; empty when the position is outside the text.
Text mid(std::string_view text, long position, long count = LONG_MAX);

// Replaces matches left to right without overlap, from `from`, at most `times` times
// (negative: all). An empty needle changes nothing.
Text replaceText(std::string_view text, std::string_view needle, std::string_view replacement, long from = 1,
                 long times = -1, bool caseSensitive = true);

// The pieces before every separator, empty ones included, then the rest only when it is
// not empty. The empty text gives no pieces.
TextList splitList(std::string_view text, std::string_view separator);

// Removes ASCII spaces and full-width spaces (A1 A1) from both ends.
Text trim(std::string_view text);

// Leading blanks, optional sign, longest digit run; full-width digits and signs count as
// ASCII ones; no number gives 0. Saturates instead of overflowing.
long long toInteger(std::string_view text);

Text integerToText(long long value);

// Rounded to 13 significant digits, plain decimal, no trailing zeros or point.
Text realToText(double value);

// Halves away from zero.
double roundHalfAway(double value, int places);

// Uniform in [low, high], both included; negative bounds count as 0, the smaller is low.
long long randomBetween(long long low, long long high);

// Reseeds the generator from the uptime plus a run-wide counter, so that two seedings in
// the same millisecond still differ.
void seedRandom();

// Every "''" becomes one double quote.
Text restoreQuotes(std::string_view text);

struct BetweenOptions {
    long startShift = 0;
    long endShift = 0;
    bool fromEnd = false;
    bool restoreMarkerQuotes = false;
};

// The text between the markers, or empty. An empty marker stands for the start or the end
// of the text. With `position`, the search starts there and the position advances past the
// end marker (or, searching from the end, moves back to the start marker), so repeated
// calls walk every occurrence. Markers match without regard to ASCII letter case.
Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 long* position = nullptr, const BetweenOptions& options = {});

// Character count. Mode 1: a two-byte unit (and a GB18030 four-byte character), a CR LF
// pair and a lone CR or LF count one;
// mode 0 leaves line breaks out; mode 2 counts CR and LF one each. Counting stops at
// `enough`, which is all a test for a minimum length needs.
long countCharacters(std::string_view text, int lineBreakMode = 1, long enough = LONG_MAX);

} // namespace lilan
