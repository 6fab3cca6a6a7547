#include "results/ReportFormView.h"

#include "app/NamedWidget.h"
#include "results/ObjectiveHintBox.h"
#include "results/ResultsContainer.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace torvex {
namespace {

// Run titles are long ("14:05 - name - Virtual users=3"); the combo shows at least this much of
// one and grows with the view instead of widening it.
constexpr int kVisibleTitleChars = 30;

const QString kNoResults = QStringLiteral("No results");

// Reports and hints break lines with CR LF; the boxes want LF only.
QString displayed(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

CReportFormView::CReportFormView(CResultsContainer& results, QWidget* parent)
    : CResizingFormView(parent), results_(results) {
    runs_ = named(new QComboBox, "runs");
    runs_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    runs_->setMinimumContentsLength(kVisibleTitleChars);
    caption_ = named(new QLabel(tr("Test &report of run:")), "caption");
    caption_->setBuddy(runs_);

    // Reports are tables: a fixed-pitch font on white, and no wrapping that would break columns.
    report_ = named(new QPlainTextEdit, "report");
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QPalette white = report_->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Text, Qt::black);
    report_->setPalette(white);

    hint_ = named(new CObjectiveHintBox, "hint");

    auto* top = new QHBoxLayout;
    top->addWidget(caption_);
    top->addWidget(runs_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(report_, 1);
    layout->addWidget(hint_);

    connect(runs_, &QComboBox::currentIndexChanged, this, &CReportFormView::showSelectedRun);
    ResetView();
}

void CReportFormView::refresh(bool force) {
    std::vector<ResultsRecord> records;
    for (int i = 0; ResultsRecord record = results_.GetAt(i); ++i) records.push_back(record);
    if (records.empty()) {
        runs_->setEnabled(false);
        report_->setPlainText(kNoResults);
        return;
    }

    int shownIndex = -1;
    {
        // Filling and selecting are not the user's choice: no run is shown for them.
        const QSignalBlocker quiet(runs_);
        runs_->setEnabled(true);
        runs_->clear();
        for (const ResultsRecord& record : records) {
            if (shownRunId_ != 0 && record->runId == shownRunId_) shownIndex = runs_->count();
            runs_->addItem(QString::fromStdString(record->GetTitle()), record->runId);
        }
        runs_->setCurrentIndex(std::max(shownIndex, 0));
    }
    if (force || shownIndex < 0) showSelectedRun();
}

void CReportFormView::ResetView() {
    shownRunId_ = 0;
    report_->setPlainText(kNoResults);
    const QSignalBlocker quiet(runs_);
    runs_->clear();
    runs_->setEnabled(false);
}

void CReportFormView::showSelectedRun() {
    const int runId            = runs_->currentData().toInt();
    const ResultsRecord record = results_.FindByRunId(runId);
    if (!record) return;
    hint_->showObjective(record->objectiveId);
    shownRunId_ = runId;
    report_->setPlainText(displayed(record->reportText));
    runs_->setFocus();
}

// Replaces the hint but keeps what the user selected in it, as far as the new text reaches.
} // namespace torvex
