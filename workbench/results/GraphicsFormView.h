#pragma once

#include "app/ResizingFormView.h"
#include "results/GraphModel.h"

#include <QStringList>

class QComboBox;
class QLabel;

namespace torvex {

class CChartView;
class CObjectiveHintBox;
class CResultsContainer;

// What both graph views share: a combo choosing the graph, "No results" in place of the chart
// while there is nothing to draw, the chart, and the hint of the scenario's testing objective.
// The chart is rebuilt only when the last run of the list changed or the user chose another
// graph.
class CGraphFormView : public CResizingFormView {
    Q_OBJECT
public:
    void RefreshView() override;
    void ResetView() override;
    // The run id of the last record when the chart was drawn; 0 for none.
    int drawnRunId() const { return drawnRunId_; }

protected:
    // `label` is the combo's caption, `comboName` its object name.
    CGraphFormView(CResultsContainer& results, const QString& label, const char* comboName,
                   QWidget* parent);

    virtual bool hasGraphs(const ResultsList& list) const = 0;
    // The combo's items; item i draws chartOf(list, i).
    virtual QStringList graphNames(const ResultsList& list) const       = 0;
    virtual GraphChart chartOf(const ResultsList& list, int item) const = 0;

private:
    void showNoResults();
    void draw();

    CResultsContainer& results_;
    int drawnRunId_ = 0;
    QLabel* caption_;
    QComboBox* graphs_;
    QLabel* noResults_;
    CChartView* chart_;
    CObjectiveHintBox* hint_;
};

// "Graphs": maximum, average and minimum time of one chosen request, over the iterations of a
// single run or over the runs of a batch.
class CGraphicsFormView : public CGraphFormView {
    Q_OBJECT
public:
    explicit CGraphicsFormView(CResultsContainer& results, QWidget* parent = nullptr);

protected:
    bool hasGraphs(const ResultsList& list) const override;
    QStringList graphNames(const ResultsList& list) const override;
    GraphChart chartOf(const ResultsList& list, int item) const override;
};

} // namespace torvex
