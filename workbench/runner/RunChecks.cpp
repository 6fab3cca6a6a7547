#include "runner/RunChecks.h"

#include "model/Scenario.h"
#include "torvexcore.h"

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>

namespace torvex {

const char* const kTimingsTooLargeQuestion =
    "Number of requests is too large!\n\nTimings will be disabled. Would you like to continue?";

namespace {

constexpr const char* kNoRequests = "No requests in the test scenario. Test has stopped.\n"
                                    "Go to Recorder to add some requests to the test scenario.";
constexpr const char* kForbiddenInFileNames = "\\/:*?\"<>|";

// Creates every missing folder along `dir`; true when it is a folder afterwards. An empty path
// is refused rather than taken as the current folder: the user left the field blank.
bool ensureDirectory(const std::string& dir) {
    if (dir.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    return std::filesystem::is_directory(dir, error);
}

std::optional<RunCheckFailure> checkDirectory(int enabled, const std::string& dir,
                                              RunCheckField field) {
    if (!enabled || ensureDirectory(dir)) return std::nullopt;
    return RunCheckFailure{"Cannot create directory " + dir + ".", field};
}

} // namespace

std::optional<RunCheckFailure> checkBeforeRun(CScenario& scenario) {
    if (scenario.requests.count() == 0) return RunCheckFailure{kNoRequests, RunCheckField::kNone};
    const CRunSection& run = scenario.run;
    if (auto failure = checkDirectory(run.saveLog, run.logDir, RunCheckField::kLogDir))
        return failure;
    if (auto failure = checkDirectory(run.saveReports, run.reportDir, RunCheckField::kReportDir))
        return failure;
    if (run.reportNamePattern.find_first_of(kForbiddenInFileNames) != std::string::npos)
        return RunCheckFailure{
            std::string("A filename cannot contain any of the following characters:\n") +
                kForbiddenInFileNames,
            RunCheckField::kReportNamePattern};
    return std::nullopt;
}

std::optional<std::uint64_t> availableMemory(const std::string& meminfoPath) {
    std::ifstream in(meminfoPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MemAvailable:", 0) != 0) continue;
        std::istringstream fields(line.substr(13));
        std::uint64_t amount = 0;
        std::string unit;
        if (!(fields >> amount)) return std::nullopt;
        fields >> unit;
        if (unit.empty()) return amount;
        if (unit != "kB" || amount > std::numeric_limits<std::uint64_t>::max() / 1024)
            return std::nullopt;
        return amount * 1024;
    }
    return std::nullopt;
}

bool timingsExceedMemory(const std::string& script, const std::string& meminfoPath) {
    std::optional<std::uint64_t> available = availableMemory(meminfoPath);
    return available && Calculate3DArrayMemoryAmount(script.c_str()) >= *available;
}

} // namespace torvex
