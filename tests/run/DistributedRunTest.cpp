// One run spread over several test sets, as over processes: users numbered from option
// firstuser, each part's results exported as a block and the blocks merged into one test set
// whose results and report describe the whole run.

#include "torvexcore.h"

#include "api/TestSet.h"
#include "run/DistributedRun.h"
#include "run/UserLogFile.h"
#include "run/UserSession.h"
#include "support/TempDir.h"
#include "support/TestSetHandle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using ::testing::HasSubstr;
using torvex::test::DistributedRun;
using torvex::test::exportOf;
using torvex::test::internals;
using torvex::test::kForms;
using torvex::test::kParts;
using torvex::test::kReordered;
using torvex::test::kUsers;
using torvex::test::kUsersPerPart;
using torvex::test::merge;
using torvex::test::reportOf;
using torvex::test::ResultsForm;
using torvex::test::Summary;
using torvex::test::TempDir;
using torvex::test::TestSetHandle;

namespace {

// The report without what legitimately differs between runs of the same users: clock times,
// times in milliseconds, work times, bandwidths and the approximation note.
std::string comparable(std::string report) {
    static const std::regex started("Test (started|finished) at: [^\n]*\n");
    static const std::regex decimals("-?[0-9]+\\.[0-9]{2}");
    static const std::regex clock("[0-9]{2}:[0-9]{2}:[0-9]{2}");
    static const std::regex userLine("\n([0-9]+)\t([0-9]+)\t[0-9]+\t");
    static const std::regex workTime("Total work time:\t[0-9]+");
    static const std::regex bandwidth("Average (server|user) bandwidth [^\n]*");
    static const std::regex warning("\nWARNING: approximation used![^\n]*\n[^\n]*\n");
    report = std::regex_replace(report, started, "");
    report = std::regex_replace(report, decimals, "T");
    report = std::regex_replace(report, clock, "C");
    report = std::regex_replace(report, userLine, "\n$1\t$2\tT\t");
    report = std::regex_replace(report, workTime, "Total work time:\tT");
    report = std::regex_replace(report, bandwidth, "Average $1 bandwidth");
    return std::regex_replace(report, warning, "\n");
}

// What GetInfo and GetResults tell of the run, with times reduced to "a time": the shape, the
// error outcomes and, for aggregates, the counts.
std::vector<std::int64_t> resultsShape(const TestSetHandle& ts) {
    TorvexInfo info{};
    GetInfo(ts.get(), &info);
    std::vector<std::int64_t> shape{info.users, info.iterations, info.requestsPerIteration,
                                    info.aggregate};
    for (int j = 0; j < info.requestsPerIteration && info.iterations > 0; ++j)
        shape.push_back(std::string(info.requestNames[j]) == "a" ? 1 : 2);
    auto timeOrError = [](std::int32_t value) { return value >= 0 ? 0 : value; };
    if (info.aggregate) {
        const auto* records = static_cast<const std::int32_t*>(GetResults(ts.get(), 0));
        for (int j = 0; records && j < info.requestsPerIteration; ++j) {
            const std::int32_t* r = records + 4 * j; // minimum, sum, count, maximum
            shape.push_back(r[2]);
            shape.push_back(r[0] <= r[3] ? 1 : 0);
        }
        return shape;
    }
    for (int u = 0; u < info.users; ++u) {
        if (info.iterations < 0) { // a script's row: the count, then the values
            auto** rows = static_cast<std::int32_t**>(GetResults(ts.get(), u));
            if (!rows) continue;
            shape.push_back(rows[0][0]);
            for (int k = 1; k <= rows[0][0]; ++k) shape.push_back(timeOrError(rows[0][k]));
            continue;
        }
        auto** rows = static_cast<std::int32_t**>(GetResults(ts.get(), u));
        for (int j = 0; rows && j < info.requestsPerIteration; ++j)
            for (int i = 0; i < info.iterations; ++i) shape.push_back(timeOrError(rows[j][i]));
    }
    return shape;
}

// The detailed rows or the script's row of `user`, copied out of GetResults.
std::vector<std::int32_t> userRow(const TestSetHandle& ts, int user) {
    TorvexInfo info{};
    GetInfo(ts.get(), &info);
    auto** rows = static_cast<std::int32_t**>(GetResults(ts.get(), user));
    if (!rows) return {};
    if (info.iterations < 0) return {rows[0], rows[0] + 1 + rows[0][0]};
    std::vector<std::int32_t> row;
    for (int j = 0; j < info.requestsPerIteration; ++j)
        row.insert(row.end(), rows[j], rows[j] + info.iterations);
    return row;
}

// The aggregate records (minimum, sum, count, maximum per entry), copied out of GetResults.
std::vector<std::int32_t> aggregates(const TestSetHandle& ts) {
    TorvexInfo info{};
    GetInfo(ts.get(), &info);
    const auto* records = static_cast<const std::int32_t*>(GetResults(ts.get(), 0));
    if (!records) return {};
    return {records, records + 4 * info.requestsPerIteration};
}

// The merged results hold every part's own values: each user's row cell by cell, or the
// aggregates combined entry by entry.
void expectPartsValues(const TestSetHandle& merged, const std::vector<TestSetHandle>& parts) {
    TorvexInfo info{};
    GetInfo(merged.get(), &info);
    if (!info.aggregate) {
        for (int u = 0; u < kUsers; ++u) {
            std::vector<std::int32_t> own = userRow(parts[u / kUsersPerPart], u % kUsersPerPart);
            EXPECT_FALSE(own.empty());
            EXPECT_EQ(userRow(merged, u), own) << "user " << u;
        }
        return;
    }
    std::vector<std::int32_t> combined = aggregates(parts.front());
    for (std::size_t p = 1; p < parts.size(); ++p) {
        std::vector<std::int32_t> own = aggregates(parts[p]);
        ASSERT_EQ(own.size(), combined.size());
        for (std::size_t i = 0; i < own.size(); i += 4) {
            combined[i] = std::min(combined[i], own[i]);
            combined[i + 1] += own[i + 1];
            combined[i + 2] += own[i + 2];
            combined[i + 3] = std::max(combined[i + 3], own[i + 3]);
        }
    }
    EXPECT_EQ(aggregates(merged), combined);
}

// Merged users only record results: they take no HTTP buffers.
void expectLightUsers(const TestSetHandle& merged) {
    for (const auto& user : internals(merged).users) {
        EXPECT_FALSE(user->http.io) << user->index();
        EXPECT_FALSE(user->http.request.holdsMemory()) << user->index();
        EXPECT_FALSE(user->http.response.holdsMemory()) << user->index();
        EXPECT_FALSE(user->http.script.body.holdsMemory()) << user->index();
    }
}

class DistributedForms : public DistributedRun,
                         public ::testing::WithParamInterface<ResultsForm> {};

} // namespace

TEST_P(DistributedForms, MergedPartsReportLikeOneProcessRunningAllUsers) {
    const ResultsForm& form = GetParam();
    TestSetHandle single    = runPart(form, kUsers, 0);
    auto singleValues       = seen(0);
    ASSERT_EQ(singleValues.size(), (form.name == std::string("script") ? 2u : 3u) * kUsers);

    std::vector<std::string> blocks;
    std::vector<TestSetHandle> parts;
    std::set<std::string> clids;
    std::vector<std::tuple<std::string, std::string, std::string>> partValues;
    for (int p = 0; p < kParts; ++p) {
        std::size_t before = server.requests().size();
        parts.push_back(runPart(form, kUsersPerPart, p * kUsersPerPart));
        blocks.push_back(exportOf(parts.back()));
        std::set<std::string> own;
        for (const auto& value : seen(before)) {
            partValues.push_back(value);
            own.insert(std::get<0>(value));
        }
        EXPECT_EQ(own.size(), static_cast<std::size_t>(kUsersPerPart));
        for (const std::string& clid : own)
            EXPECT_TRUE(clids.insert(clid).second) << clid << " was used by two parts";
    }
    std::sort(partValues.begin(), partValues.end());
    EXPECT_EQ(partValues, singleValues); // $clid, $Seq and X-Forwarded-For as one process
    EXPECT_EQ(clids.size(), static_cast<std::size_t>(kUsers));
    EXPECT_THAT(reportOf(parts.back()), HasSubstr(form.lastUser)); // global user numbers

    // Blocks in any order; the users come out ordered by their global index.
    TestSetHandle merged = load(form);
    ASSERT_EQ(merge(merged, {blocks[2], blocks[0], blocks[1]}), 1) << out.only();
    EXPECT_EQ(resultsShape(merged), resultsShape(single));
    expectPartsValues(merged, parts);
    expectLightUsers(merged);
    Summary whole{}, combined{};
    std::string singleReport = reportOf(single, &whole);
    std::string mergedReport = reportOf(merged, &combined);
    EXPECT_EQ(comparable(mergedReport), comparable(singleReport));
    EXPECT_THAT(mergedReport, HasSubstr("Virtual users: 6\n"));
    EXPECT_EQ(combined.totalRequests, whole.totalRequests);
    EXPECT_EQ(combined.totalErrors, whole.totalErrors);
    EXPECT_EQ(combined.totalErrors, form.name == std::string("script") ? 1 : 3);

    // Time figures: as long as the longest part; the parts' rates add up.
    int longest = 0, rates = 0, sent = 0;
    for (const TestSetHandle& part : parts) {
        Summary own{};
        reportOf(part, &own);
        longest = std::max(longest, internals(part).elapsed);
        rates += own.requestsPerSecond;
        sent += internals(part).sent.load();
    }
    EXPECT_EQ(internals(merged).elapsed, longest);
    EXPECT_EQ(internals(merged).sent.load(), sent);
    if (form.name != std::string("script")) {
        EXPECT_NEAR(combined.requestsPerSecond, rates, 3);
    }

    // A merged run exports and merges again into the same results.
    TestSetHandle again = load(form);
    ASSERT_EQ(merge(again, {exportOf(merged)}), 1);
    EXPECT_EQ(reportOf(again), reportOf(merged));
}

INSTANTIATE_TEST_SUITE_P(EveryResultsForm, DistributedForms, ::testing::ValuesIn(kForms),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DistributedRun, FirstUserNumbersLogsAddressesAndTheReport) {
    TempDir dir;
    std::size_t before = server.requests().size();
    TestSetHandle ts   = runPart(kForms[0], 2, 300);
    // Users 301 and 302: X-Forwarded-For 192.168.$C2.$C1 with C2 = 300 / 254 + 1.
    auto values = seen(before);
    ASSERT_EQ(values.size(), 6u);
    EXPECT_EQ(values.front(), std::make_tuple("u300", "s3100", "192.168.2.47"));
    EXPECT_EQ(values.back(), std::make_tuple("u301", "s3112", "192.168.2.48"));
    std::string report = reportOf(ts);
    EXPECT_THAT(report, HasSubstr("\n301\t6\t"));
    EXPECT_THAT(report, HasSubstr("\n302/00003\t"));
    EXPECT_THAT(report, ::testing::Not(HasSubstr("\n001/")));

    // Log files carry the global number too.
    ASSERT_EQ(ParseGeneralParam(ts.get(), "log", "1"), 1);
    ASSERT_EQ(ParseGeneralParam(ts.get(), "logdir", dir.path.c_str()), 1);
    ASSERT_EQ(ParseGeneralParam(ts.get(), "firstuser", "4"), 1);
    ASSERT_EQ(RunTest(ts.get()), 1);
    EXPECT_TRUE(std::filesystem::exists(torvex::UserLogFile::pathFor(internals(ts), 4)));
    EXPECT_TRUE(std::filesystem::exists(dir.path / "-2x3-user6.log"));
    EXPECT_FALSE(std::filesystem::exists(dir.path / "-2x3-user1.log"));

    // No user number may pass the largest int.
    ASSERT_EQ(ParseGeneralParam(ts.get(), "firstuser", "2147483646"), 1);
    out.clear();
    EXPECT_EQ(RunTest(ts.get()), 0);
    EXPECT_EQ(out.only(), "Error: firstuser 2147483646 leaves no room for 2 users!");
}

TEST_F(DistributedRun, DamagedForeignOrRepeatedBlocksAreRefusedAndChangeNothing) {
    TestSetHandle part   = runPart(kForms[0], 2, 0);
    std::string block    = exportOf(part);
    TestSetHandle other  = runPart(kForms[0], 2, 2);
    std::string second   = exportOf(other);
    TestSetHandle target = load(kForms[0]);
    ASSERT_EQ(merge(target, {block}), 1);
    const std::string report = reportOf(target);
    const std::string state  = exportOf(target);

    TestSetHandle foreignScript = load(kReordered);
    ASSERT_EQ(RunTest(foreignScript.get()), 1);
    // A byte changed in the magic, the version, and one more byte counted in the length.
    std::string wrongMagic = block, wrongVersion = block, padded = block + "x";
    wrongMagic[0]   = 'X';
    wrongVersion[8] = 2;
    padded[12]      = static_cast<char>(padded[12] + 1);

    const std::string cannot = "results block 1 of 1 cannot be merged: ";
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{block.substr(0, 12)}, cannot + "truncated!"},
        {{second, block.substr(0, block.size() - 1)},
         "results block 2 of 2 cannot be merged: truncated!"},
        {{block + "x"}, cannot + "unexpected bytes after its end!"},
        {{padded}, cannot + "unexpected bytes after its end!"},
        {{wrongMagic}, cannot + "not a Torvex results block (wrong magic)!"},
        {{wrongVersion}, cannot + "format version 2, this engine reads 1!"},
        {{exportOf(foreignScript)}, cannot + "made from a different test script or options!"},
        {{block, second, block}, "Error: results blocks 1 and 3 both hold virtual user 1!"},
    };
    for (const auto& [blocks, reason] : refused) {
        SCOPED_TRACE(reason);
        out.clear();
        EXPECT_EQ(merge(target, blocks), 0);
        EXPECT_THAT(out.only(), HasSubstr(reason));
        EXPECT_EQ(exportOf(target), state);
        EXPECT_EQ(reportOf(target), report);
    }

    // Every shorter block is refused, and a block with any byte changed is refused or merged
    // into results the report can show: nothing is read outside the block.
    TestSetHandle scratch = load(kForms[0]);
    for (std::size_t n = 0; n < block.size(); ++n) {
        out.clear();
        ASSERT_EQ(merge(scratch, {block.substr(0, n)}), 0) << n;
        ASSERT_THAT(out.only(), HasSubstr("truncated")) << n;
    }
    for (std::size_t i = 0; i < block.size(); ++i) {
        std::string damaged = block;
        damaged[i]          = static_cast<char>(damaged[i] ^ 0x5A);
        out.clear();
        if (merge(scratch, {damaged}) == 1) {
            EXPECT_FALSE(reportOf(scratch).empty()) << i;
        } else {
            EXPECT_THAT(out.only(), ::testing::StartsWith("Error: results block")) << i;
        }
    }
}
