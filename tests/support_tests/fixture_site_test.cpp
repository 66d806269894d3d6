// The fixture site as the other tests use it: started by the launcher, shaped through its
// control calls, asked directly and as a proxy, over real loopback HTTP.
#include <cstdlib>
#include <curl/curl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

#include "support/fixture_site.h"

namespace lilan::testing {
namespace {

using ::testing::HasSubstr;

struct Fetched {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string headers;
    std::string body;
};

size_t append(char* data, size_t size, size_t count, void* sink) {
    static_cast<std::string*>(sink)->append(data, size * count);
    return size * count;
}

// One request with libcurl. Without viaEnvironment the request goes straight to its host;
// with it, libcurl picks the proxy from the environment as the program's clients do.
Fetched fetch(const std::string& url, bool viaEnvironment = false, const std::string& postBody = "",
              const std::vector<std::string>& extraHeaders = {}) {
    Fetched out;
    CURL* c = curl_easy_init();
    curl_slist* headers = nullptr;
    for (const std::string& h : extraHeaders)
        headers = curl_slist_append(headers, h.c_str());
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    if (!viaEnvironment) curl_easy_setopt(c, CURLOPT_PROXY, "");
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, 60L);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, append);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &out.body);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, append);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &out.headers);
    if (!postBody.empty()) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, postBody.c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(postBody.size()));
    }
    out.code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &out.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(c);
    return out;
}

std::string commentPath(const std::string& thread, const std::string& cursor) {
    return "/article/" + thread + "/comment?commentid=" + cursor + "&reqnum=20&source=1";
}

// Pages through a thread as the program does: the id of the last record is the next cursor.
// Returns the number of records of every page, the last (empty) page included.
std::vector<int> pageThrough(const std::string& base, const std::string& thread, bool viaEnvironment) {
    static const std::regex record(R"re(\{"id":"(\d+)")re");
    std::vector<int> counts;
    std::string cursor;
    for (int page = 0; page < 10; ++page) {
        Fetched f = fetch(base + commentPath(thread, cursor), viaEnvironment);
        EXPECT_EQ(f.code, CURLE_OK);
        EXPECT_EQ(f.status, 200);
        int n = 0;
        for (std::sregex_iterator it(f.body.begin(), f.body.end(), record), end; it != end; ++it, ++n)
            cursor = (*it)[1];
        counts.push_back(n);
        if (n == 0) break;
    }
    return counts;
}

TEST(FixtureSite, ServesInstalledPagesAndRecordsEveryRequest) {
    FixtureSite site;
    const std::string gbkBody = "<title>\xb2\xe2\xca\xd4</title>"; // 测试 in GBK
    site.setPage("/x.htm", gbkBody, "text/html; charset=gbk", 203);
    site.setPage("/only-news.htm", "news only", "text/plain", 200, "news.qq.com");

    Fetched got = fetch(site.base() + "/x.htm?q=1", false, "", {"X-Probe: one"});
    EXPECT_EQ(got.code, CURLE_OK);
    EXPECT_EQ(got.status, 203);
    EXPECT_EQ(got.body, gbkBody);
    EXPECT_THAT(got.headers, HasSubstr("Content-Type: text/html; charset=gbk\r\n"));
    Fetched posted = fetch(site.base() + "/x.htm", false, "a=1&b=\xb2\xe2");
    EXPECT_EQ(posted.body, gbkBody);
    // A page installed for one host is not served to a request for another.
    EXPECT_EQ(fetch(site.base() + "/only-news.htm").status, 404);
    EXPECT_EQ(fetch(site.base() + "/only-news.htm", false, "", {"Host: news.qq.com"}).body, "news only");

    std::vector<RecordedRequest> seen = site.requests();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, "/x.htm?q=1");
    EXPECT_EQ(seen[0].header("x-probe"), "one");
    EXPECT_EQ(seen[0].headers.back(), (std::pair<std::string, std::string>("X-Probe", "one")));
    EXPECT_EQ(seen[1].method, "POST");
    EXPECT_EQ(seen[1].body, "a=1&b=\xb2\xe2");
    EXPECT_EQ(seen[1].header("Content-Length"), "8");
    EXPECT_FALSE(seen[1].hasHeader("X-Probe"));

    site.reset();
    EXPECT_TRUE(site.requests().empty());
    EXPECT_EQ(fetch(site.base() + "/x.htm").status, 404);
}

TEST(FixtureSite, DefinedThreadPagesByCursorWithTheServiceEscapes) {
    FixtureSite site;
    std::vector<FixtureComment> comments;
    for (int i = 0; i < 45; ++i)
        comments.push_back({std::to_string(5001 + i), "第" + std::to_string(i) + "条", "网友", "北京:北京:"});
    comments[0].content = "a/b\"c\\d\r\ne中\xF0\x9F\x98\x80"; // 😀 lies beyond the BMP
    comments[1].region = "::";
    site.setThread("777", comments);

    EXPECT_EQ(pageThrough(site.base(), "777", false), (std::vector<int>{20, 20, 5, 0}));

    std::string first = fetch(site.base() + commentPath("777", "")).body;
    EXPECT_THAT(first, HasSubstr(R"({"id":"5001","rootid":"0","targetid":"777",)"));
    EXPECT_THAT(first, HasSubstr(R"("content":"a\/b\"c\\d\r\ne\u4e2d\ud83d\ude00")"));
    EXPECT_THAT(first, HasSubstr(R"("nick":"\u7f51\u53cb","head":"http:\/\/q.qlogo.cn\/)"));
    EXPECT_THAT(first, HasSubstr(R"("region":"::")"));
    EXPECT_THAT(first, HasSubstr(R"("hasnext":true)"));
    Fetched after44 = fetch(site.base() + commentPath("777", "5044"));
    EXPECT_THAT(after44.body, HasSubstr(R"("retnum":1,"first":"5045","last":"5045","hasnext":false)"));
    EXPECT_THAT(after44.headers, HasSubstr("Content-Type: application/json\r\n"));
    // A cursor the thread does not hold has nothing after it.
    EXPECT_THAT(fetch(site.base() + commentPath("777", "1")).body, HasSubstr(R"("commentid":[])"));
}

TEST(FixtureSite, RawThreadPagesAreServedInOrderAndStartOverWithoutCursor) {
    FixtureSite site;
    site.setRawThreadPages("88", {"first page", std::string("second \xff page\\")});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "first page"},
        {"9", "second \xff page\\"},
        {"9",
         R"({"errCode":0,"data":{"targetid":88,"reqnum":20,"retnum":0,"first":"","last":"","hasnext":false,"commentid":[]}})"},
        {"", "first page"},
    };
    for (const auto& [cursor, body] : cases)
        EXPECT_EQ(fetch(site.base() + commentPath("88", cursor)).body, body);
}

TEST(FixtureSite, AnswersAsProxyForTheRealHostsFromTheDataset) {
    FixtureSite site;
    const char* before = std::getenv("http_proxy");
    const std::string previous = before ? before : "";
    {
        ScopedProxy proxy(site);
        EXPECT_EQ(std::getenv("http_proxy"), site.base());

        Fetched page = fetch("http://news.qq.com/a/20130829/000120.htm", true);
        EXPECT_EQ(page.status, 200);
        EXPECT_THAT(page.body, HasSubstr("cmt_id = 1000000120;"));
        EXPECT_THAT(page.body,
                    HasSubstr("_\xd0\xc2\xce\xc5_\xcc\xda\xd1\xb6\xcd\xf8</title>")); // _新闻_腾讯网
        EXPECT_THAT(page.body, HasSubstr("charset=gb2312"));
        EXPECT_EQ(pageThrough("http://coral.qq.com", "1000000120", true), (std::vector<int>{20, 20, 5, 0}));

        Fetched column = fetch("http://news.qq.com/newsgn/zhxw/shizhengxinwen_3.htm", true);
        EXPECT_THAT(column.body, HasSubstr("<div class=\"mod newslist\">"));
        EXPECT_THAT(column.body, HasSubstr("href=\"http://NEWS.QQ.COM/a/20130829/010309.htm\""));
        EXPECT_EQ(fetch("http://news.qq.com/newsgn/zhxw/shizhengxinwen_4.htm", true).status, 404);
        EXPECT_EQ(fetch("http://elsewhere.example/", true).status, 502);
    }
    const char* after = std::getenv("http_proxy");
    EXPECT_EQ(after ? after : "", previous);

    std::vector<RecordedRequest> seen = site.requests();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].target, "http://news.qq.com/a/20130829/000120.htm");
    EXPECT_EQ(seen[0].header("Host"), "news.qq.com");
}

TEST(FixtureSite, FaultModesBreakRequestsAsNamed) {
    FixtureSite site;
    site.setPage("/landing.htm", "landed");
    struct Case {
        std::string path;
        CURLcode code;
        long status;
        std::string inHeaders;
        std::string inBody;
    };
    const std::vector<Case> cases = {
        {"/__fault/slow?ms=50", CURLE_OK, 200, "", "50 ms"},
        {"/__fault/status?code=503", CURLE_OK, 503, "", "503"},
        {"/__fault/truncated", CURLE_PARTIAL_FILE, 200, "", ""},
        {"/__fault/invalid-utf8", CURLE_OK, 200, "charset=utf-8", "\xff\xfe"},
        {"/__fault/redirect?to=/landing.htm", CURLE_OK, 200, "Location: /landing.htm", "landed"},
        {"/__fault/setcookie", CURLE_OK, 200, "Set-Cookie: k=v; path=/\r\nSet-Cookie: ", ""},
        {"/__fault/echo", CURLE_OK, 200, "", "GET /__fault/echo HTTP/1.1\r\nHost: 127.0.0.1:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Fetched f = fetch(site.base() + c.path);
        EXPECT_EQ(f.code, c.code);
        EXPECT_EQ(f.status, c.status);
        EXPECT_THAT(f.headers, HasSubstr(c.inHeaders));
        EXPECT_THAT(f.body, HasSubstr(c.inBody));
    }

    Fetched reset = fetch(site.base() + "/__fault/reset");
    EXPECT_NE(reset.code, CURLE_OK);
    EXPECT_TRUE(reset.body.empty());
    Fetched huge = fetch(site.base() + "/__fault/huge?mb=2");
    EXPECT_EQ(huge.body.size(), 2u * 1024 * 1024);
    Fetched backslash = fetch(site.base() + "/__fault/backslash");
    ASSERT_FALSE(backslash.body.empty());
    EXPECT_EQ(backslash.body.back(), '\\');
    EXPECT_NE(backslash.body[backslash.body.size() - 2], '\\');
}

TEST(FixtureSite, StopsItsServerWhenDestroyed) {
    std::string base;
    {
        FixtureSite site;
        base = site.base();
        EXPECT_EQ(fetch(base + "/__fault/status?code=200").status, 200);
    }
    EXPECT_EQ(fetch(base + "/").code, CURLE_COULDNT_CONNECT);
}

TEST(FixtureSite, Base64RoundTripsEveryByteAndRejectsBadText) {
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    for (size_t n : {0u, 1u, 2u, 3u, 256u}) {
        std::string bytes = all.substr(0, n);
        EXPECT_EQ(base64Decode(base64Encode(bytes)), bytes) << n;
    }
    EXPECT_EQ(base64Encode("ab"), "YWI=");
    for (const char* bad : {"YWI", "Y*I=", "YQ==YWI="})
        EXPECT_FALSE(base64Decode(bad).has_value()) << bad;
}

} // namespace
} // namespace lilan::testing
