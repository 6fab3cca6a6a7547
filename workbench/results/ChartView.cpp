#include "results/ChartView.h"

#include <QCursor>
#include <QFontMetricsF>
#include <QToolTip>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace torvex {
namespace {

constexpr qreal kLineWidth  = 2;
constexpr qreal kMarkerSize = 7;
// Pixels between grid lines below which they are drawn at the labelled ticks only.
constexpr double kMinGridSpacing = 5;
// The most ticks an axis draws. A tick at every step of a huge range (1 GB/s of bandwidth in
// steps of 1000, or a damaged file's batch values) takes Qt Charts minutes to lay out.
constexpr double kMaxTicks = 200;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QColor colourOf(const GraphColour& colour) {
    return QColor(colour.red, colour.green, colour.blue);
}

// The distance between drawn ticks: the model's step, or a multiple of it on a huge range.
double drawnStep(const GraphAxis& axis) {
    const double range = axis.maximum - axis.minimum;
    if (!std::isfinite(range) || !(range > 0)) return 1;
    if (!std::isfinite(axis.step) || !(axis.step > 0)) return range / 10;
    return axis.step * std::max(1.0, std::ceil(range / axis.step / kMaxTicks));
}

// An axis over the model's range with ticks from its minimum every `every`.
QValueAxis* makeAxis(const GraphAxis& axis, double every) {
    auto* made = new QValueAxis;
    made->setLabelFormat(text(axis.labelFormat));
    // Values from a damaged results file may be out of any range; the axis then stays usable.
    if (std::isfinite(axis.maximum - axis.minimum)) made->setRange(axis.minimum, axis.maximum);
    made->setTickType(QValueAxis::TicksDynamic);
    made->setTickAnchor(axis.minimum);
    made->setTickInterval(every);
    made->setMinorTickCount(0);
    return made;
}

// The model's step goes to an axis of its own: a tick and a grid line at every step. Steps can
// lie closer than a label is high or wide (a y maximum of 400 by 10, 50 iterations by 1), and
// Qt Charts then elides every label to "...". So a second axis over the same range carries the
// title and labels every n-th step, n the fewest steps a label fits in.
struct AxisPair {
    GraphAxis model;
    Qt::Orientation orientation;
    double step;
    QValueAxis* steps;
    QValueAxis* labels;

    AxisPair(QChart& chart, const GraphAxis& axis, Qt::Orientation along)
        : model(axis), orientation(along), step(drawnStep(axis)), steps(makeAxis(axis, step)),
          labels(makeAxis(axis, step)) {
        steps->setLabelsVisible(false);
        labels->setTitleText(text(axis.title));
        labels->setGridLineVisible(false);
        labels->setLineVisible(false);
        const Qt::Alignment side = along == Qt::Horizontal ? Qt::AlignBottom : Qt::AlignLeft;
        chart.addAxis(steps, side);
        chart.addAxis(labels, side);
    }

    void fitLabels(const QRectF& plot) {
        const double range = model.maximum - model.minimum;
        if (!std::isfinite(range) || !(range > 0)) return;
        const QFontMetricsF metrics(labels->labelsFont());
        double needed = metrics.height() * 1.3;
        if (orientation == Qt::Horizontal) {
            needed = 0;
            for (double end : {model.minimum, model.maximum})
                needed = std::max(needed, metrics.horizontalAdvance(text(axisLabel(model, end)) +
                                                                    QStringLiteral("00")));
        }
        const double length   = orientation == Qt::Horizontal ? plot.width() : plot.height();
        const double perStep  = length * step / range;
        const double every    = perStep > 0 ? std::max(1.0, std::ceil(needed / perStep)) : 1;
        const double interval = every * step;
        if (labels->tickInterval() != interval) labels->setTickInterval(interval);
        // Grid lines a few pixels apart (100 steps of 1000 ms) would grey the plot over; the
        // labelled ticks take the grid then.
        const bool denseGrid = perStep < kMinGridSpacing;
        if (steps->isGridLineVisible() == denseGrid) {
            steps->setGridLineVisible(!denseGrid);
            labels->setGridLineVisible(denseGrid);
        }
    }
};

QString heading(const GraphChart& chart, bool named) {
    if (!named || chart.title.empty()) return text(chart.caption).toHtmlEscaped();
    return QStringLiteral("<b>%1</b><br>%2")
        .arg(text(chart.title).toHtmlEscaped(), text(chart.caption).toHtmlEscaped());
}

} // namespace

CChartView::CChartView(QWidget* parent) : QChartView(parent) {
    setRenderHint(QPainter::Antialiasing);
    setBackgroundBrush(Qt::white);
    showChart(GraphChart{});
    drawCount_ = 0; // the empty chart of a new view is not a drawing
}

void CChartView::showChart(const GraphChart& chart, bool named) {
    auto* drawn = new QChart;
    drawn->setBackgroundBrush(Qt::white);
    drawn->setBackgroundRoundness(0);
    drawn->setTitle(heading(chart, named));
    QFont titleFont = drawn->titleFont();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    drawn->setTitleFont(titleFont);
    // Below the plot the legend never covers a line, however many requests there are.
    drawn->legend()->setAlignment(Qt::AlignBottom);
    drawn->legend()->setVisible(!chart.series.empty());

    auto x = std::make_shared<AxisPair>(*drawn, chart.x, Qt::Horizontal);
    auto y = std::make_shared<AxisPair>(*drawn, chart.y, Qt::Vertical);
    connect(drawn, &QChart::plotAreaChanged, drawn, [x, y](const QRectF& plot) {
        x->fitLabels(plot);
        y->fitLabels(plot);
    });
    for (const GraphSeries& series : chart.series) {
        auto* line = new QLineSeries;
        line->setName(text(series.name));
        QPen pen(colourOf(series.colour));
        pen.setWidthF(kLineWidth);
        line->setPen(pen);
        line->setPointsVisible(true);
        line->setMarkerSize(kMarkerSize);
        for (const GraphPoint& point : series.points)
            if (std::isfinite(point.x) && std::isfinite(point.y)) line->append(point.x, point.y);
        drawn->addSeries(line);
        for (QValueAxis* axis : {x->steps, x->labels, y->steps, y->labels}) line->attachAxis(axis);
        const int index = static_cast<int>(drawn->series().size()) - 1;
        connect(line, &QLineSeries::hovered, this,
                [this, index](const QPointF& where, bool inside) {
                    pointHovered(index, where, inside);
                });
    }

    // The view owns the chart it shows but lets go of the one it replaces.
    QChart* previous = this->chart();
    setChart(drawn);
    delete previous;
    shown_ = chart;
    hoverText_.clear();
    ++drawCount_;
}

// The series reports a position on its line; the tooltip names the nearest of its points on
// screen, which is the marker under the mouse or the one the line segment is closest to.
void CChartView::pointHovered(int series, const QPointF& where, bool inside) {
    if (!inside || series >= static_cast<int>(shown_.series.size())) {
        hoverText_.clear();
        QToolTip::hideText();
        return;
    }
    QAbstractSeries* line     = chart()->series().value(series);
    const QPointF mouse       = chart()->mapToPosition(where, line);
    const GraphPoint* nearest = nullptr;
    qreal nearestDistance     = std::numeric_limits<qreal>::max();
    for (const GraphPoint& point : shown_.series[series].points) {
        const QPointF at     = chart()->mapToPosition(QPointF(point.x, point.y), line);
        const qreal distance = (at - mouse).manhattanLength();
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest         = &point;
        }
    }
    if (nearest == nullptr) return;
    hoverText_ = text(pointTooltip(*nearest));
    QToolTip::showText(QCursor::pos(), hoverText_, this);
}

} // namespace torvex
