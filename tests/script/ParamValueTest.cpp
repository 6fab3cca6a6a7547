#include "ScriptTestSupport.h"
#include "api/TestSet.h"
#include "script/ParamReader.h"
#include "script/ResponseValues.h"
#include "script/ScriptParser.h"
#include "script/UserLog.h"
#include "script/WorkingCopy.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace torvex;

namespace {

const std::string kAlphabet = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

struct RecordingLog : UserLog {
    void write(std::string_view line) override { text += line; }
    std::string text;
};

class ParamValues : public test::ScriptFixture {
protected:
    // Several uses in a row, joined by '|'.
    std::string runs(const Parameter& p, int count) {
        std::string all;
        for (int i = 0; i < count; ++i) all += (i ? "|" : "") + run(p);
        return all;
    }
    void reseed() {
        user.random.seed(test::kSeed);
        ref.state = test::kSeed;
    }
};

} // namespace

TEST_F(ParamValues, LiteralPartsAreJoinedWithoutSeparators) {
    struct Case {
        const char* value;
        const char* expected;
    } cases[] = {{"a&b&c", "abc"}, {"$$x", "$x"},     {"a$x", "a$x"},    {"a&&b", "ab"},
                 {"", ""},         {"x&$$&y", "x$y"}, {"a=b c", "a=b c"}};
    for (const Case& c : cases) EXPECT_EQ(run(read("q", c.value)), c.expected) << c.value;
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(slots, 0);
}

TEST_F(ParamValues, NRandYieldsFromMinimumToBelowMaximum) {
    Parameter plain = read("n", "$NRand(1,10)"), emptyPrefix = read("n", "$nrand(1,10,)");
    Parameter prefixed = read("n", "$NRand(100,200,id_)"), fixed = read("n", "$NRand(5,5,p)");
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(run(plain), std::to_string(1 + ref.next(9)));
        EXPECT_EQ(run(emptyPrefix), std::to_string(1 + ref.next(9)));
        EXPECT_EQ(run(prefixed), "id_" + std::to_string(100 + ref.next(100)));
        EXPECT_EQ(run(fixed), "p5"); // an empty range draws nothing
    }
}

TEST_F(ParamValues, ARandDrawsTheLengthThenEachCharacter) {
    Parameter three = read("a", "$ARand(3,3)"), varied = read("a", "$ARand(2,6)");
    for (int i = 0; i < 10; ++i) {
        std::string expected;
        for (int k = 0; k < 3; ++k) expected += kAlphabet[ref.next(62)];
        EXPECT_EQ(run(three), expected);
        expected.clear();
        int length = 2 + ref.next(4);
        for (int k = 0; k < length; ++k) expected += kAlphabet[ref.next(62)];
        EXPECT_EQ(run(varied), expected);
    }
    // Lengths beyond the value limit are cut rather than overflowing.
    std::string big = run(read("a", "$ARand(9000,9000)"));
    EXPECT_EQ(big.size(), 8191u);
    EXPECT_EQ(big.find_first_not_of(kAlphabet), std::string::npos);
}

TEST_F(ParamValues, LRandAndListPickTheirItems) {
    Parameter lrand                      = read("l", "$LRand(a,\"b,c\",d%2ce)");
    const std::vector<std::string> items = {"a", "b,c", "d,e"};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(run(lrand), items[ref.next(3)]);

    // Every user walks a $list on its own, from the first item.
    Parameter list = read("l", "$list(a,b,c)");
    UserScriptState other;
    other.counters.resize(slots);
    EXPECT_EQ(runs(list, 2), "a|b");
    EXPECT_EQ(test::yield(list.parts, other), "a");
    EXPECT_EQ(runs(list, 2), "c|a");
    EXPECT_EQ(test::yield(list.parts, other), "b");

    Parameter quoted = read("l", "$list(\"x,y\",z)"), encoded = read("l", "$LIST(a%2cb,c)");
    EXPECT_EQ(runs(quoted, 3), "x,y|z|x,y");
    EXPECT_EQ(runs(encoded, 2), "a,b|c");

    // Without items there is nothing to pick, and nothing to divide by.
    EXPECT_EQ(run(read("l", "$LRand")), "");
    EXPECT_EQ(run(read("l", "$LRand()")), "");
    EXPECT_EQ(run(read("l", "$list()")), "");
    EXPECT_EQ(run(read("l", "$list(")), "");
}

TEST_F(ParamValues, SeqCountsPerUserFromStartPlusUserTimesStep) {
    CTestSet t;
    ASSERT_EQ(parseScript(t, test::readData("sequences.tvs")), 1);
    ASSERT_EQ(t.listcounter, 6);
    const ParameterList& params = *t.definitions.find("r")->parameters;
    ASSERT_EQ(params.size(), 6u);
    EXPECT_EQ(initialCounters(t, 0), (std::vector<int>{5, 5, 0, 0, 7, 0}));
    EXPECT_EQ(initialCounters(t, 1), (std::vector<int>{15, 15, 0, 0, 7, 0}));

    auto twice = [&](int userIndex) {
        UserScriptState u;
        u.userIndex = userIndex;
        u.counters  = initialCounters(t, userIndex);
        std::vector<std::string> yields;
        for (int round = 0; round < 2; ++round)
            for (int i = 0; i < 5; ++i) yields.push_back(test::yield(params[i].parts, u));
        return yields;
    };
    using Yields = std::vector<std::string>;
    EXPECT_EQ(twice(0),
              (Yields{"id5", "id05", "xn0", "id0", "id7", "id6", "id06", "xn1", "id1", "id8"}));
    EXPECT_EQ(twice(1),
              (Yields{"id15", "id15", "xn0", "id0", "id7", "id16", "id16", "xn1", "id1", "id8"}));
}

TEST_F(ParamValues, ClidVarAndEncYields) {
    // Other functions are fine at run time, when no counter slots can be handed out.
    Parameter atRunTime;
    EXPECT_TRUE(ParamReader(def, nullptr).read("c", "$clid(u,x)&-", atRunTime));
    EXPECT_EQ(run(atRunTime), "u0x-");
    user.userIndex = 12;
    EXPECT_EQ(run(read("c", "$clid(u)")), "u12");
    EXPECT_EQ(run(read("c", "$CLID(\"a,b\",\" )\")")), "a,b12 )");
    // Arguments keep at most 254 characters.
    EXPECT_EQ(run(read("c", "$clid(" + std::string(300, 'p') + ")")), std::string(254, 'p') + "12");

    Parameter withDefault = read("v", "$var(sid,none)"), bare = read("v", "$var(sid)");
    Parameter quoted = read("v", "$Var(\"sid\",\"a,b\")");
    EXPECT_EQ(run(withDefault) + "|" + run(bare) + "|" + run(quoted), "none||a,b");
    user.variables.assign("sid", "abc");
    EXPECT_EQ(run(withDefault) + "|" + run(bare) + "|" + run(quoted), "abc|abc|abc");

    // "$enc<<" encodes the rest of its own part only; the next '&' starts a new part.
    Parameter enc = read("e", "$enc<<a b&c");
    ASSERT_EQ(enc.parts.size(), 2u);
    TextBuffer first(16);
    appendPartValue(first, enc.parts[0], user, nullptr, false);
    EXPECT_EQ(first.view(), "a%20b");
    EXPECT_EQ(run(enc), "a%20bc");
    EXPECT_EQ(run(read("e", "$ENC<<A-z_0.9~/\xc3\xa9")), "A-z_0.9%7E%2F%C3%A9");
}

TEST_F(ParamValues, UrlParamTakesLinkParametersOfThePreviousResponse) {
    Parameter byName = read("x", "$UrlParam(id)"), own = read("id", "$urlparam");
    EXPECT_EQ(run(byName, "<a href=\"/p?x=1&id=42&y=2\">"), "42");
    EXPECT_EQ(run(own, "<a href=/p?pid=7&id=43>"), "43");
    for (const char* page : {"?id=v\"w", "?id=v>w", "?id=v w", "?id=v&w", "?id=v"})
        EXPECT_EQ(run(byName, page), "v") << page;
    EXPECT_EQ(run(byName, "no parameter pid=1 here"), "");
    // A longer name is another parameter, however close its '=' follows.
    EXPECT_EQ(run(byName, "?identity=foo&id=42"), "42");
    EXPECT_EQ(run(byName, "?id\">x=5"), "");
    EXPECT_EQ(run(byName, nullptr), "");

    reseed();
    const std::vector<std::string> candidates = {"1", "2", "4"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(run(byName, "?id=1 &id=2 pid=3 ?id=4"), candidates[ref.next(3)]);

    // Only the first 50 occurrences are candidates.
    std::string many;
    for (int i = 0; i < 60; ++i) many += "?id=" + std::to_string(i) + " ";
    for (int i = 0; i < 10; ++i) EXPECT_EQ(run(byName, many.c_str()), std::to_string(ref.next(50)));

    std::string longValue = "?id=" + std::string(9000, 'a');
    EXPECT_EQ(run(byName, longValue.c_str()), std::string(8191, 'a'));
}

TEST_F(ParamValues, HiddenTakesFieldValuesDecodedForFormsAndRawForMultipart) {
    const char* page = "<form><input type=\"hidden\" name=\"sid\" value=\"a&amp;b\"></form>";
    Parameter sid = read("x", "$Hidden(sid)"), own = read("sid", "$hidden");
    EXPECT_EQ(run(sid, page), "a%26b");
    EXPECT_EQ(run(own, page, true), "a&amp;b");
    EXPECT_EQ(run(sid, nullptr), "");

    // The name must be the name attribute's value; the value attribute may come first or be
    // unquoted; a longer name is another field.
    EXPECT_EQ(run(sid, "<input id=\"sid\" name=\"other\" value=\"no\"><input value=\"v1\" "
                       "name=\"sid\">"),
              "v1");
    EXPECT_EQ(run(sid, "<input name=sid value=x1 type=hidden>"), "x1");
    EXPECT_EQ(run(sid, "<input name=\"sid2\" value=\"no\">"), "");

    struct Case {
        const char* value;
        const char* expected;
    } cases[] = {
        {"&lt;&GT;&quot;&apos;&Amp;", "%3C%3E%22%27%26"},
        {"&#65;&#x42;c", "ABc"},
        {"&#233;", "%E9"},
        {"&#8364;&#x1F600;", "%E2%82%AC%F0%9F%98%80"}, // above 255: the UTF-8 bytes
        {"&nbsp;&x y", "%26nbsp%3B%26x%20y"},
    };
    Parameter field = read("x", "$Hidden(fld)");
    for (const Case& c : cases) {
        std::string tag = std::string("<input name=\"fld\" value=\"") + c.value + "\">";
        EXPECT_EQ(run(field, tag.c_str()), c.expected) << c.value;
    }
    TextBuffer decoded(32);
    appendEntityDecoded(decoded, "a&amp;b&c&#x41;&lt");
    EXPECT_EQ(decoded.view(), "a&b&cA&lt");

    reseed();
    const char* two = "<input name=\"sid\" value=\"v1\"><input name=\"sid\" value=\"v2\">";
    for (int i = 0; i < 10; ++i) EXPECT_EQ(run(sid, two), ref.next(2) ? "v2" : "v1");

    // A hostile response full of near misses is read once, not once per occurrence.
    std::string nearMisses;
    for (int i = 0; i < 500000; ++i) nearMisses += "a\"";
    EXPECT_EQ(run(read("x", "$Hidden(a)"), nearMisses.c_str()), "");
}

TEST_F(ParamValues, RegExpFillsItsTemplateFromThePreviousResponse) {
    Parameter p = read("r", "$RegExp(/id=([0-9]+);(x)?/,<$1|$2>)");
    EXPECT_EQ(run(p, "a id=77; b"), "<77|>");
    EXPECT_EQ(run(p, "nothing"), "");
    EXPECT_EQ(run(p, nullptr), "");
    EXPECT_EQ(run(read("r", "$regexp(/ID=([a-z]+)/i,$1)"), "id=zz"), "zz");
    EXPECT_EQ(run(read("r", "$RegExp(/(a)/,x,$1)"), "bab"), "x,a");
    // Escape pairs do not end the pattern, so escaped slashes and commas after them stay in it.
    EXPECT_EQ(run(read("r", "$RegExp(/\\w\\/(\\d+),(\\d)/,$1.$2)"), "a/12,3"), "12.3");
}

TEST_F(ParamValues, FileYieldsTheFileAndMakesTheRequestAMultipartPost) {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("torvex-file-param-" + std::to_string(getpid()) + ".bin");
    const std::string bytes("line1\r\nline2\0end", 16);
    std::ofstream(path, std::ios::binary) << bytes;
    RecordingLog log;
    user.log = &log;

    Parameter file = read("f", "$File(" + path.string() + ",text/plain)");
    EXPECT_EQ(def.multipart, 1);
    EXPECT_EQ(def.method, 1);
    EXPECT_EQ(run(file), bytes);
    EXPECT_TRUE(log.text.empty());

    std::filesystem::remove(path);
    EXPECT_EQ(run(file), "");
    EXPECT_EQ(log.text, "ERROR: Unable to open file " + path.string() + "\n");
}

TEST_F(ParamValues, RxNameNamesTheParameterFromTheResponse) {
    Parameter p    = read("x", "$rxname(/n=([a-z]+)/,p$1),$clid(v)");
    const auto* rx = p.parts.empty() ? nullptr : std::get_if<part::RxName>(&p.parts[0].kind);
    ASSERT_NE(rx, nullptr);
    std::string name;
    EXPECT_TRUE(nameFromResponse(*rx, "n=abc", name));
    EXPECT_EQ(name, "pabc");
    EXPECT_EQ(run(p, "n=abc"), "v0");
    EXPECT_FALSE(nameFromResponse(*rx, "none", name));
    EXPECT_EQ(run(p, "none"), "");
    EXPECT_FALSE(nameFromResponse(*rx, nullptr, name));
    EXPECT_EQ(run(p, nullptr), "");

    Parameter escaped = read("x", "$rxname(/\\d,(\\w+)/,n_$1),v");
    rx                = std::get_if<part::RxName>(&escaped.parts[0].kind);
    ASSERT_NE(rx, nullptr);
    EXPECT_TRUE(nameFromResponse(*rx, "1,ab", name));
    EXPECT_EQ(name, "n_ab");
}
