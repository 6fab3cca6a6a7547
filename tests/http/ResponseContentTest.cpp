// What a request makes of the previous response's body: the content check and dynamic URIs.
#include "http/ExchangeHelpers.h"

#include <string>

namespace torvex::test {
namespace {

class ResponseContent : public TransportTest {
protected:
    void SetUp() override { server.setDefault(FixtureServer::reply(httpResponse(200, "ok"))); }
    int port() const { return server.port(); }
    std::string portText() const { return std::to_string(server.port()); }
    std::string lastTarget() const {
        auto requests = server.requests();
        return requests.empty() ? "<nothing sent>" : requests.back().target;
    }
    FixtureServer server;
};

// --- Content check ---

struct CheckRow {
    const char* name;
    const char* failLine;
    const char* body;
    const char* headers;
    bool fails;
};

class ContentCheck : public ResponseContent, public testing::WithParamInterface<CheckRow> {};

TEST_P(ContentCheck, JudgesTheBody) {
    const CheckRow& row = GetParam();
    server.route("/r", FixtureServer::reply(httpResponse(200, row.body, row.headers)));
    load(generalFor(port(), std::string("[r]\n$uri=/r\n") + row.failLine + "\n"));
    const int outcome = perform("r");
    if (row.fails)
        EXPECT_EQ(outcome, -3);
    else
        EXPECT_GE(outcome, 0) << log.text();
    EXPECT_EQ(previousBody(), row.body); // the body stays readable either way
}

INSTANTIATE_TEST_SUITE_P(
    ResponseContent, ContentCheck,
    testing::Values(CheckRow{"Matches", "$fail=/error/", "an error occurred", "", true},
                    CheckRow{"DoesNotMatch", "$fail=/error/", "all fine", "", false},
                    CheckRow{"IgnoresCase", "$fail=/ERROR/i", "an error", "", true},
                    CheckRow{"HeadersAreNotChecked", "$fail=/error/", "all fine",
                             "X-Note: error\r\n", false},
                    CheckRow{"NegatedFound", "$fail=!/Welcome/", "Welcome back", "", false},
                    CheckRow{"NegatedMissing", "$fail=!/Welcome/", "Login failed", "", true}),
    [](const testing::TestParamInfo<CheckRow>& info) { return info.param.name; });

TEST_F(ResponseContent, CheckReadsTheFinalBodyOfARedirect) {
    server.route("/good", FixtureServer::reply(httpResponse(302, "error", "Location: /fine\r\n")));
    server.route("/bad", FixtureServer::reply(httpResponse(302, "fine", "Location: /error\r\n")));
    server.route("/error", FixtureServer::reply(httpResponse(200, "error")));
    load(
        generalFor(port(), "[good]\n$uri=/good\n$fail=/error/\n[bad]\n$uri=/bad\n$fail=/error/\n"));
    EXPECT_GE(perform("good"), 0) << log.text();
    EXPECT_EQ(perform("bad"), -3);
}

// --- Dynamic URIs ---

struct UriRow {
    const char* name;
    const char* page;     // body of the previous response
    const char* uri;      // $uri of the next request
    const char* variable; // value of the user variable sid, or none
    const char* target;   // what the next request asks for
};

class DynamicTarget : public ResponseContent, public testing::WithParamInterface<UriRow> {};

TEST_P(DynamicTarget, ComesFromThePreviousResponse) {
    const UriRow& row = GetParam();
    server.route("/page", FixtureServer::reply(httpResponse(200, row.page)));
    load(generalFor(port(), std::string("uri=/fallback\n[page]\n$uri=/page\n[next]\n$uri=") +
                                row.uri + "\n"));
    ASSERT_GE(perform("page"), 0) << log.text();
    if (row.variable) user().script.variables.assign("sid", row.variable);
    ASSERT_GE(perform("next"), 0) << log.text();
    EXPECT_EQ(lastTarget(), row.target);
    EXPECT_EQ(requestText().substr(0, requestText().find("\r\n")),
              std::string("GET ") + row.target + " HTTP/1.1");
}

INSTANTIATE_TEST_SUITE_P(
    ResponseContent, DynamicTarget,
    testing::Values(
        UriRow{"Action", "<form method=\"post\" action=\"/cgi/login.pl\">", "$action", nullptr,
               "/cgi/login.pl"},
        UriRow{"ActionUpperSingleQuotedAbsolute", "<FORM ACTION='http://h.example/path/x.asp?a=1'>",
               "$action", nullptr, "/path/x.asp?a=1"},
        UriRow{"ActionUnquotedEndsAtTagEnd", "<form action=/go>", "$action", nullptr, "/go"},
        UriRow{"ActionLowerCaseFirst",
               "<form ACTION=\"/upper\"></form><form action=\"/lower\"></form>", "$action", nullptr,
               "/lower"},
        UriRow{"FormNameAnyCase", "<form action=\"/go\">", "$ACTION", nullptr, "/go"},
        UriRow{"HrefSearchRunsPastTheTag", "<b>Next</b> <a href=\"/later\">x</a>", "$Href(Next)",
               nullptr, "/later"},
        UriRow{"ActionIgnoresTheRest", "<form action=\"/go\">", "$action(anything)", nullptr,
               "/go"},
        UriRow{"Href", "<p><a class=\"n\" href=\"next.html?p=2\">Next page</a></p>",
               "$href(Next page)", nullptr, "next.html?p=2"},
        UriRow{"HrefUpperCase", "<P><A HREF=\"next.html?p=2\">Next page</A></P>",
               "$href(Next page)", nullptr, "next.html?p=2"},
        UriRow{"HrefNearestTag", "<a href=\"/first\">One</a> <a href=\"/second\">Two</a>",
               "$href(Two)", nullptr, "/second"},
        UriRow{"HrefWithoutParentheses", "<a href=\"/first\">One</a> <a href=\"/second\">Two</a>",
               "$hrefTwo", nullptr, "/second"},
        UriRow{"HrefAbsoluteKeepsPath", "<a href=\"http://127.0.0.1:9/abs/z.html\">Z</a>",
               "$href(Z)", nullptr, "/abs/z.html"},
        UriRow{"HrefHttpsUnchanged", "<a href=\"https://h.example/s\">S</a>", "$href(S)", nullptr,
               "https://h.example/s"},
        UriRow{"HrefUnquotedEndsAtTagEnd", "<a href=/plain>Plain</a>", "$href(Plain)", nullptr,
               "/plain"},
        UriRow{"VarDefault", "x", "$var(sid,/none)", nullptr, "/none"},
        UriRow{"VarSet", "x", "$var(sid,/none)", "/abc", "/abc"},
        UriRow{"VarWithoutDefault", "x", "$var(sid)", "/abc", "/abc"},
        UriRow{"VarEmptyUsesDefault", "x", "$var(sid,/none)", "", "/none"},
        // Failures fall back to the uri option.
        UriRow{"VarUnsetNoDefault", "x", "$var(sid)", nullptr, "/fallback"},
        UriRow{"VarUnclosed", "x", "$var(sid", "/abc", "/fallback"},
        UriRow{"VarEmptyDefault", "x", "$var(sid,)", nullptr, "/fallback"},
        UriRow{"NoAction", "<form method=\"post\">", "$action", nullptr, "/fallback"},
        UriRow{"ActionMixedCaseNotFound", "<form Action=\"/x\">", "$action", nullptr, "/fallback"},
        UriRow{"EmptyAction", "<form action=\"\">", "$action", nullptr, "/fallback"},
        UriRow{"HrefTextMissing", "<a href=\"/x\">Here</a>", "$href(There)", nullptr, "/fallback"},
        UriRow{"UnknownForm", "<a href=\"/x\">Here</a>", "$link(Here)", nullptr, "/fallback"}),
    [](const testing::TestParamInfo<UriRow>& info) { return info.param.name; });

TEST_F(ResponseContent, WithoutPreviousBodyDynamicUriFallsBack) {
    server.route("/missing", FixtureServer::reply(httpResponse(404, "<form action=\"/go\">")));
    load(generalFor(port(), "uri=/fallback\n[action]\n$uri=$action\n[missing]\n$uri=/missing\n"));
    ASSERT_GE(perform("action"), 0) << log.text();
    EXPECT_EQ(lastTarget(), "/fallback");
    // A rejected response leaves no body to read.
    EXPECT_EQ(perform("missing"), -2);
    ASSERT_GE(perform("action"), 0) << log.text();
    EXPECT_EQ(lastTarget(), "/fallback");
}

TEST_F(ResponseContent, ResolvedUriBecomesTheReferer) {
    server.route("/page", FixtureServer::reply(httpResponse(200, "<form action=\"/cgi/x.pl\">")));
    load(generalFor(port(), "[page]\n$uri=/page\n[post]\n$uri=$action\n$method=post\nu=1\n"));
    ASSERT_GE(perform("page"), 0) << log.text();
    ASSERT_GE(perform("post"), 0) << log.text();
    EXPECT_EQ(lastTarget(), "/cgi/x.pl");
    EXPECT_EQ(user().currentUrl.view(), "http://127.0.0.1:" + portText() + "/cgi/x.pl");
    ASSERT_GE(perform("page"), 0) << log.text();
    EXPECT_EQ(server.requests().back().header("Referer"),
              "http://127.0.0.1:" + portText() + "/cgi/x.pl");
}

} // namespace
} // namespace torvex::test
