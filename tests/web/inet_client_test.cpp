#include "web/inet_client.h"

#include <gtest/gtest.h>

#include "support/memory_form.h"
#include "web/hand_over.h"
#include "web/web_client.h"
#include "web_test_support.h"

namespace lilan {
namespace {

using namespace std::chrono_literals;
using testing::SiteTest;

class InetClientTest : public SiteTest {
protected:
    static FetchRequest request(const std::string& path) {
        FetchRequest r;
        r.address = address(path);
        return r;
    }
};

const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const char* kAccept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
                      "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";

struct FetchCase {
    const char* name;
    const char* method;
    const char* extraHeaders;
    const char* body;
    const char* sentMethod;
    std::vector<std::string> headerNames;
    std::vector<std::pair<std::string, std::string>> values; // "@" stands for the requested address
};

// Test lists show a case by its name, not by the raw bytes of the struct.
void PrintTo(const FetchCase& c, std::ostream* os) {
    *os << c.name;
}

class FetchRequestLeaves : public InetClientTest, public ::testing::WithParamInterface<FetchCase> {};

TEST_P(FetchRequestLeaves, AsDescribed) {
    const FetchCase& c = GetParam();
    site().setPage("/list.htm", "ok");
    FetchRequest r = request("/list.htm?page=2");
    r.method = c.method;
    r.extraHeaders = c.extraHeaders;
    r.body = c.body;
    InetClient client(10s);
    EXPECT_EQ(client.fetchText(r), "ok");

    const auto sent = onlyRequest();
    EXPECT_EQ(sent.method, c.sentMethod);
    EXPECT_EQ(sent.target, "/list.htm?page=2");
    EXPECT_EQ(headerNames(sent), c.headerNames);
    EXPECT_EQ(sent.header("User-Agent"), kAgent);
    for (const auto& [name, value] : c.values) {
        EXPECT_EQ(sent.header(name), value == std::string("@") ? r.address : value) << name;
    }
    EXPECT_EQ(sent.body, c.body);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FetchRequestLeaves,
    ::testing::Values(
        FetchCase{"PlainGet",
                  "",
                  "",
                  "",
                  "GET",
                  {"Host", "User-Agent", "Accept", "Referer", "Accept-Language"},
                  {{"Accept", kAccept}, {"Referer", "@"}, {"Accept-Language", "zh-cn"}}},
        // The caller's lines come first; only the missing lines are added after them. The
        // method is recognised in any letter case.
        FetchCase{"CallersLinesFirst",
                  "get",
                  "X-One: 1\r\naccept: text/html\r\n",
                  "",
                  "GET",
                  {"Host", "User-Agent", "X-One", "accept", "Referer", "Accept-Language"},
                  {{"Accept", "text/html"}, {"Referer", "@"}}},
        FetchCase{
            "PostWithBody",
            "POST",
            "",
            "a=1",
            "POST",
            {"Host", "User-Agent", "Accept", "Referer", "Accept-Language", "Content-Type", "Content-Length"},
            {{"Content-Type", "application/x-www-form-urlencoded"}, {"Content-Length", "3"}}},
        FetchCase{
            "PostKeepsCallersType",
            "post",
            "Content-Type: text/plain\r\nReferer: http://elsewhere/\r\n",
            "abcd",
            "POST",
            {"Host", "User-Agent", "Content-Type", "Referer", "Accept", "Accept-Language", "Content-Length"},
            {{"Content-Type", "text/plain"}, {"Referer", "http://elsewhere/"}, {"Content-Length", "4"}}},
        FetchCase{"EmptyPost",
                  "POST",
                  "",
                  "",
                  "POST",
                  {"Host", "User-Agent", "Accept", "Referer", "Accept-Language", "Content-Length"},
                  {{"Content-Length", "0"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InetClientTest, OtherMethodsSendNothing) {
    InetClient client(10s);
    FetchRequest r = request("/list.htm");
    r.method = "PUT";
    Text headers = "stale";
    EXPECT_EQ(client.fetchBytes(r, &headers), "");
    EXPECT_EQ(headers, "");
    EXPECT_TRUE(site().requests().empty());
}

TEST_F(InetClientTest, GivesBytesTextAndRawHeaders) {
    site().setPage("/z", std::string("ab\0cd", 5), "text/plain", 404);
    InetClient client(10s);
    Text headers;
    EXPECT_EQ(client.fetchBytes(request("/z"), &headers), std::string("ab\0cd", 5));
    EXPECT_TRUE(headers.starts_with("HTTP/1.")) << headers;
    EXPECT_NE(headers.find(" 404 "), std::string::npos);
    EXPECT_NE(headers.find("\r\nContent-Type: text/plain\r\n"), std::string::npos);
    EXPECT_TRUE(headers.ends_with("\r\n"));
    EXPECT_FALSE(headers.ends_with("\r\n\r\n"));
    EXPECT_EQ(client.fetchText(request("/z")), "ab");
}

TEST_F(InetClientTest, KeepsReceivedCookiesForTheHost) {
    site().setPage("/next", "ok");
    InetClient client(10s);
    client.fetchText(request("/__fault/setcookie"));
    client.fetchText(request("/next"));
    // The same server under another name is another host.
    FetchRequest other;
    other.address = "http://localhost:" + std::to_string(site().port()) + "/next";
    client.fetchText(other);

    const auto requests = site().requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_FALSE(requests[0].hasHeader("Cookie"));
    EXPECT_EQ(requests[1].header("Cookie"), "k=v; second=2");
    EXPECT_EQ(headerNames(requests[1])[2], "Cookie");
    EXPECT_FALSE(requests[2].hasHeader("Cookie"));
}

TEST_F(InetClientTest, ProxyGivenOrFromEnvironment) {
    const Text news = "http://news.qq.com/l/milite/milgn/list2010122872223.htm";
    InetClient client(10s);
    FetchRequest viaSite;
    viaSite.address = news;
    viaSite.proxy = hostAndPort();
    EXPECT_NE(client.fetchText(viaSite), "");
    {
        testing::ScopedProxy proxy(site());
        FetchRequest blankProxy;
        blankProxy.address = news;
        blankProxy.proxy = " \xA1\xA1 ";
        EXPECT_NE(client.fetchText(blankProxy), "");
    }
    const auto requests = site().requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests)
        EXPECT_EQ(r.target, news);
}

struct FailureCase {
    const char* name;
    std::string address; // "@" stands for 127.0.0.1:PORT, "#" for a port nobody listens on
    int limitSeconds;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.name;
}

class FetchFailure : public InetClientTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FetchFailure, GivesNothingWithinItsLimit) {
    const FailureCase& c = GetParam();
    std::string where = c.address;
    if (const auto mark = where.find('@'); mark != std::string::npos) where.replace(mark, 1, hostAndPort());
    if (const auto mark = where.find('#'); mark != std::string::npos) {
        where.replace(mark, 1, "127.0.0.1:" + std::to_string(testing::closedPort()));
    }
    // The client's own limit stays long, so only the request's limit can end the wait early.
    InetClient client(30s);
    FetchRequest r;
    r.address = where;
    r.timeLimitSeconds = c.limitSeconds;
    Text headers = "stale";
    const auto [bytes, seconds] = testing::timed([&] { return client.fetchBytes(r, &headers); });
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(headers, "");
    EXPECT_LT(seconds, 4.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, FetchFailure,
                         ::testing::Values(FailureCase{"Unreachable", "http://#/x", 0},
                                           FailureCase{"SlowPastLimit", "http://@/__fault/slow?ms=5000", 1},
                                           FailureCase{"Reset", "http://@/__fault/reset", 0},
                                           FailureCase{"FileScheme", "file:///etc/hostname", 0},
                                           FailureCase{"PortNotANumber", "http://127.0.0.1:x/", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InetClientTest, DefaultLimitApplies) {
    InetClient client(1s);
    const auto [text, seconds] =
        testing::timed([&] { return client.fetchText(address("/__fault/slow?ms=5000")); });
    EXPECT_EQ(text, "");
    EXPECT_LT(seconds, 4.0);
}

TEST_F(InetClientTest, WindowKeepsHandlingEventsWhileWaiting) {
    testing::RecordingPlatform platform;
    InetClient client(10s);
    const auto [text, seconds] =
        testing::timed([&] { return client.fetchText(address("/__fault/slow?ms=600")); });
    EXPECT_NE(findText(text, "600 ms"), -1);
    EXPECT_GE(platform.eventCalls, 5);
}

TEST_F(InetClientTest, AbandonedWorkerLeavesLaterFetchesAlone) {
    site().setPage("/after", "after");
    testing::RecordingPlatform platform;
    InetClient client(10s);
    FetchRequest slow = request("/__fault/slow?ms=3000");
    slow.timeLimitSeconds = 1;
    Text headers;
    EXPECT_EQ(client.fetchBytes(slow, &headers), "");
    EXPECT_EQ(headers, "");
    const int eventsDuringSlowFetch = platform.eventCalls;
    EXPECT_GE(eventsDuringSlowFetch, 5);
    EXPECT_EQ(client.fetchBytes(request("/after"), &headers), "after");
    EXPECT_TRUE(headers.starts_with("HTTP/1."));
}

struct WorkerCase {
    const char* name;
    const char* marker;
    bool cancelled;
    const char* markerAfter;
    bool requestKept;
    const char* body;
};

void PrintTo(const WorkerCase& c, std::ostream* os) {
    *os << c.name;
}

class RequestWorker : public InetClientTest, public ::testing::WithParamInterface<WorkerCase> {};

TEST_P(RequestWorker, RepliesOnlyToAValidLiveRequest) {
    const WorkerCase& c = GetParam();
    site().setPage("/w", "worked");
    web::HandOver record;
    record.marker = c.marker;
    record.address = address("/w");
    std::atomic<bool> cancelled{c.cancelled};
    web::requestWorker(record, cancelled);
    EXPECT_EQ(record.marker, c.markerAfter);
    EXPECT_EQ(record.address, c.requestKept ? address("/w") : "");
    EXPECT_EQ(record.bodyBytes, c.body);
}

INSTANTIATE_TEST_SUITE_P(Cases, RequestWorker,
                         ::testing::Values(WorkerCase{"Valid", "Tarvix", false, "Tarvix_OK", false, "worked"},
                                           // Not a request: left alone.
                                           WorkerCase{"WrongMarker", "tarvix", false, "tarvix", true, ""},
                                           // Emptied, but no reply once the caller has given up.
                                           WorkerCase{"Cancelled", "Tarvix", true, "", false, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InetClientTest, HeadersTooLongForTheBufferAreBlank) {
    // A redirect to a refused scheme leaves its own answer as the last one, and a long
    // target makes its headers longer than the header buffer holds.
    InetClient client(10s);
    Text headers;
    client.fetchBytes(request("/__fault/redirect?to=ftp://example.invalid/" + std::string(1100, 'x')),
                      &headers);
    EXPECT_EQ(headers, std::string(1024, ' '));
}

} // namespace
} // namespace lilan

namespace lilan {
namespace {

// A response past the size cap is dropped whole, by both clients, so a hostile or broken
// server cannot make the program hold an unbounded body.
TEST_F(InetClientTest, BodiesPastTheCapAreDropped) {
    InetClient inet(30s);
    WebClient web(30s);
    const std::string huge = address("/__fault/huge?mb=40");
    EXPECT_EQ(inet.fetchBytes(request("/__fault/huge?mb=40")), "");
    EXPECT_EQ(web.visit(huge), "");
    // A large body within the cap still arrives whole.
    EXPECT_EQ(inet.fetchBytes(request("/__fault/huge?mb=2")).size(), 2u * 1024 * 1024);
}

} // namespace
} // namespace lilan
