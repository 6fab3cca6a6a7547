#include "ScriptTestSupport.h"
#include "api/TestSet.h"
#include "script/ScriptParser.h"
#include "script/WorkingCopy.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using namespace torvex;

namespace {

using Lines = std::vector<std::string>;

bool matches(const CRegex& expression, const char* subject) {
    int pairs[20];
    int count = 10;
    return expression.match(subject, pairs, count);
}

class RequestLines : public ::testing::Test {
protected:
    void SetUp() override { t.globalvariables.assign("data", TORVEX_SCRIPT_TEST_DATA); }

    int parseFile(const char* name) { return parseScript(t, test::readData(name)); }
    RequestDefinition& definition(const char* name) {
        RequestDefinition* d = t.definitions.find(name);
        if (!d) throw std::runtime_error(std::string("no definition ") + name);
        return *d;
    }
    // The bodies of two uses of a definition by the first user.
    Lines twoBodies(const char* name) {
        user.counters          = initialCounters(t, 0);
        RequestDefinition copy = makeWorkingCopy(definition(name));
        std::string first      = test::bodyOf(user, copy);
        return {first, test::bodyOf(user, copy)};
    }

    CTestSet t;
    UserScriptState user;
    test::CapturedOutput out;
};

} // namespace

TEST_F(RequestLines, FailChecksAndExportRulesAreCompiled) {
    ASSERT_EQ(parseFile("requests.tvs"), 1);
    EXPECT_TRUE(out.empty());

    RequestDefinition& plain = definition("plain");
    ASSERT_NE(plain.failcheck, nullptr);
    EXPECT_EQ(plain.failnegated, 0);
    EXPECT_TRUE(matches(*plain.failcheck, "ERROR 42"));
    EXPECT_FALSE(matches(*plain.failcheck, "error x"));
    // Parameter lines are appended in the order written; $fail is none of them.
    Lines names;
    for (const Parameter& p : *plain.parameters) names.push_back(p.name);
    EXPECT_EQ(names, (Lines{"a", "b", "c"}));
    EXPECT_EQ(t.listcounter, 1);
    EXPECT_EQ(twoBodies("plain"), (Lines{"a=1&b=x&c=n5", "a=1&b=y&c=n5"}));

    RequestDefinition& negated = definition("negated");
    ASSERT_NE(negated.failcheck, nullptr);
    EXPECT_EQ(negated.failnegated, 1);
    EXPECT_TRUE(matches(*negated.failcheck, "Welcome home"));

    // A second rule for the same variable replaces the first.
    RequestDefinition& exports = definition("exports");
    ASSERT_NE(exports.exportvars, nullptr);
    EXPECT_EQ(exports.exportvars->size(), 2u);
    auto rule = [&](const char* variable, const char* subject) -> std::string {
        const ExportRule* r = exports.exportvars->find(variable);
        if (!r) return "none";
        return r->templateText + (matches(*r->expression, subject) ? " matches" : " differs");
    };
    EXPECT_EQ(rule("sid", "session=abc"), "s$1 matches");
    EXPECT_EQ(rule("sid", "sid=abc"), "s$1 differs");
    EXPECT_EQ(rule("tok en", "T=ab&x/y"), "<$1> matches");

    // A '$' line is read for a request option in its first 511 characters; without '=' there it
    // is ignored.
    CTestSet other;
    const std::string longName = "$" + std::string(505, 'b');
    ASSERT_EQ(parseScript(other, "[r]\n$" + std::string(600, 'a') + "=1\n" + longName + "=2\n"), 1);
    const ParameterList& parameters = *other.definitions.find("r")->parameters;
    ASSERT_EQ(parameters.size(), 1u);
    EXPECT_EQ(parameters[0].name, longName);
}

TEST_F(RequestLines, ContentFromAFileKeepsItsTextAndEvaluatesItsCalls) {
    ASSERT_EQ(parseFile("content_file.tvs"), 1);
    EXPECT_TRUE(out.empty()); // '$' and '&' in the text are no calls
    RequestDefinition& c = definition("c");
    ASSERT_NE(c.content, nullptr);
    EXPECT_EQ(c.content->length(), 0u);
    EXPECT_EQ(test::countNamed(*c.parameters, "pcontent"), 5);
    const std::string expected = "{\"user\":\"u0x\",\"n\":p5,\"q\":\"a&b $1 $$ 5$\"}\n";
    EXPECT_EQ(twoBodies("c"), (Lines{expected, expected}));
}

TEST_F(RequestLines, InlineContentBlocks) {
    ASSERT_EQ(parseFile("content_inline.tvs"), 1);
    EXPECT_TRUE(out.empty());

    // The terminator returns to the definition, whose later lines still apply.
    RequestDefinition& inl = definition("inline");
    ASSERT_NE(inl.headers, nullptr);
    EXPECT_EQ(inl.headers->view(), "X-After: 1\r\n");
    EXPECT_EQ(twoBodies("inline"),
              (Lines{"<a>p</a>\nsecond & line\n", "<a>q</a>\nsecond & line\n"}));

    // A second content replaces the first with its pieces.
    EXPECT_EQ(test::countNamed(*definition("twice").parameters, "pcontent"), 1);
    EXPECT_EQ(twoBodies("twice")[0], "new\n");

    // A section line inside a block starts that section.
    EXPECT_EQ(definition("after").uri, "/after");
    EXPECT_EQ(twoBodies("cut")[0].find("[after]"), std::string::npos);

    // A block still open at the end of the text keeps its lines unread.
    RequestDefinition& open = definition("open");
    ASSERT_NE(open.content, nullptr);
    EXPECT_EQ(open.content->view(), "text $clid(a)\n");
    EXPECT_EQ(test::countNamed(*open.parameters, "pcontent"), 0);
}

TEST_F(RequestLines, EachMalformedLineFailsTheParseWithItsMessage) {
    const std::string missing = std::string(TORVEX_SCRIPT_TEST_DATA) + "/missing.txt";
    // A $rxname value may name by a $rxname again, but not without end.
    std::string nestedRxName = "v";
    for (int i = 0; i < 9; ++i) nestedRxName = "$rxname(/a/,n)," + nestedRxName;
    struct Case {
        std::string line;
        std::string message;
    } cases[] = {
        {"$fail=/a(/", "Invalid regexp in $fail parameter"},
        {"$fail=!/a(/", "Invalid regexp in $fail parameter"},
        {"$exportvar=sid, /x/,$1", "Regexp expected at $exporvar=sid, /x/,$1"},
        {"$exportvar=sid,/x/", "Invalud $exportvar syntax"},
        {"$exportvar=sid,/x/i,", "Invalud $exportvar syntax"},
        {"$exportvar=sid,/a(/,$1", "Invalid regexp:/a(/"},
        {"$content=<body.txt", "Syntax error at line 3"},
        {"$xmlcontent=" + missing, "Failed to open request content file:" + missing},
        {"a=$NRand(1)", "Invalid usage of $NRand(1)"},
        {"a=$ARand(1)", "Invalid usage of (1)"},
        {"a=$Seq(id,5", "Invalid usage of $Seq"},
        {"a=$RegExp/x/", "Invalid regexp parameter usage"},
        {"a=$RegExp(/abc", "Invalid regexp parameter usage"},
        {"a=$RegExp(/x\\/,$1)", "Invalid regexp parameter usage"},
        {"a=$RegExp(/a(/,x)", "Invalid regular expression for regexp parameter: /a(/"},
        {"a=$rxname/x/,n),v", "Invalid $rxname usage"},
        {"a=$rxname(/x/,n)", "Invalid $rxname usage"},
        {"a=" + nestedRxName, "Invalid $rxname usage"},
        {"a=$var", "'(' expected in after $var"},
        {"a=$clid", "'(' expected in after $clid"},
        {"a=$list", "'(' expected in after $list"},
        {"a=ok&$Foo(1)", "Unknown $ parameter Foo(1)"},
    };
    for (const Case& c : cases) {
        CTestSet set;
        out.clear();
        // The parse stops at the first error: nothing after the bad line is read.
        EXPECT_EQ(parseScript(set, "[r]\nfirst=1\n" + c.line + "\nlater=1\n[s]\nclients=7\n"), 0)
            << c.line;
        EXPECT_EQ(out.messages(), Lines{c.message}) << c.line;
        EXPECT_EQ(set.definitions.find("s"), nullptr) << c.line;
        ASSERT_NE(set.definitions.find("r"), nullptr);
        EXPECT_EQ(test::countNamed(*set.definitions.find("r")->parameters, "later"), 0) << c.line;
    }

    // A bad pattern of $rxname is named in its message.
    CTestSet set;
    out.clear();
    EXPECT_EQ(parseScript(set, "[r]\na=$rxname(/a(/,n),v\n"), 0);
    EXPECT_EQ(out.only().rfind("Invalid regexp:", 0), 0u) << out.only();
}
