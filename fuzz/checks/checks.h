// Property checks run on arbitrary input, shared by the fuzz targets and the regression tests.
//
// Each check drives one part of the program with an input cut from the given bytes and
// verifies what must hold for every input, not just that nothing crashes. It returns an
// empty text when every property held, otherwise a description of the first one that broke.
// The fuzz targets abort on a description; the regression tests replay stored inputs and
// expect none.
#pragma once

#include <string>
#include <string_view>

namespace lilan::fuzzing {

// decodeResponse for every requested code: the reported code, the text's form and the
// unconverted fallback.
std::string checkDecodeResponse(std::string_view data);

// unescapeResponse and the comment-record pattern over an arbitrary response body.
std::string checkCommentPage(std::string_view data);

// A settings file holding arbitrary bytes, then reads and writes chosen by the input; the
// file must equal the store's memory copy after every step. `folder` is a writable folder.
std::string checkSettingsFile(std::string_view data, const std::string& folder);

// The text primitives on arbitrary bytes against plain reference versions.
std::string checkTextPrimitives(std::string_view data);

// The random sentence picker on an arbitrary article.
std::string checkRandomSentence(std::string_view data);

// A pattern object with an arbitrary pattern, subject and replacement.
std::string checkRegexObject(std::string_view data);

} // namespace lilan::fuzzing
