#include "compose/templates.h"

#include "text/encoding.h"

namespace lilan {

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
    return replacePairs(templ, names, {comment.region, comment.nickname, comment.content, title}, false);
}

Text replacePairs(const Text& text, const TextList& names, const TextList& values, bool caseSensitive) {
    static const Text missing;
    Text result = text;
    for (size_t i = 0; i < names.size(); ++i) {
        const Text& value = i < values.size() ? values[i] : missing;
        result = replaceText(result, names[i], value, 1, -1, caseSensitive);
    }
    return result;
}

} // namespace lilan
