// The download tests' server leaves a client that stalls: it never keeps a
// test waiting past its patience, whatever the client does.
#include "tests/support/http_server.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using testing_support::HttpReply;
using testing_support::TestHttpServer;

TEST(TestHttpServerTest, AClientThatStallsIsLeftAfterThePatience) {
    struct Case {
        const char* name;
        std::string sent;  // all the client sends; it then reads nothing
    };
    const Case cases[] = {
        {"half a request head", "GET / HTTP/1.0\r\n"},
        {"a body shorter than its length", "POST / HTTP/1.0\r\nContent-Length: 10\r\n\r\nabc"},
        {"a reply never read", "GET / HTTP/1.0\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = std::chrono::steady_clock::now();
        {
            // A reply far larger than the sockets' buffers.
            TestHttpServer server(
                [](const testing_support::HttpRecorded&) { return HttpReply(200, std::string(64 << 20, 'x')); }, 1s);
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            ASSERT_GE(fd, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(uint16_t(server.port()));
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
            ASSERT_EQ(send(fd, c.sent.data(), c.sent.size(), MSG_NOSIGNAL), ssize_t(c.sent.size()));
            EXPECT_TRUE(server.WaitForClosed(1)) << "the server still serves the client";
            close(fd);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);
    }
}

}  // namespace
