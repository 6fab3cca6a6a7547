// Requests through proxies: real tinyproxy and Dante processes end to end, the CONNECT, SOCKS 4
// and SOCKS 5 handshakes byte for byte against a scripted proxy, and which requests go direct.
#include "http/Connection.h"
#include "http/ProxyNegotiation.h"
#include "http/TransportTestSupport.h"
#include "http/support/ProxyProcess.h"
#include "http/support/TlsIdentity.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#define SKIP_UNLESS_AVAILABLE(proxy)                                                               \
    if (!(proxy).available()) GTEST_SKIP() << (proxy).unavailableReason()

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int value : values) out += static_cast<char>(value);
    return out;
}

// The target every scripted proxy test asks for: 127.0.0.1, port 8081 (0x1f91).
constexpr int kTargetPort               = 8081;
const std::string kTargetAddressAndPort = bytes({127, 0, 0, 1, 0x1f, 0x91});
const std::string kTargetPortAndAddress = bytes({0x1f, 0x91, 127, 0, 0, 1});

// What a scripted proxy received, recorded on its connection's thread.
class Transcript {
public:
    void add(std::string piece) {
        {
            std::lock_guard lock(mutex_);
            pieces_.push_back(std::move(piece));
        }
        changed_.notify_all();
    }
    // The pieces so far, after waiting up to two seconds for at least `n` of them.
    std::vector<std::string> wait(std::size_t n) const {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, 2s, [&] { return pieces_.size() >= n; });
        return pieces_;
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> pieces_;
};

// After a successful handshake the scripted proxy is also the server behind it.
void serveOneRequest(RawChannel& channel, std::string_view body) {
    if (channel.readRequest(3s)) channel.send(httpResponse(200, body));
    channel.waitForPeerClose(3s);
}

class Proxies : public TransportTest {
protected:
    // General options for a request to host:port through `proxy`, then the sections.
    static std::string scriptFor(std::string_view host, int port, std::string_view proxy,
                                 std::string_view rest = "[r]\n$uri=/p\n") {
        return "[general]\nserver=" + std::string(host) + "\nport=" + std::to_string(port) +
               "\nproxy=" + std::string(proxy) + "\n" + std::string(rest);
    }
    // A new virtual user with an empty log: nothing kept from the previous case.
    void freshUser() {
        session.reset();
        log.clear();
    }
    static std::string at(std::string_view prefix, int port) {
        return std::string(prefix) + "127.0.0.1:" + std::to_string(port);
    }
    // Whether the log explains a failed handshake between `opening` and the closing line.
    static bool explainsFailure(const std::string& text, std::string_view opening) {
        const std::string closing = "Failed to connect to remote host.\r\n";
        std::size_t from          = text.find(opening);
        std::size_t to            = text.find(closing);
        if (from == std::string::npos || to == std::string::npos) return false;
        from += opening.size();
        return to > from + 2 && text.compare(to - 2, 2, "\r\n") == 0;
    }
};

// --- tinyproxy -----------------------------------------------------------------------------

TEST_F(Proxies, PlainHttpProxyGetsTheAbsoluteRequest) {
    TinyProxy proxy;
    SKIP_UNLESS_AVAILABLE(proxy);
    FixtureServer origin;
    origin.route("/p", FixtureServer::reply(httpResponse(200, "proxied")));
    const std::string originHost = "127.0.0.1:" + std::to_string(origin.port());
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("127.0.0.1", origin.port(), at("", proxy.port()))));

    for (const std::string& setting : {at("", proxy.port()), at("http://", proxy.port())}) {
        SCOPED_TRACE(setting);
        log.clear();
        ASSERT_NO_FATAL_FAILURE(option("proxy", setting.c_str()));
        EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
        EXPECT_EQ(previousBody(), "proxied");
        const std::string request = requestText();
        EXPECT_EQ(request.substr(0, request.find("\r\n")),
                  "GET http://" + originHost + "/p HTTP/1.1");
        EXPECT_NE(request.find("\r\nProxy-Connection: close\r\n"), std::string::npos) << request;
        EXPECT_EQ(
            log.text().find("\r\nConnecting to remote host: " + at("", proxy.port()) + "...\r\n"),
            0u)
            << log.text();
        EXPECT_EQ(log.text().find("Server response:"), std::string::npos) << log.text();
    }
    ASSERT_TRUE(origin.waitForRequests(2, 2s));
    for (const RecordedRequest& arrived : origin.requests()) {
        EXPECT_EQ(arrived.target, "/p");
        EXPECT_EQ(arrived.header("Host"), originHost);
        EXPECT_EQ(arrived.header("Via").rfind("1.1 " + std::string(TinyProxy::kViaName), 0), 0u)
            << arrived.text;
    }
}

TEST_F(Proxies, BasicProxyAuthenticationFromTheProxyString) {
    TinyProxy::Options options;
    options.user     = "proxyuser";
    options.password = "proxypass";
    TinyProxy proxy(options);
    SKIP_UNLESS_AVAILABLE(proxy);
    FixtureServer origin;
    origin.setDefault(FixtureServer::reply(httpResponse(200, "authorised")));
    const std::string encoded = "cHJveHl1c2VyOnByb3h5cGFzcw=="; // proxyuser:proxypass
    ASSERT_NO_FATAL_FAILURE(load(
        scriptFor("127.0.0.1", origin.port(), at("http://proxyuser:proxypass@", proxy.port()))));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_EQ(previousBody(), "authorised");
    EXPECT_NE(requestText().find("\r\nProxy-Authorization: Basic " + encoded + "\r\n"),
              std::string::npos)
        << requestText();
    ASSERT_EQ(origin.requests().size(), 1u);
    EXPECT_FALSE(origin.requests()[0].hasHeader("Proxy-Authorization"));

    // Without credentials, or with wrong ones, the proxy answers with an error status.
    ASSERT_NO_FATAL_FAILURE(option("proxy", at("http://", proxy.port()).c_str()));
    EXPECT_EQ(perform("r"), -2) << log.text();
    EXPECT_EQ(requestText().find("Proxy-Authorization"), std::string::npos);
    ASSERT_NO_FATAL_FAILURE(option("proxy", at("http://proxyuser:wrong@", proxy.port()).c_str()));
    EXPECT_EQ(perform("r"), -2) << log.text();

    // The tunnel carries the credentials in its CONNECT request.
    log.clear();
    ASSERT_NO_FATAL_FAILURE(
        option("proxy", at("httpc://proxyuser:proxypass@", proxy.port()).c_str()));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_NE(log.text().find("CONNECT 127.0.0.1:" + std::to_string(origin.port()) +
                              " HTTP/1.0\r\nProxy-Authorization: Basic " + encoded + "\r\n\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(origin.requests().size(), 2u);
}

TEST_F(Proxies, SecureRequestThroughAnHttpProxyUsesATunnel) {
    TinyProxy proxy;
    SKIP_UNLESS_AVAILABLE(proxy);
    TlsIdentity identity;
    FixtureServer origin(&identity);
    origin.setDefault(FixtureServer::reply(httpResponse(200, "tunnelled")));
    // localhost has no dot: without bypassproxy 0 it would go direct.
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("localhost", origin.port(), at("", proxy.port()),
                                           "bypassproxy=0\n[r]\n$uri=/p\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_EQ(previousBody(), "tunnelled");
    const std::string connect =
        "CONNECT localhost:" + std::to_string(origin.port()) + " HTTP/1.0\r\n\r\n";
    const std::size_t tunnel = log.text().find(connect + "Server response:\r\nHTTP/1.");
    const std::size_t tls    = log.text().find("Activating SSL...\r\n");
    EXPECT_NE(tunnel, std::string::npos) << log.text();
    EXPECT_NE(tls, std::string::npos) << log.text();
    EXPECT_LT(tunnel, tls);
    EXPECT_EQ(requestText().rfind("GET /p HTTP/1.1\r\n", 0), 0u) << requestText();
    ASSERT_EQ(origin.requests().size(), 1u);
    EXPECT_EQ(origin.requests()[0].serverName, "localhost");
    EXPECT_FALSE(origin.requests()[0].hasHeader("Via")); // tunnelled, not forwarded
}

TEST_F(Proxies, HttpcTunnelsPlainRequestsToo) {
    TinyProxy proxy;
    SKIP_UNLESS_AVAILABLE(proxy);
    FixtureServer origin;
    origin.setDefault(FixtureServer::reply(httpResponse(200, "inside")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", origin.port(), at("httpc://", proxy.port()))));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_EQ(previousBody(), "inside");
    EXPECT_NE(log.text().find("CONNECT 127.0.0.1:" + std::to_string(origin.port()) +
                              " HTTP/1.0\r\n\r\nServer response:\r\nHTTP/1."),
              std::string::npos)
        << log.text();
    EXPECT_EQ(log.text().find("Activating SSL"), std::string::npos);
    EXPECT_EQ(requestText().rfind("GET /p HTTP/1.1\r\n", 0), 0u) << requestText();
    ASSERT_EQ(origin.requests().size(), 1u);
    EXPECT_FALSE(origin.requests()[0].hasHeader("Via"));
}

TEST_F(Proxies, RefusedConnectFailsTheRequest) {
    TinyProxy::Options options;
    options.connectPorts = {443};
    TinyProxy proxy(options);
    SKIP_UNLESS_AVAILABLE(proxy);
    FixtureServer origin;
    origin.setDefault(FixtureServer::reply(httpResponse(200, "unreachable")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", origin.port(), at("httpc://", proxy.port()))));
    EXPECT_EQ(perform("r"), -1) << log.text();
    // tinyproxy answers in the HTTP version of the CONNECT request.
    EXPECT_NE(log.text().find("Server response:\r\nHTTP/1.0 403 "), std::string::npos)
        << log.text();
    EXPECT_NE(log.text().find("Server rejected CONNECT request.\r\n"
                              "Failed to connect to remote host.\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(origin.connectionCount(), 0);
}

// --- Dante ---------------------------------------------------------------------------------

TEST_F(Proxies, Socks4AndSocks5WithoutAuthentication) {
    Dante proxy;
    SKIP_UNLESS_AVAILABLE(proxy);
    FixtureServer origin;
    origin.setDefault(FixtureServer::reply(httpResponse(200, "socks")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", origin.port(), at("socks4://", proxy.port()))));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_EQ(previousBody(), "socks");
    EXPECT_NE(log.text().find("...\r\nConnected to SOCK4 proxy.\r\nRequest:"), std::string::npos)
        << log.text();
    EXPECT_EQ(requestText().rfind("GET /p HTTP/1.1\r\n", 0), 0u) << requestText();

    log.clear();
    ASSERT_NO_FATAL_FAILURE(option("proxy", at("socks5:", proxy.port()).c_str()));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_NE(log.text().find("...\r\nConnected to SOCK5 proxy.\r\nRequest:"), std::string::npos)
        << log.text();
    ASSERT_EQ(origin.requests().size(), 2u);
    EXPECT_EQ(origin.requests()[1].target, "/p");
}

TEST_F(Proxies, Socks5CarriesTls) {
    Dante proxy;
    SKIP_UNLESS_AVAILABLE(proxy);
    TlsIdentity identity;
    FixtureServer origin(&identity);
    origin.setDefault(FixtureServer::reply(httpResponse(200, "socks-tls")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", origin.port(), at("socks5://", proxy.port()),
                       "bypassproxy=0\n[r]\n$uri=/p\n$secure=2\n")));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_EQ(previousBody(), "socks-tls");
    EXPECT_NE(log.text().find("Connected to SOCK5 proxy.\r\nActivating SSL...\r\n"),
              std::string::npos)
        << log.text();
    ASSERT_EQ(origin.requests().size(), 1u);
    EXPECT_EQ(origin.requests()[0].serverName, "localhost");
}

TEST_F(Proxies, Socks5UserAndPassword) {
    Dante proxy({Dante::Auth::UserPassword});
    SKIP_UNLESS_AVAILABLE(proxy);
    FixtureServer origin;
    origin.setDefault(FixtureServer::reply(httpResponse(200, "logged in")));
    const std::string good = Dante::user() + ":" + Dante::password() + "@";
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("127.0.0.1", origin.port(), at("socks5://" + good, proxy.port()))));
    EXPECT_GE(perform("r"), 0) << log.text() << proxy.log();
    EXPECT_EQ(previousBody(), "logged in");

    const std::string bad = Dante::user() + ":" + Dante::password() + "x@";
    for (const std::string& setting :
         {at("socks5://" + bad, proxy.port()), at("socks5://", proxy.port())}) {
        SCOPED_TRACE(setting);
        log.clear();
        ASSERT_NO_FATAL_FAILURE(option("proxy", setting.c_str()));
        EXPECT_EQ(perform("r"), -1) << log.text();
        EXPECT_NE(log.text().find("Connected to SOCK5 proxy.\r\n"), std::string::npos);
        EXPECT_TRUE(explainsFailure(log.text(), "Connected to SOCK5 proxy.\r\n")) << log.text();
    }
    EXPECT_EQ(origin.requests().size(), 1u);
}

// --- CONNECT against a scripted proxy ------------------------------------------------------

class ScriptedConnect : public Proxies {
protected:
    // A proxy that records the CONNECT request, answers `reply` in one write and, when the
    // reply lets the tunnel open, serves one request inside it.
    void answer(std::string reply) {
        proxy.setRawHandler([this, reply](RawChannel& channel) {
            auto connect = channel.readUntil("\r\n\r\n", 3s);
            transcript.add(connect.value_or("<nothing>"));
            if (!connect) return;
            channel.send(reply);
            serveOneRequest(channel, "through the tunnel");
        });
    }
    void loadWith(std::string_view proxyString, std::string_view host = "origin.test") {
        ASSERT_NO_FATAL_FAILURE(load(scriptFor(host, kTargetPort, proxyString)));
    }
    // For loops over cases: the script is read on the first pass only.
    void loadOnce(std::string_view proxyString) {
        if (testSet.definitions.find("r") == nullptr) {
            ASSERT_NO_FATAL_FAILURE(loadWith(proxyString, "127.0.0.1"));
        }
    }

    Transcript transcript; // outlives the server, whose handlers write to it
    FixtureServer proxy;
};

TEST_F(ScriptedConnect, RequestTextAndAnEmptyHeaderBlock) {
    answer("HTTP/1.0 200 OK\r\n\r\n");
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://u:p@", proxy.port())));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "through the tunnel");
    const std::string connect =
        "CONNECT origin.test:8081 HTTP/1.0\r\nProxy-Authorization: Basic dTpw\r\n\r\n";
    EXPECT_EQ(transcript.wait(1).at(0), connect);
    const std::string expectedLog = "\r\nConnecting to remote host: " + at("", proxy.port()) +
                                    "...\r\n" + connect +
                                    "Server response:\r\nHTTP/1.0 200 OK\r\n\r\nRequest:\r\n";
    EXPECT_EQ(log.text().substr(0, expectedLog.size()), expectedLog);
    // Inside the tunnel the request has the origin form, for the target host.
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].target, "/p");
    EXPECT_EQ(proxy.requests()[0].header("Host"), "origin.test:8081");
    EXPECT_FALSE(proxy.requests()[0].hasHeader("Proxy-Authorization"));
}

TEST_F(ScriptedConnect, WithoutCredentialsNoAuthorizationLine) {
    answer("HTTP/1.1 200 Connection established\r\nProxy-Agent: scripted\r\n\r\n");
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc:", proxy.port())));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(transcript.wait(1).at(0), "CONNECT origin.test:8081 HTTP/1.0\r\n\r\n");
}

TEST_F(ScriptedConnect, ReplyInManySegmentsIsReadToTheEndOfItsHeaders) {
    const std::string reply =
        "HTTP/1.1 200 Connection established\r\nX-Long: " + std::string(600, 'l') +
        "\r\nVia: 1.1 scripted\r\n\r\n";
    proxy.setRawHandler([this, reply](RawChannel& channel) {
        auto connect = channel.readUntil("\r\n\r\n", 3s);
        transcript.add(connect.value_or("<nothing>"));
        if (!connect) return;
        channel.sendInPieces(reply, 7, 1ms);
        serveOneRequest(channel, "after a long reply");
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "after a long reply");
    EXPECT_NE(log.text().find("Server response:\r\n" + reply + "Request:\r\n"), std::string::npos)
        << log.text();
}

TEST_F(ScriptedConnect, StatusOtherThan200IsRejected) {
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    for (const char* reply :
         {"HTTP/1.0 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic "
          "realm=\"p\"\r\n\r\n",
          "HTTP/1.1 201 Created\r\n\r\n", "HTTP/1.0 502 Bad Gateway\r\n\r\n"}) {
        SCOPED_TRACE(reply);
        freshUser();
        answer(reply);
        EXPECT_EQ(perform("r"), -1) << log.text();
        EXPECT_NE(log.text().find(std::string("Server response:\r\n") + reply +
                                  "Server rejected CONNECT request.\r\n"
                                  "Failed to connect to remote host.\r\n"),
                  std::string::npos)
            << log.text();
        EXPECT_EQ(log.text().find("Request:"), std::string::npos);
    }
}

// A proxy that refuses and keeps its connection open must not get the next request on it as if
// the tunnel were open: the refused connection is closed, and the next request asks again.
TEST_F(ScriptedConnect, RefusedTunnelIsNotKeptForTheNextRequest) {
    proxy.setRawHandler([this](RawChannel& channel) {
        auto connect = channel.readUntil("\r\n\r\n", 3s);
        transcript.add(connect.value_or("<nothing>"));
        if (!connect) return;
        channel.send("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n");
        if (auto more = channel.readUntil("\r\n\r\n", 1s)) transcript.add("reused: " + *more);
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    EXPECT_EQ(perform("r"), -1) << log.text();
    EXPECT_EQ(perform("r"), -1) << log.text();
    const auto seen = transcript.wait(2);
    ASSERT_EQ(seen.size(), 2u);
    for (const std::string& piece : seen) EXPECT_TRUE(piece.starts_with("CONNECT ")) << piece;
    EXPECT_EQ(proxy.connectionCount(), 2);
}

// A tunnel leads to one server: a request for another server through the same proxy opens its
// own tunnel instead of reusing the kept one.
TEST_F(ScriptedConnect, KeptTunnelServesOnlyItsOwnServer) {
    proxy.setRawHandler([this](RawChannel& channel) {
        auto connect = channel.readUntil("\r\n\r\n", 3s);
        transcript.add(connect.value_or("<nothing>"));
        if (!connect) return;
        channel.send("HTTP/1.0 200 OK\r\n\r\n");
        while (auto request = channel.readRequest(2s))
            channel.send(httpResponse(200, "through the tunnel", "Connection: Keep-Alive\r\n"));
    });
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("a.test", kTargetPort, at("httpc:", proxy.port()),
                       "[a]\n$uri=/p\n$keepalive=1\n[a2]\n$uri=/q\n$keepalive=1\n"
                       "[b]\n$server=b.test\n$uri=/p\n$keepalive=1\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_GE(perform("a2"), 0) << log.text();
    EXPECT_GE(perform("b"), 0) << log.text();
    const auto seen = transcript.wait(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].starts_with("CONNECT a.test:8081 ")) << seen[0];
    EXPECT_TRUE(seen[1].starts_with("CONNECT b.test:")) << seen[1];
}

TEST_F(ScriptedConnect, MalformedStatusLineFailsWithoutTheRejectionLine) {
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    for (const char* reply : {"HTTP/1.0 20\r\n\r\n", "XTTP/1.0 200 OK\r\n\r\n",
                              "HTTP/1.0 2x0 OK\r\n\r\n", "HTTP/1.0\r\n\r\n"}) {
        SCOPED_TRACE(reply);
        freshUser();
        answer(reply);
        EXPECT_EQ(perform("r"), -1) << log.text();
        EXPECT_NE(log.text().find("Failed to connect to remote host.\r\n"), std::string::npos);
        EXPECT_EQ(log.text().find("Server rejected CONNECT request."), std::string::npos)
            << log.text();
    }
}

TEST_F(ScriptedConnect, BlankLineFollowedByContentRangeExtendsTheHeaderBlock) {
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    for (const char* block : {"HTTP/1.0 200 OK\r\n\r\nContent-Range: bytes 0-1/2\r\n\r\n",
                              "HTTP/1.0 200 OK\r\n\r\ncontent-range: bytes */9\r\n\r\n"}) {
        SCOPED_TRACE(block);
        freshUser();
        answer(block);
        EXPECT_GE(perform("r"), 0) << log.text();
        EXPECT_EQ(previousBody(), "through the tunnel");
        EXPECT_NE(log.text().find(std::string("Server response:\r\n") + block + "Request:\r\n"),
                  std::string::npos)
            << log.text();
    }
}

TEST_F(ScriptedConnect, RemainderAfterTheHeaderBlockIsLoggedAndDropped) {
    answer("HTTP/1.0 200 OK\r\nX-Extra: 1\r\n\r\nSTRAY BYTES");
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_NE(log.text().find("Server response:\r\nHTTP/1.0 200 OK\r\nX-Extra: 1\r\n\r\n"
                              "STRAY BYTES\r\nRequest:\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(responseText(), httpResponse(200, "through the tunnel"));
}

TEST_F(ScriptedConnect, ProxyClosingBeforeTheEndOfItsHeadersFails) {
    proxy.setRawHandler([](RawChannel& channel) {
        if (!channel.readUntil("\r\n\r\n", 3s)) return;
        channel.send("HTTP/1.0 200 OK\r\n");
        channel.close();
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("httpc://", proxy.port())));
    EXPECT_EQ(perform("r"), -1) << log.text();
    EXPECT_NE(log.text().find("Failed to connect to remote host.\r\n"), std::string::npos)
        << log.text();
    EXPECT_EQ(log.text().find("Server rejected"), std::string::npos);
}

TEST_F(ScriptedConnect, SilentProxyTimesOut) {
    proxy.setRawHandler([](RawChannel& channel) { channel.holdUntilStopped(); });
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("origin.test", kTargetPort, at("httpc://", proxy.port()),
                                           "timeout=1\n[r]\n$uri=/p\n")));
    const auto start = Clock::now();
    EXPECT_EQ(perform("r"), -4) << log.text();
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 3.0);
    EXPECT_NE(log.text().find("Failed to connect to remote host.\r\n"), std::string::npos);
}

TEST_F(ScriptedConnect, RequestLongerThan255CharactersIsNotSent) {
    // "CONNECT " + host + ":8081 HTTP/1.0\r\n" + "\r\n" is the host's length plus 26.
    const std::string fits    = std::string(224, 'a') + ".test"; // 255 characters in all
    const std::string tooLong = std::string(225, 'a') + ".test"; // 256
    answer("HTTP/1.0 200 OK\r\n\r\n");
    ASSERT_NO_FATAL_FAILURE(load("[general]\nport=8081\nproxy=" + at("httpc://", proxy.port()) +
                                 "\n[fits]\n$uri=/p\n$server=" + fits +
                                 "\n[long]\n$uri=/p\n$server=" + tooLong + "\n"));
    EXPECT_GE(perform("fits"), 0) << log.text();
    const auto seen = transcript.wait(1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].size(), 255u);

    log.clear();
    EXPECT_EQ(perform("long"), -1);
    EXPECT_NE(log.text().find("Failed to connect to remote host.\r\n"), std::string::npos)
        << log.text();
    EXPECT_EQ(log.text().find("CONNECT "), std::string::npos);
    EXPECT_EQ(transcript.wait(2)[1], "<nothing>"); // connected, but no request came
}

// --- SOCKS against a scripted proxy --------------------------------------------------------

class ScriptedSocks : public ScriptedConnect {};

// Version, command, port and address, then the user id up to its terminating zero byte.
std::optional<std::string> readSocks4Request(RawChannel& channel) {
    auto head = channel.readExactly(8, 3s);
    if (!head) return head;
    auto user = channel.readUntil(std::string(1, '\0'), 3s);
    if (!user) return user;
    return *head + *user;
}

TEST_F(ScriptedSocks, Socks4RequestAndAReplyInTwoSegments) {
    proxy.setRawHandler([this](RawChannel& channel) {
        auto request = readSocks4Request(channel);
        transcript.add(request.value_or("<nothing>"));
        if (!request) return;
        channel.send(bytes({0, 90}));
        channel.pause(50ms);
        channel.send(bytes({0, 0, 0, 0, 0, 0}));
        serveOneRequest(channel, "socks4 reply read whole");
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks4://", proxy.port()), "127.0.0.1"));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(transcript.wait(1).at(0),
              bytes({4, 1}) + kTargetPortAndAddress + "noname" + std::string(1, '\0'));
    EXPECT_EQ(responseText(), httpResponse(200, "socks4 reply read whole"));
    EXPECT_NE(log.text().find("Connected to SOCK4 proxy.\r\n"), std::string::npos);
}

TEST_F(ScriptedSocks, Socks4UserIdIsTheWholeCredentials) {
    proxy.setRawHandler([this](RawChannel& channel) {
        auto request = readSocks4Request(channel);
        transcript.add(request.value_or("<nothing>"));
        if (!request) return;
        channel.send(bytes({0, 90, 0, 0, 0, 0, 0, 0}));
        serveOneRequest(channel, "ok");
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks4://user:pw@", proxy.port()), "127.0.0.1"));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(transcript.wait(1).at(0),
              bytes({4, 1}) + kTargetPortAndAddress + "user:pw" + std::string(1, '\0'));
}

TEST_F(ScriptedSocks, Socks4ProxyClosingIsExplained) {
    proxy.setRawHandler([](RawChannel& channel) {
        if (!readSocks4Request(channel)) return;
        channel.send(bytes({0, 90, 0})); // then goes away in the middle of its reply
        channel.close();
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks4://", proxy.port()), "127.0.0.1"));
    EXPECT_EQ(perform("r"), -1) << log.text();
    EXPECT_TRUE(explainsFailure(log.text(), "Connected to SOCK4 proxy.\r\n")) << log.text();
}

TEST_F(ScriptedSocks, Socks4RefusalIsExplained) {
    proxy.setRawHandler([](RawChannel& channel) {
        if (!readSocks4Request(channel)) return;
        channel.send(bytes({0, 91, 0, 0, 0, 0, 0, 0}));
        channel.waitForPeerClose(3s);
    });
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks4://", proxy.port()), "127.0.0.1"));
    EXPECT_EQ(perform("r"), -1) << log.text();
    EXPECT_TRUE(explainsFailure(log.text(), "Connected to SOCK4 proxy.\r\n")) << log.text();
}

// A SOCKS 5 proxy following `steps`: each is what to read (its length) and what to answer.
struct Step {
    std::size_t read;
    std::string answer;
    std::size_t splitAt = 0; // above 0: the answer leaves in two TCP segments, split here
};

class ScriptedSocks5 : public ScriptedConnect {
protected:
    void follow(std::vector<Step> steps, bool thenServe = true) {
        proxy.setRawHandler([this, steps, thenServe](RawChannel& channel) {
            for (const Step& step : steps) {
                auto got = channel.readExactly(step.read, 3s);
                transcript.add(got.value_or("<nothing>"));
                if (!got) return;
                if (step.splitAt > 0) {
                    channel.send(step.answer.substr(0, step.splitAt));
                    channel.pause(50ms);
                    channel.send(step.answer.substr(step.splitAt));
                } else {
                    channel.send(step.answer);
                }
            }
            if (thenServe) {
                serveOneRequest(channel, "socks5 inside");
            } else {
                // Anything more from the client is recorded; nothing is expected.
                auto more = channel.readSome(500ms);
                transcript.add(more ? "more: " + *more : "<end>");
            }
        });
    }
};

const std::string kConnectRequest = bytes({5, 1, 0, 1}) + kTargetAddressAndPort;

TEST_F(ScriptedSocks5, WithoutCredentialsAndAReplyInTwoSegments) {
    follow({{3, bytes({5, 0}), 1}, {10, bytes({5, 0, 0, 1, 127, 0, 0, 1, 0x04, 0x38}), 3}});
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks5://", proxy.port()), "127.0.0.1"));
    EXPECT_GE(perform("r"), 0) << log.text();
    const auto seen = transcript.wait(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], bytes({5, 1, 0}));
    EXPECT_EQ(seen[1], kConnectRequest);
    EXPECT_EQ(responseText(), httpResponse(200, "socks5 inside"));
    EXPECT_NE(log.text().find("...\r\nConnected to SOCK5 proxy.\r\nRequest:"), std::string::npos)
        << log.text();
}

TEST_F(ScriptedSocks5, CredentialsWithoutAColonOfferNoLogin) {
    follow({{3, bytes({5, 0})}, {10, bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80})}});
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks5://alice@", proxy.port()), "127.0.0.1"));
    EXPECT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(transcript.wait(1).at(0), bytes({5, 1, 0}));
}

TEST_F(ScriptedSocks5, UserNameAndPassword) {
    follow({{3, bytes({5, 2})},
            {1 + 1 + 5 + 1 + 6, bytes({1, 0})},
            {10, bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80})}});
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks5://alice:secret@", proxy.port()), "127.0.0.1"));
    EXPECT_GE(perform("r"), 0) << log.text();
    const auto seen = transcript.wait(3);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], bytes({5, 1, 2}));
    EXPECT_EQ(seen[1], bytes({1, 5}) + "alice" + bytes({6}) + "secret");
    EXPECT_EQ(seen[2], kConnectRequest);
}

TEST_F(ScriptedSocks5, RepliesWithLongerBoundAddressesAreReadWhole) {
    const std::string ipv6(16, '\x01');
    for (const std::string& reply : {bytes({5, 0, 0, 3, 9}) + "localhost" + bytes({0x1f, 0x91}),
                                     bytes({5, 0, 0, 4}) + ipv6 + bytes({0x1f, 0x91})}) {
        SCOPED_TRACE(reply.size());
        freshUser();
        follow({{3, bytes({5, 0})}, {10, reply, 3}});
        ASSERT_NO_FATAL_FAILURE(loadOnce(at("socks5://", proxy.port())));
        EXPECT_GE(perform("r"), 0) << log.text();
        // Nothing of the reply is taken for the server's response.
        EXPECT_EQ(responseText(), httpResponse(200, "socks5 inside"));
    }
}

TEST_F(ScriptedSocks5, ProxyMayWaiveTheLoginItWasOffered) {
    follow({{3, bytes({5, 0})}, {10, bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 80})}});
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks5://alice:secret@", proxy.port()), "127.0.0.1"));
    EXPECT_GE(perform("r"), 0) << log.text();
    const auto seen = transcript.wait(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], bytes({5, 1, 2}));
    EXPECT_EQ(seen[1], kConnectRequest); // straight to the connect request, no login
}

TEST_F(ScriptedSocks5, EmptyPasswordFailsWhenTheProxyAsksForALogin) {
    follow({{3, bytes({5, 2})}}, false);
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks5://alice:@", proxy.port()), "127.0.0.1"));
    EXPECT_EQ(perform("r"), -1) << log.text();
    const auto seen = transcript.wait(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], bytes({5, 1, 2})); // a colon asks for the login method
    EXPECT_EQ(seen[1], "<end>");          // but no login is sent
    EXPECT_TRUE(explainsFailure(log.text(), "Connected to SOCK5 proxy.\r\n")) << log.text();
}

TEST_F(ScriptedSocks5, RefusalsAreExplained) {
    const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
        {"no acceptable method", {{3, bytes({5, 0xff})}}},
        {"login refused", {{3, bytes({5, 2})}, {1 + 1 + 5 + 1 + 6, bytes({1, 1})}}},
        {"connect refused",
         {{3, bytes({5, 2})},
          {1 + 1 + 5 + 1 + 6, bytes({1, 0})},
          {10, bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0})}}},
    };
    ASSERT_NO_FATAL_FAILURE(loadWith(at("socks5://alice:secret@", proxy.port()), "127.0.0.1"));
    for (const auto& [what, steps] : cases) {
        SCOPED_TRACE(what);
        freshUser();
        follow(steps, false);
        EXPECT_EQ(perform("r"), -1) << log.text();
        EXPECT_TRUE(explainsFailure(log.text(), "Connected to SOCK5 proxy.\r\n")) << log.text();
    }
}

TEST_F(ScriptedSocks5, ProtocolFailuresAreExplained) {
    const std::vector<std::pair<const char*, std::vector<Step>>> cases = {
        {"wrong version in the method reply", {{3, bytes({4, 0})}}},
        {"wrong version in the connect reply",
         {{3, bytes({5, 0})}, {10, bytes({4, 0, 0, 1, 127, 0, 0, 1, 0, 80})}}},
        {"unknown address type in the connect reply",
         {{3, bytes({5, 0})}, {10, bytes({5, 0, 0, 9, 127, 0, 0, 1, 0, 80})}}},
        {"proxy closes after the greeting", {{3, ""}}},
    };
    for (const auto& [what, steps] : cases) {
        SCOPED_TRACE(what);
        freshUser();
        follow(steps, false);
        ASSERT_NO_FATAL_FAILURE(loadOnce(at("socks5://", proxy.port())));
        EXPECT_EQ(perform("r"), -1) << log.text();
        EXPECT_TRUE(explainsFailure(log.text(), "Connected to SOCK5 proxy.\r\n")) << log.text();
    }
}

TEST(ProxyNegotiation, DirectAndPlainProxyNeedNoHandshakeAndUnknownKindsFail) {
    Transcript transcript;
    FixtureServer server;
    server.setRawHandler([&](RawChannel& channel) {
        auto got = channel.readSome(300ms);
        transcript.add(got ? *got : "<nothing>");
    });
    for (int kind : {0, 1, 5, -1}) {
        SCOPED_TRACE(kind);
        CConnection connection{WaitRules{2000, nullptr}};
        connection.setTarget(htonl(INADDR_LOOPBACK), server.port());
        ASSERT_EQ(connection.connect(), 0);
        std::string messages;
        EXPECT_EQ(negotiateProxy(connection, "127.0.0.1", 80, "u:p", kind, messages),
                  kind == 0 || kind == 1 ? 0 : -1);
        EXPECT_EQ(messages, "");
    }
    const auto seen = transcript.wait(4);
    for (const std::string& piece : seen) EXPECT_EQ(piece, "<nothing>");
}

// --- which requests go through the proxy ---------------------------------------------------

class Selection : public Proxies {
protected:
    void SetUp() override {
        origin.setDefault(FixtureServer::reply(httpResponse(200, "direct")));
        // A plain HTTP proxy that answers by itself.
        proxy.setDefault(FixtureServer::reply(httpResponse(200, "via proxy")));
    }
    // Where the next request went: to the origin or to the proxy.
    std::string route() {
        log.clear();
        const int outcome = perform("r");
        if (outcome < 0) return "failed " + std::to_string(outcome) + ": " + log.text();
        return previousBody();
    }

    FixtureServer origin;
    FixtureServer proxy;
};

TEST_F(Selection, NamesWithoutADotBypassTheProxyUnlessDisabled) {
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor("localhost", origin.port(), at("http://", proxy.port()))));
    EXPECT_EQ(route(), "direct");
    EXPECT_NE(
        log.text().find("Connecting to remote host: localhost:" + std::to_string(origin.port())),
        std::string::npos)
        << log.text();

    ASSERT_NO_FATAL_FAILURE(option("bypassproxy", "0"));
    EXPECT_EQ(route(), "via proxy");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].target,
              "http://localhost:" + std::to_string(origin.port()) + "/p");
    EXPECT_EQ(origin.requests().size(), 1u);
}

TEST_F(Selection, ExceptionListSendsMatchingHostsDirect) {
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("127.0.0.1", origin.port(), at("", proxy.port()))));
    EXPECT_EQ(route(), "via proxy");
    const std::pair<const char*, const char*> cases[] = {
        {"*.example; 127.0.0.*", "direct"},
        {"*.example;127.0.0.?", "direct"},
        {"*.example", "via proxy"},
        {"127.0.0.2", "via proxy"},
        {"127.0.0.1:*", "via proxy"}, // hosts are matched without their port
        {";", "direct"},              // no pattern at all
        {" ; ;", "direct"},
    };
    for (const auto& [exceptions, expected] : cases) {
        SCOPED_TRACE(exceptions);
        ASSERT_NO_FATAL_FAILURE(option("proxyexceptions", exceptions));
        EXPECT_EQ(route(), expected);
    }
}

TEST_F(Selection, ProxyPortPastTheLastTcpPortMeansDirect) {
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("127.0.0.1", origin.port(), "127.0.0.1:65536")));
    EXPECT_EQ(route(), "direct");
    ASSERT_NO_FATAL_FAILURE(option("proxy", "socks5://127.0.0.1:70000"));
    EXPECT_EQ(route(), "direct");
    ASSERT_NO_FATAL_FAILURE(option("proxy", at("", proxy.port()).c_str()));
    EXPECT_EQ(route(), "via proxy");
    EXPECT_EQ(origin.connectionCount(), 2);
}

TEST_F(Selection, UnreachableProxyIsReportedByItsAddress) {
    int closedPort = 0;
    {
        FixtureServer closed; // its port refuses once it is gone
        closedPort = closed.port();
    }
    const std::string hop = "127.0.0.1:" + std::to_string(closedPort);
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("127.0.0.1", origin.port(), "socks5:" + hop)));
    EXPECT_EQ(perform("r"), -1);
    EXPECT_EQ(log.text(), "\r\nConnecting to remote host: " + hop +
                              "...\r\nFailed to connect to remote host: " + hop + ".\r\n");
    EXPECT_EQ(origin.connectionCount(), 0);
}

TEST_F(Selection, RedirectsChooseTheirProxyAgain) {
    // Through the proxy to 127.0.0.1, then redirected to localhost, which bypasses it.
    proxy.route(
        "/p",
        FixtureServer::reply(httpResponse(
            302, "", "Location: http://localhost:" + std::to_string(origin.port()) + "/next\r\n")));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor("127.0.0.1", origin.port(), at("", proxy.port()))));
    EXPECT_EQ(route(), "direct");
    ASSERT_EQ(proxy.requests().size(), 1u);
    EXPECT_EQ(proxy.requests()[0].target,
              "http://127.0.0.1:" + std::to_string(origin.port()) + "/p");
    ASSERT_EQ(origin.requests().size(), 1u);
    EXPECT_EQ(origin.requests()[0].target, "/next");
}

} // namespace
} // namespace torvex::test
