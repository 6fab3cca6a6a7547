#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace torvex {

// Milliseconds on a monotonic clock, counted from the first call in the process and kept in
// 32 bits like the tick counts of the report: differences of ticks are durations, and they wrap
// only after 49 days of one process.
inline std::uint32_t tickCount() {
    using namespace std::chrono;
    static const steady_clock::time_point origin = steady_clock::now();
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now() - origin).count());
}

// Calendar seconds, as stored for the start and end of runs and iterations.
inline std::int32_t calendarNow() {
    return static_cast<std::int32_t>(std::time(nullptr));
}

} // namespace torvex
