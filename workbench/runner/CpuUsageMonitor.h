#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace torvex {

// The average processor load between Start and Measure, from the kernel's processor times in
// /proc/stat. Each call reads the file anew, so any file in that format can stand in for it.
class CCpuUsageMonitor {
public:
    explicit CCpuUsageMonitor(std::string statPath = "/proc/stat");

    // Reads the processor count again; false when the file cannot be read or parsed.
    bool Initialize();
    // Keeps the current idle and total times as the start of the next measurement.
    void Start();
    // Percent busy since the start: 0 when unavailable or when less than 0.1 s of processor
    // time passed per processor; otherwise the new sample becomes the start.
    double Measure();

private:
    struct Sample {
        std::uint64_t idle  = 0; // jiffies, all processors together
        std::uint64_t total = 0;
    };

    std::string statPath_;
    unsigned processors_ = 0; // 0 until Initialize succeeds
    std::optional<Sample> start_;

    std::optional<Sample> readSample() const;
};

} // namespace torvex
