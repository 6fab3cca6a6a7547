#pragma once

// Exit statuses of a run of a test script.
namespace exit_status {
constexpr int kClean  = 0; // the run completed without errors
constexpr int kFailed = 1; // it ran but recorded errors, was stopped, or completed no request
constexpr int kUsage  = 2; // bad arguments, an unreadable or invalid script, a refused --set
} // namespace exit_status
