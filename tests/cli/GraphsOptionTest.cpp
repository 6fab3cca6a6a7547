// torvex-run --graphs as a child process: the pictures of a scenario's batch run against a fixture
// server on loopback, the same pictures drawn again from the saved results file, and the
// arguments that do not go with it.

#include "cli/RunnerProcess.h"
#include "http/support/FixtureServer.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using ::testing::HasSubstr;
using torvex::test::FixtureServer;
using torvex::test::httpResponse;
using torvex::test::RunnerResult;
using torvex::test::TempDir;

namespace {

namespace fs = std::filesystem;

RunnerResult runRunner(const std::vector<std::string>& arguments) {
    // Starting Qt and drawing seven charts takes a while on a busy machine.
    return torvex::test::RunnerProcess(arguments).finish(std::chrono::seconds(60));
}

class GraphsOptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1);
        server.route("/", FixtureServer::reply(httpResponse(200, "home")));
        auto request    = std::make_unique<torvex::CRequest>();
        request->name   = "home";
        request->method = torvex::CRequest::kGet;
        request->scheme = torvex::CRequest::kHttp;
        request->server = "127.0.0.1:" + std::to_string(server.port());
        scenario.requests.append(std::move(request));
        scenario.run.iterations       = 2;
        scenario.run.staggerStart     = 0;
        scenario.run.pauseBetweenRuns = 0;
        scenario.run.saveTimings      = 1;
        scenario.run.batchFrom        = 1;
        scenario.run.batchTo          = 2;
    }
    std::string save() {
        std::string path = (folder.path / "load.tvs").string(), error;
        EXPECT_TRUE(torvex::saveScenarioFile(scenario, path, error)) << error;
        return path;
    }

    TempDir folder;
    FixtureServer server;
    torvex::CScenario scenario;
};

} // namespace

#ifdef TORVEX_WITH_GRAPHS

namespace {

// Width and height from a PNG file's header; {0, 0} when it is not a PNG.
std::pair<unsigned, unsigned> pngSize(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char header[24] = {};
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return {0, 0};
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (!std::equal(signature, signature + 8, header)) return {0, 0};
    auto big = [&](int at) {
        return unsigned(header[at]) << 24 | unsigned(header[at + 1]) << 16 |
               unsigned(header[at + 2]) << 8 | unsigned(header[at + 3]);
    };
    return {big(16), big(20)};
}

const std::vector<std::string> kPictures = {
    "batch-1-average-times.png", "batch-2-maximum-times.png", "batch-3-minimum-times.png",
    "batch-4-performance.png",   "batch-5-errors.png",        "batch-6-bandwidth.png",
    "request-01-home.png"};

std::vector<std::string> picturesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(GraphsOptionTest, BatchRunAndItsResultsFileDrawTheSamePictures) {
    const fs::path drawn = folder.path / "graphs" / "batch", results = folder.path / "load.rlt";
    RunnerResult r = runRunner({"--results", results.string(), "--graphs", drawn.string(), save()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Graphs: 7 pictures written to " + drawn.string()));
    EXPECT_EQ(picturesIn(drawn), kPictures);
    for (const std::string& name : kPictures)
        EXPECT_EQ(pngSize(drawn / name), std::make_pair(1000u, 600u)) << name;

    // The saved results draw the same files, without a run.
    const fs::path again             = folder.path / "again";
    const std::size_t requestsBefore = server.requests().size();
    r                                = runRunner({"--graphs", again.string(), results.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(picturesIn(again), kPictures);
    EXPECT_EQ(server.requests().size(), requestsBefore);
}

TEST_F(GraphsOptionTest, UnwritableFolderFailsTheRunAndSaysWhere) {
    const fs::path blocked = folder.path / "blocked";
    std::ofstream(blocked) << "a file where the folder should go";
    scenario.run.batchRun = 0;
    RunnerResult r        = runRunner({"--graphs", (blocked / "graphs").string(), save()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr((blocked / "graphs").string()));
    EXPECT_THAT(r.out, HasSubstr("--- Basic statistics ---")); // the run itself still reports
}

#else

TEST_F(GraphsOptionTest, WithoutTheWorkbenchGraphsAreRefusedAfterTheRun) {
    RunnerResult r = runRunner({"--graphs", (folder.path / "graphs").string(), save()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("built without the workbench"));
}

#endif

TEST_F(GraphsOptionTest, ArgumentsThatDoNotGoWithGraphsAreRefused) {
    const std::string script = (folder.path / "plain.tvt").string();
    std::ofstream(script) << "[General]\n";
    const std::string results = (folder.path / "saved.rlt").string();
    std::ofstream(results) << "not a results file";
    const struct {
        std::vector<std::string> arguments;
        const char* message;
    } cases[] = {
        {{"--graphs", "out", script}, "--graphs needs a scenario file; "},
        {{"--results", "x.rlt", script}, "--results needs a scenario file; "},
        {{results}, "is a results file: draw its graphs with --graphs DIR."},
        {{"--report", "r.txt", "--graphs", "out", results}, "only --graphs DIR goes with it."},
        {{"--graphs", "out", (folder.path / "missing.rlt").string()}, "missing.rlt"},
        {{"--version", "--graphs", "out"}, "--results and --graphs do not go with them."},
    };
    for (const auto& c : cases) {
        RunnerResult r = runRunner(c.arguments);
        EXPECT_EQ(r.status, 2) << c.message << "\n" << r.err;
        EXPECT_THAT(r.err, HasSubstr(c.message));
    }
    EXPECT_FALSE(fs::exists("out"));
}
