#include "results/GraphicsFormView.h"

#include "app/NamedWidget.h"
#include "results/ChartView.h"
#include "results/ObjectiveHintBox.h"
#include "results/ResultsContainer.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace torvex {
namespace {

// Request names are URLs; the combo shows at least this much of one and grows with the view.
constexpr int kVisibleNameChars = 30;

const QString kNoResults = QStringLiteral("No results");

} // namespace

CGraphFormView::CGraphFormView(CResultsContainer& results, const QString& label,
                               const char* comboName, QWidget* parent)
    : CResizingFormView(parent), results_(results) {
    graphs_ = named(new QComboBox, comboName);
    graphs_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    graphs_->setMinimumContentsLength(kVisibleNameChars);
    caption_ = named(new QLabel(label), "caption");
    caption_->setBuddy(graphs_);

    noResults_ = named(new QLabel(kNoResults), "noResults");
    noResults_->setAlignment(Qt::AlignCenter);
    chart_ = named(new CChartView, "chart");

    hint_ = named(new CObjectiveHintBox, "hint");

    auto* top = new QHBoxLayout;
    top->addWidget(caption_);
    top->addWidget(graphs_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(noResults_, 1);
    layout->addWidget(chart_, 1);
    layout->addWidget(hint_);

    connect(graphs_, &QComboBox::currentIndexChanged, this, &CGraphFormView::draw);
    ResetView();
}

void CGraphFormView::RefreshView() {
    const ResultsList list = results_.GetAll();
    if (!hasGraphs(list)) {
        showNoResults();
        return;
    }
    noResults_->hide();
    chart_->show();
    graphs_->setEnabled(true);
    if (list.back()->runId == drawnRunId_) return;
    drawnRunId_ = list.back()->runId;

    {
        // Filling is not the user's choice of graph: one drawing follows, not one per item.
        const QSignalBlocker quiet(graphs_);
        // Nothing chosen yet is not a choice of a request without a name.
        const QString chosen = graphs_->currentIndex() >= 0 ? graphs_->currentText() : QString();
        graphs_->clear();
        const QStringList names = graphNames(list);
        for (int i = 0; i < names.size(); ++i) graphs_->addItem(names[i], i);
        graphs_->setCurrentIndex(chosen.isNull() ? 0 : std::max(graphs_->findText(chosen), 0));
    }
    draw();
}

void CGraphFormView::ResetView() {
    drawnRunId_ = 0;
    {
        const QSignalBlocker quiet(graphs_);
        graphs_->clear();
    }
    hint_->clear();
    showNoResults();
}

void CGraphFormView::showNoResults() {
    chart_->hide();
    noResults_->show();
    graphs_->setEnabled(false);
}

void CGraphFormView::draw() {
    const ResultsList list = results_.GetAll();
    if (!hasGraphs(list) || graphs_->currentIndex() < 0) return;
    hint_->showObjective(list.front()->objectiveId);
    chart_->showChart(chartOf(list, graphs_->currentData().toInt()));
}

CGraphicsFormView::CGraphicsFormView(CResultsContainer& results, QWidget* parent)
    : CGraphFormView(results, tr("&Request:"), "requests", parent) {}

bool CGraphicsFormView::hasGraphs(const ResultsList& list) const {
    return hasRequestGraphs(list);
}

QStringList CGraphicsFormView::graphNames(const ResultsList& list) const {
    QStringList names;
    for (const std::string& name : list.front()->requestNames)
        names << QString::fromStdString(name);
    return names;
}

GraphChart CGraphicsFormView::chartOf(const ResultsList& list, int item) const {
    return requestTimesChart(list, item);
}

} // namespace torvex
