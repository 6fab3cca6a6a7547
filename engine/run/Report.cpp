#include "run/Report.h"

#include "api/CNumericLocale.h"
#include "api/FixedText.h"
#include "api/TestSet.h"
#include "run/ReportStatistics.h"
#include "run/TimingWindow.h"
#include "run/UserSession.h"

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <pwd.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace torvex {
namespace {

constexpr const char* kVersion = "2.0";

// Hands the report to the caller's writer in pieces of at most 4095 bytes, never cutting a
// UTF-8 sequence; the pieces concatenate to the report.
class ReportWriter {
public:
    static constexpr std::size_t kPieceLimit = 4095;

    ReportWriter(void* context, OutFunc sink) : context_(context), sink_(sink) {}
    ReportWriter(const ReportWriter&)            = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    void text(std::string_view part) {
        pending_.append(part);
        while (pending_.size() > kPieceLimit) {
            std::size_t n = utf8PrefixLength(pending_, kPieceLimit);
            if (n == 0) n = kPieceLimit;
            emit(n);
        }
    }

    void format(const char* pattern, ...) __attribute__((format(printf, 2, 3))) {
        char small[256];
        va_list args;
        va_start(args, pattern);
        va_list again;
        va_copy(again, args);
        int length = std::vsnprintf(small, sizeof small, pattern, args);
        va_end(args);
        if (length < 0) {
            va_end(again);
            return;
        }
        if (static_cast<std::size_t>(length) < sizeof small) {
            va_end(again);
            text(std::string_view(small, static_cast<std::size_t>(length)));
            return;
        }
        std::string large(static_cast<std::size_t>(length) + 1, '\0');
        std::vsnprintf(large.data(), large.size(), pattern, again);
        va_end(again);
        large.pop_back();
        text(large);
    }

    void flush() {
        if (!pending_.empty()) emit(pending_.size());
    }

private:
    void emit(std::size_t n) {
        std::string piece = pending_.substr(0, n);
        pending_.erase(0, n);
        sink_(context_, piece.c_str());
    }

    void* context_;
    OutFunc sink_;
    std::string pending_;
};

// A time recorded in microseconds as the report prints it: milliseconds, two decimals.
double milliseconds(double microseconds) {
    return microseconds * 0.001;
}

// A double truncated toward zero into the 32-bit fields of the summary record.
std::int32_t truncated(double value) {
    if (!(value == value)) return 0;
    if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

std::string calendarText(std::int32_t seconds) {
    std::time_t clock = seconds;
    char text[64];
    if (!ctime_r(&clock, text)) return "\n";
    return text;
}

// Hour, minute and second of a calendar time in local time, "%02d:%02d:%02d".
void writeClock(ReportWriter& out, std::int32_t seconds) {
    std::time_t clock = seconds;
    std::tm local{};
    if (!localtime_r(&clock, &local)) local = std::tm{};
    out.format("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
}

// Start and end of an iteration or a script request, or NONE for each when either is missing.
void writeStamps(ReportWriter& out, std::int32_t start, std::int32_t end) {
    if (start == 0 || end == 0) {
        out.text("NONE\tNONE");
        return;
    }
    writeClock(out, start);
    out.text("\t");
    writeClock(out, end);
}

std::string userName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name)
        return "";
    return found->pw_name;
}

std::string hostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return "";
    name[sizeof name - 1] = '\0';
    return name;
}

// The error symbol of an error outcome, or null for any other value.
const char* errorSymbol(const CTestSet& t, std::int32_t outcome) {
    switch (outcome) {
    case -1:
        return t.socketerrorsymbol.c_str();
    case -2:
        return t.httperrorsymbol.c_str();
    case -3:
        return t.failerrorsymbol.c_str();
    case -4:
        return t.timeouterrorsymbol.c_str();
    default:
        return nullptr;
    }
}

// One recorded value: N/A for a request not executed, the symbol of an error, or the time.
void writeOutcome(ReportWriter& out, const CTestSet& t, std::int32_t outcome) {
    if (outcome == kNotExecuted)
        out.text("N/A");
    else if (const char* symbol = errorSymbol(t, outcome))
        out.text(symbol);
    else
        out.format("%.2lf", milliseconds(outcome));
}

void writeHeader(ReportWriter& out, const CTestSet& t) {
    out.format("Report generated by Torvex v%s\n\n", kVersion);
    out.text("Test started at: ");
    out.text(calendarText(t.starttime));
    out.text("Test finished at: ");
    out.text(calendarText(t.endtime));
    out.text("Scenario name: ");
    out.text(t.projectname.view());
    out.text("\nTest run comment: ");
    out.text(t.description.view());
    out.format("\nVirtual users: %d\nIterations: %d\n", t.clients, t.requests);
    if (t.maxspeed != 0) out.format("Connection speed limit: %d bits/sec\n", t.maxspeed);
    out.text("Test executed by: ");
    out.text(userName());
    out.text("\nTest executed at: ");
    out.text(hostName());
    out.text("\n\n");
}

void writeScriptResults(ReportWriter& out, const CTestSet& t) {
    for (const auto& user : t.users) {
        out.format("--- Client %d ---\n", user->index());
        for (const ScriptResult& result : user->results.scriptResults) {
            out.text(result.requestName);
            out.text("\t");
            if (t.timestamp) out.text("Iteration start\tIteration end\t");
            writeOutcome(out, t, result.value);
            if (t.timestamp) {
                // The tab keeps NONE in the columns of the times.
                out.text("\t");
                writeStamps(out, result.start, result.end);
            }
            out.text("\n");
        }
    }
}

void writeBasicStatistics(ReportWriter& out, const CTestSet& t, const ReportStatistics& s) {
    out.text("\n--- Basic statistics ---\n\nRequest name:\t\t");
    for (const SequenceEntry& entry : t.testsequence.entries()) {
        out.text("\t");
        out.text(entry.name);
    }
    // One line of the table: a time per entry, or "?" for an entry that never succeeded.
    auto line = [&](const char* title, auto value) {
        out.text(title);
        for (const RequestAggregate& a : s.entries) {
            if (a.count == 0)
                out.text("?\t");
            else
                out.format("%.2lf\t", milliseconds(value(a)));
        }
    };
    line("\nMin request processing time:\t",
         [](const RequestAggregate& a) { return static_cast<double>(a.minimum); });
    line("\nAvg request processing time:\t",
         [](const RequestAggregate& a) { return static_cast<double>(a.sum) / a.count; });
    line("\nMax request processing time:\t",
         [](const RequestAggregate& a) { return static_cast<double>(a.maximum); });
    out.text("\n\n");
}

void writeTraffic(ReportWriter& out, const CTestSet& t, ReportSummary* summary) {
    std::uint64_t sent = 0, received = 0;
    for (const auto& user : t.users) {
        sent += user->http.traffic.bytesSent;
        received += user->http.traffic.bytesReceived;
    }
    out.text("--- Network traffic details ---\n\n");
    out.format("Total bytes sent:\t%llu\nTotal bytes received:\t%llu\n\n",
               static_cast<unsigned long long>(sent), static_cast<unsigned long long>(received));
    double server = 0, user = 0;
    if (t.elapsed > 0) {
        server = static_cast<double>(sent + received) / t.elapsed;
        user   = t.clients > 0 ? server / t.clients : 0;
        out.format("Average server bandwidth (Kbits/sec):\t%.2lf\n", server * 8);
        out.format("Average user bandwidth (Kbits/sec):\t%.2lf\n", user * 8);
    } else {
        out.text("Average server bandwidth (KB/sec):\tN/A\n");
        out.text("Average user bandwidth (KB/sec):\tN/A\n");
    }
    if (summary) {
        summary->serverBandwidth = server;
        summary->userBandwidth   = user;
    }
}

void writeSummaryTimes(ReportWriter& out, const CTestSet& t, ReportSummary* summary) {
    out.text("\n--- Summary times ---\n\n");
    out.text("Virtual Users statistics:\nUser\tReqs\tTime\tAR/S\tAT/R\n");
    RunRate rate            = runRate(t);
    long long totalRequests = 0;
    for (const auto& session : t.users) {
        const CUserSession& user = *session;
        int n                    = user.http.requestCount;
        if (n == 0) continue;
        totalRequests += n;
        std::uint32_t time = user.endTick - user.startTick;
        double perSecond   = time ? n / (time / 1000.0) : 0;
        out.format("%d\t%d\t%u\t%.2lf\t%.2lf\n", user.index() + 1, n, time, perSecond,
                   static_cast<double>(time) / n);
    }
    out.format("\nTotal work time:\t%d\nTotal requests made:\t%lld\n\n", t.elapsed, totalRequests);
    out.format("Total average requests per second:\t%.2lf\n", rate.requestsPerSecond);
    if (summary) {
        summary->requestsPerSecond = truncated(rate.requestsPerSecond * 1000);
        summary->msPerRequest      = truncated(rate.msPerRequest * 1000);
        summary->totalRequests     = truncated(static_cast<double>(totalRequests));
    }
    if (rate.approximated)
        out.text("\nWARNING: approximation used!\nNot enough requests per client for exact "
                 "timing!\n");
}

void writeErrors(ReportWriter& out, const ReportStatistics& s) {
    if (s.totalErrors <= 0) return;
    out.text("\n--- Errors report ---\n");
    out.format("\nTotal %d error%c!!!\n", s.totalErrors, s.totalErrors == 1 ? ' ' : 's');
    static constexpr const char* kLines[] = {"HTTP: %d\n", "Net: %d\n", "Fail: %d\n",
                                             "Timeout: %d\n"};
    for (std::size_t i = 0; i < s.errors.size(); ++i)
        if (s.errors[i] != 0) out.format(kLines[i], s.errors[i]);
    out.text("\n");
}

void writeStatusCodes(ReportWriter& out, const CTestSet& t) {
    out.text("\n--- HTTP response codes details ---\n\nCode\tCount\n");
    for (std::size_t code = 0; code < t.statuscounts.size(); ++code)
        if (int count = t.statuscounts[code].load(); count != 0)
            out.format("%d\t%d\n", static_cast<int>(code), count);
    out.text("\n");
}

void writeIndividualRequests(ReportWriter& out, const CTestSet& t) {
    const auto& entries = t.testsequence.entries();
    out.text("--- Individual requests processing time ---\n\nUser/Iteration");
    for (const SequenceEntry& entry : entries) {
        out.text("\t");
        out.text(entry.name);
    }
    if (t.timestamp) out.text("\tPass start\tPass end");
    out.text("\n");
    for (const auto& session : t.users) {
        const CUserSession& user   = *session;
        const UserResults& results = user.results;
        int rows                   = individualRows(t, user);
        for (int r = 0; r < rows; ++r) {
            if (!iterationShown(t, results, r)) continue;
            out.format("%03d/%05d\t", user.index() + 1, r + 1);
            for (std::size_t j = 0; j < entries.size(); ++j) {
                writeOutcome(out, t, recordedOutcome(results, static_cast<int>(j), r));
                out.text("\t");
            }
            if (t.timestamp) {
                IterationStamp stamp;
                if (static_cast<std::size_t>(r) < results.stamps.size())
                    stamp = results.stamps[static_cast<std::size_t>(r)];
                writeStamps(out, stamp.start, stamp.end);
            }
            out.text("\n");
        }
    }
}

} // namespace

void writeReport(CTestSet& t, void* context, OutFunc sink, ReportSummary* summary) {
    if (!sink) return;
    CNumericLocale dotDecimals;
    if (summary) *summary = ReportSummary{};
    // The results file macros %f and %n name the scenario from now on.
    t.testname.set(t.projectname.view());

    ReportWriter out(context, sink);
    if (t.reportinfo) writeHeader(out, t);

    ReportStatistics statistics;
    if (t.scriptMode()) {
        statistics = scriptStatistics(t);
        writeScriptResults(out, t);
    } else {
        statistics = t.nodetails ? aggregateStatistics(t) : detailedStatistics(t);
        writeBasicStatistics(out, t, statistics);
        writeTraffic(out, t, summary);
        if (t.summarytimes) writeSummaryTimes(out, t, summary);
    }
    writeErrors(out, statistics);
    if (summary) summary->totalErrors = statistics.totalErrors;
    writeStatusCodes(out, t);
    if (!t.scriptMode() && !t.nodetails) writeIndividualRequests(out, t);
    out.flush();
}

} // namespace torvex
