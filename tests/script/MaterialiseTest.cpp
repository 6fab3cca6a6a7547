#include "ScriptTestSupport.h"
#include "script/ContentParameters.h"
#include "script/SequenceArguments.h"
#include "script/VariableExport.h"
#include "script/WorkingCopy.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace torvex;

using Requests = test::ScriptFixture;

TEST_F(Requests, FormAndQueryBodiesJoinNameValuePairs) {
    EXPECT_EQ(body(def), "");
    param("a", "1");
    param("b", "$list(x,y)");
    def.method = 0;
    EXPECT_EQ(body(def), "a=1&b=x");
    def.method = 1;
    EXPECT_EQ(body(def), "a=1&b=y");

    // An override is sent as it stands, without being evaluated or encoded.
    def.overrides.assign("a", "$list(z) &");
    EXPECT_EQ(body(def), "a=$list(z) &&b=x");
    def.overrides.clear();

    param("x", "$rxname(/n=([a-z]+)/,p$1),v");
    EXPECT_EQ(body(def, "n=abc"), "a=1&b=y&pabc=v");
    EXPECT_EQ(body(def, "none"), "a=1&b=x&x=");
}

TEST_F(Requests, MultipartBodiesSeparateEachPartByTheBoundary) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("torvex-multipart-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string typed = (dir / "a.txt").string(), plain = (dir / "b.bin").string();
    std::ofstream(typed, std::ios::binary) << "text\r\nfile";
    std::ofstream(plain, std::ios::binary) << "\x01\x02";

    param("n", "v");
    param("up", "$File(" + typed + ",text/plain)");
    param("raw", "$file(" + plain + ")");
    param("h", "$Hidden(sid)");
    EXPECT_EQ(def.multipart, 1);
    EXPECT_EQ(def.method, 1);

    // The boundary comes before any part draws: the four numbers are written last drawn first.
    int drawn[4];
    for (int& d : drawn) d = ref.next(0xffff);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%04x%04x%04x%04x", drawn[3], drawn[2], drawn[1], drawn[0]);
    const std::string b    = std::string(29, '-') + hex;
    const std::string part = "--" + b + "\r\nContent-Disposition: form-data; name=\"";
    const std::string expected =
        part + "n\"\r\n\r\nv\r\n" + part + "up\"; filename=\"" + typed +
        "\"\r\nContent-Type: text/plain\r\n\r\ntext\r\nfile\r\n" + part + "raw\"; filename=\"" +
        plain + "\"\r\nContent-Type: application/octet-stream\r\n\r\n\x01\x02\r\n" + part +
        "h\"\r\n\r\na&amp;b\r\n--" + b + "--\r\n";
    EXPECT_EQ(body(def, "<input name=\"sid\" value=\"a&amp;b\">"), expected);
    EXPECT_EQ(def.boundary, b);
    fs::remove_all(dir);
}

TEST_F(Requests, ContentRequestsSendOnlyTheirContentPieces) {
    param("x", "1");
    def.content = std::make_unique<TextBuffer>(1024);
    // Parentheses inside a call are counted; a call never closed runs to the end.
    def.content->append("A=$clid(u)&B $x $$y $RegExp(/k=(a+)/,[$1]) $ClId(z");
    makeContentParameters(def, &slots);
    user.counters.resize(slots);
    EXPECT_EQ(def.content->length(), 0u);
    EXPECT_TRUE(def.posts());

    RequestDefinition copy = makeWorkingCopy(def);
    applyArguments(copy, "z=9)"); // an added parameter is no content either
    EXPECT_EQ(body(copy, "k=aa"), "A=u0&B $x $$y [aa] z0");

    // New content replaces the earlier pieces.
    def.content->append("$list(k,l)second");
    makeContentParameters(def, &slots);
    user.counters.resize(slots);
    EXPECT_EQ(body(def), "ksecond");
    EXPECT_EQ(body(def), "lsecond");
    EXPECT_TRUE(out.empty());
}

TEST_F(Requests, SequenceArgumentsLastForOneEntry) {
    def.uri = "/orig";
    param("q", "7");
    param("r", "$clid(u)");
    RequestDefinition copy = makeWorkingCopy(def);
    EXPECT_EQ(copy.parameters, def.parameters); // shared, not copied
    EXPECT_EQ(body(copy), "q=7&r=u0");

    struct Case {
        const char* arguments;
        const char* uri;
        const char* body;
    } cases[] = {
        {"$uri=/a,q=5)", "/a", "q=5&r=u0"},
        {"z=9)", "/orig", "q=7&r=u0&z=9"},
        {"$foo=1,q=5)", "/orig", "q=7&r=u0"}, // an unknown option ends the arguments
        {"z=$clid(w),z=2)", "/orig", "q=7&r=u0&z=2"},
        {"z=$clid(w),y=1)", "/orig", "q=7&r=u0&z=w0&y=1"},
        {"noequals,r=$list(a) x,y=1)", "/orig", "q=7&r=$list(a) x&y=1"},
        {"\"z=a,b\",y=1)", "/orig", "q=7&r=u0&z=a,b&y=1"},
        {"z=$list(a),y=1)", "/orig", "q=7&r=u0&y=1"},
        {"x=1&$Seq(n,1,1),y=1)", "/orig", "q=7&r=u0&y=1"},
    };
    for (const Case& c : cases) {
        SavedRequest saved;
        saveRequest(copy, saved);
        applyArguments(copy, c.arguments);
        EXPECT_EQ(copy.uri, c.uri) << c.arguments;
        EXPECT_EQ(body(copy), c.body) << c.arguments;
        restoreRequest(copy, saved);
        EXPECT_EQ(copy.uri, "/orig") << c.arguments;
        EXPECT_EQ(body(copy), "q=7&r=u0") << c.arguments;
        EXPECT_TRUE(copy.overrides.size() == 0 && copy.extraparameters.empty()) << c.arguments;
    }
    // Only the last two cases read a $list or $Seq, which a running test cannot number.
    const std::string refused = "Error: $seq parameter cannot be created in runtime!";
    EXPECT_EQ(out.messages(), (std::vector<std::string>{refused, refused}));
    EXPECT_EQ(def.uri, "/orig");

    auto fields = [&] {
        return copy.server.value_or("-") + " " + std::to_string(copy.port) + " " +
               std::to_string(copy.method) + " " + std::to_string(copy.delaymin) + "-" +
               std::to_string(copy.delaymax) + " " + std::to_string(copy.keepalive) + " " +
               std::to_string(copy.secure);
    };
    SavedRequest saved;
    saveRequest(copy, saved);
    applyArguments(copy, "$delay=100-200,$port=81,$method=post,$keepalive=1,$secure=2,"
                         "$server=h.test)");
    EXPECT_EQ(fields(), "h.test 81 1 100-200 1 2");
    restoreRequest(copy, saved);
    EXPECT_EQ(fields(), "- 0 0 0-0 0 0");

    // A reset drops what the arguments added but keeps the fields they set.
    applyArguments(copy, "$uri=/a,q=5,z=9)");
    resetRequest(copy);
    EXPECT_EQ(copy.uri, "/a");
    EXPECT_EQ(body(copy), "q=7&r=u0");
}

TEST(RequestDelay, DrawsFromMinimumToBelowMaximum) {
    RequestDefinition d;
    RandomGenerator random(test::kSeed);
    test::ReferenceRandom ref{test::kSeed};
    // First the model itself, against numbers computed separately for the seed 1.
    test::ReferenceRandom known{1};
    EXPECT_EQ(known.next(1000), 926);
    EXPECT_EQ(known.next(1000), 216);
    EXPECT_EQ(known.next(65535), 25015);
    EXPECT_EQ(requestDelay(d, random), 0);
    d.delaymin = 1000;
    d.delaymax = 1000;
    EXPECT_EQ(requestDelay(d, random), 1000);
    d.delaymax = 0;
    EXPECT_EQ(requestDelay(d, random), 1000);
    d.delaymax = 2000;
    for (int i = 0; i < 50; ++i) {
        int delay = requestDelay(d, random);
        EXPECT_EQ(delay, 1000 + ref.next(1000));
        EXPECT_TRUE(delay >= 1000 && delay <= 1999) << delay;
    }
    d.delaymin = 0;
    d.delaymax = 300;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(requestDelay(d, random), ref.next(300));
    d.delaymin = 500;
    d.delaymax = 200; // a maximum below the minimum adds nothing
    EXPECT_EQ(requestDelay(d, random), 500);
}

TEST_F(Requests, ExportedVariablesFollowTheLastResponse) {
    def.exportvars = std::make_unique<NameTable<ExportRule>>();
    def.exportvars->assign("sid", ExportRule{test::compiled("/sid=([a-z0-9]+)/"), "$1"});
    def.exportvars->assign("pair", ExportRule{test::compiled("/k=([a-z]+)/"), "<$$$1>"});
    param("v", "$var(sid,none)");
    RequestDefinition copy = makeWorkingCopy(def);

    exportVariables(user, copy, "x sid=abc1 k=key");
    ASSERT_NE(user.variables.find("sid"), nullptr);
    EXPECT_EQ(*user.variables.find("sid"), "abc1");
    EXPECT_EQ(*user.variables.find("pair"), "<$key>");
    EXPECT_EQ(body(copy), "v=abc1");

    exportVariables(user, copy, "k=other");
    EXPECT_EQ(user.variables.find("sid"), nullptr);
    EXPECT_EQ(*user.variables.find("pair"), "<$other>");
    EXPECT_EQ(body(copy), "v=none");
}

TEST(ExportTemplate, InsertsGroupsAndCutsTheValue) {
    CRegex expression;
    ASSERT_TRUE(expression.compile("/(x+)(y)?/"));
    const std::string subject = "--" + std::string(400, 'x') + "--";
    int pairs[20];
    int count = 10;
    ASSERT_TRUE(expression.match(subject.c_str(), pairs, count));

    auto fill = [&](std::string_view templateText) {
        std::string value;
        fillExportTemplate(value, templateText, subject.c_str(), pairs, count);
        return value;
    };
    // "$$" is one '$', an unset or missing group gives nothing, '$' and a letter are dropped.
    EXPECT_EQ(fill("a$$b$2$x$9|"), "a$b|");
    EXPECT_EQ(fill("<$1>"), "<" + std::string(254, 'x'));
    EXPECT_EQ(fill(std::string(300, 't')), std::string(255, 't'));
    EXPECT_EQ(fill("$0").size(), 255u);
}
