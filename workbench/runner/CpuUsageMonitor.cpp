#include "runner/CpuUsageMonitor.h"

#include <fstream>
#include <sstream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace torvex {

namespace {

struct StatContents {
    std::vector<std::uint64_t> aggregate; // the fields of the "cpu" line
    unsigned processors = 0;              // the "cpuN" lines
};

std::optional<StatContents> readStat(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    StatContents stat;
    bool haveAggregate = false;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("cpu", 0) != 0 || line.size() < 4) continue;
        if (line[3] >= '0' && line[3] <= '9') {
            ++stat.processors;
        } else if (line[3] == ' ' && !haveAggregate) {
            std::istringstream fields(line.substr(3));
            std::uint64_t value = 0;
            while (fields >> value) stat.aggregate.push_back(value);
            haveAggregate = true;
        }
    }
    // user, nice, system and idle are present on every kernel; the rest came later.
    if (stat.aggregate.size() < 4 || stat.processors == 0) return std::nullopt;
    return stat;
}

double secondsPerProcessor(std::uint64_t jiffies, unsigned processors) {
    static const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    return static_cast<double>(jiffies) / processors / static_cast<double>(ticksPerSecond);
}

} // namespace

CCpuUsageMonitor::CCpuUsageMonitor(std::string statPath) : statPath_(std::move(statPath)) {}

bool CCpuUsageMonitor::Initialize() {
    std::optional<StatContents> stat = readStat(statPath_);
    processors_                      = stat ? stat->processors : 0;
    if (!stat) start_.reset();
    return stat.has_value();
}

void CCpuUsageMonitor::Start() {
    start_ = processors_ ? readSample() : std::nullopt;
}

double CCpuUsageMonitor::Measure() {
    if (!start_ || processors_ == 0) return 0;
    std::optional<Sample> now = readSample();
    if (!now || now->total <= start_->total) return 0;
    const std::uint64_t total = now->total - start_->total;
    if (secondsPerProcessor(total, processors_) < 0.1) return 0;
    // iowait may run backwards on Linux, so the idle time can even shrink.
    const std::uint64_t idle = now->idle > start_->idle ? now->idle - start_->idle : 0;
    start_                   = now;
    if (idle >= total) return 0;
    // Busy time over total time, in one division: loads such as exactly 95 % come out exact.
    return static_cast<double>(total - idle) * 100.0 / static_cast<double>(total);
}

std::optional<CCpuUsageMonitor::Sample> CCpuUsageMonitor::readSample() const {
    std::optional<StatContents> stat = readStat(statPath_);
    if (!stat) return std::nullopt;
    const std::vector<std::uint64_t>& f = stat->aggregate;
    Sample sample;
    sample.idle = f[3] + (f.size() > 4 ? f[4] : 0); // idle + iowait
    // Fields 9 and 10 (guest, guest_nice) are already counted in user and nice.
    for (std::size_t i = 0; i < f.size() && i < 8; ++i) sample.total += f[i];
    return sample;
}

} // namespace torvex
