#include "wizards/ScenarioAnswers.h"
#include "model/Scenario.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace torvex;

namespace {

// The answers of a run through the wizard that keeps every page's defaults for `objective`.
ScenarioAnswers defaultsFor(int objective) {
    ScenarioAnswers answers;
    answers.objective = objective;
    resetLoadForObjective(objective, answers.load);
    resetVolumeForObjective(objective, answers.volume);
    return answers;
}

void addRequest(CScenario& scenario, int delayMin, int delayMax) {
    CRequest& request = scenario.requests.append(std::make_unique<CRequest>());
    request.delayMin  = delayMin;
    request.delayMax  = delayMax;
}

std::string delaysOf(const CScenario& s) {
    std::string delays;
    s.requests.forEach([&](const CRequest& r) {
        delays += std::to_string(r.useDelay) + ":" + std::to_string(r.delayMin) + "-" +
                  std::to_string(r.delayMax) + " ";
    });
    return delays;
}

// The fields Finish sets, on one line, so that a mismatch shows all of them.
std::string describe(const CScenario& s) {
    const CRunSection& r = s.run;
    char text[256];
    std::snprintf(text, sizeof text,
                  "batch%d by%d %d..%d/%d users%d it%d time%d:%d req%d:%d timings%d level%d:%d "
                  "obj%d speed%d:%d delays%d ",
                  r.batchRun, r.batchBy, r.batchFrom, r.batchTo, r.batchStep, r.users, r.iterations,
                  r.limitTime, r.maxMinutes, r.limitRequests, r.maxRequests, r.saveTimings,
                  r.loadLevelMode, r.requestsPerSecond, r.objectiveId, s.general.limitSpeed,
                  s.general.speed, s.general.useDelays);
    return text + delaysOf(s);
}

} // namespace

TEST(ScenarioAnswers, ObjectivesAndPageDefaults) {
    EXPECT_EQ(objectiveName(4), "Reliability/Endurance");
    EXPECT_EQ(objectiveName(6), "Scalability/Benchmarking");
    EXPECT_EQ(objectiveName(7), "");
    struct Case {
        int objective;
        bool batch;
        int from, to, step, iterations, minutes, requests;
    } cases[] = {
        {0, true, 1, 20, 1, 5, 1, 100},   {1, false, 20, 20, 7, 50, 1, 100},
        {2, true, 1, 20, 1, 50, 1, 100},  {3, true, 1, 20, 1, 5, 1, 100},
        {4, false, 20, 20, 7, 5, 33, 44}, {5, false, 20, 20, 7, 5, 1, 100},
        {6, false, 20, 20, 7, 5, 1, 100},
    };
    for (const Case& c : cases) {
        // What a previous visit left: single runs keep the step, endurance its limits' values.
        LoadAnswers load{5, 9, 7, true, 3};
        VolumeAnswers volume{9, true, 44, true, 33, 2, 30};
        resetLoadForObjective(c.objective, load);
        resetVolumeForObjective(c.objective, volume);
        EXPECT_EQ(isBatchObjective(c.objective), c.batch);
        EXPECT_EQ(isEnduranceObjective(c.objective), c.objective == 4);
        EXPECT_EQ(std::vector<int>({load.from, load.to, load.step, load.limitLoad}),
                  std::vector<int>({c.from, c.to, c.step, 1}))
            << c.objective;
        EXPECT_EQ(std::vector<int>({volume.iterations, volume.minutes, volume.requests,
                                    volume.limitTime, volume.limitRequests, volume.hours}),
                  std::vector<int>({c.iterations, c.minutes, c.requests, 0, 0, 2}))
            << c.objective;
    }
}

TEST(ScenarioAnswers, Summaries) {
    EXPECT_EQ(loadSummary({20, 20, 1, true, 15}),
              "20 virtual users\r\n      Load level is 15 hits/sec");
    EXPECT_EQ(loadSummary({1, 1, 1, false, 1}), "1 virtual user\r\n      No load level limit");
    EXPECT_EQ(loadSummary({0, 0, 1, false, 1}), "0 virtual user\r\n      No load level limit");
    EXPECT_EQ(volumeSummary(1, {1, true, 1, true, 3, 1, 10}),
              "Perform 1 iteration\r\n      Run for 3 min\r\n      Perform 1 request");
    EXPECT_EQ(volumeSummary(2, {0, true, 250, false, 3, 1, 10}),
              "Perform 0 iteration\r\n      Perform 250 requests");
    EXPECT_EQ(volumeSummary(4, {5, true, 1, true, 3, 1, 60}),
              "Test duration: 1 hour\r\n      Reporting period: 60 min");
    EXPECT_EQ(importSummary(1), "Imported 1 request");
    EXPECT_EQ(importSummary(3), "Imported 3 requests");

    ScenarioAnswers answers  = defaultsFor(0);
    answers.simulation.level = SimulationLevel::Low;
    EXPECT_EQ(
        finishSummary(answers, 0),
        "+ Testing objective:\r\n      Capacity\r\n\r\n"
        "+ Load level:\r\n      1-20 virtual users, step 1\r\n      No load level limit\r\n\r\n"
        "+ Test volume:\r\n      Perform 5 iterations\r\n\r\n"
        "+ Real user simulation level:\r\n      Low\r\n\r\n+ No requests were imported");
}

TEST(ScenarioAnswers, FinishSetsTheRunSection) {
    struct Case {
        const char* name;
        int objective;
        std::function<void(ScenarioAnswers&)> change;
        const char* expected;
    } cases[] = {
        {"capacity", 0, [](ScenarioAnswers&) {},
         "batch1 by0 1..20/1 users20 it5 time0:1 req0:100 timings0 level0:1 obj0"},
        {"overall performance keeps timings at any level", 1,
         [](ScenarioAnswers& a) { a.simulation.level = SimulationLevel::Low; },
         "batch0 by0 1..20/1 users20 it50 time0:1 req0:100 timings1 level0:1 obj1"},
        {"limits and load level, Medium", 6,
         [](ScenarioAnswers& a) {
             a.volume             = {7, true, 250, true, 15, 1, 10};
             a.load.limitLoad     = true;
             a.load.hitsPerSecond = 40;
             a.simulation.level   = SimulationLevel::Medium;
         },
         "batch0 by0 1..20/1 users20 it7 time1:15 req1:250 timings0 level1:40 obj6"},
        {"batch bounds that meet make a single run", 3,
         [](ScenarioAnswers& a) {
             a.load = {8, 8, 2, false, 9};
         },
         "batch0 by0 1..20/1 users8 it5 time0:1 req0:100 timings1 level0:9 obj3"},
        {"endurance", 4,
         [](ScenarioAnswers& a) {
             a.volume.hours         = 2;
             a.volume.periodMinutes = 30;
         },
         "batch1 by1 1800..1803/1 users20 it5 time1:30 req0:100 timings0 level0:1 obj4"},
        {"endurance, hour by hour", 4,
         [](ScenarioAnswers& a) {
             a.load.from            = 7;
             a.volume.periodMinutes = 60;
         },
         "batch1 by1 10285..10285/1 users7 it5 time1:60 req0:100 timings0 level0:1 obj4"},
        // No users would divide by zero: the test is set up for one user.
        {"endurance without users", 4, [](ScenarioAnswers& a) { a.load.from = a.load.to = 0; },
         "batch1 by1 12000..12005/1 users1 it5 time1:10 req0:100 timings0 level0:1 obj4"},
    };
    for (const Case& c : cases) {
        ScenarioAnswers answers = defaultsFor(c.objective);
        c.change(answers);
        CScenario working, target;
        target.run.comment = "reset first";
        applyScenarioAnswers(answers, working, target);
        EXPECT_EQ(describe(target).substr(0, std::string(c.expected).size()), c.expected) << c.name;
        EXPECT_EQ(target.run.comment, "");
    }
}

TEST(ScenarioAnswers, SimulationLevelsSetSpeedAndThinkTimes) {
    using Level = SimulationLevel;
    using Mode  = ThinkTimeMode;
    struct Case {
        Level level;
        Mode mode;
        int minus, plus;
        const char* expected;
    } cases[] = {
        {Level::Low, Mode::Range, 0, 0, "speed1:-1 delays0 0:7-7 0:20-20 0:3-8 "},
        {Level::Medium, Mode::Range, 0, 0, "speed1:56000 delays0 0:7-7 0:20-20 0:3-8 "},
        {Level::High, Mode::NoDelays, 0, 0, "speed1:56000 delays0 0:7-7 0:20-20 0:3-8 "},
        {Level::High, Mode::UseDelays, 9, 9, "speed1:56000 delays1 1:7-7 1:20-20 1:3-8 "},
        // 0.7 is cut to 0; the middle of 3 and 8 is 5, whose 10 % (0.5) is cut to 0 as well.
        {Level::High, Mode::RandomPercent, 10, 10, "speed1:56000 delays1 1:7-7 1:18-22 1:5-5 "},
        {Level::High, Mode::RandomPercent, 100, 50, "speed1:56000 delays1 1:0-10 1:0-30 1:0-7 "},
        {Level::High, Mode::Range, 10, 10, "speed1:56000 delays1 1:4-9 1:4-9 1:4-9 "},
    };
    for (const Case& c : cases) {
        ScenarioAnswers answers = defaultsFor(0);
        answers.simulation = {c.level, false, "10.$R1.$R2.1", 56000, c.mode, c.minus, c.plus, 4, 9};
        CScenario working, target;
        addRequest(working, 7, 7);
        addRequest(working, 20, 20);
        addRequest(working, 3, 8);
        addRequest(target, 1, 1); // replaced by the wizard's requests
        applyScenarioAnswers(answers, working, target);

        const std::string all = describe(target);
        EXPECT_EQ(all.substr(all.find("speed")), c.expected);
        EXPECT_EQ(target.general.addForwardedFor, 0);
        EXPECT_EQ(target.general.proxyMask, "10.$R1.$R2.1");
        EXPECT_EQ(delaysOf(working), "0:7-7 0:20-20 0:3-8 "); // copies were changed
    }
}

// Delays read from a file may be as large as an int holds: widening them stays within it.
TEST(ScenarioAnswers, WideningHugeDelaysStaysWithinTheirRange) {
    ScenarioAnswers answers = defaultsFor(0);
    answers.simulation      = {SimulationLevel::High,
                               false,
                               "1.2.3.4",
                               56000,
                               ThinkTimeMode::RandomPercent,
                               10,
                               100,
                               0,
                               0};
    CScenario working, target;
    addRequest(working, INT_MAX, INT_MAX);
    addRequest(working, 2000000000, 2000000000);
    applyScenarioAnswers(answers, working, target);
    EXPECT_EQ(delaysOf(target), "1:1932735283-2147483647 1:1800000000-2147483647 ");
}
