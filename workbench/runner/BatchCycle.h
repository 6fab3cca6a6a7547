#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace torvex {

// The general option a batch steps from run to run, and the name its log lines and results show.
struct BatchVariable {
    const char* option;
    const char* displayName;
};
// By users (0): "clients", "Virtual users"; by iterations (1): "requests", "Iterations".
BatchVariable batchVariable(int batchBy);

// The value of the batch's next run, or nothing when the batch ends: a positive step ends past
// `to`, a negative one below it, and a step of 0 after one run.
std::optional<int> nextBatchValue(int current, int step, int to);

// What a batch by users recomputes for every run, because it depends on the number of users.
struct LoadLimits {
    int loadLevelMode     = 0; // 1: at most requestsPerSecond for the whole run
    int requestsPerSecond = 0;
    int limitRequests     = 0;
    int maxRequests       = 0;
    int limitTime         = 0;
    int maxMinutes        = 0;
    int requestCount      = 0; // requests of the scenario
    int batchTo           = 0;
};

// The options ("rate", then "requests") to set for a run with `users` virtual users: the rate
// spread over the users, and enough iterations to reach the request or time limit. A user count
// or request count of 0 leaves the option that would divide by it alone.
std::vector<std::pair<std::string, std::string>> perRunOverrides(const LoadLimits& limits,
                                                                 int users);

} // namespace torvex
