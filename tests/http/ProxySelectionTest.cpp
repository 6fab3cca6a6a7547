#include "http/ProxySelection.h"

#include <gtest/gtest.h>

#include <string>

namespace torvex::test {
namespace {

struct ParseCase {
    std::string text;
    bool ok;
    int kind;
    std::string credentials;
    std::string host;
    int port;
};

TEST(ProxySelection, ParsesKindCredentialsHostAndPort) {
    const std::string longest(255, 'h');
    const ParseCase cases[] = {
        {"socks5://u:p@gw:1081", true, kSocks5Proxy, "u:p", "gw", 1081},
        {"gw.example", true, kHttpProxy, "", "gw.example", 8000},
        {"httpc:gw", true, kConnectProxy, "", "gw", 8000},
        {"http://proxy:8080", true, kHttpProxy, "", "proxy", 8080},
        {"socks4:s", true, kSocks4Proxy, "", "s", 1080},
        {"socks5:s", true, kSocks5Proxy, "", "s", 1080},
        {"socks5:://::gw", true, kSocks5Proxy, "", "gw", 1080},
        // Prefixes are case-sensitive and need their colon; otherwise the text is the host.
        {"HTTPC://gw", true, kHttpProxy, "", "HTTPC", 8000},
        {"httpc", true, kHttpProxy, "", "httpc", 8000},
        {"u@p@gw", true, kHttpProxy, "u", "p@gw", 8000},
        {"gw:8080/path", true, kHttpProxy, "", "gw", 8080},
        {"gw:", true, kHttpProxy, "", "gw", 8000},
        {"gw:2147483648", false, kDirect, "", "", 0},
        {"gw:65536", false, kDirect, "", "", 0},
        {"gw:65535", true, kHttpProxy, "", "gw", 65535},
        {"gw:99999999999999999999", false, kDirect, "", "", 0},
        {"http://", false, kDirect, "", "", 0},
        {"socks5://u:p@", false, kDirect, "", "", 0},
        {":80", false, kDirect, "", "", 0},
        {longest, true, kHttpProxy, "", longest, 8000},
        {longest + "h", false, kDirect, "", "", 0},
        {std::string(255, 'c') + "@gw", true, kHttpProxy, std::string(255, 'c'), "gw", 8000},
        {std::string(256, 'c') + "@gw:81", true, kHttpProxy, "", "gw", 81},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.text);
        ProxyChoice choice;
        ASSERT_EQ(parseProxyString(c.text, choice), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(choice.kind, c.kind);
        EXPECT_EQ(choice.credentials, c.credentials);
        EXPECT_EQ(choice.host, c.host);
        EXPECT_EQ(choice.port, c.port);
    }
}

struct SelectCase {
    const char* proxy;
    const char* exceptions;
    bool bypassLocal;
    const char* host;
    bool proxied;
};

TEST(ProxySelection, SendsLocalNamesExceptionsAndBadSettingsDirect) {
    const SelectCase cases[] = {
        {"gw:81", "", true, "intranet", false},
        {"gw:81", "", true, "intranet.", false},
        {"gw:81", "", true, ".", false},
        {"gw:81", "", true, "a.b.", true},
        {"gw:81", "", false, "intranet", true},
        {"gw:81", "*.local; 10.1.?.*", true, "a.b.local", false},
        {"gw:81", "*.local; 10.1.?.*", true, "A.B.LOCAL", false},
        {"gw:81", "*.local; 10.1.?.*", true, "10.1.5.7", false},
        {"gw:81", "*.local; 10.1.?.*", true, "10.1.55.7", true},
        {"gw:81", "*.local; 10.1.?.*", true, "www.example", true},
        {"gw:81", ";", true, "www.example", false},
        {"gw:81", " ;\t; ", true, "www.example", false},
        {"gw:81", "[a-c]*", true, "b.example", false},
        {"gw:81", "[a-c]*", true, "d.example", true},
        // Only leading white space is dropped from a pattern.
        {"gw:81", "x.example ;y", true, "x.example", true},
        {"gw:81", "x;\n y.example", true, "y.example", false},
        {"", "", true, "www.example", false},
        {"http://", "", true, "www.example", false},
    };
    for (const SelectCase& c : cases) {
        SCOPED_TRACE(std::string(c.exceptions) + " / " + c.host);
        ProxyChoice choice = selectProxy({c.proxy, c.exceptions, c.bypassLocal}, c.host);
        if (c.proxied) {
            EXPECT_EQ(choice.kind, kHttpProxy);
            EXPECT_EQ(choice.host, "gw");
            EXPECT_EQ(choice.port, 81);
        } else {
            EXPECT_EQ(choice.kind, kDirect);
            EXPECT_EQ(choice.host, "");
            EXPECT_EQ(choice.port, 0);
        }
    }
}

TEST(ProxySelection, ReturnsTheWholeParsedProxy) {
    ProxyChoice choice = selectProxy({"socks5://u:p@gw:1081", "*.local", true}, "www.example");
    EXPECT_EQ(choice.kind, kSocks5Proxy);
    EXPECT_EQ(choice.credentials, "u:p");
    EXPECT_EQ(choice.host, "gw");
    EXPECT_EQ(choice.port, 1081);
}

struct WildcardCase {
    const char* text;
    const char* pattern;
    bool caseSensitive;
    bool matches;
};

TEST(Wildcard, MatchesTheWholeText) {
    const WildcardCase cases[] = {
        {nullptr, "*", false, false},
        {"", "*", false, false},
        {"abc", nullptr, false, true},
        {"abc", "", false, true},
        {"abc", "abc", true, true},
        {"ABC", "abc", false, true},
        {"ABC", "abc", true, false},
        {"abc", "ab", false, false},
        {"ab", "abc", false, false},
        {"a", "a*", false, true},
        {"abc", "***c", false, true},
        {"abc", "a**b*c", false, true},
        {"abcabd", "*abd", false, true},
        {"mississippi", "m*iss*ppi", false, true},
        {"mississippi", "m*iss*ppx", false, false},
        {"abc", "a?c", false, true},
        {"ac", "a?c", false, false},
        {"abc", "*?", false, true},
        {"\xe9", "?", false, true},
        {"]", "]", false, true},
    };
    for (const WildcardCase& c : cases) {
        SCOPED_TRACE(std::string(c.text ? c.text : "(null)") + " ~ " +
                     (c.pattern ? c.pattern : "(null)"));
        EXPECT_EQ(wildcardMatch(c.text, c.pattern, c.caseSensitive), c.matches);
    }
}

TEST(Wildcard, MatchesSetsRangesAndRejectsMalformedSets) {
    const WildcardCase cases[] = {
        {"b", "[abc]", true, true},    {"d", "[abc]", true, false},
        {"d", "[!abc]", true, true},   {"b", "[!abc]", true, false},
        {"B", "[abc]", false, true},   {"B", "[abc]", true, false},
        {"b", "[a-c]", true, true},    {"b", "[c-a]", true, true},
        {"d", "[a-c]", true, false},   {"d", "[!a-c]", true, true},
        {"B", "[a-c]", false, true},   {"b", "[A-C]", false, true},
        {"B", "[a-c]", true, false},   {"\xe9", "[\x80-\xff]", true, true},
        {"-", "[a-]", false, false},   {"a", "[a-]", false, false},
        {"a", "[a-cx]", false, false}, {"-", "[-]", false, false},
        {"a", "[]", false, false},     {"a", "[!]", false, false},
        {"a", "[a", false, false},     {"[a", "[a", false, false},
        {"a", "[", false, false},      {"a", "[!", false, false},
        {"xa", "*[a", false, false},   {"x.b", "*.[abc]", false, true},
    };
    for (const WildcardCase& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
        EXPECT_EQ(wildcardMatch(c.text, c.pattern, c.caseSensitive), c.matches);
    }
}

} // namespace
} // namespace torvex::test
