#include "text/text.h"

#include "text/encoding.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace lilan {
namespace {

inline unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

inline bool sameAt(std::string_view text, size_t at, std::string_view needle, bool ignoreCase) {
    if (at + needle.size() > text.size()) return false;
    if (!ignoreCase) return text.compare(at, needle.size(), needle) == 0;
    for (size_t i = 0; i < needle.size(); ++i) {
        if (foldAscii(text[at + i]) != foldAscii(needle[i])) return false;
    }
    return true;
}

// Width of the character starting at `at`: 2 for a lead byte with a trail byte after it.
// Trail bytes are 0x30 or above, so a byte below 0x30 never belongs to the character before
// it: that makes every position after such a byte a known character boundary.
inline size_t charWidth(std::string_view text, size_t at) {
    return (isLeadByte(text[at]) && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) >= 0x30)
               ? 2
               : 1;
}

// The nearest known boundary at or before `index`, found by looking back for a byte that
// cannot be a trail byte, but not before `floor` (itself a boundary).
size_t boundaryBefore(std::string_view text, size_t index, size_t floor) {
    for (size_t j = index; j > floor; --j) {
        if (static_cast<unsigned char>(text[j - 1]) < 0x30) return j;
    }
    return floor;
}

// Index of the first character boundary at or after `index`, given a boundary `floor` at or
// before it.
size_t boundaryAtOrAfter(std::string_view text, size_t index, size_t floor = 0) {
    size_t i = boundaryBefore(text, std::min(index, text.size()), floor);
    while (i < index && i < text.size())
        i += charWidth(text, i);
    return i;
}

inline bool isAsciiLetter(unsigned char c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

bool hasAsciiLetter(std::string_view s) {
    for (const unsigned char c : s) {
        if (isAsciiLetter(c)) return true;
    }
    return false;
}

// Next position at or after `from` where the needle's first byte stands (either letter case
// when ignoring case), without regard to character boundaries.
size_t nextCandidate(std::string_view text, std::string_view needle, size_t from, bool ignoreCase) {
    if (!ignoreCase) return text.find(needle, from);
    // Anchor the byte search on the needle's first byte that has no other letter case.
    size_t anchor = 0;
    while (anchor < needle.size() && isAsciiLetter(static_cast<unsigned char>(needle[anchor])))
        ++anchor;
    if (anchor < needle.size()) {
        const char a = needle[anchor];
        for (size_t at = text.find(a, from + anchor); at != std::string_view::npos;
             at = text.find(a, at + 1)) {
            if (sameAt(text, at - anchor, needle, true)) return at - anchor;
        }
        return std::string_view::npos;
    }
    // A needle of letters only: follow both letter cases of its first byte.
    const unsigned char c = needle[0];
    const char lower = static_cast<char>(c | 0x20), upper = static_cast<char>(c & ~0x20);
    size_t nextLower = text.find(lower, from), nextUpper = text.find(upper, from);
    while (nextLower != std::string_view::npos || nextUpper != std::string_view::npos) {
        const size_t at = std::min(nextLower, nextUpper);
        if (sameAt(text, at, needle, true)) return at;
        if (at == nextLower)
            nextLower = text.find(lower, at + 1);
        else
            nextUpper = text.find(upper, at + 1);
    }
    return std::string_view::npos;
}

// 0-based search at character boundaries from boundary `start`; npos when none. Candidates
// come from a fast byte search; each is then checked to lie on a character boundary.
size_t findFrom(std::string_view text, std::string_view needle, size_t start, bool ignoreCase) {
    if (needle.empty()) return start < text.size() ? start : std::string_view::npos;
    if (needle.size() > text.size()) return std::string_view::npos;
    if (ignoreCase && !hasAsciiLetter(needle)) ignoreCase = false;
    size_t boundary = start;
    for (;;) {
        const size_t at = nextCandidate(text, needle, boundary, ignoreCase);
        if (at == std::string_view::npos) return at;
        boundary = boundaryAtOrAfter(text, at, boundary);
        if (boundary == at) return at;
        // The candidate began on a trail byte; go on from the next boundary.
    }
}

} // namespace

long findText(std::string_view text, std::string_view needle, long from, bool ignoreCase) {
    if (from < 1) from = 1;
    if (static_cast<size_t>(from) > text.size()) return -1;
    const size_t start = boundaryAtOrAfter(text, static_cast<size_t>(from - 1));
    const size_t at = findFrom(text, needle, start, ignoreCase);
    return at == std::string_view::npos ? -1 : static_cast<long>(at) + 1;
}

long findLast(std::string_view text, std::string_view needle, long before, bool ignoreCase) {
    if (before <= 1) return -1;
    // Matches must end at or before byte before-1.
    const size_t limit =
        before == kWholeText ? text.size() : std::min(text.size(), static_cast<size_t>(before - 1));
    if (needle.empty() || needle.size() > limit) return -1;
    long found = -1;
    for (size_t i = 0; i + needle.size() <= limit; i += charWidth(text, i)) {
        if (sameAt(text, i, needle, ignoreCase)) found = static_cast<long>(i) + 1;
    }
    return found;
}

Text mid(std::string_view text, long position, long count) {
    if (position < 1 || static_cast<size_t>(position) > text.size() || count <= 0) return {};
    return Text(text.substr(static_cast<size_t>(position - 1), static_cast<size_t>(count)));
}

Text replaceText(std::string_view text, std::string_view needle, std::string_view replacement, long from,
                 long times, bool caseSensitive) {
    if (needle.empty() || times == 0) return Text(text);
    if (from < 1) from = 1;
    if (static_cast<size_t>(from) > text.size()) return Text(text);
    Text out;
    out.reserve(text.size());
    size_t copied = 0;
    size_t i = boundaryAtOrAfter(text, static_cast<size_t>(from - 1));
    long done = 0;
    while (times < 0 || done < times) {
        const size_t at = findFrom(text, needle, i, !caseSensitive);
        if (at == std::string_view::npos) break;
        out.append(text.substr(copied, at - copied));
        out.append(replacement);
        copied = at + needle.size();
        // A needle ending in a lone lead byte can end inside a character: go on at the next
        // whole character, so that no later match starts on a trail byte.
        i = boundaryAtOrAfter(text, copied, at);
        ++done;
    }
    out.append(text.substr(copied));
    return out;
}

TextList splitList(std::string_view text, std::string_view separator) {
    TextList pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t start = 0;
    size_t searchFrom = 0;
    for (;;) {
        const size_t at = findFrom(text, separator, searchFrom, false);
        if (at == std::string_view::npos) break;
        pieces.emplace_back(text.substr(start, at - start));
        start = at + separator.size();
        // As in replaceText: the next match starts at a whole character.
        searchFrom = boundaryAtOrAfter(text, start, at);
    }
    if (start < text.size()) pieces.emplace_back(text.substr(start));
    return pieces;
}

Text trim(std::string_view text) {
    // Works on whole characters so that a full-width space is never cut from inside
    // another character, even at the end.
    size_t begin = 0;
    for (;;) {
        if (begin < text.size() && text[begin] == ' ') {
            ++begin;
        } else if (begin + 1 < text.size() && static_cast<unsigned char>(text[begin]) == 0xA1 &&
                   static_cast<unsigned char>(text[begin + 1]) == 0xA1) {
            begin += 2;
        } else {
            break;
        }
    }
    // Find the end of the last character that is not a blank.
    size_t end = begin;
    for (size_t i = begin; i < text.size();) {
        const size_t w = charWidth(text, i);
        const bool blank =
            (w == 1 && text[i] == ' ') || (w == 2 && static_cast<unsigned char>(text[i]) == 0xA1 &&
                                           static_cast<unsigned char>(text[i + 1]) == 0xA1);
        i += w;
        if (!blank) end = i;
    }
    return Text(text.substr(begin, end - begin));
}

namespace {
// ASCII form of a character at `i`: full-width digits (A3 B0..A3 B9) and signs (A3 AB, A3 AD)
// count as their ASCII forms. Returns 0 for anything else; `width` receives the byte count.
char asciiForm(std::string_view t, size_t i, size_t& width) {
    const unsigned char c = t[i];
    width = 1;
    if (c < 0x80) return static_cast<char>(c);
    if (i + 1 >= t.size()) return 0;
    width = 2;
    const unsigned char d = t[i + 1];
    if (c == 0xA3 && d >= 0xB0 && d <= 0xB9) return static_cast<char>('0' + (d - 0xB0));
    if (c == 0xA3 && d == 0xAB) return '+';
    if (c == 0xA3 && d == 0xAD) return '-';
    return 0;
}
} // namespace

long long toInteger(std::string_view text) {
    size_t i = 0, w = 0;
    while (i < text.size()) {
        const char a = asciiForm(text, i, w);
        const bool blank = a == ' ' || a == '\t' ||
                           (w == 2 && static_cast<unsigned char>(text[i]) == 0xA1 &&
                            static_cast<unsigned char>(text[i + 1]) == 0xA1);
        if (!blank) break;
        i += w;
    }
    bool negative = false;
    if (i < text.size()) {
        const char a = asciiForm(text, i, w);
        if (a == '+' || a == '-') {
            negative = a == '-';
            i += w;
        }
    }
    long long value = 0;
    while (i < text.size()) {
        const char a = asciiForm(text, i, w);
        if (a < '0' || a > '9') break;
        const int digit = a - '0';
        if (value > (LLONG_MAX - digit) / 10) {
            value = LLONG_MAX;
        } else {
            value = value * 10 + digit;
        }
        i += w;
    }
    return negative ? -value : value;
}

Text integerToText(long long value) {
    return std::to_string(value);
}

Text realToText(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.13g", value);
    Text s = buf;
    if (s.find_first_of("eE") != Text::npos) {
        // Values that need an exponent are never formatted by the program; write them
        // plainly anyway rather than in scientific notation.
        std::snprintf(buf, sizeof buf, "%.13f", value);
        s = buf;
    }
    if (s.find('.') != Text::npos) {
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (s == "-0") s = "0";
    return s;
}

double roundHalfAway(double value, int places) {
    const double scale = std::pow(10.0, places);
    const double magnitude = std::fabs(value) * scale + 0.000000000001;
    double whole = std::floor(magnitude);
    if (magnitude - whole >= 0.5) whole += 1;
    const double result = whole / scale;
    return value < 0 ? -result : result;
}

namespace {

// SplitMix64: the program reseeds before nearly every draw, so seeding must be cheap; the
// quality is ample for picking templates and comments.
uint64_t randomState = 0x9E3779B97F4A7C15ULL;

uint64_t nextRandom() {
    uint64_t z = (randomState += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

long long randomBetween(long long low, long long high) {
    low = std::max(0LL, low);
    high = std::max(0LL, high);
    if (low > high) std::swap(low, high);
    const uint64_t span = static_cast<uint64_t>(high - low) + 1;
    // Multiply-and-shift with rejection (Lemire): every value of the range equally likely,
    // and the division that finds the rejection threshold is needed only in rare cases.
    // Draws without repetition take many of these, so they must be cheap.
    unsigned __int128 product = static_cast<unsigned __int128>(nextRandom()) * span;
    if (static_cast<uint64_t>(product) < span) {
        const uint64_t threshold = (0 - span) % span;
        while (static_cast<uint64_t>(product) < threshold)
            product = static_cast<unsigned __int128>(nextRandom()) * span;
    }
    return low + static_cast<long long>(product >> 64);
}

void seedRandom() {
    static unsigned long long counter = 0;
    const auto uptime = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    const unsigned long long seed = static_cast<unsigned long long>(uptime) + counter;
    randomState = seed;
    counter += 100 + (seed & 0xFF);
}

Text restoreQuotes(std::string_view text) {
    return replaceText(text, "''", "\"");
}

Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 long* position, const BetweenOptions& options) {
    Text startM(startMarker), endM(endMarker);
    if (options.restoreMarkerQuotes) {
        startM = restoreQuotes(startM);
        endM = restoreQuotes(endM);
    }
    // An empty marker stands for the start or the end of the text: it is put there as a
    // marker of its own so that the search below needs no special case.
    static const Text headMarker = local("#栎岚头#");
    static const Text tailMarker = local("#栎岚尾#");
    Text copy;
    std::string_view work = text;
    if (startM.empty() || endM.empty()) {
        copy.reserve(text.size() + 24);
        if (startM.empty()) {
            startM = headMarker;
            copy += headMarker;
        }
        copy.append(text);
        if (endM.empty()) {
            endM = tailMarker;
            copy += tailMarker;
        }
        work = copy;
    }
    long pos = position ? *position : 0;
    long s = -1, e = -1;
    if (!options.fromEnd) {
        s = findText(work, startM, pos, true);
        if (s < 0) return {};
        e = findText(work, endM, s + static_cast<long>(startM.size()), true);
        if (e < 0) return {};
        pos = e + static_cast<long>(endM.size());
    } else {
        e = findLast(work, endM, pos > 0 ? pos : kWholeText, true);
        if (e < 0) return {};
        s = findLast(work, startM, e, true);
        if (s < 0) return {};
        pos = s;
    }
    if (position) *position = pos;
    const long b = s + static_cast<long>(startM.size()) + options.startShift;
    return mid(work, b, e - b - options.endShift);
}

namespace {
bool isFourByteCharacter(std::string_view t, size_t i) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(t[i + k]); };
    return i + 3 < t.size() && at(1) >= 0x30 && at(1) <= 0x39 && at(2) >= 0x81 && at(2) <= 0xFE &&
           at(3) >= 0x30 && at(3) <= 0x39;
}
} // namespace

long countCharacters(std::string_view text, int lineBreakMode, long enough) {
    long count = 0;
    bool pending = false;
    auto toggle = [&] {
        if (pending) {
            ++count;
            pending = false;
        } else {
            pending = true;
        }
    };
    for (size_t i = 0; i < text.size() && count < enough; ++i) {
        const unsigned char c = text[i];
        if (c >= 0x81 && !pending && isFourByteCharacter(text, i)) {
            // GB18030's four-byte characters (emoji, rare ideographs) are one character each.
            ++count;
            i += 3;
            continue;
        }
        const bool lineBreak = c == '\r' || c == '\n';
        if (c < 0x80 && !lineBreak) {
            ++count;
            pending = false;
        } else if (lineBreak && lineBreakMode == 0) {
            // left out
        } else if (lineBreak && lineBreakMode == 2) {
            ++count;
        } else if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                toggle();
            } else {
                ++count;
                pending = false;
            }
        } else if (c == '\n' && !pending) {
            if (i == 0 || text[i - 1] != '\r') {
                ++count;
                pending = false;
            } else {
                toggle();
            }
        } else {
            toggle();
        }
    }
    return count;
}

} // namespace lilan
