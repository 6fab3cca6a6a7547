#include "runner/CpuUsageMonitor.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

using torvex::CCpuUsageMonitor;

namespace {

// A stat file of two processors with the given busy and idle jiffies in its aggregate line,
// spread the way the kernel does: iowait is idle, guest time is also counted in user.
struct FakeStat {
    void write(std::uint64_t busy, std::uint64_t idle) {
        const std::uint64_t user = busy / 2, iowait = idle / 4;
        std::ofstream(path) << "cpu  " << user << " 0 " << busy - user << " " << idle - iowait
                            << " " << iowait << " 0 0 0 " << user / 2 << " 0\n"
                            << "cpu0 1 0 1 1 0 0 0 0 0 0\ncpu1 1 0 1 1 0 0 0 0 0 0\nctxt 9\n";
    }
    torvex::test::TempDir dir;
    std::string path = (dir.path / "stat").string();
};

// Jiffies of both processors together that make `seconds` of processor time per processor.
std::uint64_t jiffiesFor(double seconds) {
    return static_cast<std::uint64_t>(seconds * static_cast<double>(sysconf(_SC_CLK_TCK)) * 2);
}

} // namespace

TEST(CpuUsageMonitor, LoadIsTheBusyShareOfTheProcessorTimeSinceTheLastSample) {
    FakeStat stat;
    const std::uint64_t s = jiffiesFor(1);
    stat.write(1000, 1000);
    CCpuUsageMonitor monitor(stat.path);
    ASSERT_TRUE(monitor.Initialize());
    monitor.Start();
    stat.write(1000 + s, 1000 + s);
    EXPECT_DOUBLE_EQ(monitor.Measure(), 50.0);
    // The warning is for loads above 95, so exactly 95 must not come out a hair higher.
    stat.write(1000 + 96 * s, 1000 + 6 * s);
    EXPECT_EQ(monitor.Measure(), 95.0);
    stat.write(1000 + 96 * s, 1000 + 16 * s);
    EXPECT_EQ(monitor.Measure(), 0.0);
}

TEST(CpuUsageMonitor, TooShortAMeasurementGivesZeroAndKeepsTheStart) {
    FakeStat stat;
    const std::uint64_t tenth = jiffiesFor(0.1);
    stat.write(0, 0);
    CCpuUsageMonitor monitor(stat.path);
    ASSERT_TRUE(monitor.Initialize());
    monitor.Start();
    stat.write(tenth - 1, 0);
    EXPECT_EQ(monitor.Measure(), 0.0);
    stat.write(tenth, 0);
    EXPECT_EQ(monitor.Measure(), 100.0);
    EXPECT_EQ(monitor.Measure(), 0.0) << "nothing passed since the last measurement";
}

TEST(CpuUsageMonitor, UnreadableOrMalformedStatGivesNoLoad) {
    CCpuUsageMonitor missing("/nonexistent/stat");
    EXPECT_FALSE(missing.Initialize());
    missing.Start();
    EXPECT_EQ(missing.Measure(), 0.0);

    FakeStat stat;
    stat.write(0, 0);
    CCpuUsageMonitor monitor(stat.path);
    ASSERT_TRUE(monitor.Initialize());
    monitor.Start();
    std::ofstream(stat.path) << "cpu  1 2\ncpu0 1 2\n";
    EXPECT_FALSE(monitor.Initialize());
    stat.write(jiffiesFor(5), 0);
    EXPECT_EQ(monitor.Measure(), 0.0) << "a failed Initialize forgets the start";
    std::ofstream(stat.path) << "cpu  1 2 3 4 5 6 7 8\n";
    EXPECT_FALSE(monitor.Initialize()) << "no processor lines";
}

TEST(CpuUsageMonitor, RealStatGivesAPercentage) {
    CCpuUsageMonitor monitor;
    ASSERT_TRUE(monitor.Initialize());
    monitor.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const double load = monitor.Measure();
    EXPECT_GE(load, 0.0);
    EXPECT_LE(load, 100.0);
}
