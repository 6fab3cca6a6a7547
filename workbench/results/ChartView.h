#pragma once

#include "results/GraphModel.h"

#include <QtCharts/QChartView>

namespace torvex {

// A line chart of the graph model: every series a polyline with a marker at each point, the
// legend, the axes with their titles, ranges, steps and label formats, the caption, white
// background, and the "(x, y)" tooltip of the point under the mouse.
class CChartView : public QChartView {
    Q_OBJECT
public:
    explicit CChartView(QWidget* parent = nullptr);

    void showChart(const GraphChart& chart);
    const GraphChart& shownChart() const { return shown_; }

private:
    GraphChart shown_;
};

} // namespace torvex
