#include "results/ChartView.h"

namespace torvex {

CChartView::CChartView(QWidget* parent) : QChartView(parent) {}
void CChartView::showChart(const GraphChart& chart) {
    shown_ = chart;
}

} // namespace torvex
