// The graph model: axis rules, label texts, the colour table, the request graph of single runs
// and batches, the six batch graphs, and records that are damaged or script-driven.

#include "results/GraphModel.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using namespace torvex;

namespace {

// [user][request] -> the times of every iteration, in microseconds, without the terminating 0.
using Times = std::vector<std::vector<std::vector<std::int32_t>>>;

ResultsRecord detailed(const Times& times, std::vector<std::string> names) {
    auto r            = std::make_shared<CResultsStore>();
    r->userCount      = int(times.size());
    r->seqLength      = int(names.size());
    r->iterationCount = times.empty() || times[0].empty() ? 0 : std::int32_t(times[0][0].size());
    r->requestNames   = std::move(names);
    for (const auto& user : times) {
        auto& group = r->timings.emplace_back();
        for (auto entry : user) {
            entry.push_back(0);
            group.push_back(entry);
        }
    }
    return r;
}

// Minimum, sum, count and maximum per request.
ResultsRecord summary(const std::vector<std::array<std::int32_t, 4>>& requests,
                      std::vector<std::string> names) {
    auto r            = std::make_shared<CResultsStore>();
    r->userCount      = 1;
    r->iterationCount = 1;
    r->summaryOnly    = 1;
    r->seqLength      = int(names.size());
    r->requestNames   = std::move(names);
    auto& group       = r->timings.emplace_back();
    for (const auto& [min, sum, count, max] : requests) group.push_back({min, sum, count, max, 0});
    return r;
}

// A copy of the record as a run of a batch.
ResultsRecord inBatch(const ResultsRecord& single, int value, int by) {
    auto r         = std::make_shared<CResultsStore>(*single);
    r->batchNumber = 3;
    r->batchValue  = value;
    r->batchBy     = by;
    r->batchLabel  = by == 1 ? "Iterations" : "Virtual users";
    return r;
}

std::vector<double> xs(const GraphSeries& s) {
    std::vector<double> v;
    for (const auto& p : s.points) v.push_back(p.x);
    return v;
}

std::vector<double> ys(const GraphSeries& s) {
    std::vector<double> v;
    for (const auto& p : s.points) v.push_back(p.y);
    return v;
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-9) << "at " << i;
}

void expectAxis(const GraphAxis& a, double min, double max, double step) {
    EXPECT_DOUBLE_EQ(a.minimum, min);
    EXPECT_DOUBLE_EQ(a.maximum, max);
    EXPECT_DOUBLE_EQ(a.step, step);
}

constexpr std::int32_t kErr = -3; // an engine error mark

} // namespace

TEST(GraphAxisRules, YStepAndMaximumFollowTheLargestValue) {
    struct Case {
        double largest, step, maximum;
    };
    for (const Case c :
         {Case{600, 50, 650}, Case{0, 0.1, 1.1}, Case{5, 0.1, 5.1}, Case{6, 1, 7}, Case{20, 1, 21},
          Case{21, 10, 31}, Case{500, 10, 510}, Case{5000, 50, 5050}, Case{5001, 1000, 6001},
          Case{0.25, 0.1, 0.35}, Case{-1, 0.1, 2.220446e-16}}) {
        GraphAxis y{"t", "%.2f", 7, 7, 7};
        applyYRule(y, c.largest);
        SCOPED_TRACE(c.largest);
        expectAxis(y, 0, c.maximum, c.step);
    }
}

TEST(GraphAxisRules, BatchXRangeRunsFromBeforeTheFirstToAfterTheLargest) {
    struct Case {
        double first, largest, min, max, step;
    };
    for (const Case c : {Case{1, 20, 0, 21, 1}, Case{10, 200, 9, 201, 20}, Case{1, 49, 0, 50, 1},
                         Case{50, 50, 49, 51, 5}, Case{-100, -60, -101, -59, 1},
                         Case{1, -1, 0, 2.220446e-16, 1}}) {
        GraphAxis x;
        applyBatchXRule(x, c.first, c.largest);
        SCOPED_TRACE(c.first);
        EXPECT_DOUBLE_EQ(x.minimum, c.min);
        EXPECT_DOUBLE_EQ(x.step, c.step);
        EXPECT_DOUBLE_EQ(x.maximum, c.max);
    }
}

TEST(GraphText, TooltipsAndLabelsPrintWithTheirFormats) {
    EXPECT_EQ(pointTooltip({3, 2.5}), "(3, 2.50)");
    EXPECT_EQ(pointTooltip({-0.4, 1e-9}), "(-0, 0.00)");
    EXPECT_EQ(pointTooltip({1e20, 0}).size(), std::string("(100000000000000000000, 0.00)").size());
    EXPECT_EQ(axisLabel({"", "%.0f"}, 20.4), "20");
    EXPECT_EQ(axisLabel({"", "%.2f"}, 1.1), "1.10");
    EXPECT_EQ(axisLabel({"", "%8.3e ms"}, 1500), "1.500e+03 ms");
    // Formats that do not print exactly one number fall back to a plain one.
    for (const char* bad : {"%s", "%d", "", "%.2f %.2f", "%n", "%", "%%"})
        EXPECT_EQ(axisLabel({"", bad}, 2.5), "2.5") << bad;
}

TEST(GraphColours, SixtyTwoColoursAreTakenInTurnAndRepeat) {
    EXPECT_EQ(requestSeriesColour(0), (GraphColour{255, 0, 0}));
    EXPECT_EQ(requestSeriesColour(6), (GraphColour{255, 255, 255}));
    EXPECT_EQ(requestSeriesColour(36), (GraphColour{127, 127, 127}));
    EXPECT_EQ(requestSeriesColour(61), (GraphColour{63, 255, 255}));
    EXPECT_EQ(requestSeriesColour(62), requestSeriesColour(0));
    EXPECT_EQ(requestSeriesColour(62 * 3 + 5), requestSeriesColour(5));
    for (std::size_t i = 1; i < 62; ++i) EXPECT_NE(requestSeriesColour(i), requestSeriesColour(0));

    std::vector<std::string> names;
    for (int i = 0; i < 63; ++i) names.push_back("r" + std::to_string(i));
    auto record =
        inBatch(summary(std::vector<std::array<std::int32_t, 4>>(63, {1, 2, 1, 3}), names), 1, 0);
    for (int graph = 0; graph < 3; ++graph) {
        GraphChart chart = batchGraphChart({record}, graph);
        ASSERT_EQ(chart.series.size(), 63u);
        EXPECT_EQ(chart.series[62].name, "r62");
        EXPECT_EQ(chart.series[62].colour, (GraphColour{255, 0, 0}));
        EXPECT_EQ(chart.series[1].colour, (GraphColour{0, 255, 0}));
    }
}

TEST(RequestTimesGraph, SingleDetailedRunPlotsIterationsUpToTheLastOneReached) {
    // Two users, ten iterations planned; the run stopped after the seventh. Request "b" failed
    // every time.
    const std::vector<std::int32_t> notRun(3, -1);
    std::vector<std::int32_t> u0{1000, 2000, 3000, 4000, 5000, 6000, 7000};
    std::vector<std::int32_t> u1{3000, kErr, 1000, kErr, 5000, 2000, kErr};
    std::vector<std::int32_t> fails(7, kErr);
    for (auto* v : {&u0, &u1, &fails}) v->insert(v->end(), notRun.begin(), notRun.end());
    u0[3]       = kErr; // no user has a valid time in iteration 4
    auto record = detailed({{u0, fails}, {u1, fails}}, {"a", "b"});
    ASSERT_EQ(record->iterationCount, 10);

    GraphChart a = requestTimesChart({record}, 0);
    EXPECT_EQ(a.title, "a");
    EXPECT_EQ(a.caption, "Number of virtual users = 2");
    EXPECT_EQ(a.x.title, "Iteration");
    EXPECT_EQ(a.y.title, "Request processing time (ms)");
    EXPECT_EQ(a.x.labelFormat, "%.0f");
    EXPECT_EQ(a.y.labelFormat, "%.2f");
    ASSERT_EQ(a.series.size(), 3u);
    EXPECT_EQ(a.series[0].name, "Max");
    EXPECT_EQ(a.series[0].colour, (GraphColour{250, 0, 0}));
    EXPECT_EQ(a.series[1].name, "Avg");
    EXPECT_EQ(a.series[1].colour, (GraphColour{0, 0, 250}));
    EXPECT_EQ(a.series[2].name, "Min");
    EXPECT_EQ(a.series[2].colour, (GraphColour{0, 240, 0}));
    expectNear(xs(a.series[0]), {1, 2, 3, 4, 5, 6, 7});
    expectNear(ys(a.series[0]), {3, 2, 3, 0, 5, 6, 7});
    expectNear(ys(a.series[1]), {2, 2, 2, 0, 5, 4, 7});
    expectNear(ys(a.series[2]), {1, 2, 1, 0, 5, 2, 7});
    expectAxis(a.x, 0, 8, 1);
    expectAxis(a.y, 0, 8, 1);

    GraphChart b = requestTimesChart({record}, 1);
    EXPECT_EQ(b.title, "b");
    for (const auto& s : b.series) expectNear(ys(s), std::vector<double>(7, 0));
    expectAxis(b.y, 0, 1.1, 0.1);

    record->iterationCount = 120; // the step follows the planned iterations
    expectAxis(requestTimesChart({record}, 0).x, 0, 8, 10);
}

TEST(RequestTimesGraph, SingleSummaryOnlyRunPlotsOnePointAtOne) {
    auto record  = summary({{2000, 9000, 3, 5000}, {2147483647, 0, 0, 0}, {100, -300, 3, 400}},
                           {"a", "never", "odd"});
    GraphChart a = requestTimesChart({record}, 0);
    EXPECT_EQ(a.caption, "Number of virtual users = 1");
    expectNear(xs(a.series[1]), {1});
    expectNear(ys(a.series[0]), {5});
    expectNear(ys(a.series[1]), {3});
    expectNear(ys(a.series[2]), {2});
    expectAxis(a.x, 0, 2, 1);
    expectAxis(a.y, 0, 5.1, 0.1);

    GraphChart never = requestTimesChart({record}, 1);
    for (const auto& s : never.series) expectNear(ys(s), {0});
    GraphChart odd = requestTimesChart({record}, 2);
    expectNear(ys(odd.series[1]), {0}); // a negative average is drawn as 0
    expectNear(ys(odd.series[2]), {0.1});
}

TEST(RequestTimesGraph, BatchPlotsOneRunPerPointAndCaptionsByTheBatchKind) {
    // Run at 1: per-iteration maxima 3000 and 4000, minima 1000 and 4000.
    auto r1 = detailed({{{1000, 4000}}, {{3000, kErr}}}, {"a"});
    // Run at 5: nobody has a time in iteration 2, which counts as a minimum of 0.
    auto r2 = detailed({{{2000, kErr}}, {{5000, -1}}}, {"a"});
    auto r3 = summary({{1500, 6000, 3, 2500}}, {"a"});
    for (int by : {0, 1}) {
        ResultsList list{inBatch(r1, 1, by), inBatch(r2, 5, by), inBatch(r3, 20, by)};
        GraphChart chart = requestTimesChart(list, 0);
        EXPECT_EQ(chart.caption,
                  by == 1 ? "Number of virtual users = 2" : "Number of iterations = 2");
        EXPECT_EQ(chart.x.title, by == 1 ? "Iterations" : "Virtual users");
        EXPECT_EQ(chart.title, "a");
        expectNear(xs(chart.series[0]), {1, 5, 20});
        expectNear(ys(chart.series[0]), {4, 5, 2.5});
        expectNear(ys(chart.series[1]), {8.0 / 3, 3.5, 2});
        expectNear(ys(chart.series[2]), {1, 0, 1.5});
        expectAxis(chart.x, 0, 21, 1);
        expectAxis(chart.y, 0, 5.1, 0.1);
    }
}

TEST(BatchGraphs, RequestTimeGraphsTakeEveryUserAndIterationOfEachRun) {
    EXPECT_EQ(batchGraphNames(),
              (std::vector<std::string>{"Average request processing time",
                                        "Maximum request processing time",
                                        "Minimum request processing time", "Overall performance",
                                        "Errors", "Average bandwidth"}));
    // "b" fails every time; "c" holds a value that stands for "no minimum".
    auto r1            = inBatch(detailed({{{1000, 4000}, {kErr, kErr}, {2147483647, 6000}},
                                           {{3000, kErr}, {kErr, -1}, {kErr, 8000}}},
                                          {"a", "b", "c"}),
                                 10, 0);
    r1->iterationCount = 7;
    auto r2            = inBatch(
                   summary({{1500, 6000, 3, 2500}, {2147483647, 0, 0, 0}, {-5, 7, 0, -9}}, {"a", "b", "c"}),
                   200, 0);
    ResultsList list{r1, r2};
    ASSERT_TRUE(hasBatchGraphs(list));

    const std::vector<std::vector<double>> expected[3] = {
        {{8.0 / 3, 2}, {0, 0}, {(2147483647.0 + 14000) / 3 * 0.001, 0}}, // average
        {{4, 2.5}, {0, 0}, {2147483.647, 0}},                            // maximum
        {{1, 1.5}, {0, 0}, {6, 0}},                                      // minimum
    };
    for (int graph = 0; graph < 3; ++graph) {
        SCOPED_TRACE(graph);
        GraphChart chart = batchGraphChart(list, graph);
        EXPECT_EQ(chart.title, batchGraphNames()[std::size_t(graph)]);
        EXPECT_EQ(chart.caption, "Number of iterations = 7");
        EXPECT_EQ(chart.x.title, "Virtual users");
        EXPECT_EQ(chart.y.title, "Time (ms)");
        ASSERT_EQ(chart.series.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(chart.series[k].name, r1->requestNames[k]);
            EXPECT_EQ(chart.series[k].colour, requestSeriesColour(k));
            expectNear(xs(chart.series[k]), {10, 200});
            expectNear(ys(chart.series[k]), expected[graph][k]);
        }
        expectAxis(chart.x, 9, 201, 20);
    }
    expectAxis(batchGraphChart(list, 2).y, 0, 7, 1);
    expectAxis(batchGraphChart(list, 1).y, 0, 2147483.647 + 1000, 1000);

    r1->batchBy = 1;
    EXPECT_EQ(batchGraphChart(list, 0).caption, "Number of virtual users = 2");
}

TEST(BatchGraphs, PerformanceErrorsAndBandwidthPerRun) {
    struct Run {
        int made, errors;
        double percent;
    };
    ResultsList list;
    int value = 1;
    for (const Run r : {Run{0, 0, 100}, Run{200, 50, 25}, Run{10, 20, 100}, Run{3, 0, 0}}) {
        auto record             = inBatch(summary({{1, 1, 1, 1}}, {"a"}), value++, 1);
        record->requestsMade    = r.made;
        record->errorCount      = r.errors;
        record->requestsPerSec  = float(value * 100);
        record->serverBandwidth = value * 1.5;
        record->userBandwidth   = value * 0.25;
        list.push_back(record);
    }

    GraphChart errors = batchGraphChart(list, 4);
    EXPECT_EQ(errors.title, "Errors");
    EXPECT_EQ(errors.y.title, "Errors (%)");
    EXPECT_EQ(errors.x.title, "Iterations");
    EXPECT_EQ(errors.caption, "Number of virtual users = 1");
    ASSERT_EQ(errors.series.size(), 1u);
    EXPECT_EQ(errors.series[0].name, "Values");
    EXPECT_EQ(errors.series[0].colour, (GraphColour{0, 0, 255}));
    expectNear(ys(errors.series[0]), {100, 25, 100, 0});
    expectAxis(errors.y, 0, 100, 10);
    expectAxis(errors.x, 0, 5, 1);

    GraphChart performance = batchGraphChart(list, 3);
    EXPECT_EQ(performance.y.title, "Overall performance (requests/sec)");
    ASSERT_EQ(performance.series.size(), 1u);
    EXPECT_EQ(performance.series[0].name, "Values");
    expectNear(ys(performance.series[0]), {200, 300, 400, 500});
    expectAxis(performance.y, 0, 510, 10);

    GraphChart bandwidth = batchGraphChart(list, 5);
    EXPECT_EQ(bandwidth.y.title, "Average bandwidth (Kbits/sec)");
    ASSERT_EQ(bandwidth.series.size(), 2u);
    EXPECT_EQ(bandwidth.series[0].name, "Server");
    EXPECT_EQ(bandwidth.series[0].colour, (GraphColour{255, 0, 0}));
    EXPECT_EQ(bandwidth.series[1].name, "User");
    EXPECT_EQ(bandwidth.series[1].colour, (GraphColour{0, 0, 255}));
    expectNear(ys(bandwidth.series[0]), {24, 36, 48, 60});
    expectNear(ys(bandwidth.series[1]), {4, 6, 8, 10});
    expectAxis(bandwidth.y, 0, 70, 10);
}

TEST(GraphModel, DamagedAndScriptDrivenRecordsAreReadWithinEveryEntry) {
    EXPECT_FALSE(hasRequestGraphs({}));
    EXPECT_FALSE(hasBatchGraphs({}));
    EXPECT_FALSE(hasRequestGraphs({nullptr}));
    EXPECT_TRUE(requestTimesChart({}, 0).series.empty());
    EXPECT_TRUE(batchGraphChart({nullptr}, 0).series.empty());

    // Script-driven: each user's entry has its own length; the record's count is the last
    // user's. Every value of every user is drawn.
    auto scripted            = detailed({{{1000, 2000, 3000, 9000}}, {{4000}}}, {"s"});
    scripted->iterationCount = 1;
    GraphChart s             = requestTimesChart({scripted}, 0);
    expectNear(ys(s.series[0]), {4, 2, 3, 9});
    expectNear(ys(s.series[2]), {1, 2, 3, 9});
    expectAxis(s.x, 0, 5, 1);

    // Ragged groups, an entry without even its terminator, a short summary entry and no
    // timings at all.
    auto ragged = detailed({{{1000}, {2000}}, {{3000}}}, {"a", "b"});
    ragged->timings.push_back({{}, {}});
    auto shortSummary = summary({{1, 2, 3, 4}}, {"a", "b"});
    shortSummary->timings[0].push_back({7, 8});
    auto noTimings = detailed({}, {"a", "b"});
    auto noSummary = summary({}, {"a", "b"});

    expectNear(ys(requestTimesChart({ragged}, 1).series[0]), {2});
    for (const auto& record : {ragged, shortSummary, noTimings, noSummary}) {
        for (int request : {-1, 0, 1, 2, 1000}) {
            GraphChart single = requestTimesChart({record}, request);
            ASSERT_EQ(single.series.size(), 3u);
            EXPECT_GE(single.y.maximum, single.y.minimum);
        }
        for (int by : {0, 1}) {
            ResultsList batch{inBatch(record, 4, by), nullptr, inBatch(noTimings, 6, by)};
            // Every run has its point, 0 without times; a request not named has none.
            for (int request : {-1, 1, 2})
                for (const auto& series : requestTimesChart(batch, request).series)
                    EXPECT_EQ(series.points.size(), request == 1 ? 2u : 0u);
            for (int graph : {-1, 0, 1, 2, 3, 4, 5, 6}) {
                GraphChart chart = batchGraphChart(batch, graph);
                EXPECT_GT(chart.x.maximum, chart.x.minimum);
                for (const auto& series : chart.series) EXPECT_LE(series.points.size(), 2u);
            }
        }
    }
    EXPECT_TRUE(requestTimesChart({noTimings}, 0).series[0].points.empty());
    EXPECT_TRUE(requestTimesChart({noSummary}, 0).series[0].points.empty());
    const GraphChart withoutTimes = batchGraphChart({inBatch(noSummary, 1, 0)}, 0);
    ASSERT_EQ(withoutTimes.series[0].points.size(), 1u);
    EXPECT_EQ(withoutTimes.series[0].points[0], (GraphPoint{1, 0}));
    EXPECT_EQ(requestTimesChart({shortSummary}, 5).title, "");
}
