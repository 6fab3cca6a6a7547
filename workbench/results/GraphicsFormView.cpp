#include "results/GraphicsFormView.h"

#include "results/ChartView.h"
#include "results/ObjectiveHints.h"
#include "results/ResultsContainer.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace torvex {
namespace {

constexpr int kHintHeight = 90;
// Request names are URLs; the combo shows at least this much of one and grows with the view.
constexpr int kVisibleNameChars = 30;

const QString kNoResults = QStringLiteral("No results");

// Hints break lines with CR LF; the box wants LF only.
QString displayed(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

template <typename Widget> Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

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

    hint_ = named(new QPlainTextEdit, "hint");
    hint_->setReadOnly(true);
    hint_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    hint_->setFixedHeight(kHintHeight);

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
    setHint(displayed(GetObjectiveResultsText(list.front()->objectiveId)));
    chart_->showChart(chartOf(list, graphs_->currentData().toInt()));
}

// Replaces the hint but keeps what the user selected in it and where the box was scrolled to,
// as far as the new text reaches.
void CGraphFormView::setHint(const QString& hint) {
    if (hint == hint_->toPlainText()) return;
    const int anchor   = hint_->textCursor().anchor();
    const int position = hint_->textCursor().position();
    const int scrolled = hint_->verticalScrollBar()->value();
    hint_->setPlainText(hint);
    const int end      = static_cast<int>(hint.size());
    QTextCursor cursor = hint_->textCursor();
    cursor.setPosition(std::min(anchor, end));
    cursor.setPosition(std::min(position, end), QTextCursor::KeepAnchor);
    hint_->setTextCursor(cursor);
    hint_->verticalScrollBar()->setValue(scrolled);
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
