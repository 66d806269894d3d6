// The address collector's fetcher: each request runs in a worker thread while the window
// thread waits and keeps handling its events.
#pragma once

#include <chrono>
#include <string>

#include "text/text.h"

namespace lilan {

struct FetchRequest {
    Text address;
    Text method; // empty: GET
    Text proxy;  // empty or blank: none
    Text userName;
    Text password;
    Text extraHeaders;        // complete lines, each ending in CR LF
    Text body;                // POST only
    int timeLimitSeconds = 0; // 0: the client's default (90 s in the program)
};

class InetClient {
public:
    explicit InetClient(std::chrono::milliseconds defaultLimit = std::chrono::seconds(90));

    // The body bytes; empty on any failure or time-out. `headers`, when given, receives the
    // raw response headers (empty on failure).
    std::string fetchBytes(const FetchRequest& request, Text* headers = nullptr);
    // The body up to its first zero byte, unconverted.
    Text fetchText(const FetchRequest& request, Text* headers = nullptr);
    Text fetchText(const Text& address) {
        FetchRequest request;
        request.address = address;
        return fetchText(request);
    }

private:
    std::chrono::milliseconds defaultLimit_;
};

// Host part after "http://" (exact case) up to the first "/", lower-cased; the port is
// dropped unless keepPort.
Text hostOf(const Text& address, bool keepPort = false);
// Path and query, "/" when there is none.
Text pathOf(const Text& address);
// The port after the host's ":", 80 when none, 0 when it is no number.
int portOf(const Text& address);

} // namespace lilan
