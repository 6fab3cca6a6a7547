// Server redirects while recording: where a Location leads, how long the proxy remembers it, and
// that only the navigation the tester started is reported, whichever host the redirect goes to.
#include "http/support/FixtureServer.h"
#include "http/support/TlsIdentity.h"
#include "recorder/BrowserClient.h"
#include "recorder/HttpHead.h"
#include "recorder/ProxyTestSupport.h"
#include "recorder/RedirectMemory.h"

#include <gtest/gtest.h>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

TEST(ResolveLocationTest, ResolvesEveryFormOfReferenceAsABrowserDoes) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://Other.Example:80/x#top", "http://other.example/x"},
        {"HTTPS://h:443", "https://h/"},
        {"https://[::1]:8443/v6", "https://[::1]:8443/v6"},
        {"//cdn:8080/y?z", "http://cdn:8080/y?z"},
        {"/x/../y/./z", "http://h/y/z"},
        {"c", "http://h/a/c"},
        {"../../../c", "http://h/c"},
        {".", "http://h/a/"},
        {"?p=2#f", "http://h/a/b?p=2"},
        {"", "http://h/a/b?q=1"},
        {"#only", "http://h/a/b?q=1"},
        {"\\back\\slash?q=\\", "http://h/back/slash?q=\\"},
        {"/a b/\xc3\xbc%7e?x y'\"", "http://h/a%20b/%C3%BC%7e?x%20y%27%22"},
    };
    for (const auto& [location, expected] : cases)
        EXPECT_EQ(resolveLocation("http://h/a/b?q=1", location), expected) << location;
    EXPECT_EQ(resolveLocation("https://h:8443/", "//x/y"), "https://x/y");
    for (const char* refused : {"ftp://h/x", "javascript:go()", "http:nohost", "http://a b/"})
        EXPECT_EQ(resolveLocation("http://h/", refused), std::nullopt) << refused;
}

TEST(RedirectMemoryTest, RemembersRedirectTargetsOnceForAWhileAndBoundedInNumber) {
    auto answer = [](int status, const std::string& location) {
        ResponseHead head;
        const std::string field = location.empty() ? "" : "Location: " + location + "\r\n";
        EXPECT_TRUE(parseResponseHead(
            "HTTP/1.1 " + std::to_string(status) + " X\r\n" + field + "\r\n", head));
        return head;
    };
    RedirectMemory memory;
    const auto start = RedirectMemory::Clock::now();
    for (int status : {301, 302, 303, 307, 308})
        memory.noteAnswer("http://h/", answer(status, "/" + std::to_string(status)), start);
    for (int status : {300, 304, 200, 201})
        memory.noteAnswer("http://h/", answer(status, "/" + std::to_string(status)), start);
    memory.noteAnswer("http://h/", answer(302, ""), start);
    for (int status : {301, 302, 303, 307, 308}) {
        EXPECT_TRUE(memory.takeTarget("http://h/" + std::to_string(status), start)) << status;
        EXPECT_FALSE(memory.takeTarget("http://h/" + std::to_string(status), start)) << status;
    }
    for (int status : {300, 304, 200, 201})
        EXPECT_FALSE(memory.takeTarget("http://h/" + std::to_string(status), start)) << status;

    // Two redirects to one place are followed twice; a target waiting too long is dropped.
    memory.noteAnswer("http://h/", answer(302, "/twice"), start);
    memory.noteAnswer("http://h/", answer(302, "/twice"), start + 1s);
    memory.noteAnswer("http://h/", answer(302, "/late"), start);
    EXPECT_TRUE(memory.takeTarget("http://h/twice", start + 29s));
    EXPECT_FALSE(memory.takeTarget("http://h/late", start + RedirectMemory::kLifetime));
    EXPECT_TRUE(memory.takeTarget("http://h/twice", start + RedirectMemory::kLifetime));

    // Past the capacity the oldest go first.
    for (std::size_t i = 0; i <= RedirectMemory::kCapacity; ++i)
        memory.noteAnswer("http://h/", answer(307, "/n" + std::to_string(i)), start);
    EXPECT_FALSE(memory.takeTarget("http://h/n0", start));
    EXPECT_TRUE(memory.takeTarget("http://h/n1", start));
    EXPECT_TRUE(memory.takeTarget("http://h/n" + std::to_string(RedirectMemory::kCapacity), start));
}

FixtureServer::Handler redirect(int status, const std::string& location) {
    return FixtureServer::reply(httpResponse(status, "", "Location: " + location + "\r\n"));
}

const std::string kNavigate = "Sec-Fetch-Mode: navigate\r\n";

TEST_F(ProxyTest, TheRequestsFollowingRedirectsAreForwardedButNotReported) {
    FixtureServer site, other;
    site.route("/old", redirect(302, "/new"));
    site.route("/new", FixtureServer::reply(httpResponse(200, "new")));
    site.route("/form", redirect(303, other.origin() + "/done#top"));
    other.route("/done", FixtureServer::reply(httpResponse(200, "done")));
    auto proxy = startProxy();
    BrowserClient browser(proxy->port());
    const std::string host = hostOf(site);

    const auto moved =
        browser.exchange(requestText("GET", site.origin() + "/old", host, kNavigate));
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->header("Location"), "/new");
    EXPECT_EQ(browser.exchange(requestText("GET", site.origin() + "/new", host, kNavigate))->body,
              "new");
    ASSERT_EQ(browser
                  .exchange(requestText("POST", site.origin() + "/form", host,
                                        kNavigate + "Content-Type: text/plain\r\n", "a=1"))
                  ->status,
              303);
    BrowserClient toOther(proxy->port()); // another host, another connection
    EXPECT_EQ(
        toOther.exchange(requestText("GET", other.origin() + "/done", hostOf(other), kNavigate))
            ->body,
        "done");

    ASSERT_EQ(site.requests().size(), 3u);
    ASSERT_EQ(other.requests().size(), 1u);
    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].url, site.origin() + "/old");
    EXPECT_EQ(captured[1].url, site.origin() + "/form");
    EXPECT_EQ(captured[1].body, "a=1");

    // Once followed, the target is an ordinary page again.
    browser.exchange(requestText("GET", site.origin() + "/new", host, kNavigate));
    ASSERT_EQ(navigations().size(), 3u);
    EXPECT_EQ(navigations()[2].url, site.origin() + "/new");
}

TEST_F(ProxyTest, AChainOfRedirectsInsideATunnelReportsItsFirstRequestOnly) {
    TlsIdentity identity;
    FixtureServer server(&identity);
    server.route("/a", redirect(302, "b/c?x=1"));
    server.route("/b/c", redirect(307, "../final"));
    server.route("/final", FixtureServer::reply(httpResponse(200, "final")));
    server.route("/picture", redirect(302, "/final"));
    RecordingProxy::Options options = trustingSites();
    options.markedOnly = true; // as the embedded browser, which hands its mark on to redirects
    auto proxy         = startProxy(options);
    BrowserClient browser(proxy->port());
    std::string error;
    ASSERT_TRUE(browser.openTunnel(hostOf(server), proxy->authorityCertificatePem(), "127.0.0.1",
                                   "", error))
        << error;
    const std::string host = hostOf(server);
    const std::string mark = "X-Torvex-Navigation: main\r\n";
    for (const char* path : {"/a", "/b/c?x=1", "/final"})
        ASSERT_TRUE(browser.exchange(requestText("GET", path, host, mark))) << path;
    // A picture's redirect is not remembered: a later navigation to its target counts.
    ASSERT_TRUE(browser.exchange(requestText("GET", "/picture", host)));
    ASSERT_TRUE(browser.exchange(requestText("GET", "/final", host, mark)));

    EXPECT_EQ(server.requests().size(), 5u);
    const auto captured = navigations();
    ASSERT_EQ(captured.size(), 2u);
    EXPECT_EQ(captured[0].url, "https://" + host + "/a");
    EXPECT_EQ(captured[1].url, "https://" + host + "/final");
}

} // namespace
} // namespace torvex::test
