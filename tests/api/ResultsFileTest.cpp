#include "run/ResultsFile.h"

#include "api/Output.h"
#include "api/TestSet.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

using torvex::CTestSet;
using torvex::resultsFileName;
using torvex::saveResultsToFile;

namespace {

std::tm localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon  = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min  = minute;
    tm.tm_sec  = second;
    return tm;
}

std::string contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

class ResultsFile : public ::testing::Test {
protected:
    void SetUp() override {
        t.clients  = 10;
        t.requests = 5;
        t.server.set("www");
    }
    void TearDown() override {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }

    // A fresh folder for results files, removed after the test.
    const std::filesystem::path& folder() {
        static std::atomic<int> serial{0};
        dir = std::filesystem::temp_directory_path() /
              ("torvex-results-" + std::to_string(getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(dir);
        return dir;
    }
    std::string name(const char* outfile, const std::tm& now = localTime(2024, 3, 7, 9, 5, 3)) {
        t.outfile.set(outfile);
        return resultsFileName(t, now);
    }

    CTestSet t;
    torvex::test::CapturedOutput out; // the engine's messages during the test
    std::filesystem::path dir;
};

TEST_F(ResultsFile, DefaultTemplateNamesTheScenarioServerUsersAndIterations) {
    t.testname.set("shop.tvs");
    EXPECT_EQ(resultsFileName(t, localTime(2024, 3, 7, 9, 5, 3)), "shop-www-10x5.xls");
    t.testname.set("shop");
    EXPECT_EQ(resultsFileName(t, localTime(2024, 3, 7, 9, 5, 3)), "shop-www-10x5.xls");
    t.testname.set("");
    EXPECT_EQ(resultsFileName(t, localTime(2024, 3, 7, 9, 5, 3)), "-www-10x5.xls");
    EXPECT_TRUE(out.empty());
}

TEST_F(ResultsFile, ExpandsEveryMacro) {
    t.testname.set("/home/tester/scenarios/shop.v2.tvs");
    t.port = 8080;
    EXPECT_EQ(name("%%-%c-%d-%m-%t-%y-%f-%n-%p-%r-%s"),
              "%-10-07-03-090503-2024-shop.v2.tvs-shop.v2-8080-5-www");
    // Two-digit fields at the ends of their ranges; the year has four digits.
    EXPECT_EQ(name("%d.%m.%y %t", localTime(1999, 12, 31, 23, 59, 58)), "31.12.1999 235958");
    EXPECT_EQ(name("%d.%m.%y %t", localTime(2000, 1, 1, 0, 0, 0)), "01.01.2000 000000");
    EXPECT_EQ(name("plain.txt"), "plain.txt");
    EXPECT_EQ(name("100%%%%"), "100%%");
    EXPECT_TRUE(out.empty());
}

TEST_F(ResultsFile, NameAndExtensionComeFromTheFileNameOnly) {
    // A dot in a folder name is no extension, and %f never keeps a folder.
    t.testname.set("/work/v1.2/load");
    EXPECT_EQ(name("%f|%n"), "load|load");
    t.testname.set("relative/dir/a.b.c");
    EXPECT_EQ(name("%f|%n"), "a.b.c|a.b");
    t.testname.set("archive.");
    EXPECT_EQ(name("%f|%n"), "archive.|archive");
}

TEST_F(ResultsFile, UnknownMacrosAreDroppedWithAWarning) {
    EXPECT_EQ(name("%q.xls"), ".xls");
    EXPECT_EQ(out.messages(),
              std::vector<std::string>{"Warning: unknown macro %q in outfile template ignored!"});
    // Macros are case-sensitive: %C is not %c.
    out.clear();
    EXPECT_EQ(name("a%Cb%c"), "ab10");
    EXPECT_EQ(out.messages(),
              std::vector<std::string>{"Warning: unknown macro %C in outfile template ignored!"});
    // A template that ends in a lone '%' is warned about like any other unknown macro.
    out.clear();
    EXPECT_EQ(name("abc%"), "abc");
    EXPECT_EQ(out.messages(),
              std::vector<std::string>{"Warning: unknown macro % in outfile template ignored!"});
}

TEST_F(ResultsFile, SavingReplacesOrAppendsInTheReportFolder) {
    t.reportdir.set(folder().string() + "///");
    t.outfile.set("%s-%cx%r.txt");
    const std::filesystem::path file = dir / "www-10x5.txt";

    EXPECT_TRUE(saveResultsToFile(t, "first\n"));
    EXPECT_EQ(contents(file), "first\n");
    EXPECT_TRUE(saveResultsToFile(t, "second\r\nline\n"));
    EXPECT_EQ(contents(file), "second\r\nline\n");

    t.appendresult = 1;
    EXPECT_TRUE(saveResultsToFile(t, "third"));
    EXPECT_EQ(contents(file), "second\r\nline\nthird");
    EXPECT_TRUE(out.empty());
    // Only the one file was made: the trailing slashes did not end up in a different path.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(ResultsFile, NothingIsWrittenWithoutAReportFolder) {
    const std::string outfile = "torvex-no-report-folder-" + std::to_string(getpid()) + ".txt";
    t.outfile.set(outfile);
    EXPECT_FALSE(saveResultsToFile(t, "text"));
    EXPECT_FALSE(std::filesystem::exists(outfile));
    EXPECT_FALSE(std::filesystem::exists("/" + outfile));
    EXPECT_TRUE(out.empty());
    t.outfile.set("%q");
    EXPECT_FALSE(saveResultsToFile(t, "text"));
    EXPECT_EQ(out.only(), "Warning: unknown macro %q in outfile template ignored!");
}

TEST_F(ResultsFile, AFileThatCannotBeOpenedIsReported) {
    const std::string missing = (folder() / "missing" / "sub").string();
    t.reportdir.set(missing);
    t.outfile.set("out.txt");
    EXPECT_FALSE(saveResultsToFile(t, "text"));
    EXPECT_EQ(out.messages(),
              std::vector<std::string>{"Failed to open results file: " + missing + "/out.txt!"});
    EXPECT_FALSE(std::filesystem::exists(missing));
}
