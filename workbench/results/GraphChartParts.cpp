#include "results/GraphChartParts.h"

#include <algorithm>
#include <cstdio>

namespace torvex {

GraphChart startChart() {
    GraphChart chart;
    chart.x.labelFormat = "%.0f";
    chart.y.labelFormat = "%.2f";
    return chart;
}

std::string countCaption(const CResultsStore& record, bool users) {
    char text[64];
    if (users)
        std::snprintf(text, sizeof text, "Number of virtual users = %d", int(record.userCount));
    else
        std::snprintf(text, sizeof text, "Number of iterations = %d", int(record.iterationCount));
    return text;
}

ResultsList presentRecords(const ResultsList& list) {
    ResultsList present;
    for (const auto& record : list)
        if (record) present.push_back(record);
    return present;
}

double largestY(const GraphChart& chart) {
    double largest = 0;
    for (const auto& series : chart.series)
        for (const auto& point : series.points) largest = std::max(largest, point.y);
    return largest;
}

void applyBatchX(GraphAxis& x, const ResultsList& records) {
    if (records.empty()) return;
    double largest = records.front()->batchValue;
    for (const auto& record : records) largest = std::max(largest, double(record->batchValue));
    applyBatchXRule(x, records.front()->batchValue, largest);
}

} // namespace torvex
