// The recording proxy between a socket-level browser and real servers, all on loopback.
#include "http/support/FixtureServer.h"
#include "http/support/TlsIdentity.h"
#include "recorder/BrowserClient.h"
#include "recorder/ProxyTestSupport.h"

#include <gtest/gtest.h>

#include <openssl/x509v3.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

std::string issuerName(X509* certificate) {
    char name[256] = {};
    X509_NAME_get_text_by_NID(X509_get_issuer_name(certificate), NID_commonName, name, sizeof name);
    return name;
}

TEST_F(ProxyTest, PlainPagesPassThroughUnchangedAndNavigationsAreCaptured) {
    FixtureServer server;
    server.route("/page", FixtureServer::reply(
                              httpResponse(200, "<html>page</html>",
                                           "Content-Type: text/html\r\nX-Server: fixture\r\n")));
    server.route("/login", FixtureServer::reply(httpResponse(200, "welcome")));
    auto proxy             = startProxy();
    const std::string host = hostOf(server);
    BrowserClient browser(proxy->port());
    ASSERT_TRUE(browser.connected());

    const auto page = browser.exchange(
        requestText("GET", server.origin() + "/page?x=1&y=", host,
                    "Accept: text/html,application/xhtml+xml\r\nProxy-Connection: keep-alive\r\n"
                    "Proxy-Authorization: Basic dXNlcjpwdw==\r\n"));
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->body, "<html>page</html>");
    EXPECT_EQ(page->header("X-Server"), "fixture");

    // The second request on the same connection: keep-alive towards the browser.
    const std::string form = "user=a+b&pw=%41%42";
    const auto login =
        browser.exchange(requestText("POST", server.origin() + "/login", host,
                                     "Sec-Fetch-Mode: navigate\r\nSec-Fetch-Dest: document\r\n"
                                     "Content-Type: application/x-www-form-urlencoded\r\n",
                                     form));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->body, "welcome");

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].method, "GET");
    EXPECT_EQ(received[0].target, "/page?x=1&y=");
    EXPECT_EQ(received[0].header("Host"), host);
    EXPECT_FALSE(received[0].hasHeader("Proxy-Connection"));
    EXPECT_FALSE(received[0].hasHeader("Proxy-Authorization"));
    EXPECT_EQ(received[1].method, "POST");
    EXPECT_EQ(received[1].target, "/login");
    EXPECT_EQ(received[1].body, form);
    EXPECT_EQ(received[1].header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(server.connectionCount(), 1); // the server connection was kept too

    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].url, server.origin() + "/page?x=1&y=");
    EXPECT_EQ(captured[0].targetFrame, "");
    EXPECT_EQ(captured[0].body, "");
    EXPECT_EQ(captured[0].headerText, "");
    EXPECT_EQ(captured[1].url, server.origin() + "/login");
    EXPECT_EQ(captured[1].body, form);
    EXPECT_EQ(captured[1].headerText, "Content-Type: application/x-www-form-urlencoded\r\n");
    EXPECT_TRUE(problems().empty());
}

TEST_F(ProxyTest, AKeptServerConnectionThatClosedIsReplacedQuietly) {
    FixtureServer server;
    // Closes after answering without saying so: the proxy learns it on the next request.
    server.route("/first", FixtureServer::replyAndClose(httpResponse(200, "one")));
    server.route("/second", FixtureServer::reply(httpResponse(200, "two")));
    auto proxy = startProxy();
    BrowserClient browser(proxy->port());
    const auto first =
        browser.exchange(requestText("GET", server.origin() + "/first", hostOf(server)));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body, "one");
    const auto second = browser.exchange(
        requestText("POST", server.origin() + "/second", hostOf(server), "", "x=1"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->body, "two");
    EXPECT_EQ(server.connectionCount(), 2);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(server.requests()[1].body, "x=1");
    EXPECT_TRUE(problems().empty());
}

TEST_F(ProxyTest, SubResourcesPassThroughUncaptured) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "resource")));
    auto proxy = startProxy();
    BrowserClient browser(proxy->port());
    const std::string extras[] = {
        "Accept: image/png,image/*\r\n",
        "Accept: */*\r\n",
        // Sec-Fetch headers decide alone once present, whatever Accept says.
        "Sec-Fetch-Mode: no-cors\r\nSec-Fetch-Dest: image\r\nAccept: text/html\r\n",
        "Sec-Fetch-Site: same-origin\r\nAccept: text/html\r\n",
        "Accept: application/json, text/html\r\n",
    };
    for (const std::string& extra : extras) {
        const auto reply =
            browser.exchange(requestText("GET", server.origin() + "/r.png", hostOf(server), extra));
        ASSERT_TRUE(reply) << extra;
        EXPECT_EQ(reply->body, "resource");
    }
    EXPECT_EQ(server.requests().size(), std::size(extras));
    EXPECT_TRUE(navigations().empty());
}

TEST_F(ProxyTest, MarkedOnlyCapturesMarkedRequestsAndRemovesTheMark) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "ok")));
    RecordingProxy::Options options;
    options.markedOnly = true;
    auto proxy         = startProxy(options);
    BrowserClient browser(proxy->port());
    const std::string host = hostOf(server);
    const std::string base = server.origin();
    ASSERT_TRUE(browser.exchange(requestText("GET", base + "/unmarked", host,
                                             "Sec-Fetch-Mode: navigate\r\nAccept: text/html\r\n")));
    ASSERT_TRUE(browser.exchange(
        requestText("GET", base + "/main", host, "X-Torvex-Navigation: main\r\n")));
    ASSERT_TRUE(browser.exchange(
        requestText("POST", base + "/frame", host,
                    "x-torvex-navigation: frame\r\nContent-Type: text/plain\r\n", "a=1")));
    ASSERT_TRUE(browser.exchange(
        requestText("GET", base + "/other", host, "X-Torvex-Navigation: other\r\n")));

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 4u);
    for (const auto& request : received)
        EXPECT_FALSE(request.hasHeader("X-Torvex-Navigation")) << request.target;
    EXPECT_EQ(received[2].body, "a=1");

    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].url, base + "/main");
    EXPECT_EQ(captured[1].url, base + "/frame");
    EXPECT_EQ(captured[1].targetFrame, "");
    EXPECT_EQ(captured[1].body, "a=1");
    EXPECT_EQ(captured[1].headerText, "Content-Type: text/plain\r\n");
}

TEST_F(ProxyTest, AnswersKeepTheirFramingChunkedBodilessAndUntilClose) {
    FixtureServer server;
    const std::string chunks = "5;ext=1\r\nhello\r\n6\r\n world\r\n0\r\nX-Trailer: t\r\n\r\n";
    server.route("/chunked", [&](ReplyChannel& channel, const RecordedRequest&) {
        channel.sendInPieces("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + chunks, 3,
                             1ms);
    });
    server.route("/head", FixtureServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n"));
    server.route("/empty", FixtureServer::reply("HTTP/1.1 204 No Content\r\n\r\n"));
    server.route("/same",
                 FixtureServer::reply("HTTP/1.1 304 Not Modified\r\nETag: \"v1\"\r\n\r\n"));
    server.route("/hints", FixtureServer::reply("HTTP/1.1 103 Early Hints\r\nLink: </s.css>\r\n\r\n"
                                                "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"));
    server.route("/to-the-end", FixtureServer::replyAndClose("HTTP/1.1 200 OK\r\n\r\nuntil close"));
    auto proxy = startProxy();
    BrowserClient browser(proxy->port());
    const std::string host = hostOf(server);
    const std::string base = server.origin();

    const auto chunked = browser.exchange(requestText("GET", base + "/chunked", host));
    ASSERT_TRUE(chunked);
    EXPECT_EQ(chunked->raw, chunks); // extensions and trailers pass as they are
    EXPECT_EQ(chunked->body, "hello world");

    const auto head = browser.exchange(requestText("HEAD", base + "/head", host), true);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->header("Content-Length"), "1000");
    const auto empty = browser.exchange(requestText("GET", base + "/empty", host));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 204);
    const auto same = browser.exchange(requestText("GET", base + "/same", host));
    ASSERT_TRUE(same);
    EXPECT_EQ(same->status, 304);
    EXPECT_EQ(same->header("ETag"), "\"v1\"");

    ASSERT_TRUE(browser.send(requestText("GET", base + "/hints", host)));
    const auto hints = browser.read();
    ASSERT_TRUE(hints);
    EXPECT_EQ(hints->status, 103);
    EXPECT_EQ(hints->header("Link"), "</s.css>");
    const auto final = browser.read();
    ASSERT_TRUE(final);
    EXPECT_EQ(final->body, "ok");

    // Without a length the body runs to the end, so the browser's connection ends too.
    const auto toTheEnd = browser.exchange(requestText("GET", base + "/to-the-end", host));
    ASSERT_TRUE(toTheEnd);
    EXPECT_EQ(toTheEnd->body, "until close");
    EXPECT_EQ(toTheEnd->header("Connection"), "close");
    EXPECT_TRUE(toTheEnd->closed);
    EXPECT_EQ(server.requests().size(), 6u);
}

TEST_F(ProxyTest, ChunkedRequestBodiesReachTheServer) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "ok")));
    auto proxy = startProxy();
    BrowserClient browser(proxy->port());
    const std::string host = hostOf(server);
    const std::string chunked =
        "Transfer-Encoding: chunked\r\nContent-Type: application/x-www-form-urlencoded\r\n";
    // A navigation is held whole to be reported, then sent on with its length.
    ASSERT_TRUE(browser.exchange(
        requestText("POST", server.origin() + "/form", host, "Accept: text/html\r\n" + chunked) +
        "4\r\na=1&\r\n3\r\nb=2\r\n0\r\n\r\n"));
    // Anything else streams through in its chunks.
    ASSERT_TRUE(browser.exchange(
        requestText("POST", server.origin() + "/upload", host, "Accept: */*\r\n" + chunked) +
        "5\r\nhello\r\n0\r\n\r\n"));

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].body, "a=1&b=2");
    EXPECT_EQ(received[0].header("Content-Length"), "7");
    EXPECT_FALSE(received[0].hasHeader("Transfer-Encoding"));
    EXPECT_EQ(received[1].body, "hello");
    EXPECT_EQ(received[1].header("Transfer-Encoding"), "chunked");

    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 1u);
    EXPECT_EQ(captured[0].body, "a=1&b=2");
}

TEST_F(ProxyTest, HttpsThroughConnectIsVerifiedForwardedAndCaptured) {
    TlsIdentity identity;
    FixtureServer server(&identity);
    server.route("/secure", FixtureServer::reply(httpResponse(200, "secret")));
    server.route("/next", FixtureServer::reply(httpResponse(200, "next")));
    auto proxy            = startProxy();
    const std::string pem = proxy->authorityCertificatePem();
    ASSERT_FALSE(pem.empty());

    BrowserClient browser(proxy->port());
    std::string error;
    ASSERT_TRUE(browser.openTunnel(hostOf(server), pem, "127.0.0.1", "", error)) << error;
    X509* presented = browser.peerCertificate();
    ASSERT_NE(presented, nullptr);
    EXPECT_EQ(issuerName(presented), "Torvex Recording Authority");
    EXPECT_NE(X509_get_extended_key_usage(presented) & XKU_SSL_SERVER, 0u);

    const auto first = browser.exchange(
        requestText("GET", "/secure?q=1", hostOf(server), "Accept: text/html\r\n"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->body, "secret");
    const auto second = browser.exchange(
        requestText("POST", "/next", hostOf(server),
                    "Sec-Fetch-Mode: navigate\r\nContent-Type: application/json\r\n", "{\"a\":1}"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->body, "next");

    const auto received = server.requests();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].target, "/secure?q=1");
    EXPECT_FALSE(received[0].tlsVersion.empty());
    EXPECT_EQ(received[1].body, "{\"a\":1}");
    EXPECT_EQ(received[0].connection, received[1].connection);

    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].url,
              "https://127.0.0.1:" + std::to_string(server.port()) + "/secure?q=1");
    EXPECT_EQ(captured[1].body, "{\"a\":1}");
    EXPECT_EQ(captured[1].headerText, "Content-Type: application/json\r\n");

    // By name: the certificate names the host, and the server hears the same SNI.
    BrowserClient named(proxy->port());
    const std::string authority = "localhost:" + std::to_string(server.port());
    ASSERT_TRUE(named.openTunnel(authority, pem, "localhost", "localhost", error)) << error;
    ASSERT_TRUE(named.exchange(requestText("GET", "/secure", authority, "Accept: text/html\r\n")));
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_EQ(server.requests()[2].serverName, "localhost");
    EXPECT_EQ(navigations().back().url, "https://" + authority + "/secure");

    // The name the browser asks for through SNI decides the certificate.
    BrowserClient bySni(proxy->port());
    ASSERT_TRUE(bySni.openTunnel(hostOf(server), pem, "localhost", "localhost", error)) << error;
    EXPECT_TRUE(problems().empty());
}

TEST_F(ProxyTest, AbandonedHandshakesAreQuietAndTheNextOneWorks) {
    TlsIdentity identity;
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, "fine")));
    auto proxy                  = startProxy();
    const std::string authority = hostOf(server);
    const std::string connect =
        "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n";
    {
        BrowserClient leaves(proxy->port()); // closes right after the 200
        ASSERT_TRUE(leaves.exchange(connect, true));
    }
    {
        BrowserClient partial(proxy->port()); // a client hello cut short
        ASSERT_TRUE(partial.exchange(connect, true));
        ASSERT_TRUE(partial.send(std::string("\x16\x03\x01\x00", 4)));
    }
    {
        // Trusts another authority, so it refuses the certificate with an alert.
        BrowserClient refuses(proxy->port());
        std::string error;
        EXPECT_FALSE(
            refuses.openTunnel(authority, identity.certificatePem(), "127.0.0.1", "", error));
    }
    BrowserClient good(proxy->port());
    std::string error;
    ASSERT_TRUE(
        good.openTunnel(authority, proxy->authorityCertificatePem(), "127.0.0.1", "", error))
        << error;
    const auto reply = good.exchange(requestText("GET", "/", authority));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, "fine");
    proxy->stop(); // every connection's thread has ended: nothing more can be reported
    EXPECT_TRUE(problems().empty());
}

TEST_F(ProxyTest, PlainHttpThroughATunnelGoesOnWithoutTls) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "plain inside")));
    auto proxy                  = startProxy();
    const std::string authority = hostOf(server);
    BrowserClient browser(proxy->port()); // as browsers do for ws:// addresses
    ASSERT_TRUE(browser.exchange(
        "CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n", true));
    const auto reply =
        browser.exchange(requestText("GET", "/live", authority, "Accept: text/html\r\n"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->body, "plain inside");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].target, "/live");
    ASSERT_EQ(navigations().size(), 1u);
    EXPECT_EQ(navigations()[0].url, server.origin() + "/live");
    proxy->stop();
    EXPECT_TRUE(problems().empty());
}

TEST_F(ProxyTest, TheAuthorityIsKeptPrivateAndReusedByTheNextProxy) {
    auto first             = startProxy();
    const std::string pem  = first->authorityCertificatePem();
    const std::string path = first->authorityCertificatePath();
    first->stop();
    EXPECT_EQ(path, (folder_ / "ca-cert.pem").string());

    struct stat status {};
    ASSERT_EQ(::stat((folder_ / "ca-key.pem").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder_.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    std::ifstream file(path);
    const std::string onDisk((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(onDisk, pem);

    // The second proxy signs with the same authority: a browser trusting the first one's
    // certificate accepts it.
    auto second = startProxy();
    EXPECT_EQ(second->authorityCertificatePem(), pem);
    TlsIdentity identity;
    FixtureServer server(&identity);
    server.setDefault(FixtureServer::reply(httpResponse(200, "again")));
    BrowserClient browser(second->port());
    std::string error;
    EXPECT_TRUE(browser.openTunnel(hostOf(server), pem, "127.0.0.1", "", error)) << error;
    second->stop();

    // A damaged key is reported by name and left alone.
    std::ofstream((folder_ / "ca-key.pem").string()) << "not a key";
    RecordingProxy::Options damagedOptions;
    damagedOptions.authorityFolder = folder_.string();
    RecordingProxy damaged(damagedOptions);
    EXPECT_FALSE(damaged.start(error));
    EXPECT_NE(error.find("ca-key.pem"), std::string::npos) << error;
    std::ifstream key((folder_ / "ca-key.pem").string());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(key)), {}), "not a key");
}

TEST_F(ProxyTest, AnUnreachableServerGets502AndAProblemReport) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "alive")));
    auto proxy                 = startProxy();
    const std::string deadHost = "127.0.0.1:" + std::to_string(closedPort());
    BrowserClient browser(proxy->port());

    const auto failed = browser.exchange(requestText("GET", "http://" + deadHost + "/x", deadHost));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 502);
    EXPECT_NE(failed->body.find(deadHost), std::string::npos) << failed->body;
    EXPECT_NE(failed->body.find("refused"), std::string::npos) << failed->body;
    // The connection stays usable.
    const auto alive = browser.exchange(requestText("GET", server.origin() + "/", hostOf(server)));
    ASSERT_TRUE(alive);
    EXPECT_EQ(alive->body, "alive");

    // Inside a tunnel the browser learns it the same way.
    BrowserClient tunnel(proxy->port());
    std::string error;
    ASSERT_TRUE(
        tunnel.openTunnel(deadHost, proxy->authorityCertificatePem(), "127.0.0.1", "", error))
        << error;
    const auto tunnelled = tunnel.exchange(requestText("GET", "/", deadHost));
    ASSERT_TRUE(tunnelled);
    EXPECT_EQ(tunnelled->status, 502);

    const auto reported = problems();
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_NE(reported[0].find(deadHost), std::string::npos) << reported[0];
}

TEST_F(ProxyTest, HugeHeadersAreRefusedWith431) {
    auto proxy = startProxy();
    BrowserClient browser(proxy->port());
    const std::string huge =
        "GET http://127.0.0.1:9/ HTTP/1.1\r\nX-Big: " + std::string(1100 * 1024, 'a') + "\r\n\r\n";
    browser.send(huge); // the proxy may answer before it has all of it
    const auto reply = browser.read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 431);
    EXPECT_TRUE(browser.closedByPeer());
}

TEST_F(ProxyTest, AnUpstreamProxyCarriesPlainAndTunnelledRequests) {
    TlsIdentity identity({.commonName = "secure.invalid", .dnsNames = {"secure.invalid"}});
    FixtureServer upstream;
    upstream.setDefault(FixtureServer::reply(httpResponse(200, "via upstream")));
    FixtureServer tunnelling;
    std::promise<std::string> connectLine;
    tunnelling.setRawHandler([&](RawChannel& channel) {
        const auto head = channel.readUntil("\r\n\r\n", 5s);
        connectLine.set_value(head ? head->substr(0, head->find("\r\n")) : "");
        if (!head || !channel.send("HTTP/1.1 200 Connection established\r\n\r\n") ||
            !channel.startTls(identity, 5s))
            return;
        if (channel.readRequest(5s)) channel.send(httpResponse(200, "tunnelled"));
    });

    RecordingProxy::Options options = trustingSites();
    options.upstream                = [&](const std::string& scheme, const std::string&) {
        return hostOf(scheme == "https" ? tunnelling : upstream);
    };
    auto proxy = startProxy(options);

    BrowserClient browser(proxy->port());
    const auto plain = browser.exchange(requestText("GET", "http://example.invalid:80/page",
                                                    "example.invalid", "Accept: text/html\r\n"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->body, "via upstream");
    ASSERT_EQ(upstream.requests().size(), 1u);
    EXPECT_EQ(upstream.requests()[0].target, "http://example.invalid/page");

    BrowserClient secure(proxy->port());
    std::string error;
    ASSERT_TRUE(secure.openTunnel("secure.invalid:443", proxy->authorityCertificatePem(),
                                  "secure.invalid", "secure.invalid", error))
        << error;
    const auto tunnelled =
        secure.exchange(requestText("GET", "/s", "secure.invalid", "Sec-Fetch-Mode: navigate\r\n"));
    ASSERT_TRUE(tunnelled);
    EXPECT_EQ(tunnelled->body, "tunnelled");
    auto line = connectLine.get_future();
    ASSERT_EQ(line.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(line.get(), "CONNECT secure.invalid:443 HTTP/1.1");

    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].url, "http://example.invalid/page"); // the default port left out
    EXPECT_EQ(captured[1].url, "https://secure.invalid/s");
}

TEST_F(ProxyTest, StopEndsOpenConnectionsAndWaitingRequestsPromptly) {
    FixtureServer server;
    server.route("/silent", FixtureServer::silent());
    TlsIdentity identity;
    FixtureServer secureServer(&identity);
    auto proxy = startProxy();

    BrowserClient idle(proxy->port());
    ASSERT_TRUE(idle.connected());
    BrowserClient waiting(proxy->port());
    ASSERT_TRUE(waiting.send(requestText("GET", server.origin() + "/silent", hostOf(server))));
    ASSERT_TRUE(server.waitForRequests(1, 5s));
    BrowserClient tunnel(proxy->port());
    std::string error;
    ASSERT_TRUE(tunnel.openTunnel(hostOf(secureServer), proxy->authorityCertificatePem(),
                                  "127.0.0.1", "", error))
        << error;

    std::promise<void> stopped;
    std::thread stopper([&] {
        proxy->stop();
        stopped.set_value();
    });
    const bool returned = stopped.get_future().wait_for(5s) == std::future_status::ready;
    if (!returned) {
        stopper.detach();
        (void)proxy.release(); // still in use by the stuck thread
        FAIL() << "stop() did not return within five seconds";
    }
    stopper.join();
    EXPECT_TRUE(idle.closedByPeer());
    EXPECT_TRUE(waiting.closedByPeer());
    EXPECT_TRUE(tunnel.closedByPeer());
    EXPECT_FALSE(BrowserClient(proxy->port()).connected());
}

} // namespace
} // namespace torvex::test
