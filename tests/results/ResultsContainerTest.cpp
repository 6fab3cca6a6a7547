// The results list: run ids, loading and saving through files, refused files that leave the list
// as it was, records shared beyond a clearing, the listener, and adds from several threads.

#include "results/ResultsContainer.h"
#include "support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using ::testing::HasSubstr;
using torvex::CResultsContainer;
using torvex::CResultsStore;
using torvex::ResultsRecord;
using torvex::test::fileText;
using torvex::test::TempDir;

namespace {

ResultsRecord titled(const std::string& title) {
    auto r = std::make_shared<CResultsStore>();
    r->SetTitle(title);
    r->reportText = "report of " + title + "\r\n";
    r->timings    = {{{100, 200, 0}}};
    return r;
}

std::string written(const TempDir& dir, const std::string& name, const std::string& bytes) {
    std::string path = (dir.path / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::vector<std::string> titles(const CResultsContainer& list) {
    std::vector<std::string> all;
    for (int i = 0; i < list.GetCount(); ++i) all.push_back(list.GetAt(i)->GetTitle());
    return all;
}

} // namespace

TEST(ResultsContainer, LoadingReplacesTheListKeepsRunIdsAndAddContinuesItsOwnCounter) {
    TempDir dir;
    CResultsContainer saved;
    for (const char* title : {"a", "b", "c"}) saved.Add(titled(title));
    saved.Clear();
    EXPECT_EQ(saved.Add(titled("d")), 0);
    EXPECT_EQ(saved.Add(titled("e")), 1);
    std::string error;
    const std::string path = (dir.path / "runs.rlt").string();
    ASSERT_TRUE(saved.SaveToFile(path, error)) << error;
    EXPECT_EQ(fileText(path), saved.Serialize());

    CResultsContainer loaded;
    for (int i = 0; i < 6; ++i) loaded.Add(titled("old"));
    int notified = 0;
    loaded.SetListener([&] { ++notified; });
    ASSERT_TRUE(loaded.LoadFromFile(path, error)) << error;
    EXPECT_EQ(notified, 1);
    EXPECT_THAT(titles(loaded), ::testing::ElementsAre("d", "e"));
    EXPECT_EQ(loaded.GetAt(0)->runId, 4);
    EXPECT_EQ(loaded.FindByRunId(5)->GetTitle(), "e");
    EXPECT_EQ(loaded.Serialize(), saved.Serialize());
    EXPECT_EQ(loaded.Add(titled("f")), 2);
    EXPECT_EQ(loaded.GetAt(2)->runId, 7);
}

TEST(ResultsContainer, LoadedRunsAndLaterRunsNeverShareARunId) {
    TempDir dir;
    CResultsContainer saved;
    for (const char* title : {"a", "b", "c"}) saved.Add(titled(title));
    saved.GetAt(1)->runId = 1; // as a file written elsewhere may have it
    saved.GetAt(2)->runId = 0;
    std::string error;
    const std::string path = (dir.path / "runs.rlt").string();
    ASSERT_TRUE(saved.SaveToFile(path, error)) << error;

    // A fresh program opens the file, then runs a test: the new run is not taken for "a".
    CResultsContainer list;
    ASSERT_TRUE(list.LoadFromFile(path, error)) << error;
    EXPECT_EQ(list.GetAt(0)->runId, 1);
    EXPECT_EQ(list.GetAt(1)->runId, 2);
    EXPECT_EQ(list.GetAt(2)->runId, 3);
    EXPECT_EQ(list.FindByRunId(3)->GetTitle(), "c");
    list.Clear();
    list.Add(titled("new"));
    EXPECT_EQ(list.GetAt(0)->runId, 4);
    EXPECT_EQ(list.FindByRunId(1), nullptr);
}

TEST(ResultsContainer, RefusedFilesLeaveTheListAsItWasAndNameTheFile) {
    TempDir dir;
    CResultsContainer source;
    source.Add(titled("kept one"));
    source.Add(titled("kept two"));
    const std::string good = source.Serialize();
    std::string versionTwo = good, recordSeven = good, hugeCount = good;
    versionTwo[0]  = 2;
    recordSeven[8] = 7;
    hugeCount[7]   = 0x7F;

    CResultsContainer list;
    list.Add(titled("x"));
    ResultsRecord held = list.GetAt(0);
    int notified       = 0;
    list.SetListener([&] { ++notified; });
    std::vector<std::pair<std::string, std::string>> damaged = {
        {"version2.rlt", versionTwo},
        {"record7.rlt", recordSeven},
        {"huge.rlt", hugeCount},
        {"empty.rlt", ""},
        {"cut3.rlt", good.substr(0, 3)},
        {"cut20.rlt", good.substr(0, 20)},
        {"cutend.rlt", good.substr(0, good.size() - 1)},
        {"trailing.rlt", good + "junk"}};
    for (const auto& [name, bytes] : damaged) {
        SCOPED_TRACE(name);
        const std::string path = written(dir, name, bytes);
        std::string error;
        EXPECT_FALSE(list.LoadFromFile(path, error));
        EXPECT_THAT(error, HasSubstr("Cannot read the results file " + path + ": "));
        EXPECT_THAT(error, HasSubstr(" at byte "));
        ASSERT_EQ(list.GetCount(), 1);
        EXPECT_EQ(list.GetAt(0), held);
    }
    std::string error;
    const std::string missing = (dir.path / "missing.rlt").string();
    EXPECT_FALSE(list.LoadFromFile(missing, error));
    EXPECT_EQ(error, "Cannot open the results file " + missing + ".");
    const std::string unwritable = (dir.path / "no-folder" / "runs.rlt").string();
    EXPECT_FALSE(list.SaveToFile(unwritable, error));
    EXPECT_EQ(error, "Cannot write the results file " + unwritable + ".");
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(list.GetCount(), 1);
}

TEST(ResultsContainer, RecordsOutliveAClearingAndTheListenerMayReadTheList) {
    CResultsContainer list;
    std::vector<int> counts; // the count the listener saw at each notice
    list.SetListener([&] { counts.push_back(list.GetCount()); });
    list.Add(titled("a"));
    list.Add(titled("b"));
    ResultsRecord byIndex = list.GetAt(1);
    ResultsRecord byId    = list.FindByRunId(1);
    EXPECT_EQ(list.GetAt(2), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.FindByRunId(0), nullptr);
    EXPECT_EQ(list.FindByRunId(3), nullptr);

    list.Clear();
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_EQ(list.FindByRunId(1), nullptr);
    EXPECT_EQ(byIndex->GetTitle(), "b");
    EXPECT_EQ(byId->timings[0][0][1], 200);
    EXPECT_EQ(byId.use_count(), 1);
    EXPECT_EQ(counts, (std::vector<int>{1, 2, 0}));
}

TEST(ResultsContainer, AddsFromSeveralThreadsGetDistinctRunIds) {
    CResultsContainer list;
    std::atomic<int> notices{0};
    list.SetListener([&] { ++notices; });
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t)
        workers.emplace_back([&] {
            for (int i = 0; i < 100; ++i) list.Add(std::make_shared<CResultsStore>());
        });
    for (int i = 0; i < 100; ++i) list.Serialize();
    for (std::thread& w : workers) w.join();
    std::set<std::int32_t> ids;
    for (int i = 0; i < list.GetCount(); ++i) ids.insert(list.GetAt(i)->runId);
    EXPECT_EQ(ids.size(), 400u);
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 400);
    EXPECT_EQ(notices.load(), 400);
}

// Found by fuzzing: a damaged file whose first record has the run id INT_MAX made the next fresh
// id overflow. Ids beyond INT_MAX / 2 are renumbered like a missing one, and runs added later
// still get distinct positive ids.
TEST(ResultsContainer, LoadedRunIdsNearTheLimitAreRenumbered) {
    TempDir dir;
    CResultsContainer saved;
    for (const char* title : {"a", "b", "c"}) saved.Add(titled(title));
    saved.GetAt(0)->runId = INT32_MAX;
    saved.GetAt(1)->runId = 0;
    saved.GetAt(2)->runId = INT32_MAX / 2;
    std::string error;
    const std::string path = (dir.path / "runs.rlt").string();
    ASSERT_TRUE(saved.SaveToFile(path, error)) << error;

    CResultsContainer list;
    ASSERT_TRUE(list.LoadFromFile(path, error)) << error;
    EXPECT_EQ(list.GetAt(2)->runId, INT32_MAX / 2);
    EXPECT_EQ(list.GetAt(0)->runId, INT32_MAX / 2 + 1);
    EXPECT_EQ(list.GetAt(1)->runId, INT32_MAX / 2 + 2);
    EXPECT_EQ(list.Add(titled("new")), 3);
    EXPECT_EQ(list.GetAt(3)->runId, INT32_MAX / 2 + 3);
}
