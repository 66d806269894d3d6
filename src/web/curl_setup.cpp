#include "web/curl_setup.h"

#include <curl/curl.h>
#include <mutex>

namespace lilan::web {

void ensureCurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

size_t collectHeader(char* data, size_t size, size_t count, void* block) {
    auto& headers = *static_cast<HeaderBlock*>(block);
    const std::string_view line(data, size * count);
    if (line.substr(0, 5) == "HTTP/") {
        // A new response begins (after a redirect or an interim answer): only the last counts.
        headers.statusLine = Text(line);
        headers.lines.clear();
    } else if (line != "\r\n" && line != "\n") {
        headers.lines.append(line);
    }
    return size * count;
}

size_t collectBody(char* data, size_t size, size_t count, void* body) {
    auto* bytes = static_cast<std::string*>(body);
    if (bytes->size() + size * count > kMaxResponseBytes) {
        // Past the cap the response is dropped whole and the transfer aborted: memory stays
        // bounded whatever a server sends, and a cut-off page is never taken for a page.
        std::string().swap(*bytes);
        return 0;
    }
    bytes->append(data, size * count);
    return size * count;
}

Text upperAscii(std::string_view text) {
    Text out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

Text lowerAscii(std::string_view text) {
    Text out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

Text headerValue(std::string_view value) {
    Text out;
    out.reserve(value.size());
    for (char c : value) {
        if (c != '\r' && c != '\n') out.push_back(c);
    }
    return out;
}

} // namespace lilan::web
