// What the web tests share: one fixture site per test suite and a few small helpers.
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixture_site.h"
#include "web/cookie_store.h"

namespace lilan::testing {

// Starts the site once for the suite and gives every test a clean slate.
class SiteTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { site_ = std::make_unique<FixtureSite>(); }
    static void TearDownTestSuite() { site_.reset(); }
    void SetUp() override {
        site_->reset();
        web::CookieStore::instance().clear();
    }

    static FixtureSite& site() { return *site_; }
    // "127.0.0.1:PORT" followed by the path.
    static std::string hostAndPort(const std::string& path = "") {
        return "127.0.0.1:" + std::to_string(site_->port()) + path;
    }
    static std::string address(const std::string& path) { return site_->base() + path; }

    // The names of the request's headers in the order they were sent.
    static std::vector<std::string> headerNames(const RecordedRequest& request) {
        std::vector<std::string> names;
        for (const auto& header : request.headers)
            names.push_back(header.first);
        return names;
    }

    // The one request the site received since the test began.
    static RecordedRequest onlyRequest() {
        auto requests = site_->requests();
        EXPECT_EQ(requests.size(), 1u);
        return requests.empty() ? RecordedRequest{} : requests.front();
    }

private:
    static inline std::unique_ptr<FixtureSite> site_;
};

// A loopback port on which nothing listens: bound once to learn a free number, then closed.
inline int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t length = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length);
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Runs `call` and returns its result with the seconds it took.
template <typename Call> auto timed(Call&& call) {
    const auto start = std::chrono::steady_clock::now();
    auto result = call();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return std::make_pair(std::move(result), took.count());
}

} // namespace lilan::testing
