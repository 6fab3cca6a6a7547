#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace torvex {

class CScenario;

// The run settings field a failed check points the user to.
enum class RunCheckField { kNone, kLogDir, kReportDir, kReportNamePattern };

struct RunCheckFailure {
    std::string message; // the text the user sees
    RunCheckField field = RunCheckField::kNone;
};

// What the Run Test command checks before a run, in order: the scenario has requests; the log
// folder (when the full log is saved) and the report folder (when reports are saved) exist or
// can be created, every missing folder along the path in turn; the report name pattern holds no
// character a file name cannot have. Creates the folders as a side effect. nullopt when the run
// may start.
std::optional<RunCheckFailure> checkBeforeRun(CScenario& scenario);

// Asked when the timing array of a run would not fit into memory.
extern const char* const kTimingsTooLargeQuestion;

// MemAvailable of the meminfo file in bytes; nullopt when it cannot be read.
std::optional<std::uint64_t> availableMemory(const std::string& meminfoPath = "/proc/meminfo");

// The timing array of `script` takes at least the available memory. False when the available
// memory cannot be read.
bool timingsExceedMemory(const std::string& script,
                         const std::string& meminfoPath = "/proc/meminfo");

} // namespace torvex
