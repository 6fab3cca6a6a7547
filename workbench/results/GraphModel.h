#pragma once

#include "results/ResultsStore.h"

#include <cstddef>
#include <string>
#include <vector>

namespace torvex {

// What a line chart shows, worked out from the results list without any drawing: the graphs
// view, the batch graphs view and the console runner's pictures all draw these.
struct GraphColour {
    int red = 0, green = 0, blue = 0;
    bool operator==(const GraphColour&) const = default;
};

struct GraphPoint {
    double x = 0, y = 0;
    bool operator==(const GraphPoint&) const = default;
};

struct GraphSeries {
    std::string name; // shown in the legend
    GraphColour colour;
    std::vector<GraphPoint> points; // joined in this order, a marker at each
};

struct GraphAxis {
    std::string title;
    std::string labelFormat; // printf format of the labels: "%.0f" for x, "%.2f" for y
    double minimum = 0, maximum = 0, step = 1;
};

struct GraphChart {
    std::string title;   // the graph's name, for pictures and window titles
    std::string caption; // "Number of virtual users = %d" or "Number of iterations = %d"
    GraphAxis x, y;
    std::vector<GraphSeries> series;
};

using ResultsList = std::vector<ResultsRecord>;

// The graphs view: maximum, average and minimum time of one test-sequence request over the
// iterations of a single run or over the runs of a batch. There is something to draw when the
// list has records and its first record has requests.
bool hasRequestGraphs(const ResultsList& list);
GraphChart requestTimesChart(const ResultsList& list, int request);

// The batch graphs view: six graphs against the batch variable, for a list whose first record
// comes from a batch.
bool hasBatchGraphs(const ResultsList& list);
const std::vector<std::string>& batchGraphNames(); // the six names, in the combo's order
GraphChart batchGraphChart(const ResultsList& list, int graph);

// The tooltip of a point: "(%.0f, %.2f)".
std::string pointTooltip(const GraphPoint& point);
// One axis label, printed with the axis's format.
std::string axisLabel(const GraphAxis& axis, double value);

// The colour of the per-request series with this index; the table of 62 colours repeats.
GraphColour requestSeriesColour(std::size_t series);

// The axis rules shared by every graph, for the values plotted.
void applyYRule(GraphAxis& y, double largestY);
void applyBatchXRule(GraphAxis& x, double firstX, double largestX);

} // namespace torvex
