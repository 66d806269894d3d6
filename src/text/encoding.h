// Conversions between local text (GB18030) and the encodings met at the program's edges.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "text/text.h"

namespace lilan {

// Converts the whole input in one go; any invalid or incomplete sequence fails the whole
// conversion (nullopt). Empty input gives an empty result.
std::optional<std::string> convertStrict(std::string_view input, const char* from, const char* to);

// Like convertStrict, but every sequence that cannot be read or written becomes "?", as the
// lenient code-page conversions of a desktop system do.
std::string convertLenient(std::string_view input, const char* from, const char* to);

// UTF-8 source literals and file names to local text, and back. Lenient.
Text fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view local);

// Shorthand for the program's own fixed texts, which the sources hold in UTF-8.
inline Text local(std::string_view utf8) {
    return fromUtf8(utf8);
}

} // namespace lilan
