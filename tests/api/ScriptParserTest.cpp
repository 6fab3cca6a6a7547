#include "script/ScriptParser.h"

#include "api/Output.h"
#include "api/TestSet.h"
#include "script/LineReader.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using torvex::CTestSet;
using torvex::LineReader;
using torvex::RequestDefinition;
using torvex::SequenceList;

namespace {

std::vector<std::string> readLines(std::string_view text) {
    std::vector<std::string> lines;
    LineReader reader(text);
    for (std::string_view line; reader.next(line);) lines.emplace_back(line);
    return lines;
}

// The entries of a list as "name", or "name|arguments" when the line had '('.
std::vector<std::string> names(const SequenceList& list) {
    std::vector<std::string> result;
    for (const auto& entry : list.entries())
        result.push_back(entry.arguments ? entry.name + "|" + *entry.arguments : entry.name);
    return result;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(ScriptParserLineReader, SplitsTrimsAndCutsLines) {
    EXPECT_EQ(readLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    // A line feed before a carriage return is two line ends; a lone "\r" before "\r\n" is too.
    EXPECT_EQ(readLines("a\n\rb\r\r\nc\n"), (Lines{"a", "", "b", "", "c"}));
    EXPECT_EQ(readLines(""), Lines{});
    // Control characters (the tab too) go from the end; spaces before them stay.
    EXPECT_EQ(readLines(" \t value  \t\x01\n"), (Lines{"value  "}));
    EXPECT_EQ(readLines("value \t "), (Lines{"value \t "}));
    // Overlong lines are cut, not split, and never inside a character.
    Lines lines = readLines(std::string(70000, 'a') + "\nnext");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(LineReader::maxLength, 'a'));
    EXPECT_EQ(lines[1], "next");
    EXPECT_EQ(readLines(std::string(65534, 'a') + "\xC3\xA9")[0].size(), 65534u);
}

class ScriptParser : public ::testing::Test {
protected:
    int parse(std::string_view text) { return torvex::parseScript(t, text); }
    RequestDefinition& definition(const char* name) {
        RequestDefinition* d = t.definitions.find(name);
        if (!d) throw std::runtime_error(std::string("no definition ") + name);
        return *d;
    }
    // The fields that general and request options set, in one comparable line.
    std::string fields(const char* name) {
        const RequestDefinition& d = definition(name);
        auto n                     = [](int v) { return std::to_string(v); };
        return "uri=" + d.uri + " server=" + d.server.value_or("-") + " port=" + n(d.port) +
               " method=" + n(d.method) + " delay=" + n(d.delaymin) + "-" + n(d.delaymax) +
               " keepalive=" + n(d.keepalive) + " secure=" + n(d.secure);
    }

    CTestSet t;
    torvex::test::CapturedOutput out; // the engine's messages during the test
};

TEST_F(ScriptParser, ReadsGeneralOptionsWithAndWithoutSectionAndSkipsComments) {
    EXPECT_EQ(parse("clients=7 ;note\n  ; a comment\n\t\nRequests  =3\r\n"
                    "[General]\nport=8080\n[GENERAL]\nserver=example.test\n"),
              1);
    EXPECT_EQ(t.clients, 7);
    EXPECT_EQ(t.requests, 3);
    EXPECT_EQ(t.port, 8080);
    EXPECT_EQ(t.server.view(), "example.test");
    EXPECT_EQ(t.definitioncount, 0);
    EXPECT_TRUE(out.empty());
}

TEST_F(ScriptParser, RefusedAndUnknownGeneralOptionsStopTheParse) {
    // The value " 30" starts with a space, which an integer option refuses.
    EXPECT_EQ(parse("timeout = 30\nclients=4\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Integer number expected as a value of timeout"});
    EXPECT_EQ(t.clients, 1);

    out.clear();
    EXPECT_EQ(parse("requests=2\nnosuchoption=1\nclients=4\n"), 0);
    EXPECT_TRUE(out.empty()); // unknown names fail silently
    EXPECT_EQ(t.requests, 2);
    EXPECT_EQ(t.clients, 1);
}

TEST_F(ScriptParser, SectionKeywordsIgnoreCaseAndEverythingElseNamesARequest) {
    EXPECT_EQ(parse("[InitSeq]\nreq_3($delay=0)\nplain\n[TESTSEQ]\nt1\n[FinalSeq]\nf(a(b))\n"
                    "[Header]\nUser-Agent: X (Linux)\n[ general ]\n[unclosed\n[" +
                    std::string(300, 'n') + "]\n"),
              1);
    // Sequence lines split at the first '(', header lines are kept whole.
    EXPECT_EQ(names(t.initsequence), (Lines{"req_3|$delay=0)", "plain"}));
    EXPECT_EQ(names(t.testsequence), Lines{"t1"});
    EXPECT_EQ(names(t.finalsequence), Lines{"f|a(b))"});
    EXPECT_EQ(names(t.headerlines), Lines{"User-Agent: X (Linux)"});
    EXPECT_EQ(t.definitioncount, 3);
    EXPECT_NE(t.definitions.find(" general "), nullptr);
    EXPECT_NE(t.definitions.find("[unclosed"), nullptr);
    EXPECT_NE(t.definitions.find(std::string(255, 'n').c_str()), nullptr);
}

TEST_F(ScriptParser, TestSequenceIsImplicitUntilATestseqSectionGivesIt) {
    EXPECT_EQ(parse("[r1]\n[r2]\n[r3]\n"), 1);
    EXPECT_EQ(names(t.testsequence), (Lines{"r1", "r2", "r3"}));
    EXPECT_EQ(t.testcount, 3);

    CTestSet after;
    EXPECT_EQ(torvex::parseScript(after, "[r1]\n[r2]\n[testseq]\nr2\nr1(x=1)\n"), 1);
    EXPECT_EQ(names(after.testsequence), (Lines{"r2", "r1|x=1)"}));
    EXPECT_EQ(after.testcount, 2);

    CTestSet before;
    EXPECT_EQ(torvex::parseScript(before, "[testseq]\nr1\n[r1]\n[r2]\n"), 1);
    EXPECT_EQ(names(before.testsequence), Lines{"r1"});
    EXPECT_EQ(before.testcount, 1);
    EXPECT_EQ(before.definitioncount, 2);
}

TEST_F(ScriptParser, LaterParsesReplaceSequencesTheyWriteAndAccumulateTheRest) {
    ASSERT_EQ(parse("[initseq]\na\nb\n[header]\nH1: 1\n[r1]\n"), 1);
    ASSERT_EQ(parse("[initseq]\nc\n[header]\nH2: 2\n[r2]\n"), 1);
    EXPECT_EQ(names(t.initsequence), Lines{"c"});
    EXPECT_EQ(t.initcount, 1);
    EXPECT_EQ(names(t.testsequence), Lines{"r2"});
    EXPECT_EQ(names(t.headerlines), (Lines{"H1: 1", "H2: 2"}));
    EXPECT_EQ(t.definitions.size(), 2u);

    // A parse that writes no entry keeps the old entries but counts none of them.
    ASSERT_EQ(parse("[finalseq]\nf\n"), 1);
    EXPECT_EQ(names(t.initsequence), Lines{"c"});
    EXPECT_EQ(t.initcount, 0);
    EXPECT_EQ(names(t.testsequence), Lines{"r2"});
    EXPECT_EQ(t.testcount, 0);
    EXPECT_EQ(t.finalcount, 1);

    EXPECT_EQ(parse("[r1]\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Duplicate request definition: r1"});
}

TEST_F(ScriptParser, DuplicateDefinitionFailsAndKeepsWhatWasReadBefore) {
    EXPECT_EQ(parse("clients=5\n[a]\n$uri=/a\n[a]\nrequests=9\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Duplicate request definition: a"});
    EXPECT_EQ(t.definitioncount, 2);
    EXPECT_EQ(definition("a").uri, "/a");
    EXPECT_EQ(t.clients, 5);
    EXPECT_EQ(t.requests, 1);
}

TEST_F(ScriptParser, DefinitionsStartFromTheGeneralOptionsOfTheirMoment) {
    ASSERT_EQ(parse("method=POST\nuri=/base\nport=8080\ndelay=250\nkeepalive=1\n[a]\n"
                    "[general]\nuri=/later\nmethod=GET\n[b]\n"),
              1);
    EXPECT_EQ(fields("a"),
              "uri=/base server=- port=8080 method=1 delay=250-0 keepalive=1 secure=0");
    EXPECT_EQ(fields("b"),
              "uri=/later server=- port=8080 method=0 delay=250-0 keepalive=1 secure=0");
}

TEST_F(ScriptParser, RequestOptionsSetTheirFields) {
    ASSERT_EQ(parse("[r]\n$uri=/path?q=1&x=a=b\n$server=api.example.test\n$port=8443abc\n"
                    "$method=put\n$keepalive=1\n$delay=1000-3000\n$secure=2\n$noequals\n"
                    "[s]\n$METHOD=Get\n$Delay=500\n$URI=/s\n"
                    "[u]\n$method=post\n$delay=x-7\n$port=none\n$uri=" +
                    std::string(600, 'u') + "\n"),
              1);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(fields("r"), "uri=/path?q=1&x=a=b server=api.example.test port=8443 method=1 "
                           "delay=1000-3000 keepalive=1 secure=2");
    EXPECT_EQ(fields("s"), "uri=/s server=- port=80 method=0 delay=500-0 keepalive=0 secure=0");
    // A request option line is read up to 511 characters: "$uri=" and 506 of the value.
    EXPECT_EQ(fields("u"), "uri=" + std::string(506, 'u') +
                               " server=- port=0 method=1 delay=0-7 keepalive=0 secure=0");
}

TEST_F(ScriptParser, OnlyExactRequestOptionNamesSetFieldsButDoubleDollarHeadersCount) {
    ASSERT_EQ(parse("[r]\n$header=X-One: 1\n$Header = X-Two: 2\n$$header=X-Three: 3\n"), 1);
    ASSERT_NE(definition("r").headers, nullptr);
    EXPECT_EQ(definition("r").headers->view(), "X-One: 1\r\n X-Two: 2\r\nX-Three: 3\r\n");

    // "$uri " (space before '=') and "$$uri" name parameters, never the request's uri; whether the
    // parse accepts them is up to the parameter reader.
    parse("[s]\n$uri = /spaced\n");
    parse("[u]\n$$uri=/dollar\n");
    EXPECT_EQ(definition("s").uri, "/");
    EXPECT_EQ(definition("u").uri, "/");
}

TEST_F(ScriptParser, ScriptBlocksRunToTheirExactTerminator) {
    ASSERT_EQ(parse("[script]\nfirst line\n  ; dropped\n\n  indented\n[/Script]\n[r1]\n[/script]\n"
                    "clients=3\nendofscript=END\n[script]\nlast\n[/script]\nEND\nrequests=4\n"
                    "[script]\nunterminated\n"),
              1);
    ASSERT_NE(t.scripttext, nullptr);
    EXPECT_EQ(t.scripttext->view(),
              "first line\nindented\n[/Script]\n[r1]\nlast\n[/script]\nunterminated\n");
    EXPECT_EQ(t.definitioncount, 0);
    EXPECT_EQ(t.clients, 3);
    EXPECT_EQ(t.requests, 4);
}

TEST_F(ScriptParser, GlobalVariablesAreSubstitutedOnceFromLeftToRight) {
    t.globalvariables.assign("host", "example");
    t.globalvariables.assign("empty", "");
    t.globalvariables.assign("nested", "$gvar(host)");
    ASSERT_EQ(parse("[header]\nA: $gvar(host,localhost)\nB: $gvar(missing,localhost)\n"
                    "C: <$gvar(missing)>\nD: $GVAR(host)-$gvar(empty,default)-$gvar(Host,case)\n"
                    "E: $gvar(nested) $gvar(missing,a,b) $gvar(missing,tail\n[$gvar(host)]\n"),
              1);
    EXPECT_EQ(names(t.headerlines), (Lines{"A: example", "B: localhost", "C: <>",
                                           "D: example--case", "E: $gvar(host) a,b tail"}));
    EXPECT_NE(t.definitions.find("example"), nullptr);

    EXPECT_EQ(parse("clients=2\nX: $gvar(host\nclients=5\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Syntax error in this line: X: $gvar(host"});
    EXPECT_EQ(t.clients, 2);
}

TEST_F(ScriptParser, SubstitutionsThatOverfillALineAreCutOnACharacterBoundary) {
    t.globalvariables.assign("long", std::string(65534, 'a') + "\xC3\xA9");
    ASSERT_EQ(parse("[header]\n$gvar(long)\n"), 1);
    EXPECT_EQ(t.headerlines.entries().at(0).name.size(), 65534u);
}

class ScriptParserIncludes : public ScriptParser {
protected:
    void SetUp() override {
        ScriptParser::SetUp();
        static std::atomic<int> serial{0};
        dir = std::filesystem::temp_directory_path() /
              ("torvex-include-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        ScriptParser::TearDown();
    }
    std::string write(const std::string& name, const std::string& text) {
        std::filesystem::path path = dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::filesystem::path dir;
};

TEST_F(ScriptParserIncludes, IncludedFilesAddOptionsDefinitionsAndHeaders) {
    write("common.tvs", "clients=9\n[header]\nX-Inc: 1\n[inc_req]\n$uri=/inc\n");
    t.globalvariables.assign("dir", dir.string());
    ASSERT_EQ(parse("[header]\nX-Main: 1\n[includes]\n$gvar(dir)/common.tvs\n"
                    "[testseq]\nmain_req\ninc_req\n[main_req]\n"),
              1);
    EXPECT_EQ(t.clients, 9);
    EXPECT_EQ(names(t.headerlines), (Lines{"X-Main: 1", "X-Inc: 1"}));
    EXPECT_EQ(definition("inc_req").uri, "/inc");
    EXPECT_EQ(names(t.testsequence), (Lines{"main_req", "inc_req"}));
    EXPECT_EQ(t.testcount, 2);
    EXPECT_TRUE(out.empty());
}

TEST_F(ScriptParserIncludes, SequencesAnIncludeFillsRestartTheOthersContinue) {
    std::string final = write("final.tvs", "[finalseq]\nf1\n");
    std::string init  = write("init.tvs", "[initseq]\nx\ny\n");

    ASSERT_EQ(parse("[initseq]\na\n[includes]\n" + final + "\n[initseq]\nb\n"), 1);
    EXPECT_EQ(names(t.initsequence), (Lines{"a", "b"}));
    EXPECT_EQ(t.initcount, 2);
    EXPECT_EQ(names(t.finalsequence), Lines{"f1"});
    EXPECT_EQ(t.finalcount, 1);

    CTestSet last;
    ASSERT_EQ(torvex::parseScript(last, "[initseq]\na\n[includes]\n" + init + "\n"), 1);
    EXPECT_EQ(names(last.initsequence), (Lines{"x", "y"}));
    EXPECT_EQ(last.initcount, 2);

    // The including script's next entry starts the list afresh; the count goes on from the
    // include's two entries.
    CTestSet restarted;
    std::string script = "[initseq]\na\n[includes]\n" + init + "\n[initseq]\nb\n";
    ASSERT_EQ(torvex::parseScript(restarted, script), 1);
    EXPECT_EQ(names(restarted.initsequence), Lines{"b"});
    EXPECT_EQ(restarted.initcount, 3);
}

TEST_F(ScriptParserIncludes, FailuresOfAnIncludeFailTheIncludingParse) {
    std::string missing = (dir / "missing.tvs").string();
    EXPECT_EQ(parse("[includes]\n" + missing + "\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Cannot open file " + missing});

    out.clear();
    std::string bad = write("bad.tvs", "[dup]\n[dup]\n");
    EXPECT_EQ(parse("[includes]\n" + bad + "\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Duplicate request definition: dup"});

    // A file that includes itself must end in an error, not exhaust the stack.
    out.clear();
    std::string self = (dir / "self.tvs").string();
    write("self.tvs", "[includes]\n" + self + "\n");
    EXPECT_EQ(parse("[includes]\n" + self + "\n"), 0);
    EXPECT_FALSE(out.empty());
}

TEST_F(ScriptParserIncludes, AFolderIsNotAScriptFile) {
    EXPECT_EQ(parse("[includes]\n" + dir.string() + "\n"), 0);
    EXPECT_EQ(out.messages(), Lines{"Cannot open file " + dir.string()});
}
