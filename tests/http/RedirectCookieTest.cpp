// Following redirects and keeping cookies across the requests of one virtual user.
#include "http/ExchangeHelpers.h"

#include <chrono>
#include <string>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

class Redirect : public TransportTest {
protected:
    void SetUp() override { server.setDefault(FixtureServer::reply(httpResponse(200, "landed"))); }
    int port() const { return server.port(); }
    std::string portText() const { return std::to_string(server.port()); }
    std::string origin() const { return "http://127.0.0.1:" + portText(); }
    void redirect(const std::string& from, int status, const std::string& location,
                  const std::string& more = {}) {
        server.route(from, FixtureServer::reply(httpResponse(
                               status, "moved", "Location: " + location + "\r\n" + more)));
    }
    std::string sent(std::size_t index) const {
        auto requests = server.requests();
        return index < requests.size() ? requests[index].text : "<not sent>";
    }
    FixtureServer server;
};

TEST_F(Redirect, RelativeLocationIsFollowedAndLogged) {
    redirect("/a/b/page.asp", 302, "next.html");
    load(generalFor(port(), "[page]\n$uri=/a/b/page.asp?x=1\n"));
    ASSERT_GE(perform("page"), 0) << log.text();

    const std::string followed = "GET /a/b/next.html HTTP/1.1\r\n" + hostLine(port()) +
                                 "Referer: " + origin() +
                                 "/a/b/page.asp?x=1\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(sent(1), followed);
    EXPECT_EQ(previousBody(), "landed");
    EXPECT_EQ(user().currentUrl.view(), origin() + "/a/b/page.asp?x=1");
    EXPECT_EQ(testSet.sent.load(), 2);
    EXPECT_EQ(user().requestCount, 2);
    EXPECT_EQ(testSet.statuscounts[302].load(), 1);
    EXPECT_EQ(testSet.statuscounts[200].load(), 1);

    const std::string connecting =
        "\r\nConnecting to remote host: 127.0.0.1:" + portText() + "...\r\n";
    EXPECT_EQ(log.text(), connecting + "Request:\r\n" + sent(0) + "\r\nResponse:\r\n" +
                              httpResponse(302, "moved", "Location: next.html\r\n") + "\r\n" +
                              connecting + "\r\nRedirect:\r\n" + followed + "\r\nResponse:\r\n" +
                              httpResponse(200, "landed") + "\r\n");
    EXPECT_GE(log.flushes(), 1);
}

struct TargetRow {
    const char* name;
    const char* location; // "{P}" stands for the server's port
    const char* path;
};

class RedirectTarget : public Redirect, public testing::WithParamInterface<TargetRow> {};

TEST_P(RedirectTarget, PathComesFromTheLocation) {
    std::string location = GetParam().location;
    if (auto at = location.find("{P}"); at != std::string::npos)
        location.replace(at, 3, portText());
    redirect("/a/b/page.asp", 302, location);
    load(generalFor(port(), "[page]\n$uri=/a/b/page.asp?x=1\n"));
    ASSERT_GE(perform("page"), 0) << log.text();
    EXPECT_EQ(sent(1), std::string("GET ") + GetParam().path + " HTTP/1.1\r\n" + hostLine(port()) +
                           "Referer: " + origin() +
                           "/a/b/page.asp?x=1\r\nConnection: close\r\n\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Redirect, RedirectTarget,
    testing::Values(TargetRow{"Relative", "next.html", "/a/b/next.html"},
                    TargetRow{"RelativeWithQuery", "next.html?y=2", "/a/b/next.html?y=2"},
                    TargetRow{"RelativeWithSpaces", "sub dir/x y.html", "/a/b/sub+dir/x+y.html"},
                    TargetRow{"RelativeParent", "../up.html", "/a/b/../up.html"},
                    TargetRow{"Rooted", "/x", "/x"},
                    TargetRow{"RootedWithSpaces", "/my docs/file name.html",
                              "/my+docs/file+name.html"},
                    TargetRow{"LeadingSpacesSkipped", "   /spaced", "/spaced"},
                    TargetRow{"Absolute", "http://127.0.0.1:{P}/abs/y?z=1", "/abs/y?z=1"},
                    TargetRow{"AbsoluteUpperScheme", "HTTP://127.0.0.1:{P}/upper", "/upper"},
                    TargetRow{"AbsoluteWithoutPath", "http://127.0.0.1:{P}", "/"}),
    [](const testing::TestParamInfo<TargetRow>& info) { return info.param.name; });

TEST_F(Redirect, AbsoluteLocationMovesTheFollowingRedirects) {
    FixtureServer other;
    const std::string otherPort = std::to_string(other.port());
    other.route("/d/one", FixtureServer::reply(httpResponse(302, "", "Location: two\r\n")));
    other.setDefault(FixtureServer::reply(httpResponse(200, "other")));
    redirect("/start/page", 301, "http://127.0.0.1:" + otherPort + "/d/one");
    load(generalFor(port(), "[start]\n$uri=/start/page\n"));
    ASSERT_GE(perform("start"), 0) << log.text();
    EXPECT_EQ(previousBody(), "other");

    // Redirects keep the current URL, so "two" is read against the first request's directory,
    // but on the host the first redirect moved to.
    auto requests = other.requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string rest = "Host: 127.0.0.1:" + otherPort + "\r\nReferer: " + origin() +
                             "/start/page\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(requests[0].text, "GET /d/one HTTP/1.1\r\n" + rest);
    EXPECT_EQ(requests[1].text, "GET /start/two HTTP/1.1\r\n" + rest);
    EXPECT_EQ(testSet.requestPort(), other.port());
    EXPECT_EQ(testSet.statuscounts[301].load(), 1);
    EXPECT_EQ(testSet.statuscounts[302].load(), 1);
    EXPECT_EQ(testSet.sent.load(), 3);
}

TEST_F(Redirect, RedirectThroughProxyCarriesNoCredentials) {
    redirect("/a/page", 302, "next");
    redirect("/a/next", 302, "http://127.0.0.1/final");
    load("[general]\nserver=127.0.0.1\nport=8081\nproxy=http://ab:c@127.0.0.1:" + portText() +
         "\nauthorization=user:pass\n[page]\n$uri=/a/page\n");
    ASSERT_GE(perform("page"), 0) << log.text();
    EXPECT_EQ(sent(0), "GET http://127.0.0.1:8081/a/page HTTP/1.1\r\nHost: 127.0.0.1:8081\r\n"
                       "Authorization: Basic dXNlcjpwYXNz\r\n"
                       "Proxy-Authorization: Basic YWI6Yw==\r\n"
                       "Proxy-Connection: close\r\n\r\n");
    EXPECT_EQ(sent(1), "GET http://127.0.0.1:8081/a/next HTTP/1.1\r\nHost: 127.0.0.1:8081\r\n"
                       "Referer: http://127.0.0.1:8081/a/page\r\nProxy-Connection: close\r\n\r\n");
    EXPECT_EQ(sent(2), "GET http://127.0.0.1/final HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                       "Referer: http://127.0.0.1:8081/a/page\r\nProxy-Connection: close\r\n\r\n");
}

TEST_F(Redirect, ConnectionHeaderFollowsTheOptions) {
    redirect("/r", 302, "/landing");
    load("[general]\nserver=localhost\nport=" + portText() +
         "\nkeepalive=0\n[wants]\n$uri=/r\n$keepalive=1\n[refuses]\n$uri=/r\n");
    ASSERT_GE(perform("wants"), 0) << log.text();
    EXPECT_EQ(sentHeader(sent(0), "Connection"), "Keep-Alive");
    EXPECT_EQ(sentHeader(sent(1), "Connection"), "close");

    option("keepalive", "1");
    ASSERT_GE(perform("refuses"), 0) << log.text();
    EXPECT_EQ(sentHeader(sent(2), "Connection"), "close");
    EXPECT_EQ(sentHeader(sent(3), "Connection"), "Keep-Alive");

    // A configured proxy gives the redirect the proxy form even when the host bypasses it.
    option("proxy", ("127.0.0.1:" + std::to_string(closedPort())).c_str());
    ASSERT_GE(perform("refuses"), 0) << log.text();
    EXPECT_EQ(sentHeader(sent(4), "Connection"), "close");
    EXPECT_EQ(sentHeader(sent(5), "Proxy-Connection"), "Keep-Alive");
    EXPECT_EQ(sentHeader(sent(5), "Connection"), "<none>");
}

TEST_F(Redirect, KeptConnectionCarriesTheRedirect) {
    redirect("/r", 302, "/landing");
    load(generalFor(port(), "keepalive=1\n[r]\n$uri=/r\n"));
    ASSERT_GE(perform("r"), 0) << log.text();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(sentHeader(requests[1].text, "Connection"), "Keep-Alive");
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 1) << log.text();
}

TEST_F(Redirect, NoredirMakesTheRedirectFinal) {
    redirect("/r", 302, "/landing");
    load(generalFor(port(), "noredir=1\n[r]\n$uri=/r\n"));
    ASSERT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "moved");
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(testSet.sent.load(), 1);
}

TEST_F(Redirect, RedirectWithoutLocationIsFinal) {
    server.route("/perm", FixtureServer::reply(httpResponse(301, "gone")));
    server.route("/temp", FixtureServer::reply(httpResponse(302, "gone")));
    load(generalFor(port(), "[perm]\n$uri=/perm\n[temp]\n$uri=/temp\n"));
    for (const char* name : {"perm", "temp"}) {
        SCOPED_TRACE(name);
        EXPECT_GE(perform(name), 0) << log.text();
        EXPECT_EQ(previousBody(), "gone");
    }
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(testSet.sent.load(), 2);
}

TEST_F(Redirect, ChainCountsEveryResponse) {
    redirect("/one", 301, "/two");
    redirect("/two", 302, "/three");
    load(generalFor(port(), "[one]\n$uri=/one\n"));
    ASSERT_GE(perform("one"), 0) << log.text();
    EXPECT_EQ(testSet.sent.load(), 3);
    EXPECT_EQ(user().requestCount, 3);
    EXPECT_EQ(testSet.statuscounts[301].load(), 1);
    EXPECT_EQ(testSet.statuscounts[302].load(), 1);
    EXPECT_EQ(testSet.statuscounts[200].load(), 1);
    EXPECT_EQ(countOf(log.text(), "\r\nRedirect:\r\n"), 2);
}

TEST_F(Redirect, ErrorAfterRedirectSkipsTheContentCheck) {
    redirect("/r", 302, "/missing");
    server.route("/missing", FixtureServer::reply(httpResponse(404, "fine")));
    load(generalFor(port(),
                    "[passes]\n$uri=/r\n$fail=/never/\n[negated]\n$uri=/r\n$fail=!/fine/\n"));
    EXPECT_EQ(perform("passes"), -2);
    EXPECT_EQ(perform("negated"), -2);
    EXPECT_EQ(testSet.statuscounts[404].load(), 2);
}

TEST_F(Redirect, FailedRedirectIsTheOutcome) {
    const int closed = closedPort();
    redirect("/r", 302, "http://127.0.0.1:" + std::to_string(closed) + "/x");
    load(generalFor(port(), "[r]\n$uri=/r\n"));
    EXPECT_EQ(perform("r"), -1);
    EXPECT_NE(log.text().find("Failed to connect to remote host: 127.0.0.1:" +
                              std::to_string(closed) + ".\r\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(testSet.sent.load(), 2);
}

TEST_F(Redirect, RedirectTimeCountsWhenSummed) {
    redirect("/r", 302, "/slow");
    server.route("/slow", [](ReplyChannel& channel, const RecordedRequest&) {
        if (channel.pause(400ms)) channel.send(httpResponse(200, "slow"));
    });
    load(generalFor(port(), "round=0\n[r]\n$uri=/r\n"));
    const int summed = perform("r");
    EXPECT_GE(summed, 350000) << log.text();
    option("sumredirecttime", "0");
    const int alone = perform("r");
    EXPECT_GE(alone, 0) << log.text();
    EXPECT_LT(alone, 350000);
}

// --- Cookies ---

class Cookies : public Redirect {
protected:
    void step(const std::string& target, const std::string& setCookies) {
        server.route(target, FixtureServer::reply(httpResponse(200, "ok", setCookies)));
    }
    std::string cookiesSent(std::size_t index) const { return sentHeader(sent(index), "Cookie"); }
};

TEST_F(Cookies, JarFollowsSetCookieAcrossRequests) {
    step("/s1", "Set-Cookie: a=1; path=/\r\n"
                "Set-Cookie: b=2; Expires=Wed, 21 Oct 2037 07:28:00 GMT\r\n"
                "Set-Cookie: c=3; Secure; HttpOnly\r\n");
    // replaced, removed, and a flag before max-age=0 that leaves d without value
    step("/s2", "Set-Cookie: a=7\r\nSet-Cookie: b=; path=/\r\n"
                "Set-Cookie: d=4; HttpOnly; Max-Age=0\r\n");
    step("/s3", "Set-Cookie: e=5; Secure; f=6\r\n");
    // max-age=0 before any name does nothing; names are case-sensitive; max-age=10 keeps; a
    // blank value adds nothing
    step("/s4", "Set-Cookie: Max-Age=0\r\nSet-Cookie: A=9; max-age=10\r\n"
                "Set-Cookie: f=; Path=/\r\nSet-Cookie: n=  \r\n");
    // the most recent name carries over to the next header line; the value keeps its space; a
    // valueless cookie gets its value back in its place
    step("/s5", "Set-Cookie: c=3\r\nSet-Cookie: max-age=0\r\nSet-Cookie: k= v\r\n"
                "Set-Cookie: d=8\r\n");
    load(generalFor(port(), "[s1]\n$uri=/s1\n[s2]\n$uri=/s2\n[s3]\n$uri=/s3\n[s4]\n$uri=/s4\n"
                            "[s5]\n$uri=/s5\n[end]\n$uri=/end\n"));
    for (const char* name : {"s1", "s2", "s3", "s4", "s5", "end"})
        ASSERT_GE(perform(name), 0) << name << "\n" << log.text();

    EXPECT_EQ(cookiesSent(0), "<none>");
    EXPECT_EQ(cookiesSent(1), "a=1;b=2;c=3");
    EXPECT_EQ(cookiesSent(2), "a=7;c=3;"); // d follows without value
    EXPECT_EQ(cookiesSent(3), "a=7;c=3;e=5;f=6");
    EXPECT_EQ(cookiesSent(4), "a=7;c=3;e=5;A=9");
    EXPECT_EQ(cookiesSent(5), "a=7;d=8;e=5;A=9;k= v");
}

TEST_F(Cookies, RedirectResponseSetsCookiesForTheRedirect) {
    redirect("/login", 302, "/home", "Set-Cookie: sid=abc; path=/\r\n");
    load(generalFor(port(), "[login]\n$uri=/login\n"));
    ASSERT_GE(perform("login"), 0) << log.text();
    EXPECT_EQ(cookiesSent(0), "<none>");
    EXPECT_EQ(cookiesSent(1), "sid=abc");
}

TEST_F(Cookies, RejectedResponseSetsNoCookie) {
    server.route("/missing",
                 FixtureServer::reply(httpResponse(404, "no", "Set-Cookie: sid=abc\r\n")));
    load(generalFor(port(), "[missing]\n$uri=/missing\n[next]\n$uri=/next\n"));
    EXPECT_EQ(perform("missing"), -2);
    ASSERT_GE(perform("next"), 0) << log.text();
    EXPECT_EQ(cookiesSent(1), "<none>");
}

} // namespace
} // namespace torvex::test

namespace torvex::test {
namespace {

// A server that redirects forever, or to a port that cannot exist, must not hold the user.
TEST_F(Redirect, EndlessRedirectsStopAfterTwenty) {
    redirect("/loop", 302, "/loop");
    load(generalFor(port(), "[r]\n$uri=/loop\n"));
    EXPECT_EQ(perform("r"), -2);
    EXPECT_EQ(testSet.sent.load(), 21);
    EXPECT_EQ(testSet.statuscounts[302].load(), 21);
    EXPECT_EQ(countOf(log.text(), "Error: more than 20 redirects.\r\n"), 1) << log.text();
}

TEST_F(Redirect, LocationWithAPortPastTheLastTcpPortFails) {
    redirect("/p", 302, "http://127.0.0.1:109907/x");
    load(generalFor(port(), "[r]\n$uri=/p\n"));
    EXPECT_EQ(perform("r"), -1);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_NE(
        log.text().find("Error: bad port in redirect location http://127.0.0.1:109907/x.\r\n"),
        std::string::npos)
        << log.text();
}

} // namespace
} // namespace torvex::test
