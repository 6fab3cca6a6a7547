#include "http/SystemProxy.h"

#include "api/Options.h"
#include "api/Output.h"
#include "api/TestSet.h"
#include "script/ScriptParser.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

using torvex::CTestSet;
using torvex::setOption;

namespace {

// The environment that readSystemProxy sees through fakeLookup.
std::map<std::string, std::string> fakeEnvironment;

char* fakeLookup(const char* name) {
    auto it = fakeEnvironment.find(name);
    return it == fakeEnvironment.end() ? nullptr : it->second.data();
}

// The proxy string found in the fake environment, or "none".
std::string proxyFrom(std::map<std::string, std::string> environment) {
    fakeEnvironment                          = std::move(environment);
    std::optional<torvex::SystemProxy> found = torvex::readSystemProxy(fakeLookup);
    return found ? found->proxy : "none";
}

} // namespace

class SystemProxy : public ::testing::Test {
protected:
    void TearDown() override { fakeEnvironment.clear(); }
};

TEST_F(SystemProxy, NoUsableVariableMeansNoProxy) {
    EXPECT_EQ(proxyFrom({}), "none");
    EXPECT_EQ(proxyFrom({{"no_proxy", "localhost"}}), "none");
    EXPECT_EQ(proxyFrom({{"http_proxy", ""}, {"https_proxy", "  "}}), "none");
    for (const char* bad : {"http://:8080", "http://user@", "gw:port", "gw:", "gw:0", "gw:65536",
                            "gw:123456", "gw:80x"})
        EXPECT_EQ(proxyFrom({{"http_proxy", bad}}), "none") << bad;
}

TEST_F(SystemProxy, HttpProxyGivesAPlainHttpProxy) {
    EXPECT_EQ(proxyFrom({{"http_proxy", "http://proxy:8080"}}), "http://proxy:8080");
    EXPECT_EQ(proxyFrom({{"http_proxy", "proxy:65535"}}), "http://proxy:65535");
    EXPECT_EQ(proxyFrom({{"HTTP_PROXY", "http://upper:3128"}}), "http://upper:3128");
    EXPECT_EQ(proxyFrom({{"http_proxy", "http://lower:1"}, {"HTTP_PROXY", "http://upper:2"}}),
              "http://lower:1");
    // An empty lower-case variable does not hide the upper-case one.
    EXPECT_EQ(proxyFrom({{"http_proxy", ""}, {"HTTP_PROXY", "http://upper:2"}}), "http://upper:2");
    // Credentials stay, a path and surrounding white space go, a missing port gets curl's 1080.
    EXPECT_EQ(proxyFrom({{"http_proxy", " http://u:p@gw.example:3128/path \n"}}),
              "http://u:p@gw.example:3128");
    EXPECT_EQ(proxyFrom({{"http_proxy", "http://gw.example"}}), "http://gw.example:1080");
}

TEST_F(SystemProxy, FirstOfHttpHttpsAndAllProxyDecides) {
    EXPECT_EQ(proxyFrom({{"http_proxy", "h:1"}, {"https_proxy", "s:2"}, {"all_proxy", "a:3"}}),
              "http://h:1");
    EXPECT_EQ(proxyFrom({{"https_proxy", "http://sp:443"}, {"all_proxy", "a:3"}}),
              "httpc://sp:443");
    EXPECT_EQ(proxyFrom({{"HTTPS_PROXY", "https://sp"}}), "httpc://sp:443");
    // An unusable earlier variable gives way to the next one.
    EXPECT_EQ(proxyFrom({{"http_proxy", "http://:1"}, {"https_proxy", "sp:2"}}), "httpc://sp:2");

    // all_proxy names its kind by scheme; SOCKS 5 without one.
    EXPECT_EQ(proxyFrom({{"all_proxy", "socks5://s:1080"}}), "socks5://s:1080");
    EXPECT_EQ(proxyFrom({{"ALL_PROXY", "s:1081"}}), "socks5://s:1081");
    EXPECT_EQ(proxyFrom({{"all_proxy", "socks5h://s"}}), "socks5://s:1080");
    EXPECT_EQ(proxyFrom({{"all_proxy", "socks4://s:1080"}}), "socks4://s:1080");
    EXPECT_EQ(proxyFrom({{"all_proxy", "http://hp:3128"}}), "http://hp:3128");
}

TEST_F(SystemProxy, NoProxyBecomesTheExceptionList) {
    fakeEnvironment                          = {{"http_proxy", "gw:1"},
                                                {"no_proxy", " localhost, .example.com,,10.0.0.0/8 ,<local>,"}};
    std::optional<torvex::SystemProxy> found = torvex::readSystemProxy(fakeLookup);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->exceptions, "localhost;*.example.com;10.0.0.0/8;<local>");
    EXPECT_TRUE(found->bypassLocal);

    fakeEnvironment = {{"http_proxy", "gw:1"}, {"NO_PROXY", "intranet"}};
    found           = torvex::readSystemProxy(fakeLookup);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->exceptions, "intranet");
    EXPECT_FALSE(found->bypassLocal);

    fakeEnvironment = {{"http_proxy", "gw:1"}};
    found           = torvex::readSystemProxy(fakeLookup);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->exceptions, "");
    EXPECT_FALSE(found->bypassLocal);
}

// With customproxy 0 every successful option assignment re-reads the real environment.
class SystemProxyOption : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : variables) {
            if (const char* value = std::getenv(name)) saved[name] = value;
            unsetenv(name);
        }
    }
    void TearDown() override {
        for (const char* name : variables) {
            auto it = saved.find(name);
            if (it == saved.end())
                unsetenv(name);
            else
                setenv(name, it->second.c_str(), 1);
        }
    }

    static constexpr const char* variables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                                "HTTPS_PROXY", "all_proxy",  "ALL_PROXY",
                                                "no_proxy",    "NO_PROXY"};
    std::map<std::string, std::string> saved;
    torvex::test::CapturedOutput out; // the engine's messages during the test
    CTestSet t;
};

TEST_F(SystemProxyOption, CustomProxyZeroMirrorsTheEnvironmentAfterEveryAssignment) {
    setenv("http_proxy", "http://envproxy:3128", 1);
    setenv("no_proxy", ".corp,<local>", 1);

    // The default customproxy 1 keeps the script's own values exactly.
    ASSERT_EQ(setOption(t, "proxy", "socks5://mine:1"), 1);
    EXPECT_EQ(t.proxy.view(), "socks5://mine:1");

    ASSERT_EQ(setOption(t, "customproxy", "0"), 1);
    EXPECT_EQ(t.proxy.view(), "http://envproxy:3128");
    EXPECT_EQ(t.proxyexceptions.view(), "*.corp;<local>");
    EXPECT_EQ(t.bypassproxy, 1);

    // Values given for the proxy options themselves are overwritten at once.
    ASSERT_EQ(setOption(t, "proxy", "socks5://mine:1"), 1);
    ASSERT_EQ(setOption(t, "proxyexceptions", "other"), 1);
    ASSERT_EQ(setOption(t, "bypassproxy", "0"), 1);
    EXPECT_EQ(t.proxy.view(), "http://envproxy:3128");
    EXPECT_EQ(t.proxyexceptions.view(), "*.corp;<local>");
    EXPECT_EQ(t.bypassproxy, 1);

    // Any later assignment picks up a changed environment.
    unsetenv("http_proxy");
    setenv("HTTPS_PROXY", "secure:8443", 1);
    setenv("no_proxy", "intranet", 1);
    ASSERT_EQ(setOption(t, "clients", "3"), 1);
    EXPECT_EQ(t.proxy.view(), "httpc://secure:8443");
    EXPECT_EQ(t.proxyexceptions.view(), "intranet");
    EXPECT_EQ(t.bypassproxy, 0);
    EXPECT_TRUE(out.empty());
}

TEST_F(SystemProxyOption, OnlySuccessfulAssignmentsOtherThanRateRefresh) {
    ASSERT_EQ(setOption(t, "proxy", "http://mine:1"), 1);
    ASSERT_EQ(setOption(t, "proxyexceptions", "keep"), 1);
    ASSERT_EQ(setOption(t, "bypassproxy", "0"), 1);

    // Without a system proxy only the proxy itself is emptied.
    ASSERT_EQ(setOption(t, "customproxy", "0"), 1);
    EXPECT_EQ(t.proxy.view(), "");
    EXPECT_EQ(t.proxyexceptions.view(), "keep");
    EXPECT_EQ(t.bypassproxy, 0);

    setenv("all_proxy", "socks5://gw:1080", 1);
    EXPECT_EQ(setOption(t, "nosuchoption", "1"), 0);
    EXPECT_EQ(setOption(t, "clients", "many"), 0);
    EXPECT_EQ(out.messages(),
              std::vector<std::string>{"Integer number expected as a value of clients"});
    EXPECT_EQ(setOption(t, "rate", "60"), 1);
    EXPECT_EQ(t.proxy.view(), "");

    ASSERT_EQ(setOption(t, "requests", "2"), 1);
    EXPECT_EQ(t.proxy.view(), "socks5://gw:1080");
    EXPECT_EQ(t.proxyexceptions.view(), "");
}

TEST_F(SystemProxyOption, AScriptCannotOverrideTheSystemProxyOnceCustomProxyIsZero) {
    setenv("http_proxy", "http://envproxy:3128", 1);
    ASSERT_EQ(torvex::parseScript(t, "[general]\ncustomproxy=0\nproxy=http://script:1\n"), 1);
    EXPECT_EQ(t.proxy.view(), "http://envproxy:3128");

    // Switching customproxy back keeps the last mirrored value and stops mirroring.
    ASSERT_EQ(torvex::parseScript(t, "customproxy=1\nproxy=http://script:1\n"), 1);
    EXPECT_EQ(t.proxy.view(), "http://script:1");
}
