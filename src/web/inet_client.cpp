#include "web/inet_client.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "text/encoding.h"
#include "text/platform.h"
#include "web/cookie_store.h"
#include "web/curl_setup.h"
#include "web/hand_over.h"

namespace lilan {
namespace web {
namespace {

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
constexpr size_t kHeaderBuffer = 1024;
constexpr long kMaxRedirects = 10;
// How often the waiting window thread looks at its events.
constexpr auto kEventSlice = std::chrono::milliseconds(15);

bool blank(const Text& text) {
    static const Text fullWidthSpace = local("　");
    return replaceText(replaceText(text, " ", ""), fullWidthSpace, "").empty();
}

int abortWhenCancelled(void* cancelled, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(cancelled)->load() ? 1 : 0;
}

// Received cookies are kept for the host the request was made to.
void keepCookies(const Text& host, const Text& headerLines) {
    static const Text setCookie = "Set-Cookie:";
    for (const Text& line : splitList(headerLines, "\r\n")) {
        if (lowerAscii(line.substr(0, setCookie.size())) != "set-cookie:") continue;
        const Text cookie = trim(line.substr(setCookie.size()));
        const auto equals = cookie.find('=');
        if (equals == Text::npos) continue;
        CookieStore::instance().set(host, cookie.substr(0, equals), cookie.substr(equals + 1));
    }
}

// The raw header text as the caller receives it: the status line and the header lines. A
// text that would not fit the fixed header buffer of the desktop call holds no header.
Text rawHeaders(const HeaderBlock& block) {
    Text text = block.statusLine + block.lines;
    if (text.size() >= kHeaderBuffer) return Text(kHeaderBuffer, ' ');
    return text;
}

// Workers abandoned after a time-out. They end quickly once cancelled; those still running
// when the process exits are joined then, so none is cut off inside libcurl.
class AbandonedWorkers {
public:
    static void add(std::thread worker, std::shared_ptr<const std::atomic<bool>> finished);

    ~AbandonedWorkers() {
        for (auto& w : workers_) {
            if (w.thread.joinable()) w.thread.join();
        }
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<const std::atomic<bool>> finished;
    };
    std::mutex mutex_;
    std::vector<Worker> workers_;
};

} // namespace

Text completeHeaders(const HandOver& request, bool post) {
    Text headers = request.extraHeaders;
    auto lacks = [&](const char* name) { return findText(headers, name, 1, true) < 0; };
    if (lacks("Accept: ")) {
        headers +=
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
            "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
    }
    // A line break inside the address must not start a header line of its own.
    if (lacks("Referer: ")) headers += "Referer: " + headerValue(request.address) + "\r\n";
    if (lacks("Accept-Language: ")) headers += "Accept-Language: zh-cn\r\n";
    if (post && !request.body.empty()) {
        if (lacks("Content-Type: ")) headers += "Content-Type: application/x-www-form-urlencoded\r\n";
        headers += "Content-Length: " + integerToText(static_cast<long long>(request.body.size())) + "\r\n";
    }
    return headers;
}

void requestWorker(HandOver& record, const std::atomic<bool>& cancelled) {
    if (record.marker != kRequestMarker) return;
    HandOver request = std::move(record);
    record = HandOver{};

    const Text method = upperAscii(request.method);
    const bool post = method == "POST";
    // Only GET and POST are sent, whatever their letter case (they go out in capitals, the
    // only form servers accept); any other method ends without a reply.
    if (!method.empty() && method != "GET" && !post) return;

    const Text host = hostOf(request.address);
    const Text path = pathOf(request.address);
    const int port = portOf(request.address);

    ensureCurl();
    CURL* curl = curl_easy_init();
    if (!curl) return;

    const Text url = "http://" + host + (port == 80 ? Text() : ":" + integerToText(port)) + path;
    std::string body;
    HeaderBlock headerBlock;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, kAgent);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collectHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &headerBlock);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, abortWhenCancelled);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &cancelled);
    // A proxy given by the caller is used; otherwise libcurl follows http_proxy, as Linux
    // programs do.
    if (!blank(request.proxy)) curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy.c_str());
    if (!blank(request.userName) || !blank(request.password)) {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
        if (!blank(request.userName)) curl_easy_setopt(curl, CURLOPT_USERNAME, request.userName.c_str());
        if (!blank(request.password)) curl_easy_setopt(curl, CURLOPT_PASSWORD, request.password.c_str());
    }

    curl_slist* lines = nullptr;
    const Text cookies = CookieStore::instance().headerFor(host);
    if (!cookies.empty()) lines = curl_slist_append(lines, ("Cookie: " + headerValue(cookies)).c_str());
    for (const Text& line : splitList(completeHeaders(request, post), "\r\n")) {
        if (!line.empty()) lines = curl_slist_append(lines, line.c_str());
    }
    lines = curl_slist_append(lines, "Expect:");
    if (post) {
        // An empty POST goes out with its zero length and no content type.
        if (request.body.empty()) lines = curl_slist_append(lines, "Content-Type:");
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, lines);

    // Whether sending and reading succeeded is not looked at: whatever arrived is the reply.
    curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    curl_slist_free_all(lines);
    if (cancelled.load()) return;

    record.marker = kReplyMarker;
    record.headers = rawHeaders(headerBlock);
    record.bodyBytes = std::move(body);
    keepCookies(host, headerBlock.lines);
}

namespace {

void AbandonedWorkers::add(std::thread worker, std::shared_ptr<const std::atomic<bool>> finished) {
    static AbandonedWorkers registry;
    std::lock_guard lock(registry.mutex_);
    std::erase_if(registry.workers_, [](Worker& w) {
        if (!w.finished->load()) return false;
        w.thread.join();
        return true;
    });
    registry.workers_.push_back({std::move(worker), std::move(finished)});
}

} // namespace
} // namespace web

namespace {

// What the window thread and one worker share. It lives as long as either of them holds it,
// so a worker that outlives its caller's wait still writes into live memory, and the
// cancelled flag keeps it from writing a reply at all.
struct Exchange {
    std::mutex mutex;
    std::condition_variable ended;
    std::shared_ptr<std::atomic<bool>> finished = std::make_shared<std::atomic<bool>>(false);
    std::atomic<bool> cancelled{false};
    web::HandOver record;
};

void runWorker(const std::shared_ptr<Exchange>& exchange) {
    web::HandOver record;
    {
        std::lock_guard lock(exchange->mutex);
        record = std::move(exchange->record);
        exchange->record = web::HandOver{};
    }
    web::requestWorker(record, exchange->cancelled);
    {
        std::lock_guard lock(exchange->mutex);
        if (!exchange->cancelled) exchange->record = std::move(record);
        *exchange->finished = true;
    }
    exchange->ended.notify_all();
}

} // namespace

InetClient::InetClient(std::chrono::milliseconds defaultLimit) : defaultLimit_(defaultLimit) {}

std::string InetClient::fetchBytes(const FetchRequest& request, Text* headers) {
    auto exchange = std::make_shared<Exchange>();
    web::HandOver& record = exchange->record;
    record.marker = web::kRequestMarker;
    record.address = request.address;
    record.method = request.method;
    record.proxy = request.proxy;
    record.userName = request.userName;
    record.password = request.password;
    record.extraHeaders = request.extraHeaders;
    record.body = request.body;
    // A negative limit would wait for ever; it counts as none given.
    const auto limit = request.timeLimitSeconds > 0
                           ? std::chrono::milliseconds(request.timeLimitSeconds * 1000LL)
                           : defaultLimit_;
    if (headers) headers->clear();

    std::thread worker;
    try {
        worker = std::thread(runWorker, exchange);
    } catch (const std::system_error&) {
        return {};
    }

    // Wait in short slices, letting the window handle its events between them, until the
    // worker ends or the limit has passed. The limit counts from the start of the fetch: a
    // server that never answers gives up after it even while the user keeps the window busy.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool finished = false;
    for (;;) {
        {
            std::unique_lock lock(exchange->mutex);
            const auto until = std::min(deadline, std::chrono::steady_clock::now() + web::kEventSlice);
            finished = exchange->ended.wait_until(lock, until, [&] { return exchange->finished->load(); });
        }
        // The window handles its events after every wait, the last one included, so that a
        // click made while the page was loading is seen before the caller goes on.
        processEvents();
        if (finished || std::chrono::steady_clock::now() >= deadline) break;
    }

    if (!finished) {
        {
            std::lock_guard lock(exchange->mutex);
            exchange->cancelled = true;
            finished = exchange->finished->load();
        }
        if (!finished) {
            web::AbandonedWorkers::add(std::move(worker), exchange->finished);
            return {};
        }
    }
    worker.join();

    std::lock_guard lock(exchange->mutex);
    web::HandOver& reply = exchange->record;
    if (reply.marker != web::kReplyMarker) return {};
    if (headers) *headers = reply.headers;
    return std::move(reply.bodyBytes);
}

Text InetClient::fetchText(const FetchRequest& request, Text* headers) {
    std::string bytes = fetchBytes(request, headers);
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

Text hostOf(const Text& address, bool keepPort) {
    const long scheme = findText(address, "http://");
    const size_t start = scheme > 0 ? static_cast<size_t>(scheme - 1 + 7) : 0;
    Text host = address.substr(std::min(start, address.size()));
    host = host.substr(0, host.find('/'));
    if (!keepPort) host = host.substr(0, host.find(':'));
    return web::lowerAscii(host);
}

Text pathOf(const Text& address) {
    const long hostAt = findText(address, hostOf(address), 1, true);
    const long slash = findText(address, "/", hostAt, false);
    return slash > 0 ? address.substr(static_cast<size_t>(slash - 1)) : Text("/");
}

int portOf(const Text& address) {
    const Text host = hostOf(address, true);
    const auto colon = host.find(':');
    if (colon == Text::npos) return 80;
    const long long port = toInteger(host.substr(colon + 1));
    return static_cast<int>(std::clamp<long long>(port, INT_MIN, INT_MAX));
}

} // namespace lilan
