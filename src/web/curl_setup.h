// What both web clients share on top of libcurl.
#pragma once

#include <cstddef>
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

// The largest response body either client accepts. News and comment pages are a few hundred
// kilobytes at most; anything past this is no page the program can use.
constexpr size_t kMaxResponseBytes = 32 * 1024 * 1024;

// Appends the received bytes to a std::string; a body growing past kMaxResponseBytes is
// emptied and the transfer aborted.
size_t collectBody(char* data, size_t size, size_t count, void* body);

// ASCII upper and lower case.
Text upperAscii(std::string_view text);
Text lowerAscii(std::string_view text);

// The value with every CR and LF dropped, so that no value can smuggle in a header line.
Text headerValue(std::string_view value);

} // namespace lilan::web
