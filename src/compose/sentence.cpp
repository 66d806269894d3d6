// Naming an article after one of its sentences.
#include "compose/article.h"
#include "compose/characters.h"
#include "text/encoding.h"
#include "text/platform.h"

namespace lilan {

namespace {

constexpr long kMinimumPieceLength = 10;

// Punctuation and line breaks that end a piece. CR LF and ". " are units of their own: a
// full stop inside a number such as 3.5 must not cut it, and neither must a lone space.
const Text& separatorSet() {
    static const Text set = local(",，。！!？?;；<>/:：()='. {}《》（）、‘’\"“”\r\n");
    return set;
}

Text separatorPattern(const Text& set) {
    static const Text lineBreak = "\r\n";
    static const Text stopSpace = ". ";
    const bool hasLineBreak = findText(set, lineBreak) > 0;
    Text singles = replaceText(set, lineBreak, "");
    const bool hasStopSpace = findText(singles, stopSpace) > 0;
    singles = replaceText(singles, stopSpace, "");

    Text pattern = "[" + RegexObject::escapePattern(singles) + "]";
    if (hasLineBreak) pattern += R"(|\r\n|\r|\n)";
    if (hasStopSpace) pattern += R"(|\. )";
    return pattern;
}

// Empty lines with their line break, and blanks at both ends of every line.
const Text& blankLinePattern() {
    static const Text pattern = local(R"(^[　 \t]*$(\r\n)|^[ 　\t]+|[ 　\t]+$)");
    return pattern;
}

// Removes every "<" ... ">" with neither "<" nor ">" inside; unpaired ones stay. Text
// between the brackets is copied in runs; the walk only has to step over whole characters,
// since a double-byte character may end in a byte that looks like a bracket.
Text removeMarkup(const Text& text) {
    Text kept;
    kept.reserve(text.size());
    size_t open = Text::npos; // where the pending "<" stands in `kept`
    size_t copied = 0;        // bytes of `text` before this are in `kept` or dropped
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            i += characterLength(text, i);
            continue;
        }
        if (c == '<') {
            kept.append(text, copied, i - copied);
            copied = i;
            open = kept.size();
        } else if (c == '>' && open != Text::npos) {
            kept.append(text, copied, i - copied);
            kept.resize(open);
            open = Text::npos;
            copied = i + 1;
        }
        ++i;
    }
    kept.append(text, copied);
    return kept;
}

} // namespace

Text pickRandomSentence(const Text& article) {
    RegexObject separators;
    RegexObject blankLines;
    static const Text separatorsFound = separatorPattern(separatorSet());
    separators.setPattern(separatorsFound, true, true, true);
    blankLines.setPattern(blankLinePattern(), true, true, true);

    Text text = removeMarkup(article);
    text = blankLines.replace(text);
    static const Text marker = local("[⊥]");
    text = separators.replace(text, marker);
    const TextList pieces = splitList(text, marker);

    seedRandom();
    const auto count = static_cast<int32_t>(pieces.size());
    if (count == 0) return {};

    NumberDrawer drawer;
    for (int32_t i = 0; i < count; ++i) {
        processEvents();
        const Text& piece = pieces[static_cast<size_t>(drawer.draw(1, count) - 1)];
        if (!piece.empty() && countCharacters(piece, 1, kMinimumPieceLength) >= kMinimumPieceLength)
            return piece;
    }
    return pieces[static_cast<size_t>(randomBetween(1, count) - 1)];
}

} // namespace lilan
