#include "results/GraphChartParts.h"
#include "results/GraphTimings.h"

#include <algorithm>

namespace torvex {

namespace {

// Maximum, average and minimum of one point, in microseconds.
struct MaxAvgMin {
    double maximum = 0, average = 0, minimum = 0;
};

// A summary-only record keeps one line per request; a minimum it never set reads as 0.
std::optional<MaxAvgMin> fromSummary(const CResultsStore& record, int request) {
    auto summary = summaryEntry(record, request);
    if (!summary) return std::nullopt;
    MaxAvgMin point;
    point.maximum = summary->maximum;
    point.average = std::max(0.0, summary->average());
    point.minimum = summary->minimum == kUnsetMinimum ? 0 : summary->minimum;
    return point;
}

// One batch run of a detailed record: the extremes of the per-iteration maxima and minima and
// the mean of every valid time. An iteration in which no user has a valid time counts as a
// minimum of 0.
MaxAvgMin fromIterations(const CResultsStore& record, int request) {
    MaxAvgMin point;
    double smallest = kNoMinimum;
    TimeStats all;
    const std::size_t iterations = longestEntry(record, request);
    for (std::size_t i = 0; i < iterations; ++i) {
        TimeStats stats = iterationStats(record, request, i, false);
        point.maximum   = std::max(point.maximum, stats.maximum);
        smallest        = std::min(smallest, stats.minimumOrZero());
        all.sum += stats.sum;
        all.count += stats.count;
    }
    point.average = all.average();
    point.minimum = smallest == kNoMinimum ? 0 : smallest;
    return point;
}

struct Series3 {
    GraphSeries max{"Max", {250, 0, 0}, {}};
    GraphSeries avg{"Avg", {0, 0, 250}, {}};
    GraphSeries min{"Min", {0, 240, 0}, {}};

    void add(double x, const MaxAvgMin& point) {
        max.points.push_back({x, point.maximum * kMsPerMicrosecond});
        avg.points.push_back({x, point.average * kMsPerMicrosecond});
        min.points.push_back({x, point.minimum * kMsPerMicrosecond});
    }
};

// One point per run at its batch value; a run without times of the request (no users) draws 0.
void plotBatch(const ResultsList& records, int request, Series3& series, GraphChart& chart) {
    chart.x.title = records.front()->batchLabel;
    for (const auto& record : records) {
        const double x = record->batchValue;
        series.add(x, record->summaryOnly ? fromSummary(*record, request).value_or(MaxAvgMin{})
                                          : fromIterations(*record, request));
    }
    applyBatchX(chart.x, records);
}

// One point per iteration, up to the last iteration any user reached: a run stopped early
// leaves trailing iterations without times, and those are not drawn.
void plotIterations(const CResultsStore& record, int request, Series3& series, GraphChart& chart) {
    const std::size_t last = lastIterationWithTimes(record);
    for (std::size_t i = 0; i < last; ++i) {
        TimeStats stats = iterationStats(record, request, i, true);
        series.add(double(i + 1), {stats.maximum, stats.average(), stats.minimumOrZero()});
    }
    chart.x.minimum   = 0;
    chart.x.maximum   = double(last + 1);
    const int fifties = record.iterationCount / 50;
    chart.x.step      = fifties > 0 ? 5.0 * fifties : 1;
}

} // namespace

bool hasRequestGraphs(const ResultsList& list) {
    return !list.empty() && list.front() && !list.front()->requestNames.empty();
}

GraphChart requestTimesChart(const ResultsList& list, int request) {
    GraphChart chart   = startChart();
    const auto records = presentRecords(list);
    chart.x.title      = "Iteration";
    chart.y.title      = "Request processing time (ms)";
    if (records.empty()) {
        applyYRule(chart.y, 0);
        return chart;
    }
    const CResultsStore& first = *records.front();
    const bool batch           = first.batchNumber != 0;
    chart.caption              = countCaption(first, !batch || first.batchBy == 1);
    const bool named           = request >= 0 && std::size_t(request) < first.requestNames.size();
    if (named) chart.title = first.requestNames[std::size_t(request)];
    Series3 series;
    if (!named) {
        // A request the first record does not name has nothing to plot in any record.
    } else if (batch) {
        plotBatch(records, request, series, chart);
    } else if (first.summaryOnly) {
        if (auto point = fromSummary(first, request)) series.add(1, *point);
        chart.x.minimum = 0;
        chart.x.maximum = 2;
        chart.x.step    = 1;
    } else {
        plotIterations(first, request, series, chart);
    }
    chart.series = {std::move(series.max), std::move(series.avg), std::move(series.min)};
    applyYRule(chart.y, largestY(chart));
    return chart;
}

} // namespace torvex
