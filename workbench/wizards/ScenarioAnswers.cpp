#include "wizards/ScenarioAnswers.h"

#include "model/Scenario.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>

namespace torvex {
namespace {

constexpr const char* kLineBreak = "\r\n";
constexpr const char* kIndent    = "      ";

// "s" for counts above 1, as the summaries write their plurals.
std::string plural(int count) {
    return count > 1 ? "s" : "";
}

// `value` moved by `percent` of itself, the fraction cut toward zero; 64 bits keep large think
// times from overflowing.
// The middle of a request's think times widened by percents, cut toward zero. Imported files may
// hold any delays, so the sums are done in 64 bits and kept within an int.
struct SpreadDelays {
    int min;
    int max;
};
SpreadDelays spreadAroundMiddle(int delayMin, int delayMax, int minusPercent, int plusPercent) {
    const std::int64_t middle = (std::int64_t{delayMin} + delayMax) / 2;
    auto clamped              = [](std::int64_t value) {
        return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                         std::numeric_limits<int>::max()));
    };
    return {clamped(middle - middle * minusPercent / 100),
            clamped(middle + middle * plusPercent / 100)};
}

void applyEndurance(const ScenarioAnswers& answers, CRunSection& run) {
    const int users  = answers.load.from > 0 ? answers.load.from : 1; // no division by zero
    const int period = answers.volume.periodMinutes > 0 ? answers.volume.periodMinutes : 1;
    run.batchRun     = 1;
    run.batchBy      = 1; // iterations
    run.limitTime    = 1;
    run.users        = users;
    run.maxMinutes   = period;
    // Each run lasts one period; the run count covers the duration, one iteration more each run.
    run.batchFrom = period * 1200 / users;
    run.batchTo   = run.batchFrom + answers.volume.hours * 60 / period - 1;
    run.batchStep = 1;
}

void applyVolume(const ScenarioAnswers& answers, CRunSection& run) {
    const LoadAnswers& load     = answers.load;
    const VolumeAnswers& volume = answers.volume;
    if (answers.objective == 1) run.saveTimings = 1;
    run.iterations = volume.iterations;
    if (load.from == load.to) {
        run.batchRun = 0;
        run.users    = load.from;
    } else {
        run.batchRun  = 1;
        run.batchFrom = load.from;
        run.batchTo   = load.to;
        run.batchStep = load.step;
    }
    run.limitTime     = volume.limitTime ? 1 : 0;
    run.limitRequests = volume.limitRequests ? 1 : 0;
    if (volume.limitTime) run.maxMinutes = volume.minutes;
    if (volume.limitRequests) run.maxRequests = volume.requests;
}

// The think times of every request, under the container's lock: recording or a run may walk
// the requests at the same time.
void applyThinkTimes(const SimulationAnswers& simulation, CScenario& target) {
    const bool useDelays = simulation.thinkTime != ThinkTimeMode::NoDelays;
    std::lock_guard guard(target.requests);
    target.requests.forEach([&](CRequest& request) {
        request.useDelay = useDelays ? 1 : 0;
        if (simulation.thinkTime == ThinkTimeMode::RandomPercent) {
            const SpreadDelays spread =
                spreadAroundMiddle(request.delayMin, request.delayMax, simulation.minusPercent,
                                   simulation.plusPercent);
            request.delayMin = spread.min;
            request.delayMax = spread.max;
        } else if (simulation.thinkTime == ThinkTimeMode::Range) {
            request.delayMin = simulation.rangeFromSeconds;
            request.delayMax = simulation.rangeToSeconds;
        }
    });
    target.general.useDelays = useDelays ? 1 : 0;
}

} // namespace

const std::array<ScenarioObjective, kObjectiveCount>& objectives() {
    static const std::array<ScenarioObjective, kObjectiveCount> list = {{
        {"Capacity",
         "Estimate overall performance of your site/web-based application - what is the maximum "
         "number of page hits per second your Web server can serve under load of multiple users.",
         true},
        {"Overall Performance",
         "How many users can be served by your site/web-based application maintaining acceptable "
         "(required) response or page processing time?",
         false},
        {"Performance Characteristics",
         "Measure performance characteristics of your site/web-based application such as number of "
         "processed requests per second and response or page processing time.",
         true},
        {"Stress Capabilities",
         "Find breakpoint of your site/web-based application performance against maximum user "
         "load.",
         true},
        {"Reliability/Endurance",
         "How reliable is your site/web-based application over an extended period of high user "
         "load?",
         false},
        {"Real User Experience/Background Testing",
         "Estimate browsing experience of real user while tested site/web-based application is "
         "under the planned level of load.",
         false},
        {"Scalability/Benchmarking",
         "Determine optimal hardware/software configuration - evaluate difference in performance "
         "characteristics of your site/web-based application for different software and/or "
         "hardware configurations.",
         false},
    }};
    return list;
}

bool isBatchObjective(int objective) {
    return objective >= 0 && objective < kObjectiveCount &&
           objectives()[static_cast<std::size_t>(objective)].batch;
}

bool isEnduranceObjective(int objective) {
    return objective == kEnduranceObjective;
}

std::string objectiveName(int objective) {
    if (objective < 0 || objective >= kObjectiveCount) return {};
    return objectives()[static_cast<std::size_t>(objective)].name;
}

const char* simulationLevelName(SimulationLevel level) {
    switch (level) {
    case SimulationLevel::High:
        return "High";
    case SimulationLevel::Medium:
        return "Medium";
    case SimulationLevel::Low:
        return "Low";
    }
    return "";
}

void resetLoadForObjective(int objective, LoadAnswers& load) {
    if (isBatchObjective(objective)) {
        load.from = 1;
        load.to   = 20;
        load.step = 1;
    } else {
        load.from = 20;
        load.to   = 20;
    }
}

void resetVolumeForObjective(int objective, VolumeAnswers& volume) {
    volume.iterations    = objective == 1 || objective == 2 ? 50 : 5;
    volume.limitTime     = false;
    volume.limitRequests = false;
    if (isEnduranceObjective(objective)) return; // its minutes and requests stay as they were
    volume.minutes  = 1;
    volume.requests = 100;
}

std::string loadSummary(const LoadAnswers& load) {
    std::string text;
    if (load.from == load.to) {
        text = std::to_string(load.from) + " virtual user" + plural(load.from) + kLineBreak;
    } else {
        text = std::to_string(load.from) + "-" + std::to_string(load.to) + " virtual users, step " +
               std::to_string(load.step) + kLineBreak;
    }
    text += kIndent;
    text += load.limitLoad ? "Load level is " + std::to_string(load.hitsPerSecond) + " hits/sec"
                           : std::string("No load level limit");
    return text;
}

std::string volumeSummary(int objective, const VolumeAnswers& volume) {
    if (isEnduranceObjective(objective)) {
        return "Test duration: " + std::to_string(volume.hours) + " hour" + plural(volume.hours) +
               kLineBreak + kIndent + "Reporting period: " + std::to_string(volume.periodMinutes) +
               " min";
    }
    std::string text =
        "Perform " + std::to_string(volume.iterations) + " iteration" + plural(volume.iterations);
    if (volume.limitTime)
        text += kLineBreak + std::string(kIndent) + "Run for " + std::to_string(volume.minutes) +
                " min";
    if (volume.limitRequests)
        text += kLineBreak + std::string(kIndent) + "Perform " + std::to_string(volume.requests) +
                " request" + plural(volume.requests);
    return text;
}

std::string importSummary(int requestCount) {
    if (requestCount <= 0) return "No requests were imported";
    return "Imported " + std::to_string(requestCount) + " request" + plural(requestCount);
}

std::string finishSummary(const ScenarioAnswers& answers, int importedRequests) {
    const std::string breakIndent = std::string(kLineBreak) + kIndent;
    const std::string paragraph   = std::string(kLineBreak) + kLineBreak + "+ ";
    return "+ Testing objective:" + breakIndent + objectiveName(answers.objective) + paragraph +
           "Load level:" + breakIndent + loadSummary(answers.load) + paragraph +
           "Test volume:" + breakIndent + volumeSummary(answers.objective, answers.volume) +
           paragraph + "Real user simulation level:" + breakIndent +
           simulationLevelName(answers.simulation.level) + paragraph +
           importSummary(importedRequests);
}

void applyScenarioAnswers(const ScenarioAnswers& answers, CScenario& working, CScenario& target) {
    working.resetSections();
    target.resetSections();
    target.copyRequestsFrom(working);

    const SimulationAnswers& simulation = answers.simulation;
    target.general.addForwardedFor      = simulation.addForwardedFor ? 1 : 0;
    target.general.proxyMask            = simulation.address;

    if (isEnduranceObjective(answers.objective)) {
        applyEndurance(answers, target.run);
    } else {
        applyVolume(answers, target.run);
    }

    if (simulation.level != SimulationLevel::Low) {
        target.general.limitSpeed = 1;
        target.general.speed      = simulation.speedBitsPerSecond;
    }
    if (simulation.level == SimulationLevel::High) {
        applyThinkTimes(simulation, target);
        if (target.run.batchRun == 0) target.run.saveTimings = 1;
    }

    target.run.loadLevelMode     = answers.load.limitLoad ? 1 : 0;
    target.run.requestsPerSecond = answers.load.hitsPerSecond;
    target.run.objectiveId       = answers.objective;
}

} // namespace torvex
