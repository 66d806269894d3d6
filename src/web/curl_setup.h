// What both web clients share on top of libcurl.
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace lilan::web {

// Initialises libcurl once for the process, before the first handle is made. The library is
// never torn down: an abandoned fetch worker may still be finishing while the process exits.
void ensureCurl();

// Collects the header lines of the last response of a transfer (redirects and interim
// answers start a new block), each line ending in CR LF, the blank closing line left out.
struct HeaderBlock {
    Text statusLine;
    Text lines;
};
size_t collectHeader(char* data, size_t size, size_t count, void* block);

// Appends the received bytes to a std::string.
size_t collectBody(char* data, size_t size, size_t count, void* body);

// ASCII upper and lower case.
Text upperAscii(std::string_view text);
Text lowerAscii(std::string_view text);

// The value with every CR and LF dropped, so that no value can smuggle in a header line.
Text headerValue(std::string_view value);

} // namespace lilan::web
