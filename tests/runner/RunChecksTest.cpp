#include "runner/RunChecks.h"

#include "model/Scenario.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

using torvex::RunCheckField;
namespace fs = std::filesystem;

namespace {

constexpr const char* kForbidden = "A filename cannot contain any of the following characters:\n"
                                   "\\/:*?\"<>|";

// A scenario with one request, and a folder holding the regular file "file".
struct RunChecks : ::testing::Test {
    RunChecks() {
        scenario.requests.append(std::make_unique<torvex::CRequest>());
        std::ofstream(dir.path / "file") << "x";
    }
    std::string in(const std::string& relative) const { return (dir.path / relative).string(); }
    void expectFailure(const std::string& message, RunCheckField field) {
        auto failure = torvex::checkBeforeRun(scenario);
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->message, message);
        EXPECT_EQ(failure->field, field);
    }
    torvex::test::TempDir dir;
    torvex::CScenario scenario;
};

} // namespace

TEST_F(RunChecks, FailuresComeInOrderWithTheirFields) {
    scenario.run.saveLog           = 1;
    scenario.run.logDir            = in("file/log");
    scenario.run.saveReports       = 1;
    scenario.run.reportDir         = in("file"); // exists, but as a regular file
    scenario.run.reportNamePattern = "a:b";
    scenario.requests.clear();
    expectFailure("No requests in the test scenario. Test has stopped.\n"
                  "Go to Recorder to add some requests to the test scenario.",
                  RunCheckField::kNone);
    scenario.requests.append(std::make_unique<torvex::CRequest>());
    expectFailure("Cannot create directory " + in("file/log") + ".", RunCheckField::kLogDir);
    scenario.run.logDir = in("logs");
    expectFailure("Cannot create directory " + in("file") + ".", RunCheckField::kReportDir);
    EXPECT_TRUE(fs::is_directory(in("logs")));
    scenario.run.reportDir = "";
    expectFailure("Cannot create directory .", RunCheckField::kReportDir);
    scenario.run.reportDir = in("reports");
    expectFailure(kForbidden, RunCheckField::kReportNamePattern);
}

TEST_F(RunChecks, MissingNestedFoldersAreCreatedOnlyWhenSwitchedOn) {
    scenario.run.logDir    = in("file/log");
    scenario.run.reportDir = in("a/c/reports/");
    EXPECT_FALSE(torvex::checkBeforeRun(scenario).has_value());
    EXPECT_FALSE(fs::exists(in("a")));

    scenario.run.saveLog     = 1;
    scenario.run.logDir      = in("a/b/logs");
    scenario.run.saveReports = 1;
    EXPECT_FALSE(torvex::checkBeforeRun(scenario).has_value());
    EXPECT_TRUE(fs::is_directory(in("a/b/logs")));
    EXPECT_TRUE(fs::is_directory(in("a/c/reports")));
    EXPECT_FALSE(torvex::checkBeforeRun(scenario).has_value()) << "existing folders pass";
}

TEST_F(RunChecks, EachCharacterAFileNameCannotHoldIsRefusedInThePattern) {
    for (char c : std::string("\\/:*?\"<>|")) {
        scenario.run.reportNamePattern = std::string("%n-") + c + "%c.xls";
        expectFailure(kForbidden, RunCheckField::kReportNamePattern);
    }
    scenario.run.reportNamePattern = "%n-%cx%r %y.%m.%d-%t%%.xls";
    EXPECT_FALSE(torvex::checkBeforeRun(scenario).has_value());
}

TEST(RunMemory, AvailableMemoryAndTheTimingArray) {
    torvex::test::TempDir dir;
    const std::string meminfo = (dir.path / "meminfo").string();
    std::ofstream(meminfo) << "MemTotal:       24684000 kB\nMemAvailable:   24245948 kB\n";
    EXPECT_EQ(torvex::availableMemory(meminfo), 24245948ull * 1024);
    ASSERT_TRUE(torvex::availableMemory().has_value());
    EXPECT_GT(*torvex::availableMemory(), 0u);

    const std::string general  = "[General]\nserver=127.0.0.1\nport=8090\n";
    const std::string requests = "[TestSeq]\na\nb\n[a]\n$uri=/a\n[b]\n$uri=/b\n";
    // 4 bytes x 2 requests x 100000 iterations x 100000 users: 80 GB; 4 x 2 x 10 x 10: 800 bytes.
    const std::string huge  = general + "clients=100000\nrequests=100000\n" + requests;
    const std::string small = general + "clients=10\nrequests=10\n" + requests;
    EXPECT_TRUE(torvex::timingsExceedMemory(huge));
    EXPECT_FALSE(torvex::timingsExceedMemory(small));
    std::ofstream(meminfo) << "MemAvailable:   800\n";
    EXPECT_TRUE(torvex::timingsExceedMemory(small, meminfo)) << "equal counts as too large";
    std::ofstream(meminfo) << "MemAvailable:   801\n";
    EXPECT_FALSE(torvex::timingsExceedMemory(small, meminfo));

    std::ofstream(meminfo) << "MemTotal:       24684000 kB\n"; // kernels before 3.14
    EXPECT_FALSE(torvex::availableMemory(meminfo).has_value());
    EXPECT_FALSE(torvex::timingsExceedMemory(huge, meminfo));
}
