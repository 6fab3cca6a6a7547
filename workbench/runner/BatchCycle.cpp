#include "runner/BatchCycle.h"

#include <algorithm>
#include <climits>

namespace torvex {

BatchVariable batchVariable(int batchBy) {
    if (batchBy == 1) return {"requests", "Iterations"};
    return {"clients", "Virtual users"};
}

std::optional<int> nextBatchValue(int current, int step, int to) {
    long long next = static_cast<long long>(current) + step;
    if (step == 0 || (step > 0 && next > to) || (step < 0 && next < to)) return std::nullopt;
    return static_cast<int>(next);
}

std::vector<std::pair<std::string, std::string>> perRunOverrides(const LoadLimits& limits,
                                                                 int users) {
    std::vector<std::pair<std::string, std::string>> options;
    if (limits.loadLevelMode == 1 && users != 0)
        options.emplace_back("rate", std::to_string(limits.requestsPerSecond * 3600LL / users));

    // The iterations are sized for the fewest users the batch has left to run.
    const long long requestsPerIteration =
        static_cast<long long>(limits.requestCount) * std::min(users, limits.batchTo);
    long long byRequests = 0;
    if (limits.limitRequests && limits.maxRequests >= 1 && requestsPerIteration > 0)
        byRequests = (limits.maxRequests + requestsPerIteration - 1) / requestsPerIteration;
    long long byTime = 0;
    if (limits.limitTime && limits.maxMinutes >= 1 && limits.requestCount > 0)
        byTime = limits.maxMinutes * 1200LL / limits.requestCount;
    // The engine counts iterations in 32 bits.
    long long iterations = std::min<long long>(std::max(byRequests, byTime), INT_MAX);
    if (iterations != 0) options.emplace_back("requests", std::to_string(iterations));
    return options;
}

} // namespace torvex
