// Properties of the pattern object with an arbitrary pattern, subject and replacement.
#include "checks.h"
#include "input_reader.h"
#include "support.h"

#include "text/regex.h"

namespace lilan::fuzzing {
namespace {

struct Input {
    bool ignoreCase, multiLine, global;
    Text pattern, replacement, subject;
};

Input cut(std::string_view data) {
    InputReader in(data);
    Input input;
    const uint8_t flags = in.byte();
    input.ignoreCase = flags & 1;
    input.multiLine = flags & 2;
    input.global = flags & 4;
    input.pattern = in.field(160);
    input.replacement = in.field(16);
    input.subject = in.rest();
    return input;
}

std::string checkMatches(RegexObject& regex, const Input& in) {
    const int n = regex.execute(in.subject);
    if (n < 0 || n != regex.matchCount()) return "execute and matchCount disagree";
    if (!in.global && n > 1) return "a search without the global flag found more than one match";
    for (int i = 1; i <= n; ++i) {
        for (int g = 0; g <= 9; ++g) {
            const Text text = regex.subMatchText(i, g);
            // Every match and group is a piece of the subject, character for character.
            if (isLocalText(in.subject) && characters(in.subject).find(characters(text)) == std::string::npos)
                return "match " + std::to_string(i) + " group " + std::to_string(g) + " " + shown(text) +
                       " is no piece of the subject";
        }
    }
    if (!regex.subMatchText(n + 1, 0).empty() || !regex.subMatchText(0, 0).empty() ||
        (n > 0 && !regex.subMatchText(1, 1000).empty()))
        return "an index outside the matches gave text";

    // Each match replaced by itself leaves the subject as it was, unless the engine gave up,
    // which it must then have done in execute too.
    const Text same = regex.replace(in.subject, "$&");
    if (isLocalText(in.subject) && characters(same) != characters(in.subject) && !(same.empty() && n == 0))
        return "replacing every match by itself changed the subject to " + shown(same);
    regex.replace(in.subject, in.replacement);
    return {};
}

// An escaped text is a pattern that finds exactly that text.
std::string checkEscape(const Text& text) {
    if (text.empty() || !isLocalText(text)) return {};
    RegexObject literal;
    literal.setPattern(RegexObject::escapePattern(text), false, true, true);
    if (literal.execute(text) < 1 || characters(literal.subMatchText(1, 0)) != characters(text))
        return "escaped pattern " + shown(literal.pattern()) + " does not find " + shown(text);
    return {};
}

} // namespace

std::string checkRegexObject(std::string_view data) {
    const Input in = cut(data);
    RegexObject regex;
    regex.setPattern(in.pattern, in.ignoreCase, in.multiLine, in.global);
    const int compiled = regex.compileCount();
    regex.setPattern(in.pattern, in.ignoreCase, in.multiLine, in.global);
    if (regex.compileCount() != compiled) return "setting the same pattern and flags again recompiled";
    if (!in.pattern.empty() && regex.pattern() != in.pattern) return "pattern() is not the pattern set";
    if (std::string failure = checkMatches(regex, in); !failure.empty()) return failure;
    return checkEscape(in.pattern);
}

} // namespace lilan::fuzzing
