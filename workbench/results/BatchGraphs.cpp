#include "results/GraphChartParts.h"
#include "results/GraphTimings.h"

#include <functional>

namespace torvex {

namespace {

enum class BatchGraph { AverageTime, MaximumTime, MinimumTime, Performance, Errors, Bandwidth };

constexpr GraphColour kBlue{0, 0, 255};

// One request's time in one run, in microseconds, before the clean-up common to the three
// time graphs.
double requestTime(const CResultsStore& record, int request, BatchGraph graph) {
    if (record.summaryOnly) {
        auto summary = summaryEntry(record, request);
        if (!summary) return 0;
        switch (graph) {
        case BatchGraph::AverageTime:
            return summary->average();
        case BatchGraph::MaximumTime:
            return summary->maximum;
        default:
            return summary->minimum == kUnsetMinimum ? kNoMinimum : double(summary->minimum);
        }
    }
    TimeStats stats = requestStats(record, request, true);
    switch (graph) {
    case BatchGraph::AverageTime:
        return stats.average();
    case BatchGraph::MaximumTime:
        return stats.maximum;
    default:
        return stats.minimum;
    }
}

// A minimum never found and a negative value are drawn as 0.
double shownTime(double microseconds) {
    if (microseconds == kNoMinimum || microseconds < 0) return 0;
    return microseconds * kMsPerMicrosecond;
}

void plotRequestTimes(GraphChart& chart, const ResultsList& records, BatchGraph graph) {
    chart.y.title     = "Time (ms)";
    const auto& names = records.front()->requestNames;
    for (std::size_t k = 0; k < names.size(); ++k) {
        GraphSeries series{names[k], requestSeriesColour(k), {}};
        // Every run has its point; a run without times of the request (no users) draws 0.
        for (const auto& record : records)
            series.points.push_back(
                {double(record->batchValue), shownTime(requestTime(*record, int(k), graph))});
        chart.series.push_back(std::move(series));
    }
}

// A series with one point per run at its batch value.
GraphSeries perRun(std::string name, GraphColour colour, const ResultsList& records,
                   const std::function<double(const CResultsStore&)>& value) {
    GraphSeries series{std::move(name), colour, {}};
    for (const auto& record : records)
        series.points.push_back({double(record->batchValue), value(*record)});
    return series;
}

double errorPercent(const CResultsStore& record) {
    if (record.requestsMade == 0) return 100;
    const double percent = double(record.errorCount) * 100 / record.requestsMade;
    return percent > 100 ? 100 : percent;
}

} // namespace

bool hasBatchGraphs(const ResultsList& list) {
    return !list.empty() && list.front() && list.front()->batchNumber != 0;
}

const std::vector<std::string>& batchGraphNames() {
    static const std::vector<std::string> names = {
        "Average request processing time",
        "Maximum request processing time",
        "Minimum request processing time",
        "Overall performance",
        "Errors",
        "Average bandwidth",
    };
    return names;
}

GraphChart batchGraphChart(const ResultsList& list, int graph) {
    GraphChart chart   = startChart();
    const auto records = presentRecords(list);
    const auto& names  = batchGraphNames();
    applyYRule(chart.y, 0);
    if (records.empty()) return chart;
    const CResultsStore& first = *records.front();
    chart.caption              = countCaption(first, first.batchBy == 1);
    chart.x.title              = first.batchLabel;
    applyBatchX(chart.x, records);
    if (graph < 0 || std::size_t(graph) >= names.size()) return chart;
    chart.title = names[std::size_t(graph)];

    switch (const auto which = BatchGraph(graph); which) {
    case BatchGraph::AverageTime:
    case BatchGraph::MaximumTime:
    case BatchGraph::MinimumTime:
        plotRequestTimes(chart, records, which);
        break;
    case BatchGraph::Performance:
        chart.y.title = "Overall performance (requests/sec)";
        chart.series.push_back(perRun("Values", kBlue, records, [](const CResultsStore& r) {
            return double(r.requestsPerSec);
        }));
        break;
    case BatchGraph::Errors:
        chart.y.title = "Errors (%)";
        chart.series.push_back(perRun("Values", kBlue, records, errorPercent));
        chart.y.minimum = 0;
        chart.y.maximum = 100;
        chart.y.step    = 10;
        return chart;
    case BatchGraph::Bandwidth:
        chart.y.title = "Average bandwidth (Kbits/sec)";
        chart.series.push_back(perRun("Server", {255, 0, 0}, records, [](const CResultsStore& r) {
            return r.serverBandwidth * 8;
        }));
        chart.series.push_back(perRun("User", kBlue, records,
                                      [](const CResultsStore& r) { return r.userBandwidth * 8; }));
        break;
    }
    applyYRule(chart.y, largestY(chart));
    return chart;
}

} // namespace torvex
