// The text primitives on arbitrary bytes, each against a plain reference version that walks
// the text one character at a time.
#include "checks.h"
#include "input_reader.h"
#include "support.h"

#include <algorithm>
#include <vector>

#include "text/encoding.h"

namespace lilan::fuzzing {
namespace {

// The program's character rule: a byte of 0x80 or above and a byte that can follow it as a
// trail byte (0x30 or above) form one two-byte unit; anything else stands alone.
size_t unitWidth(std::string_view text, size_t at) {
    return static_cast<unsigned char>(text[at]) >= 0x80 && at + 1 < text.size() &&
                   static_cast<unsigned char>(text[at + 1]) >= 0x30
               ? 2
               : 1;
}

std::vector<size_t> boundaries(std::string_view text) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < text.size(); i += unitWidth(text, i))
        starts.push_back(i);
    return starts;
}

char fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool sameAt(std::string_view text, size_t at, std::string_view needle, bool ignoreCase) {
    if (at + needle.size() > text.size()) return false;
    for (size_t i = 0; i < needle.size(); ++i) {
        const char a = text[at + i], b = needle[i];
        if (ignoreCase ? fold(a) != fold(b) : a != b) return false;
    }
    return true;
}

long referenceFind(std::string_view text, std::string_view needle, long from, bool ignoreCase) {
    from = std::max(from, 1L);
    for (const size_t i : boundaries(text)) {
        if (static_cast<long>(i) + 1 >= from && sameAt(text, i, needle, ignoreCase))
            return static_cast<long>(i) + 1;
    }
    return -1;
}

long referenceFindLast(std::string_view text, std::string_view needle, long before, bool ignoreCase) {
    if (before <= 1 || needle.empty()) return -1;
    const size_t limit =
        before == kWholeText ? text.size() : std::min(text.size(), static_cast<size_t>(before - 1));
    long found = -1;
    for (const size_t i : boundaries(text)) {
        if (i + needle.size() <= limit && sameAt(text, i, needle, ignoreCase))
            found = static_cast<long>(i) + 1;
    }
    return found;
}

Text referenceMid(std::string_view text, long position, long count) {
    if (position < 1 || position > static_cast<long>(text.size()) || count <= 0) return {};
    const size_t at = static_cast<size_t>(position - 1);
    return Text(text.substr(at, std::min(static_cast<size_t>(count), text.size() - at)));
}

Text referenceReplace(std::string_view text, std::string_view needle, std::string_view with, long from,
                      long times, bool caseSensitive) {
    if (needle.empty() || times == 0) return Text(text);
    Text out;
    size_t copied = 0;
    long done = 0;
    for (const size_t i : boundaries(text)) {
        if (times > 0 && done == times) break;
        if (i < copied || static_cast<long>(i) + 1 < from || !sameAt(text, i, needle, !caseSensitive))
            continue;
        out.append(text.substr(copied, i - copied)).append(with);
        copied = i + needle.size();
        ++done;
    }
    return out.append(text.substr(copied));
}

TextList referenceSplit(std::string_view text, std::string_view separator) {
    TextList pieces;
    if (text.empty()) return pieces;
    if (separator.empty()) return {Text(text)};
    size_t start = 0;
    for (const size_t i : boundaries(text)) {
        if (i < start || !sameAt(text, i, separator, false)) continue;
        pieces.emplace_back(text.substr(start, i - start));
        start = i + separator.size();
    }
    if (start < text.size()) pieces.emplace_back(text.substr(start));
    return pieces;
}

Text referenceTrim(std::string_view text) {
    const auto isBlank = [&](size_t i) {
        return (unitWidth(text, i) == 1 && text[i] == ' ') ||
               (unitWidth(text, i) == 2 && text.compare(i, 2, "\xA1\xA1") == 0);
    };
    const std::vector<size_t> starts = boundaries(text);
    size_t first = 0, last = starts.size();
    while (first < last && isBlank(starts[first]))
        ++first;
    while (last > first && isBlank(starts[last - 1]))
        --last;
    if (first == last) return {};
    const size_t end = starts[last - 1] + unitWidth(text, starts[last - 1]);
    return Text(text.substr(starts[first], end - starts[first]));
}

// The search between markers, forward or from the end, moving the position as a walk does.
Text referenceBetween(std::string_view text, Text startMarker, Text endMarker, long& position,
                      const BetweenOptions& options) {
    static const Text head = local("#栎岚头#"), tail = local("#栎岚尾#");
    Text work(text);
    if (startMarker.empty()) {
        startMarker = head;
        work = startMarker + work;
    }
    if (endMarker.empty()) {
        endMarker = tail;
        work += endMarker;
    }
    long s, e;
    if (!options.fromEnd) {
        s = referenceFind(work, startMarker, position, true);
        if (s < 0) return {};
        e = referenceFind(work, endMarker, s + static_cast<long>(startMarker.size()), true);
        if (e < 0) return {};
        position = e + static_cast<long>(endMarker.size());
    } else {
        e = referenceFindLast(work, endMarker, position > 0 ? position : kWholeText, true);
        if (e < 0) return {};
        s = referenceFindLast(work, startMarker, e, true);
        if (s < 0) return {};
        position = s;
    }
    const long b = s + static_cast<long>(startMarker.size()) + options.startShift;
    return referenceMid(work, b, e - b - options.endShift);
}

// Without line breaks every mode counts alike: one per ASCII byte, one per pair of bytes in
// every run of bytes of 0x80 or above (a lone one left over counts nothing).
// Text without line breaks read as units from its start: an ASCII byte; a GB18030
// four-byte character; a byte of 0x80 or above with whatever byte follows it. A lone such
// byte at the very end makes no unit.
long referenceCountWithoutLineBreaks(std::string_view text) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    auto digit = [&](size_t k) { return at(k) >= 0x30 && at(k) <= 0x39; };
    long count = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (at(i) < 0x80) {
            i += 1;
        } else if (i + 3 < text.size() && at(i) >= 0x81 && digit(i + 1) && at(i + 2) >= 0x81 &&
                   at(i + 2) <= 0xFE && digit(i + 3)) {
            i += 4;
        } else if (i + 1 < text.size()) {
            i += 2;
        } else {
            break;
        }
        ++count;
    }
    return count;
}

struct Input {
    bool ignoreCase;
    bool caseSensitive;
    long from;
    long times;
    Text needle, replacement, startMarker, endMarker;
    BetweenOptions options;
    Text text;
};

Input cut(std::string_view data) {
    InputReader in(data);
    Input input;
    const uint8_t flags = in.byte();
    input.ignoreCase = flags & 1;
    input.caseSensitive = flags & 2;
    input.options.fromEnd = flags & 4;
    input.from = static_cast<int8_t>(in.byte());
    input.times = static_cast<int8_t>(in.byte());
    input.options.startShift = static_cast<int8_t>(in.byte()) / 16;
    input.options.endShift = static_cast<int8_t>(in.byte()) / 16;
    input.needle = in.field(8);
    input.replacement = in.field(8);
    input.startMarker = in.field(6);
    input.endMarker = in.field(6);
    input.text = in.rest();
    return input;
}

std::string describe(const char* what, const Input& in) {
    return std::string(what) + " differs for text " + shown(in.text) + ", needle " + shown(in.needle);
}

std::string checkSearches(const Input& in) {
    for (const bool ignoreCase : {false, true}) {
        if (findText(in.text, in.needle, in.from, ignoreCase) !=
            referenceFind(in.text, in.needle, in.from, ignoreCase))
            return describe("findText", in);
        for (const long before : {in.from, kWholeText}) {
            if (findLast(in.text, in.needle, before, ignoreCase) !=
                referenceFindLast(in.text, in.needle, before, ignoreCase))
                return describe("findLast", in);
        }
    }
    if (mid(in.text, in.from, in.times) != referenceMid(in.text, in.from, in.times))
        return describe("mid", in);
    return {};
}

std::string checkRewrites(const Input& in) {
    const Text replaced =
        replaceText(in.text, in.needle, in.replacement, in.from, in.times, in.caseSensitive);
    if (replaced != referenceReplace(in.text, in.needle, in.replacement, in.from, in.times, in.caseSensitive))
        return describe("replaceText", in) + ", replacement " + shown(in.replacement);

    const TextList pieces = splitList(in.text, in.needle);
    if (pieces != referenceSplit(in.text, in.needle)) return describe("splitList", in);
    // The pieces joined by the separator give the text back, less a separator at its end.
    Text joined;
    for (size_t i = 0; i < pieces.size(); ++i)
        joined += (i ? in.needle : Text()) + pieces[i];
    if (!in.needle.empty() && joined != in.text && joined + in.needle != in.text)
        return describe("splitList pieces do not join back", in);

    if (trim(in.text) != referenceTrim(in.text)) return describe("trim", in);
    return {};
}

std::string checkCount(const Input& in) {
    const long c0 = countCharacters(in.text, 0), c1 = countCharacters(in.text, 1),
               c2 = countCharacters(in.text, 2);
    const long breaks = static_cast<long>(
        std::count_if(in.text.begin(), in.text.end(), [](char c) { return c == '\r' || c == '\n'; }));
    if (c1 < 0 || c1 > static_cast<long>(in.text.size())) return describe("countCharacters out of range", in);
    // Modes 0 and 2 treat every other byte alike, so they differ by the line-break bytes.
    if (c2 - c0 != breaks) return describe("countCharacters modes 0 and 2", in);
    if (breaks == 0 && (c0 != c1 || c1 != referenceCountWithoutLineBreaks(in.text)))
        return describe("countCharacters", in);
    return {};
}

std::string checkBetween(const Input& in) {
    long position = in.options.fromEnd ? 0 : std::max(0L, in.from);
    long expectedPosition = position;
    // A walk with one position variable must end: each found piece moves the position on.
    for (size_t steps = 0; steps <= in.text.size() + 32; ++steps) {
        const long before = position;
        const Text piece = textBetween(in.text, in.startMarker, in.endMarker, &position, in.options);
        const Text expected =
            referenceBetween(in.text, in.startMarker, in.endMarker, expectedPosition, in.options);
        if (piece != expected || position != expectedPosition)
            return describe("textBetween", in) + " with markers " + shown(in.startMarker) + " " +
                   shown(in.endMarker) + ": " + shown(piece) + " at " + std::to_string(position) +
                   ", expected " + shown(expected) + " at " + std::to_string(expectedPosition);
        if (position == before) return {}; // nothing found: the walk ends here
        if (in.options.fromEnd ? position > before && before > 0 : position < before)
            return describe("textBetween moved the position backwards", in);
    }
    return describe("textBetween walk did not end", in);
}

} // namespace

std::string checkTextPrimitives(std::string_view data) {
    const Input input = cut(data);
    for (auto check : {checkSearches, checkRewrites, checkCount, checkBetween}) {
        if (std::string failure = check(input); !failure.empty()) return failure;
    }
    return {};
}

} // namespace lilan::fuzzing
