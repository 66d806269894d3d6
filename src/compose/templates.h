// Templates and placeholder filling.
#pragma once

#include "compose/comment_record.h"
#include "text/regex.h"
#include "text/text.h"

namespace lilan {

// The templates of the template box, cut at "#分隔#".
TextList buildTemplateSet(const Text& boxText);

// The next template: every template once, in random order, before any repeats.
const Text& chooseTemplate(NumberDrawer& drawer, const TextList& templates);

// "#所在地#", "#昵称#", "#评论#", "#标题#" filled in that order, case ignored.
Text fillTemplate(const Text& templ, const CommentRecord& comment, const Text& title);

// Each name replaced by its value, pair after pair; missing values are empty.
Text replacePairs(const Text& text, const TextList& names, const TextList& values, bool caseSensitive);

} // namespace lilan
