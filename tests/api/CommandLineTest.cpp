#include "api/CommandLine.h"

#include "api/TestSet.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using torvex::CTestSet;
using torvex::parseCommandLine;
using torvex::test::CapturedOutput;

namespace {

int parse(CTestSet& t, std::vector<std::string> args) {
    args.insert(args.begin(), "prog");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    return parseCommandLine(t, static_cast<int>(argv.size()), argv.data());
}

std::string global(CTestSet& t, const char* name) {
    const std::string* value = t.globalvariables.find(name);
    return value ? *value : "<none>";
}

} // namespace

TEST(CommandLine, OptionsBecomeGlobalVariablesAndAPlainArgumentNamesTheTest) {
    CapturedOutput out;
    CTestSet t;
    EXPECT_EQ(parse(t, {"-host=example", "/port=8080", "mytest", "-expr=a=b", "-=x", "-e="}), 1);
    EXPECT_EQ(global(t, "host"), "example");
    EXPECT_EQ(global(t, "port"), "8080");
    EXPECT_EQ(global(t, "expr"), "a=b");
    EXPECT_EQ(global(t, ""), "x");
    EXPECT_EQ(global(t, "e"), "");
    EXPECT_STREQ(t.testname.c_str(), "mytest");
    EXPECT_TRUE(out.empty());
}

TEST(CommandLine, NamesAreCaseSensitiveAndTheLastValueWins) {
    CTestSet t;
    EXPECT_EQ(parse(t, {"-Host=a", "-host=b", "-host=c", "first", "second"}), 1);
    EXPECT_EQ(global(t, "Host"), "a");
    EXPECT_EQ(global(t, "host"), "c");
    EXPECT_EQ(t.globalvariables.size(), 2u);
    EXPECT_STREQ(t.testname.c_str(), "second");
}

TEST(CommandLine, AnOptionWithoutEqualsStopsTheParse) {
    CapturedOutput out;
    CTestSet t;
    EXPECT_EQ(parse(t, {"-a=1", "-verbose", "-b=2"}), 0);
    EXPECT_EQ(out.only(), "Invalid command line option -verbose!");
    EXPECT_EQ(global(t, "a"), "1");      // before the bad one: applied
    EXPECT_EQ(global(t, "b"), "<none>"); // after it: not looked at
}

TEST(CommandLine, CallerArgumentsAreNotModifiedAndLongNamesAreCut) {
    CTestSet t;
    char option[] = "-host=example";
    std::string longName(300, 'n');
    char* argv[] = {const_cast<char*>("prog"), option, longName.data()};
    EXPECT_EQ(parseCommandLine(t, 3, argv), 1);
    EXPECT_STREQ(option, "-host=example");
    EXPECT_EQ(t.testname.view(), std::string(255, 'n'));
    EXPECT_EQ(parseCommandLine(t, 1, argv), 1); // only the program: nothing to do
}
