// Cleaning of an article body before head and tail are added.
#include "compose/article.h"
#include "compose/templates.h"
#include "text/encoding.h"

namespace lilan {

namespace {

// A scheme or "www", then everything up to the first whitespace or CJK ideograph: comments
// glue addresses to their punctuation, and the ideograph is where the prose resumes.
constexpr const char* kAddressPattern = R"(([a-zA-Z]+://|www)[^\s\u4e00-\u9fa5]+)";
// The shortest run from "<" to the next ">", across line breaks.
constexpr const char* kTagPattern = R"(<[\s\S]+?>)";

Text removalPattern(bool addresses, bool tags) {
    Text pattern;
    if (addresses) pattern += kAddressPattern;
    if (addresses && tags) pattern += "|";
    if (tags) pattern += kTagPattern;
    return pattern;
}

Text removeAddressesAndTags(const Form& form, const Text& body, RegexObject& regex) {
    const Text pattern =
        removalPattern(form.isChecked("选择框自动去除网址"), form.isChecked("选择框自动去除标签"));
    if (pattern.empty()) return body;
    regex.setPattern(pattern, true, true, true);
    return regex.replace(body);
}

Text applyUserReplacement(const Form& form, const Text& body, RegexObject& regex) {
    if (!form.isChecked("选择框替换")) return body;
    const bool ignoreCase = form.isChecked("选择框忽略大小写");
    const Text find = form.text("编辑框匹配式");
    const Text replacement = form.text("编辑框替换式");
    if (form.isChecked("选择框正则")) {
        // An empty pattern keeps the removal pattern in force, so the user's replacement text
        // then stands in for the removed addresses and tags. With no pattern at all there is
        // nothing to find, and the body stays as it is.
        regex.setPattern(find, ignoreCase, true, true);
        if (regex.pattern().empty()) return body;
        return regex.replace(body, replacement);
    }
    static const Text bar = "|";
    return replacePairs(body, splitList(find, bar), splitList(replacement, bar), !ignoreCase);
}

Text restoreCommas(const Text& body) {
    static const TextList entity = {"&#44;"};
    static const TextList comma = {local("，")};
    return replacePairs(body, entity, comma, false);
}

} // namespace

Text cleanBody(const Form& form, const Text& body, RegexObject& regex) {
    Text cleaned = removeAddressesAndTags(form, body, regex);
    cleaned = applyUserReplacement(form, cleaned, regex);
    return restoreCommas(cleaned);
}

} // namespace lilan
