#include "compose/templates.h"

#include <span>

#include "text/encoding.h"

namespace lilan {

namespace {

// Each name replaced by the value at its index (by nothing when the values run out), one
// name after the other over the result so far.
template <typename Value>
Text replaceInTurn(const Text& text, const TextList& names, std::span<const Value> values,
                   bool caseSensitive) {
    Text result = text;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string_view value = i < values.size() ? std::string_view(values[i]) : std::string_view();
        result = replaceText(result, names[i], value, 1, -1, caseSensitive);
    }
    return result;
}

} // namespace

TextList buildTemplateSet(const Text& boxText) {
    static const Text separator = local("#分隔#");
    return splitList(boxText, separator);
}

const Text& chooseTemplate(NumberDrawer& drawer, const TextList& templates) {
    // The run refuses to start without a template; an empty set still must not index past
    // the end if someone calls this anyway.
    static const Text none;
    if (templates.empty()) return none;
    const auto count = static_cast<int32_t>(templates.size());
    const int32_t k = drawer.draw(1, count);
    if (k < 1 || k > count) return none;
    return templates[static_cast<size_t>(k - 1)];
}

Text fillTemplate(const Text& templ, const CommentRecord& comment, const Text& title) {
    // The order matters: a field that contains a later placeholder gets that one filled too,
    // which lets a comment quote the news title through "#标题#".
    static const TextList names = {local("#所在地#"), local("#昵称#"), local("#评论#"), local("#标题#")};
    // Views, not copies: this runs for every comment of a run.
    const std::string_view values[] = {comment.region, comment.nickname, comment.content, title};
    return replaceInTurn(templ, names, std::span<const std::string_view>(values), false);
}

Text replacePairs(const Text& text, const TextList& names, const TextList& values, bool caseSensitive) {
    return replaceInTurn(text, names, std::span<const Text>(values), caseSensitive);
}

} // namespace lilan
