#pragma once

#include "results/GraphModel.h"

#include <QString>
#include <QtCharts/QChartView>

class QPointF;

namespace torvex {

// A line chart of the graph model: every series a polyline with a marker at each point, the
// legend, the axes with their titles, ranges, steps and label formats, the caption, white
// background, and the "(x, y)" tooltip of the point under the mouse.
class CChartView : public QChartView {
    Q_OBJECT
public:
    explicit CChartView(QWidget* parent = nullptr);

    // Replaces the drawing with `chart`. `named` puts the graph's name above the caption, for a
    // picture that has no window or combo around it to say which graph it is.
    void showChart(const GraphChart& chart, bool named = false);
    const GraphChart& shownChart() const { return shown_; }
    // How many times a chart was drawn: the views redraw only when the results changed.
    int drawCount() const { return drawCount_; }
    // The tooltip of the point under the mouse; empty when the mouse is on no line.
    const QString& hoverText() const { return hoverText_; }

private:
    void pointHovered(int series, const QPointF& where, bool inside);

    GraphChart shown_;
    int drawCount_ = 0;
    QString hoverText_;
};

} // namespace torvex
