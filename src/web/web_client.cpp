#include "web/web_client.h"

#include <algorithm>
#include <cstdlib>
#include <curl/curl.h>

#include "text/encoding.h"
#include "text/platform.h"
#include "web/charset.h"
#include "web/curl_setup.h"

namespace lilan {
namespace {

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";
constexpr long kMaxRedirects = 10;

// The four phase timeouts of a request, in milliseconds; 0 means no limit. They start at
// the values a desktop request object uses until it is told otherwise.
struct PhaseTimeouts {
    long long resolve = 0;
    long long connect = 60000;
    long long send = 30000;
    long long receive = 30000;
    bool setByCaller = false;
};

struct Response {
    std::string body;
    web::HeaderBlock headers;
    Text contentType;
};

// The address as the request opens it: "http://" is put in front of an address without a
// scheme. An address naming any scheme other than http or https is refused.
// A blank inside an address is sent escaped, as browsers and the platform's request object
// do; libcurl would refuse the address instead.
Text escapeBlanks(const Text& url) {
    return replaceText(url, " ", "%20");
}

std::optional<Text> openAddress(const Text& url) {
    const Text lower = web::lowerAscii(url);
    if (lower.starts_with("http://") || lower.starts_with("https://")) return escapeBlanks(url);
    const auto colon = lower.find("://");
    if (colon != Text::npos && colon > 0) {
        const bool isScheme =
            std::all_of(lower.begin(), lower.begin() + static_cast<long>(colon), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
            });
        if (isScheme) return std::nullopt;
    }
    return "http://" + escapeBlanks(url);
}

Text environmentProxy() {
    const char* value = std::getenv("http_proxy");
    return value ? Text(value) : Text();
}

// The response text a desktop request object offers: the body read in the charset that the
// Content-Type names, or detected when it names none the conversion knows.
Text responseText(const Response& response) {
    const Text lowerType = web::lowerAscii(response.contentType);
    const auto at = lowerType.find("charset=");
    if (at != Text::npos) {
        Text name = response.contentType.substr(at + 8);
        name = name.substr(0, name.find_first_of("; "));
        if (!name.empty() && name.front() == '"') name = name.substr(1, name.find('"', 1) - 1);
        if (auto converted = convertStrict(response.body, name.c_str(), "GB18030")) {
            return converted->substr(0, converted->find('\0'));
        }
    }
    return decodeResponse(response.body, kCharsetDetect).text;
}

// The cookies of the response's Set-Cookie lines, each followed by "; ".
Text cookiesOf(const Text& headerLines) {
    Text joined;
    for (const Text& line : splitList(headerLines, "\r\n")) {
        if (line.starts_with("Set-Cookie:")) joined += line + "\r\n";
    }
    joined = replaceText(joined, "Set-Cookie: ", "");
    return replaceText(joined, "\r\n", "; ");
}

} // namespace

struct WebClient::Handle {
    CURL* curl = nullptr;
    // Settings that, like those of a desktop request object, stay until a visit changes them.
    std::optional<Text> proxy; // nullopt: the default, which honours http_proxy
    PhaseTimeouts timeouts;

    Handle() {
        web::ensureCurl();
        curl = curl_easy_init();
    }
    ~Handle() {
        if (curl) curl_easy_cleanup(curl);
    }

    void applyTimeouts(bool synchronous, std::chrono::milliseconds wait) {
        // Resolving and connecting are one phase to libcurl; the receive timeout, a wait
        // for the next bytes, is its low-speed limit (whole seconds, at least one).
        const long long connect = timeouts.resolve + timeouts.connect;
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::min(connect, 2000000000LL)));
        if (timeouts.receive > 0) {
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                             static_cast<long>(std::clamp((timeouts.receive + 999) / 1000, 1LL, 2000000LL)));
        }
        long long total = 0;
        if (!synchronous) {
            total = std::max<long long>(wait.count(), 1); // libcurl reads 0 as no limit at all
        } else if (timeouts.setByCaller) {
            // The phases together bound the whole request, so that a reply trickling in
            // byte by byte cannot hold the window thread for ever.
            total = timeouts.resolve + timeouts.connect + timeouts.send + timeouts.receive;
        }
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(std::min(total, 2000000000LL)));
    }
};

WebClient::WebClient(std::chrono::milliseconds defaultWait)
    : handle_(std::make_unique<Handle>()), defaultWait_(defaultWait) {}

WebClient::~WebClient() = default;

Text WebClient::visit(const Text& address, const VisitOptions& options) {
    const bool post = !options.bodyText.empty() || !options.bodyBytes.empty();
    const Text url = trim(address);

    // Cookie: the caller's, else the kept one (the caller sees the copy).
    Text localCookie;
    Text& cookie = options.cookie ? *options.cookie : localCookie;
    if (cookie.empty() && !keptCookie_.empty()) cookie = keptCookie_;

    if (options.synchronous && options.timeout != -1) {
        const long long quarter =
            options.timeout >= 1 ? static_cast<long long>(options.timeout) * 250 : 10000;
        handle_->timeouts = {quarter, quarter, quarter, quarter, true};
    }
    if (options.proxy && *options.proxy != "-1") {
        Text p = *options.proxy == "IE" ? environmentProxy() : *options.proxy;
        processEvents();
        handle_->proxy = p.empty() ? std::nullopt : std::optional<Text>(p);
    }

    Response response;
    const auto opened = openAddress(url);
    CURL* curl = handle_->curl;
    if (curl && opened) {
        // A reset keeps the handle's connections; everything a visit needs is set anew.
        curl_easy_reset(curl);
        curl_easy_setopt(curl, CURLOPT_URL, opened->c_str());
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, web::collectBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &response.body);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, web::collectHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response.headers);
        if (handle_->proxy) curl_easy_setopt(curl, CURLOPT_PROXY, handle_->proxy->c_str());

        // The request carries exactly these headers besides Host (and, for a POST, the
        // length): libcurl's own Accept and Expect lines are switched off.
        curl_slist* headers = nullptr;
        const Text referer = options.referer.empty() ? url : options.referer;
        headers = curl_slist_append(headers, ("Referer: " + web::headerValue(referer)).c_str());
        headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
        headers = curl_slist_append(headers, (std::string("User-Agent: ") + kUserAgent).c_str());
        if (cookie == "-1") {
            headers = curl_slist_append(headers, "Cookie;"); // libcurl's way to send an empty header
        } else if (!cookie.empty()) {
            headers = curl_slist_append(headers, ("Cookie: " + web::headerValue(cookie)).c_str());
        }
        headers = curl_slist_append(headers, "Accept:");
        headers = curl_slist_append(headers, "Expect:");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);

        if (post) {
            const std::string& body = options.bodyBytes.empty() ? options.bodyText : options.bodyBytes;
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, body.data());
        } else {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
        handle_->applyTimeouts(options.synchronous, options.timeout >= 1
                                                        ? std::chrono::milliseconds(options.timeout * 1000LL)
                                                        : defaultWait_);

        const CURLcode result = curl_easy_perform(curl);
        curl_slist_free_all(headers);
        if (result == CURLE_OK) {
            char* type = nullptr;
            if (curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
                response.contentType = type;
            }
        } else {
            // A request that failed or did not finish in time has no response at all.
            response = Response{};
        }
    }

    if (options.keepCookies) keptCookie_ = cookiesOf(response.headers.lines);

    switch (options.charsetCode) {
    case -2: return responseText(response);
    case -1: return response.body.substr(0, response.body.find('\0'));
    default: return decodeResponse(response.body, options.charsetCode).text;
    }
}

} // namespace lilan
