// The request object of the collection run: one HTTP connection handle, reused by every visit.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "text/text.h"

namespace lilan {

struct VisitOptions {
    Text bodyText;             // makes the request a POST when not empty
    int charsetCode = 0;       // -2 response text, -1 raw bytes, else decodeResponse's code
    int timeout = 0;           // seconds; see WebClient::visit
    std::optional<Text> proxy; // not given / "-1": untouched; "IE": the environment's proxy
    bool synchronous = false;
    std::string bodyBytes;    // preferred over bodyText
    Text referer;             // empty: the address itself
    Text* cookie = nullptr;   // in/out; "-1" sends an empty Cookie header
    bool keepCookies = false; // keptCookie := this response's cookies
};

class WebClient {
public:
    // `defaultWait` is the wait of an asynchronous visit that names none (40 s in the program).
    explicit WebClient(std::chrono::milliseconds defaultWait = std::chrono::seconds(40));
    ~WebClient();
    WebClient(const WebClient&) = delete;
    WebClient& operator=(const WebClient&) = delete;

    // The response body as local text; the empty text whenever the request fails.
    Text visit(const Text& address, const VisitOptions& options = {});

    const Text& keptCookie() const { return keptCookie_; }

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::chrono::milliseconds defaultWait_;
    Text keptCookie_;
};

} // namespace lilan
