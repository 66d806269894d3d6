// Properties of the random sentence picker on an arbitrary article.
#include "checks.h"
#include "support.h"

#include "compose/article.h"
#include "text/encoding.h"

namespace lilan::fuzzing {
namespace {

constexpr long kMinimumLength = 10;

// ASCII characters that end a piece; "?" also stands for every byte the pattern engine
// could not read, so none of these can be inside a piece.
constexpr std::string_view kAsciiSeparators = ",!?;<>/:()='{}\"\r\n";

bool qualifies(const Text& piece) {
    return countCharacters(piece, 1) >= kMinimumLength;
}

std::string checkPick(const Text& article, const Text& pick) {
    static const Text marker = local("[⊥]"); // the picker cuts the article at it
    if (!isLocalText(pick)) return "picked malformed text " + shown(pick);
    // Searched character by character: a trail byte may have the code of "{" or "}".
    bool cut = findText(pick, marker) > 0 || findText(pick, ". ") > 0;
    for (const char separator : kAsciiSeparators)
        cut = cut || findText(pick, std::string_view(&separator, 1)) > 0;
    if (cut) return "picked piece " + shown(pick) + " holds a separator";
    // Without mark-up, pieces are cut out of single lines and only lose blanks at the line
    // ends, so every piece stands in the article as it is.
    if (isLocalText(article) && article.find('<') == Text::npos &&
        characters(article).find(characters(pick)) == std::string::npos)
        return "picked piece " + shown(pick) + " does not stand in the article";
    return {};
}

} // namespace

std::string checkRandomSentence(std::string_view data) {
    const Text article(data);
    const Text first = pickRandomSentence(article);
    const Text second = pickRandomSentence(article);
    for (const Text* pick : {&first, &second}) {
        if (std::string failure = checkPick(article, *pick); !failure.empty()) return failure;
    }
    // Every piece is looked at before one is chosen at random, so whether the choice is long
    // enough cannot depend on chance.
    if (qualifies(first) != qualifies(second))
        return "two picks from one article disagree on length: " + shown(first) + " and " + shown(second);
    return {};
}

} // namespace lilan::fuzzing
