#include "web/inet_client.h"

#include <gtest/gtest.h>

namespace lilan {
namespace {

struct AddressCase {
    const char* address;
    const char* host;
    const char* hostWithPort;
    const char* path;
    int port;
};

// Test lists show a case by its address, not by the raw bytes of the struct.
void PrintTo(const AddressCase& c, std::ostream* os) {
    *os << c.address;
}

class AddressParts : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressParts, SplitsHostPathAndPort) {
    const AddressCase& c = GetParam();
    EXPECT_EQ(hostOf(c.address), c.host);
    EXPECT_EQ(hostOf(c.address, true), c.hostWithPort);
    EXPECT_EQ(pathOf(c.address), c.path);
    EXPECT_EQ(portOf(c.address), c.port);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddressParts,
    ::testing::Values(AddressCase{"http://News.QQ.com:8080/a/b.htm", "news.qq.com", "news.qq.com:8080",
                                  "/a/b.htm", 8080},
                      AddressCase{"http://news.qq.com", "news.qq.com", "news.qq.com", "/", 80},
                      AddressCase{"http://news.qq.com/l/a.htm?page=2&x=/y", "news.qq.com", "news.qq.com",
                                  "/l/a.htm?page=2&x=/y", 80},
                      AddressCase{"news.qq.com/a.htm", "news.qq.com", "news.qq.com", "/a.htm", 80},
                      // A scheme in capitals is not recognised: the host begins at the start.
                      AddressCase{"HTTP://news.qq.com/a", "http", "http:", "//news.qq.com/a", 0},
                      AddressCase{"http://h.cn:abc/x", "h.cn", "h.cn:abc", "/x", 0},
                      AddressCase{"", "", "", "/", 80}));

} // namespace
} // namespace lilan
