#include "web/web_client.h"

#include <gtest/gtest.h>

#include "support/memory_form.h"
#include "web_test_support.h"

namespace lilan {
namespace {

using namespace std::chrono_literals;
using testing::gb;
using testing::SiteTest;

class WebClientTest : public SiteTest {
protected:
    // The address with "@" standing for the site's "127.0.0.1:PORT".
    static Text at(std::string address) {
        const auto mark = address.find('@');
        if (mark != std::string::npos) address.replace(mark, 1, hostAndPort());
        return address;
    }
};

const char* kContentType = "application/x-www-form-urlencoded";
const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)";

struct LeaveCase {
    const char* name;
    std::string address;
    VisitOptions options;
    std::optional<Text> cookie;
    const char* method;
    std::vector<std::string> headerNames;
    std::vector<std::pair<std::string, std::string>> values; // "@" stands for 127.0.0.1:PORT
    std::string body;
};

// Test lists show a case by its name, not by the raw bytes of the struct.
void PrintTo(const LeaveCase& c, std::ostream* os) {
    *os << c.name;
}

class VisitRequest : public WebClientTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(VisitRequest, LeavesAsDescribed) {
    const LeaveCase& c = GetParam();
    site().setPage("/page", "ok");
    WebClient client(10s);
    VisitOptions options = c.options;
    Text cookie = c.cookie.value_or(Text());
    if (c.cookie) options.cookie = &cookie;

    EXPECT_EQ(client.visit(at(c.address), options), "ok");

    const auto request = onlyRequest();
    EXPECT_EQ(request.method, c.method);
    EXPECT_EQ(request.target, "/page");
    EXPECT_EQ(headerNames(request), c.headerNames);
    for (const auto& [name, value] : c.values)
        EXPECT_EQ(request.header(name), at(value)) << name;
    EXPECT_EQ(request.header("Content-Type"), kContentType);
    EXPECT_EQ(request.header("User-Agent"), kAgent);
    EXPECT_EQ(request.body, c.body);
}

const std::vector<std::string> kGetHeaders{"Host", "Referer", "Content-Type", "User-Agent"};
const std::vector<std::string> kPostHeaders{"Host", "Referer", "Content-Type", "User-Agent",
                                            "Content-Length"};
const std::vector<std::string> kCookieHeaders{"Host", "Referer", "Content-Type", "User-Agent", "Cookie"};

VisitOptions withBody(Text text, std::string bytes = {}) {
    VisitOptions o;
    o.bodyText = std::move(text);
    o.bodyBytes = std::move(bytes);
    return o;
}
VisitOptions withReferer(Text referer) {
    VisitOptions o;
    o.referer = std::move(referer);
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VisitRequest,
    ::testing::Values(
        // Trimmed, opened with "http://" in front, while the Referer keeps the address as given.
        LeaveCase{
            "BlanksAndNoScheme", " \xA1\xA1@/page ", {}, {}, "GET", kGetHeaders, {{"Referer", "@/page"}}, ""},
        LeaveCase{
            "CapitalScheme", "HTTP://@/page", {}, {}, "GET", kGetHeaders, {{"Referer", "HTTP://@/page"}}, ""},
        LeaveCase{"BodyTextPosts",
                  "http://@/page",
                  withBody("a=1"),
                  {},
                  "POST",
                  kPostHeaders,
                  {{"Content-Length", "3"}},
                  "a=1"},
        LeaveCase{"BytesBeatText",
                  "http://@/page",
                  withBody("a=1", std::string("b=\0\xFF", 4)),
                  {},
                  "POST",
                  kPostHeaders,
                  {{"Content-Length", "4"}},
                  std::string("b=\0\xFF", 4)},
        LeaveCase{"RefererOption",
                  "http://@/page",
                  withReferer("http://news.qq.com/"),
                  {},
                  "GET",
                  kGetHeaders,
                  {{"Referer", "http://news.qq.com/"}},
                  ""},
        LeaveCase{"EmptyCookieHeader",
                  "http://@/page",
                  {},
                  Text("-1"),
                  "GET",
                  kCookieHeaders,
                  {{"Cookie", ""}},
                  ""},
        LeaveCase{"CookieGiven",
                  "http://@/page",
                  {},
                  Text("a=1; b=2"),
                  "GET",
                  kCookieHeaders,
                  {{"Cookie", "a=1; b=2"}},
                  ""},
        // A line break in a value cannot start a header line of its own.
        LeaveCase{"NoHeaderInjection",
                  "http://@/page",
                  {},
                  Text("a=1\r\nX-Evil: 1"),
                  "GET",
                  kCookieHeaders,
                  {{"Cookie", "a=1X-Evil: 1"}},
                  ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebClientTest, KeepsCookiesAndSendsThemLater) {
    site().setPage("/page", "ok");
    WebClient client(10s);
    VisitOptions keep;
    keep.keepCookies = true;
    client.visit(address("/__fault/setcookie"), keep);
    const Text kept = "k=v; path=/; second=2; path=/; ";
    EXPECT_EQ(client.keptCookie(), kept);

    // An empty cookie argument receives the kept cookies, and they are sent.
    Text cookie;
    VisitOptions send;
    send.cookie = &cookie;
    client.visit(address("/page"), send);
    EXPECT_EQ(cookie, kept);
    // A cookie of the caller's own goes instead; a visit that keeps nothing leaves them.
    Text own = "own=1";
    send.cookie = &own;
    client.visit(address("/page"), send);
    // A visit that keeps cookies of a response without any empties them.
    client.visit(address("/page"), keep);
    EXPECT_EQ(client.keptCookie(), "");
    client.visit(address("/page"));

    const auto requests = site().requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_FALSE(requests[0].hasHeader("Cookie"));
    EXPECT_EQ(requests[1].header("Cookie"), kept);
    EXPECT_EQ(requests[2].header("Cookie"), "own=1");
    EXPECT_EQ(requests[3].header("Cookie"), kept);
    EXPECT_FALSE(requests[4].hasHeader("Cookie"));
}

struct BodyCase {
    const char* name;
    std::string body;
    std::string contentType;
    int status;
    int charsetCode;
    std::string expected; // local text
};

void PrintTo(const BodyCase& c, std::ostream* os) {
    *os << c.name;
}

class VisitBody : public WebClientTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(VisitBody, IsDecodedAsAsked) {
    const BodyCase& c = GetParam();
    site().setPage("/body", c.body, c.contentType, c.status);
    WebClient client(10s);
    VisitOptions options;
    options.charsetCode = c.charsetCode;
    EXPECT_EQ(client.visit(address("/body"), options), c.expected);
}

const std::string kGbkPage = "<html><head><meta charset=gb2312></head><body>\xD6\xD0\xCE\xC4</body></html>";
const std::string kUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kGbk = "\xD6\xD0\xCE\xC4";

INSTANTIATE_TEST_SUITE_P(
    Cases, VisitBody,
    ::testing::Values(BodyCase{"GbkPageAsIs", kGbkPage, "text/html", 200, 0, kGbkPage},
                      BodyCase{"Utf8Converted", "{\"c\":\"" + kUtf8 + "\"}", "application/json", 200, 0,
                               "{\"c\":\"" + kGbk + "\"}"},
                      // The status is never looked at: an error page is a page.
                      BodyCase{"ErrorStatusBody", "gone " + kUtf8, "text/html", 503, 0, "gone " + kGbk},
                      BodyCase{"RawUpToZero", std::string("ab\0cd", 5) + kUtf8, "text/html", 200, -1, "ab"},
                      BodyCase{"RawUnconverted", kUtf8, "text/html", 200, -1, kUtf8},
                      BodyCase{"ResponseTextByContentType", "\xA4\xA4\xA4\xE5", "text/plain; charset=big5",
                               200, -2, kGbk},
                      BodyCase{"ResponseTextDetected", kUtf8, "text/plain", 200, -2, kGbk}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebClientTest, FollowsRedirects) {
    site().setPage("/target", "arrived");
    WebClient client(10s);
    EXPECT_EQ(client.visit(address("/__fault/redirect?to=") + address("/target")), "arrived");
}

struct FailureCase {
    const char* name;
    std::string address; // "@" stands for 127.0.0.1:PORT, "#" for a port nobody listens on
    std::chrono::milliseconds defaultWait;
    bool synchronous;
    int timeout;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class VisitFailure : public WebClientTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(VisitFailure, GivesEmptyTextWithinItsWait) {
    const FailureCase& c = GetParam();
    std::string where = at(c.address);
    if (const auto mark = where.find('#'); mark != std::string::npos) {
        where.replace(mark, 1, "127.0.0.1:" + std::to_string(testing::closedPort()));
    }
    WebClient client(c.defaultWait);
    VisitOptions options;
    options.synchronous = c.synchronous;
    options.timeout = c.timeout;
    const auto [text, seconds] = testing::timed([&] { return client.visit(where, options); });
    EXPECT_EQ(text, "");
    // The slow answer comes after 5 s: anything near that means the wait did not hold.
    EXPECT_LT(seconds, 4.0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VisitFailure,
    ::testing::Values(FailureCase{"Unreachable", "http://#/", 30s, false, 0},
                      FailureCase{"SlowPastDefaultWait", "http://@/__fault/slow?ms=5000", 1s, false, 0},
                      FailureCase{"SlowPastOwnWait", "http://@/__fault/slow?ms=5000", 30s, false, 1},
                      // Synchronous with 1 s: a quarter second per phase.
                      FailureCase{"SlowPastSyncTimeouts", "http://@/__fault/slow?ms=5000", 30s, true, 1},
                      FailureCase{"Reset", "http://@/__fault/reset", 30s, false, 0},
                      FailureCase{"Truncated", "http://@/__fault/truncated", 30s, false, 0},
                      FailureCase{"FileScheme", "file:///etc/hostname", 30s, false, 0},
                      FailureCase{"OtherScheme", "ftp://@/", 30s, false, 0},
                      FailureCase{"RedirectToFile", "http://@/__fault/redirect?to=file:///etc/hostname", 30s,
                                  false, 0},
                      FailureCase{"HttpsToPlainPort", "https://@/", 30s, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebClientTest, ProxyOptionStaysUntilChanged) {
    site().setPage("/page", "ok");
    WebClient client(10s);
    const Text news = "http://news.qq.com/a/20130829/000123.htm";
    VisitOptions viaSite;
    viaSite.proxy = site().base();
    EXPECT_GT(findText(client.visit(news, viaSite), gb("_新闻_腾讯网")), 0);
    // Not given and "-1" leave the proxy as it was.
    EXPECT_GT(findText(client.visit(news), gb("_新闻_腾讯网")), 0);
    VisitOptions untouched;
    untouched.proxy = "-1";
    EXPECT_GT(findText(client.visit(news, untouched), gb("_新闻_腾讯网")), 0);
    // The empty text restores the default: a direct request.
    VisitOptions reset;
    reset.proxy = "";
    EXPECT_EQ(client.visit(address("/page"), reset), "ok");

    const auto requests = site().requests();
    ASSERT_EQ(requests.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(requests[i].target, news);
    EXPECT_EQ(requests[3].target, "/page");
}

TEST_F(WebClientTest, EnvironmentProxyIsHonoured) {
    testing::ScopedProxy proxy(site());
    testing::RecordingPlatform platform;
    WebClient client(10s);
    const Text news = "http://news.qq.com/a/20130829/000123.htm";
    EXPECT_GT(findText(client.visit(news), gb("_新闻_腾讯网")), 0);
    EXPECT_EQ(platform.eventCalls, 0);
    // "IE" names the environment's proxy; setting a proxy lets the window handle its events once.
    VisitOptions ie;
    ie.proxy = "IE";
    EXPECT_GT(findText(client.visit(news, ie), gb("_新闻_腾讯网")), 0);
    EXPECT_EQ(platform.eventCalls, 1);
    for (const auto& request : site().requests())
        EXPECT_EQ(request.target, news);
}

} // namespace
} // namespace lilan

namespace lilan {
namespace {

// A blank inside an address is sent escaped rather than refused.
TEST_F(WebClientTest, BlanksInsideAnAddressAreEscaped) {
    site().setPage("/a%20b.htm", "found");
    WebClient client(10s);
    EXPECT_EQ(client.visit(at("http://@/a b.htm")), "found");
    EXPECT_EQ(onlyRequest().target, "/a%20b.htm");
}

} // namespace
} // namespace lilan
