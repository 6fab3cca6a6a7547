#include "http/TransportTestSupport.h"

namespace torvex::test {
namespace {

class Smoke : public TransportTest {};

TEST_F(Smoke, GetAndPost) {
    FixtureServer server;
    server.route("/p", FixtureServer::reply(httpResponse(200, "hello")));
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    load("[general]\nserver=127.0.0.1\nport=" + std::to_string(server.port()) +
         "\n[get]\n$uri=/p\na=1\nb=2\n[post]\n$uri=/p\n$method=post\na=1\nb=2\n");
    EXPECT_GE(perform("get"), 0) << log.text();
    EXPECT_EQ(previousBody(), "hello");
    EXPECT_GE(perform("post"), 0) << log.text();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].text,
              "GET /p?a=1&b=2 HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(requests[1].text,
              "POST /p HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
              "Content-Length: 7\r\nHost: " +
                  host + "\r\nReferer: http://" + host + "/p\r\nConnection: close\r\n\r\na=1&b=2");
}

} // namespace
} // namespace torvex::test
