// Pattern matching over local text, and drawing numbers without repetition.
//
// RegexObject keeps the semantics the program's patterns were written for: "\u4e00"
// escapes, "$1" group references in replacement texts, "^" and "$" at line starts and ends
// (before CR as well as LF) in multi-line mode, "." not matching a line feed, lazy
// quantifiers, and "{" taken literally where it forms no count. Matching runs on UTF-8, so
// ranges of code points work; every text crosses that edge through the local code page.
//
// Failure is quiet: a pattern that does not compile, or a match that exceeds the engine's
// limits, gives 0 matches and an empty replace() result, and the object stays usable.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "text/text.h"

namespace lilan {

class RegexObject {
public:
    RegexObject();
    ~RegexObject();
    RegexObject(const RegexObject&) = delete;
    RegexObject& operator=(const RegexObject&) = delete;

    // Puts a backslash before each of \ ^ $ + . { } [ ] = ( ) ? * | and the double quote.
    static Text escapePattern(const Text& text);

    // Group `groupIndex` of match `matchIndex` (both from 1) of the last execute();
    // groupIndex 0 or less gives the whole match. Out of range: empty.
    Text subMatchText(int matchIndex, int groupIndex) const;
    // Matches `subject` (all matches with the global flag, else the first); returns the count.
    int execute(const Text& subject);
    // The same for a subject already in the engine's UTF-8, as a decoder that produces it
    // hands it over; the groups still come back as local text.
    int executeUtf8(std::string subject);
    // `subject` with the matches replaced; "$1".."$99", "$&", "$`", "$'" and "$$" work in
    // `replacement`. Does not touch the stored matches.
    Text replace(const Text& subject, const Text& replacement = {});
    // An empty pattern keeps the pattern in force and only applies the flags. Always true.
    bool setPattern(const Text& pattern, bool ignoreCase = true, bool multiLine = true, bool global = true);
    const Text& pattern() const { return currentPattern_; }
    int matchCount() const;

    // How often the engine compiled a pattern; lets tests see that resetting the same
    // pattern and flags leaves the engine alone.
    int compileCount() const { return compileCount_; }

private:
    struct Engine;
    // A match as byte ranges of the UTF-8 subject kept in the engine; groups are turned
    // into local text only when asked for. Group 0 is the whole match; an unset group has
    // an empty range at npos.
    struct Match {
        std::vector<std::pair<size_t, size_t>> groups;
    };
    void compile();

    std::unique_ptr<Engine> engine_;
    std::vector<Match> matches_;
    int32_t flagMask_ = 0;
    Text currentPattern_;
    int compileCount_ = 0;
};

class NumberDrawer {
public:
    NumberDrawer();
    // One value of low..high not drawn since the pool was last filled; a new cycle starts
    // when every value has been drawn.
    int32_t draw(int32_t low, int32_t high);

private:
    std::vector<int32_t> pool_;
};

} // namespace lilan
