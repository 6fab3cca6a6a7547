// Load: many virtual users against a local HTTP server, each sending one GET request per delay
// period over its own keep-alive connection. The driver runs the engine through its C interface
// (RunTest on a test script built here), samples the request counters, thread count and resident
// memory of this process while the run lasts, and prints the achieved request rate beside the
// target (users / delay) and the memory the engine took. bench/load/run-load-bench.sh starts the
// server and runs this; see README.md for the method and the last measurements.
//
// The counters that the C interface does not hand out (requests sent, error counts by class,
// HTTP status counts) are read from the test set itself, as the engine's unit tests do.

#include "api/TestSet.h"
#include "torvexcore.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::string host = "127.0.0.1";
    int port         = 0;
    std::string uri  = "/index.html";
    int users        = 1000;
    int seconds      = 30;   // how long each user sends requests
    int delayMs      = 1000; // spacing of one user's request starts
    int delaystartMs = 1;    // between two thread starts
    int sampleMs     = 100;
    int abortseq     = 1; // the engine's default: a stop ends every wait at once
};

// Requests per user: enough to fill `seconds` at one request per delay.
int iterationsOf(const Settings& s) {
    return std::max(1, static_cast<int>(1000LL * s.seconds / s.delayMs));
}

// A bound on the whole run that only a server or engine far behind the schedule reaches: each
// user's time, a ramp-up of up to delaystart + 3 ms per user (creating a thread and oversleeping
// take over a millisecond per user, more when the machine is busy), and a margin.
int timeLimitOf(const Settings& s) {
    long long rampMs = static_cast<long long>(s.users) * (s.delaystartMs + 3);
    return static_cast<int>(s.seconds + rampMs / 1000 + 30);
}

std::string scriptOf(const Settings& s) {
    std::string text = "[General]\n";
    auto option      = [&](const char* name, long long value) {
        text += name;
        text += '=';
        text += std::to_string(value);
        text += '\n';
    };
    option("clients", s.users);
    option("requests", iterationsOf(s));
    option("maxtime", timeLimitOf(s));
    option("delay", s.delayMs);
    option("softdelay", 1);
    option("keepalive", 1);
    option("delaystart", s.delaystartMs);
    option("nodetails", 1);
    option("timeout", 10);
    option("ignoreerrors", 1);
    option("abortseq", s.abortseq);
    text += "round=0.01\n";
    text += "\n[TestSeq]\npage\n\n[page]\n$method=GET\n";
    text += "$server=" + s.host + "\n";
    text += "$port=" + std::to_string(s.port) + "\n";
    text += "$uri=" + s.uri + "\n";
    return text;
}

// What /proc/self/status says of this process.
struct ProcessStatus {
    long rssKb  = 0; // VmRSS
    long hwmKb  = 0; // VmHWM: the peak of VmRSS
    long sizeKb = 0; // VmSize: virtual
    int threads = 0;
};

ProcessStatus readStatus() {
    ProcessStatus status;
    std::FILE* file = std::fopen("/proc/self/status", "r");
    if (!file) return status;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        if (std::sscanf(line, "VmRSS: %ld", &status.rssKb) == 1) continue;
        if (std::sscanf(line, "VmHWM: %ld", &status.hwmKb) == 1) continue;
        if (std::sscanf(line, "VmSize: %ld", &status.sizeKb) == 1) continue;
        std::sscanf(line, "Threads: %d", &status.threads);
    }
    std::fclose(file);
    return status;
}

// Busy and total jiffies of all CPUs of the machine, from the first line of /proc/stat.
struct MachineCpu {
    unsigned long long busy  = 0;
    unsigned long long total = 0;
};

MachineCpu readMachineCpu() {
    MachineCpu cpu;
    std::FILE* file = std::fopen("/proc/stat", "r");
    if (!file) return cpu;
    unsigned long long v[8] = {};
    if (std::fscanf(file, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                    &v[4], &v[5], &v[6], &v[7]) == 8) {
        for (unsigned long long x : v) cpu.total += x;
        cpu.busy = cpu.total - v[3] - v[4]; // less idle and I/O wait
    }
    std::fclose(file);
    return cpu;
}

std::string loadAverage() {
    char text[128]  = {};
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    if (file) {
        if (!std::fgets(text, sizeof text, file)) text[0] = '\0';
        std::fclose(file);
    }
    std::string result(text);
    while (!result.empty() && result.back() == '\n') result.pop_back();
    return result;
}

double secondsSince(Clock::time_point origin) {
    return std::chrono::duration<double>(Clock::now() - origin).count();
}

double cpuSeconds(const timeval& tv) {
    return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
}

// One look at the run, taken by the sampler thread.
struct Sample {
    double at;   // seconds since RunTest was called
    int sent;    // requests sent
    int threads; // threads of this process
    long rssKb;
    double cpu;         // user and system seconds of this process
    MachineCpu machine; // jiffies of all CPUs
};

// Samples the counters, the thread count and the memory every `period` while the run lasts.
class Sampler {
public:
    Sampler(const torvex::CTestSet& t, Clock::time_point origin, std::chrono::milliseconds period)
        : t_(t), origin_(origin), period_(period) {
        samples_.reserve(4096);
        thread_ = std::thread([this] { loop(); });
    }
    ~Sampler() { stop(); }

    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    const std::vector<Sample>& samples() const { return samples_; }
    long peakSizeKb() const { return peakSizeKb_; }

private:
    void loop() {
        for (auto next = Clock::now(); !stop_; next += period_) {
            ProcessStatus status = readStatus();
            peakSizeKb_          = std::max(peakSizeKb_, status.sizeKb);
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            samples_.push_back(
                Sample{secondsSince(origin_), t_.sent.load(), status.threads, status.rssKb,
                       cpuSeconds(usage.ru_utime) + cpuSeconds(usage.ru_stime), readMachineCpu()});
            std::this_thread::sleep_until(next + period_);
        }
    }

    const torvex::CTestSet& t_;
    Clock::time_point origin_;
    std::chrono::milliseconds period_;
    std::atomic<bool> stop_{false};
    std::vector<Sample> samples_;
    long peakSizeKb_ = 0;
    std::thread thread_;
};

// The run's progress reports: (seconds since RunTest was called, requests made).
struct ProgressLog {
    Clock::time_point origin;
    std::vector<std::pair<double, int>> points;
};

void recordProgress(void* context, int done, int) {
    auto& log = *static_cast<ProgressLog*>(context);
    log.points.emplace_back(secondsSince(log.origin), done);
}

// Engine messages go to standard error; a flood of the same kind (one per user) is cut short.
std::mutex messageLock;
int messageCount = 0;

int printMessage(void*, const char* text) {
    std::lock_guard guard(messageLock);
    if (++messageCount <= 20) std::fprintf(stderr, "engine: %s\n", text);
    return 0;
}

// The part of the run in which every user is running: from the first sample after the thread
// count reached its peak to the last sample before it fell. The peak is users plus this
// program's own threads, unless threads could not be created.
struct AllRunning {
    std::size_t first = 0, last = 0;
    bool found = false;
};

AllRunning allRunning(const std::vector<Sample>& samples, int peakThreads) {
    AllRunning span;
    std::size_t i = 0;
    while (i < samples.size() && samples[i].threads < peakThreads) ++i;
    if (i + 1 >= samples.size()) return span;
    span.first    = i + 1;
    std::size_t j = span.first;
    while (j + 1 < samples.size() && samples[j + 1].threads >= peakThreads) ++j;
    span.last  = j;
    span.found = span.last > span.first;
    return span;
}

// The steady-state window: from the first sample in which all users run, for the largest whole
// number of delays that ends at least one delay before the first user ended (a user's last
// request is followed by a pause in which it sends nothing). A whole number of delays holds every
// user's requests equally often, however their starts are spread within a delay.
std::optional<std::pair<std::size_t, std::size_t>>
steadyWindow(const std::vector<Sample>& samples, const AllRunning& span, double delay) {
    if (!span.found) return std::nullopt;
    const double from = samples[span.first].at;
    const int periods =
        static_cast<int>(std::floor((samples[span.last].at - delay - from) / delay + 1e-9));
    if (periods < 1) return std::nullopt;
    const double wanted = from + periods * delay;
    std::size_t closest = span.first;
    for (std::size_t k = span.first; k <= span.last; ++k)
        if (std::fabs(samples[k].at - wanted) < std::fabs(samples[closest].at - wanted))
            closest = k;
    if (closest == span.first) return std::nullopt;
    return std::make_pair(span.first, closest);
}

double mib(long kb) {
    return static_cast<double>(kb) / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    CLI::App app{"Torvex load benchmark: virtual users against a local HTTP server"};
    app.add_option("--port", s.port, "port of the server on the host")->required();
    app.add_option("--host", s.host, "address of the server")->capture_default_str();
    app.add_option("--uri", s.uri, "page every user requests")->capture_default_str();
    app.add_option("--users", s.users, "virtual users")
        ->capture_default_str()
        ->check(CLI::Range(1, 1000000));
    app.add_option("--seconds", s.seconds, "how long each user sends requests")
        ->capture_default_str()
        ->check(CLI::Range(1, 3600));
    app.add_option("--delay", s.delayMs, "milliseconds between the starts of a user's requests")
        ->capture_default_str()
        ->check(CLI::Range(1, 3600000));
    app.add_option("--delaystart", s.delaystartMs, "milliseconds between two user starts")
        ->capture_default_str()
        ->check(CLI::Range(0, 1000));
    app.add_option("--sample", s.sampleMs, "milliseconds between two samples")
        ->capture_default_str()
        ->check(CLI::Range(10, 1000));
    app.add_option("--abortseq", s.abortseq,
                   "option abortseq: 1 stops users inside a request or pause, 0 only between "
                   "requests")
        ->capture_default_str()
        ->check(CLI::Range(0, 1));
    CLI11_PARSE(app, argc, argv);

    InitHX(nullptr, nullptr);
    SetOutFunc(nullptr, printMessage);
    void* ts                 = CreateTestSet(0);
    const std::string script = scriptOf(s);
    if (!ParseTest(ts, "load", script.c_str())) {
        std::fprintf(stderr, "the test script was refused:\n%s", script.c_str());
        return 2;
    }
    auto& t = *static_cast<torvex::CTestSet*>(ts);

    const int iterations   = iterationsOf(s);
    const double target    = 1000.0 * s.users / s.delayMs;
    ProcessStatus before   = readStatus();
    MachineCpu machineFrom = readMachineCpu();
    std::string loadFrom   = loadAverage();
    rusage usageFrom{};
    getrusage(RUSAGE_SELF, &usageFrom);

    const Clock::time_point origin = Clock::now();
    ProgressLog progress{origin, {}};
    SetProgressReporter(&progress, recordProgress);
    Sampler sampler(t, origin, std::chrono::milliseconds(s.sampleMs));
    const int ownThreads = before.threads + 1; // this program's threads with the sampler
    const int ran        = RunTest(ts);
    const double runTime = secondsSince(origin);
    sampler.stop();

    rusage usageTo{};
    getrusage(RUSAGE_SELF, &usageTo);
    MachineCpu machineTo = readMachineCpu();
    ProcessStatus after  = readStatus();
    const int made       = t.made.load();
    const int sent       = t.sent.load();

    // Response times from the run's aggregate (the one entry of the test sequence), errors by
    // class from the run's counts.
    struct Aggregate {
        std::int32_t minimum, sum, count, maximum;
    };
    Aggregate aggregate{0, 0, 0, 0};
    if (const auto* results = static_cast<const Aggregate*>(GetResults(ts, 0)))
        aggregate = results[0];
    int errors[4];
    for (int k = 0; k < 4; ++k) errors[k] = t.errorcounts[static_cast<std::size_t>(k)].load();
    const int errorTotal = errors[0] + errors[1] + errors[2] + errors[3];
    const int status200  = t.statuscounts[200].load();

    const std::vector<Sample>& samples = sampler.samples();
    int peakThreads                    = 0;
    long peakRssKb                     = 0;
    for (const Sample& sample : samples) {
        peakThreads = std::max(peakThreads, sample.threads);
        peakRssKb   = std::max(peakRssKb, sample.rssKb);
    }

    std::printf("users: %d\n", s.users);
    std::printf("delay: %d ms (softdelay), delaystart: %d ms, abortseq: %d, iterations per user: "
                "%d\n",
                s.delayMs, s.delaystartMs, s.abortseq, iterations);
    std::printf("run time: %.2f s (RunTest call; engine elapsed %.2f s; time limit %d s)\n",
                runTime, t.elapsed / 1000.0, timeLimitOf(s));
    std::printf("requests: sent %d, made %d (expected %lld)\n", sent, made,
                static_cast<long long>(s.users) * iterations);
    std::printf("target rate: %.1f/s\n", target);
    std::printf("overall rate: %.1f/s (made / run time, ramp-up and wind-down included)\n",
                made / runTime);

    // Steady state: request starts, counted by `sent`, in the window of steadyWindow.
    std::optional<double> steadyRate;
    AllRunning span = allRunning(samples, peakThreads);
    if (span.found)
        std::printf("all users running: from %.2f s to %.2f s of the run\n", samples[span.first].at,
                    samples[span.last].at);
    if (auto window = steadyWindow(samples, span, s.delayMs / 1000.0)) {
        const Sample& a = samples[window->first];
        const Sample& b = samples[window->second];
        steadyRate      = (b.sent - a.sent) / (b.at - a.at);
        std::printf("steady-state rate: %.1f/s (%+.2f%% of target; requests sent between %.2f s "
                    "and %.2f s of the run, %.2f s in which all %d user threads ran)\n",
                    *steadyRate, (*steadyRate / target - 1.0) * 100.0, a.at, b.at, b.at - a.at,
                    peakThreads - ownThreads);
        const auto machineTotal = b.machine.total - a.machine.total;
        if (machineTotal > 0)
            std::printf("steady-state CPU: engine %.0f%% of one core, machine %.0f%% busy\n",
                        (b.cpu - a.cpu) / (b.at - a.at) * 100.0,
                        100.0 * static_cast<double>(b.machine.busy - a.machine.busy) /
                            static_cast<double>(machineTotal));
    }
    if (!steadyRate)
        std::printf("steady-state rate: none (the users never all ran for longer than one "
                    "delay)\n");

    // The same from the progress reports, which count a request after its pause: from the first
    // report a delay after all users ran to the last report before one ended.
    if (span.found) {
        const double from               = samples[span.first].at + s.delayMs / 1000.0;
        const double to                 = samples[span.last].at;
        const std::pair<double, int>* a = nullptr;
        const std::pair<double, int>* b = nullptr;
        for (const auto& point : progress.points) {
            if (!a && point.first >= from) a = &point;
            if (point.first <= to) b = &point;
        }
        if (a && b && b->first > a->first)
            std::printf("progress reports: %zu; made rate %.1f/s between %.2f s and %.2f s\n",
                        progress.points.size(), (b->second - a->second) / (b->first - a->first),
                        a->first, b->first);
        else
            std::printf("progress reports: %zu; too few in the steady state\n",
                        progress.points.size());
    }

    // The aggregate halves its count and sum together while the sum exceeds 31 bits, so its
    // count is exact only for short runs; the successes are what the errors leave of `made`.
    std::printf("errors: %d (HTTP %d, network %d, content %d, time-out %d); successful %d, "
                "status 200: %d\n",
                errorTotal, errors[0], errors[1], errors[2], errors[3], made - errorTotal,
                status200);
    if (aggregate.count > 0)
        std::printf("response time: min %.2f ms, mean %.2f ms, max %.2f ms (GetResults aggregate "
                    "of %d)\n",
                    aggregate.minimum / 1000.0,
                    static_cast<double>(aggregate.sum) / aggregate.count / 1000.0,
                    aggregate.maximum / 1000.0, aggregate.count);
    std::printf("memory: VmHWM %.1f MiB, VmRSS peak sampled %.1f MiB, before the run %.1f MiB, "
                "after it %.1f MiB; VmSize peak %.1f MiB\n",
                mib(after.hwmKb), mib(peakRssKb), mib(before.rssKb), mib(after.rssKb),
                mib(sampler.peakSizeKb()));
    std::printf("memory per user: %.1f KiB (VmHWM less VmRSS before the run, / users)\n",
                static_cast<double>(after.hwmKb - before.rssKb) / s.users);
    std::printf("threads: peak %d (%d users + %d of this program)\n", peakThreads,
                peakThreads - ownThreads, ownThreads);

    const double userCpu = cpuSeconds(usageTo.ru_utime) - cpuSeconds(usageFrom.ru_utime);
    const double sysCpu  = cpuSeconds(usageTo.ru_stime) - cpuSeconds(usageFrom.ru_stime);
    std::printf("engine CPU: user %.2f s, system %.2f s (%.0f%% of one core); context switches "
                "%ld voluntary, %ld involuntary\n",
                userCpu, sysCpu, (userCpu + sysCpu) / runTime * 100.0,
                usageTo.ru_nvcsw - usageFrom.ru_nvcsw, usageTo.ru_nivcsw - usageFrom.ru_nivcsw);
    const auto machineTotal = machineTo.total - machineFrom.total;
    if (machineTotal > 0)
        std::printf("machine CPU busy: %.0f%% of all %u CPUs; load average before: %s, "
                    "after: %s\n",
                    100.0 * static_cast<double>(machineTo.busy - machineFrom.busy) / machineTotal,
                    std::thread::hardware_concurrency(), loadFrom.c_str(), loadAverage().c_str());
    if (messageCount > 20) std::printf("engine messages: %d (first 20 shown)\n", messageCount);

    const char* shortfall = nullptr;
    if (!ran || made == 0)
        shortfall = "no request was made";
    else if (peakThreads - ownThreads < s.users)
        shortfall = "not every user thread ran at once";
    else if (made < static_cast<long long>(s.users) * iterations)
        shortfall = "the run was cut short";
    else if (errorTotal > 0)
        shortfall = "requests failed";
    else if (!steadyRate)
        shortfall = "no steady state";
    else if (std::fabs(*steadyRate / target - 1.0) > 0.02)
        shortfall = "steady-state rate more than 2% off target";
    // With softdelay a late request shortens the pause after it, so the pacing can hold while
    // the users wait for a processor; their measured times then say so.
    if (aggregate.count > 0 &&
        static_cast<double>(aggregate.sum) / aggregate.count > 100.0 * s.delayMs)
        std::printf("warning: the mean response time exceeds a tenth of the delay; the engine "
                    "or the server is short of CPU\n");
    std::printf("verdict: %s%s\n", shortfall ? "missed: " : "held", shortfall ? shortfall : "");

    FreeTestSet(ts);
    CleanupHX();
    return shortfall ? 1 : 0;
}
