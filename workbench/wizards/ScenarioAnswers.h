#pragma once

#include <array>
#include <string>

namespace torvex {

class CScenario;

// A testing objective of the new scenario wizard. Its index in objectives() is what the later
// pages test and what becomes the run section's objectiveId.
struct ScenarioObjective {
    const char* name;
    const char* description;
    bool batch; // a batch run with a growing number of users; otherwise a single run
};

inline constexpr int kObjectiveCount = 7;
// Reliability/Endurance: a single-run objective whose test is cut into runs of one period each.
inline constexpr int kEnduranceObjective = 4;

const std::array<ScenarioObjective, kObjectiveCount>& objectives();
bool isBatchObjective(int objective);
bool isEnduranceObjective(int objective);
// The objective's name; empty for an index outside the list.
std::string objectiveName(int objective);

enum class SimulationLevel : int { High = 0, Medium = 1, Low = 2 };
// "High", "Medium" or "Low".
const char* simulationLevelName(SimulationLevel level);

enum class ThinkTimeMode : int { NoDelays = 0, UseDelays = 1, RandomPercent = 2, Range = 3 };

// The reporting periods of an endurance test, in minutes, in the order of their choice box.
inline constexpr std::array<int, 4> kReportingPeriods = {10, 20, 30, 60};

// Load level: the users of a single run, or the first, last and step of a batch by users.
struct LoadAnswers {
    int from          = 0; // the users of a single run
    int to            = 0;
    int step          = 1;
    bool limitLoad    = false;
    int hitsPerSecond = 1;
};

// Test volume: iterations with optional limits, or an endurance test's duration and period.
struct VolumeAnswers {
    int iterations     = 0;
    bool limitRequests = true; // "&Perform"
    int requests       = 100;
    bool limitTime     = true; // "&Run for:"
    int minutes        = 1;
    int hours          = 1;  // endurance only
    int periodMinutes  = 10; // endurance only: one of kReportingPeriods
};

// How closely the virtual users behave like real ones.
struct SimulationAnswers {
    SimulationLevel level   = SimulationLevel::High;
    bool addForwardedFor    = true;
    std::string address     = "192.168.$C2.$C1";
    int speedBitsPerSecond  = -1; // the connection speed entry's value; -1: no limit
    ThinkTimeMode thinkTime = ThinkTimeMode::NoDelays;
    int minusPercent        = 0;
    int plusPercent         = 0;
    int rangeFromSeconds    = 0;
    int rangeToSeconds      = 0;
};

// Every answer of the wizard, as the pages hand them over on Next.
struct ScenarioAnswers {
    int objective = 0;
    LoadAnswers load;
    VolumeAnswers volume;
    SimulationAnswers simulation;
};

// The values the load and volume pages take when entered with another objective than on their
// previous visit; the other answers stay as they are.
void resetLoadForObjective(int objective, LoadAnswers& load);
void resetVolumeForObjective(int objective, VolumeAnswers& volume);

// The pages' summaries, lines separated by CR LF, as the finish page shows them.
std::string loadSummary(const LoadAnswers& load);
std::string volumeSummary(int objective, const VolumeAnswers& volume);
std::string importSummary(int requestCount);
std::string finishSummary(const ScenarioAnswers& answers, int importedRequests);

// Finish: resets `working`'s sections, gives `target` default sections and copies of `working`'s
// requests, then sets `target` from the answers. An endurance test with fewer than 1 user is
// computed and set up for 1 user.
void applyScenarioAnswers(const ScenarioAnswers& answers, CScenario& working, CScenario& target);

} // namespace torvex
