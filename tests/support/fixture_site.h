// Starts the local fixture site (tools/fixture-site/server.py) for one test and shapes what
// it serves. The site answers as the news site, the comment service and the topic pages,
// directly and as an HTTP proxy for their real host names.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace lilan::testing {

// One comment of a thread the test defines. All fields are UTF-8, as the service sends them.
struct FixtureComment {
    std::string id;
    std::string content;
    std::string nick;
    std::string region;
};

// A request the site received, bytes as they arrived.
struct RecordedRequest {
    std::string method;
    std::string target; // the request target: a path, or a whole address when sent to a proxy
    std::vector<std::pair<std::string, std::string>> headers; // in the order sent
    std::string body;

    // The value of the first header of that name (letter case ignored); empty when absent.
    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
};

class FixtureSite {
public:
    // Starts the server on a free loopback port; throws std::runtime_error when it cannot.
    // The server ends with the thread that started it (or at the latest with the process),
    // so a crashed test leaves no server behind: create the site on a thread that outlives it.
    FixtureSite();
    ~FixtureSite();
    FixtureSite(const FixtureSite&) = delete;
    FixtureSite& operator=(const FixtureSite&) = delete;

    int port() const { return port_; }
    std::string base() const; // "http://127.0.0.1:PORT"

    // Serves bodyBytes for path (with its query only when the path holds one). An empty host
    // serves it for every site; otherwise only for that host (e.g. "news.qq.com").
    void setPage(const std::string& path, const std::string& bodyBytes,
                 const std::string& contentType = "text/html", int status = 200,
                 const std::string& host = "");
    // Defines the comments of a thread; the service pages through them 20 at a time.
    void setThread(const std::string& id, const std::vector<FixtureComment>& comments);
    // Serves these bodies verbatim, one per comment request of the thread, in order (a
    // request without cursor starts over); an empty page follows the last.
    void setRawThreadPages(const std::string& id, const std::vector<std::string>& rawBodies);

    // Every request except the control calls, in arrival order.
    std::vector<RecordedRequest> requests();
    // Forgets installed pages and threads and the recorded requests.
    void reset();

private:
    std::string control(const std::string& method, const std::string& name, const std::string& json);
    void stop();

    pid_t pid_ = -1;
    int port_ = 0;
};

// Sends the process's HTTP traffic through the site for its scope: sets http_proxy and
// HTTP_PROXY, clears no_proxy and NO_PROXY, and restores all four afterwards.
class ScopedProxy {
public:
    explicit ScopedProxy(const FixtureSite& site);
    ~ScopedProxy();
    ScopedProxy(const ScopedProxy&) = delete;
    ScopedProxy& operator=(const ScopedProxy&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Helpers for the site's control interface, public so that they can be tested on their own.
std::string base64Encode(const std::string& bytes);
std::optional<std::string> base64Decode(const std::string& text);

// A news page as the site serves it, in GBK: the title (UTF-8 here) with the site's suffix,
// and in a script the line that names the comment thread, such as "cmt_id = 100;".
std::string newsPageBytes(const std::string& titleUtf8, const std::string& idLine);

} // namespace lilan::testing
