// Secure requests: when TLS is used, the server name sent, one handshake per connection, the
// protocol choice of `sslver`, and handshakes and bodies that end early.
#include "http/ExchangeHelpers.h"
#include "http/support/TlsIdentity.h"

#include <openssl/ssl.h>

#include <chrono>
#include <string>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Tls : public TransportTest {
protected:
    static std::string scriptFor(std::string_view host, int port, std::string_view rest) {
        return "[general]\nserver=" + std::string(host) + "\nport=" + std::to_string(port) + "\n" +
               std::string(rest);
    }

    TlsIdentity identity;
};

TEST_F(Tls, SecureDefinitionTalksTlsToTheServer) {
    FixtureServer server(&identity);
    server.route("/s", FixtureServer::reply(httpResponse(200, "secret")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", server.port(), "[r]\n$uri=/s\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "secret");
    EXPECT_NE(log.text().find("...\r\nActivating SSL...\r\n"), std::string::npos) << log.text();
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/s");
    EXPECT_FALSE(server.requests()[0].tlsVersion.empty());
    EXPECT_EQ(server.tlsFailures(), 0);
}

TEST_F(Tls, SecureOptionAppliesToDefinitionsWithoutTheirOwnFlag) {
    FixtureServer secure(&identity);
    secure.setDefault(FixtureServer::reply(httpResponse(200, "tls")));
    FixtureServer plain;
    plain.setDefault(FixtureServer::reply(httpResponse(200, "clear")));
    // $secure 0 follows the option, 2 is always secure, any other value is plain.
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", secure.port(),
                       "secure=1\n[inherit]\n$uri=/i\n[plain]\n$uri=/p\n$secure=1\n$port=" +
                           std::to_string(plain.port()) + "\n[odd]\n$uri=/o\n$secure=7\n$port=" +
                           std::to_string(plain.port()) + "\n")));
    EXPECT_GE(perform("inherit"), 0) << log.text();
    EXPECT_EQ(previousBody(), "tls");
    EXPECT_GE(perform("plain"), 0) << log.text();
    EXPECT_EQ(previousBody(), "clear");
    EXPECT_GE(perform("odd"), 0) << log.text();
    EXPECT_EQ(previousBody(), "clear");
    EXPECT_EQ(countOf(log.text(), "Activating SSL...\r\n"), 1u) << log.text();
}

TEST_F(Tls, ServerNameIsSentForHostNamesOnly) {
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, "named")));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(
        "localhost", server.port(),
        "[named]\n$uri=/n\n$secure=2\n[numeric]\n$uri=/a\n$secure=2\n$server=127.0.0.1\n")));
    EXPECT_GE(perform("named"), 0) << log.text();
    EXPECT_GE(perform("numeric"), 0) << log.text();
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].serverName, "localhost");
    EXPECT_EQ(requests[1].serverName, "");
}

TEST_F(Tls, KeptConnectionIsReusedWithoutASecondHandshake) {
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, "again")));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("localhost", server.port(),
                                           "keepalive=1\nsecure=1\n[a]\n$uri=/a\n[b]\n$uri=/b\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_GE(perform("b"), 0) << log.text();
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_EQ(countOf(log.text(), "Activating SSL...\r\n"), 1u) << log.text();
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 1u);
    EXPECT_EQ(server.connectionCount(), 1);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) EXPECT_EQ(request.connection, 0);
}

TEST_F(Tls, CertificatesAreNotChecked) {
    TlsIdentity::Options expiredAndForeign;
    expiredAndForeign.commonName       = "elsewhere.test";
    expiredAndForeign.dnsNames         = {"elsewhere.test"};
    expiredAndForeign.ipAddresses      = {};
    expiredAndForeign.validFromOffset  = -std::chrono::hours(48);
    expiredAndForeign.validUntilOffset = -std::chrono::hours(24);
    TlsIdentity stale(expiredAndForeign);
    FixtureServer server(&stale);
    server.setDefault(FixtureServer::reply(httpResponse(200, "unchecked")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", server.port(), "[r]\n$uri=/r\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "unchecked");
}

TEST_F(Tls, SslverOtherThanZeroOrOneFails) {
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, "never")));
    ASSERT_NO_FATAL_FAILURE(load(
        scriptFor("127.0.0.1", server.port(), "sslver=2\nkeepalive=1\n[r]\n$uri=/r\n$secure=2\n")));
    const std::string hop = "127.0.0.1:" + std::to_string(server.port());
    for (const char* sslver : {"2", "3", "9"}) {
        SCOPED_TRACE(std::string("sslver=") + sslver);
        log.clear();
        ASSERT_NO_FATAL_FAILURE(option("sslver", sslver));
        EXPECT_EQ(perform("r"), -1);
        EXPECT_EQ(log.text(), "\r\nConnecting to remote host: " + hop +
                                  "...\r\nActivating SSL...\r\nFailed to activate SSL.\r\n");
        EXPECT_EQ(user().keptConnection, nullptr);
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(Tls, SslverZeroAlsoNegotiatesCurrentTls) {
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, "modern")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", server.port(), "sslver=0\n[r]\n$uri=/r\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text();
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].tlsVersion, "TLSv1.3");
    EXPECT_EQ(server.requests()[0].serverName, "localhost");
}

TEST_F(Tls, OnlySslverZeroReachesAServerLimitedToTls10) {
    FixtureServer::Options options;
    options.tls           = &identity;
    options.minTlsVersion = TLS1_VERSION;
    options.maxTlsVersion = TLS1_VERSION;
    FixtureServer old(options);
    old.setDefault(FixtureServer::reply(httpResponse(200, "legacy")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", old.port(), "sslver=0\n[r]\n$uri=/r\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "legacy");
    ASSERT_EQ(old.requests().size(), 1u);
    EXPECT_EQ(old.requests()[0].tlsVersion, "TLSv1");

    log.clear();
    ASSERT_NO_FATAL_FAILURE(option("sslver", "1"));
    EXPECT_EQ(perform("r"), -1);
    EXPECT_NE(log.text().find("Activating SSL...\r\nFailed to activate SSL.\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(old.requests().size(), 1u);
}

TEST_F(Tls, ServerEndingTheHandshakeIsANetworkError) {
    FixtureServer server; // plain TCP: takes the ClientHello, then goes away
    server.setRawHandler([](RawChannel& channel) {
        channel.readSome(2s);
        channel.close();
    });
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", server.port(), "timeout=5\n[r]\n$uri=/r\n$secure=2\n")));
    EXPECT_EQ(perform("r"), -1);
    EXPECT_NE(log.text().find("Activating SSL...\r\nFailed to activate SSL.\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(user().keptConnection, nullptr);

    server.setRawHandler([](RawChannel& channel) {
        channel.readSome(2s);
        channel.reset();
    });
    log.clear();
    EXPECT_EQ(perform("r"), -1);
    EXPECT_NE(log.text().find("Failed to activate SSL.\r\n"), std::string::npos) << log.text();
}

TEST_F(Tls, SilentHandshakeTimesOut) {
    FixtureServer server;
    server.setRawHandler([](RawChannel& channel) { channel.holdUntilStopped(); });
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", server.port(), "timeout=1\n[r]\n$uri=/r\n$secure=2\n")));
    const auto start = Clock::now();
    EXPECT_EQ(perform("r"), -4) << log.text();
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 3.0);
    EXPECT_NE(log.text().find("Failed to activate SSL.\r\n"), std::string::npos) << log.text();
}

TEST_F(Tls, BodyWithoutLengthIsReadUntilTheServerCloses) {
    FixtureServer server(&identity);
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";
    const std::string body = "read until close_notify and FIN";
    server.setDefault(FixtureServer::replyAndClose(head + body));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", server.port(), "keepalive=1\n[r]\n$uri=/r\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(responseText(), head + body);
    EXPECT_EQ(previousBody(), body);
    EXPECT_EQ(user().keptConnection, nullptr);
}

TEST_F(Tls, LargeBodyAndHeadersInManyRecordsArriveWhole) {
    FixtureServer server(&identity);
    std::string body;
    for (int i = 0; body.size() < 50000; ++i) body += std::to_string(i) + ",";
    const std::string response = httpResponse(200, body, "X-Split: across records\r\n");
    server.setDefault([response](ReplyChannel& channel, const RecordedRequest&) {
        // Small records for the headers, larger ones for the body.
        channel.sendInPieces(response.substr(0, 60), 4, 1ms);
        channel.sendInPieces(response.substr(60), 7000, 1ms);
    });
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", server.port(), "keepalive=1\n[r]\n$uri=/r\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(responseText(), response);
    EXPECT_EQ(previousBody(), body);
    EXPECT_EQ(user().traffic.bytesReceived, response.size());
    // The connection stays usable for a second request.
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), body);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(Tls, BandwidthIsEmulatedOnThePlainText) {
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, std::string(5000, 's'))));
    // 10000 bytes per second: the 5000 bytes of body alone are due after half a second.
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", server.port(), "maxspeed=80000\n[r]\n$uri=/r\n$secure=2\n")));
    const auto start = Clock::now();
    EXPECT_GE(perform("r"), 0) << log.text();
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(took, 0.45);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(previousBody().size(), 5000u);
}

} // namespace
} // namespace torvex::test
