#include "http/DynamicUri.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace torvex;

namespace {

struct Case {
    const char* uri;
    const char* body; // nullptr: no previous response
    std::optional<std::string> expected;
};

void check(const Case (&cases)[], std::size_t count, const NameTable<std::string>& variables) {
    for (std::size_t i = 0; i < count; ++i) {
        const Case& c   = cases[i];
        std::string out = "stale";
        bool resolved   = resolveDynamicUri(c.uri, ResponseText(c.body), variables, out);
        EXPECT_EQ(resolved, c.expected.has_value()) << c.uri << " on " << (c.body ? c.body : "-");
        EXPECT_EQ(out, c.expected.value_or("")) << c.uri << " on " << (c.body ? c.body : "-");
    }
}

} // namespace

TEST(DynamicUri, ReadsFormAction) {
    const std::string longPath = "/" + std::string(5000, 'p');
    const std::string longForm = "<form action=\"" + longPath + "\">";
    const Case cases[]         = {
                {"$action", "<form method=post action=\"/cgi/login.pl\">", "/cgi/login.pl"},
                {"$ACTION", "<FORM ACTION='http://h/path/x.asp?a=1'>", "/path/x.asp?a=1"},
                {"$actionIgnored", "<form ACTION=/upper ><form action=/lower >", "/lower"},
                {"$action", "<form action=/a/b c>", "/a/b"},
                {"$action", "<form action=\"/a\tb\">", "/a"},
                {"$action", "<form action=/a>text", "/a"}, // an unquoted value ends with its tag
                {"$action", "<form action=\"/caf\xC3\xA9\">", "/caf"},
                {"$action", "<form action=\"/open", "/open"},
                // An empty path would make a request line without a target: the option is sent instead.
                {"$action", "<form action=''/x'>", std::nullopt},
                // Only a lower-case http URL loses its host; anything else is copied as it is.
                {"$action", "<form action='HTTP://h/x'>", "HTTP://h/x"},
                {"$action", "<form action='https://h/x'>", "https://h/x"},
                {"$action", "<form action=\"http://host\">", std::nullopt},
                {"$action", "<form action=http://host:81?q=1 x>", std::nullopt},
                {"$action", "<form action=http://", std::nullopt},
                {"$action", "<form\taction=/x>", std::nullopt},
                {"$action", "<form Action=/x>", std::nullopt},
                {"$action", "", std::nullopt},
                {"$action", nullptr, std::nullopt},
                {"$action", longForm.c_str(), longPath.substr(0, 1023)},
    };
    check(cases, std::size(cases), NameTable<std::string>{});
}

TEST(DynamicUri, ReadsLinkAroundText) {
    const Case cases[] = {
        {"$href(Next page)", "<p><a class=x href=\"next.html?p=2\">Next page</a>", "next.html?p=2"},
        {"$HREF(Next page)", "<p><a class=x HREF='next.html?p=2'>Next page</a>", "next.html?p=2"},
        {"$href(Two)", "<a href=/one>One</a> <a href='http://h/two'>Two</a>", "/two"},
        {"$href(logout)", "<a href=/x?do=logout class=out>", "/x?do=logout"},
        // Both spellings are searched from the same '<', the lower case one first.
        {"$href(Go)", "<a HREF='/up'>Go</a><a href='/low'>x</a>", "/low"},
        {"$href(Two)", "<b>Two</b> <a href='/after'>x</a>", "/after"},
        // Without a '<' before the text the search starts at the body.
        {"$href(Next)", "Next href=/n", "/n"},
        {"$href(<a)", "<a href='/z'>", "/z"},
        {"$hrefNext", "<a href=\"/n\">Next</a>", "/n"},
        {"$href(Next", "<a href=\"/n\">Next</a>", "/n"},
        {"$href()", "<a href=\"/first\">", "/first"},
        {"$href(next)", "<a href=/n>Next</a>", std::nullopt},
        {"$href(Next)", "<a>Next</a>", std::nullopt},
        {"$href(Next)", nullptr, std::nullopt},
    };
    check(cases, std::size(cases), NameTable<std::string>{});
}

TEST(DynamicUri, ReadsVariables) {
    const std::string longDefault = "$var(sid," + std::string(2000, 'd') + ")";
    const std::string longName    = std::string(63, 'k');
    const std::string longVar     = "$var(" + longName + "extra)";
    const Case unset[]            = {
                   {"$var(sid,none)", nullptr, "none"},
                   {"$var(sid,a,b)tail", nullptr, "a,b"},
                   {"$var(sid,)", nullptr, std::nullopt},
                   {"$var(sid)", nullptr, std::nullopt},
                   {"$var(sid,none", nullptr, std::nullopt},
                   {"$var(sid", nullptr, std::nullopt},
                   {longDefault.c_str(), nullptr, std::string(1023, 'd')},
                   {"$link(sid)", "<a href=/x>sid</a>", std::nullopt},
                   {"$", nullptr, std::nullopt},
    };
    NameTable<std::string> variables;
    check(unset, std::size(unset), variables);

    variables.insert("sid", "abc");
    variables.insert("empty", "");
    variables.insert(longName.c_str(), "long");
    const Case set[] = {
        {"$var(sid,none)", nullptr, "abc"},    {"$VAR(sid)", nullptr, "abc"},
        {"$varsid)", nullptr, "abc"},          {"$var(sid,none", nullptr, "abc"},
        {"$var(sid", nullptr, std::nullopt},   {"$var(SID)", nullptr, std::nullopt},
        {"$var(empty,none)", nullptr, "none"}, {"$var(empty)", nullptr, std::nullopt},
        {longVar.c_str(), nullptr, "long"},
    };
    check(set, std::size(set), variables);
}
