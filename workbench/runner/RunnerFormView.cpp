#include "runner/RunnerFormView.h"

#include "editor/SequenceEditorDialog.h"
#include "model/Document.h"
#include "runner/CommittedNumberBox.h"
#include "runner/ReportPatternDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <initializer_list>
#include <mutex>

namespace torvex {
namespace {

QString withoutExtension(const std::string& title) {
    const std::string::size_type dot = title.rfind('.');
    return QString::fromStdString(dot == std::string::npos ? title : title.substr(0, dot));
}

std::vector<std::string> requestNames(CRequestsContainer& requests) {
    std::vector<std::string> names;
    std::lock_guard guard(requests);
    requests.forEach([&names](const CRequest& request) { names.push_back(request.name); });
    return names;
}

} // namespace

CRunnerFormView::CRunnerFormView(CHexmillLEDoc& document, QWidget* parent)
    : CResizingFormView(parent), document_(document) {
    formArea_ = new QScrollArea;
    formArea_->setWidget(createForm());
    formArea_->setWidgetResizable(true);
    formArea_->setFrameShape(QFrame::NoFrame);

    runLog_ = new QPlainTextEdit;
    runLog_->setObjectName(QStringLiteral("runLog"));
    runLog_->setReadOnly(true);
    runLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
    runLog_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* logBox    = new QGroupBox(tr("Run log"));
    auto* logLayout = new QVBoxLayout(logBox);
    logLayout->addWidget(runLog_);

    // The form takes what it needs, scrolling when the window is small; the log box gets the
    // rest of the height.
    formArea_->setMaximumHeight(formArea_->widget()->sizeHint().height());
    runLog_->setMinimumHeight(runLog_->fontMetrics().lineSpacing() * 5);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(formArea_, 2);
    layout->addWidget(logBox, 1);

    RefreshView();
}

void CRunnerFormView::RefreshView() {
    const CRunSection& run = document_.scenario().run;
    loading_               = true;
    for (const auto& load : loaders_) load(run);
    batchRange_ = batchRangeOf(run.batchFrom, run.batchTo, run.batchStep);
    showBatchRange();
    loading_ = false;
    enableControls();
    reloadLog();
}

void CRunnerFormView::ResetView() {
    document_.scenario().log.clear();
    RefreshView();
}

void CRunnerFormView::LogChanged() {
    const CRunLog& log = document_.scenario().log;
    // A log that shrank was cleared and written anew: show it whole.
    if (log.size() < logShown_) return reloadLog();
    const std::string more = log.textFrom(logShown_);
    logShown_ += more.size();
    QTextCursor end(runLog_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromStdString(more));
    runLog_->verticalScrollBar()->setValue(runLog_->verticalScrollBar()->maximum());
}

void CRunnerFormView::reloadLog() {
    const std::string text = document_.scenario().log.text();
    logShown_              = text.size();
    runLog_->setPlainText(QString::fromStdString(text));
    runLog_->verticalScrollBar()->setValue(runLog_->verticalScrollBar()->maximum());
}

void CRunnerFormView::focusField(RunCheckField field) {
    QLineEdit* edit = nullptr;
    switch (field) {
    case RunCheckField::kLogDir:
        edit = logDir_;
        break;
    case RunCheckField::kReportDir:
        edit = reportDir_;
        break;
    case RunCheckField::kReportNamePattern:
        edit = reportNamePattern_;
        break;
    case RunCheckField::kNone:
        return;
    }
    formArea_->ensureWidgetVisible(edit);
    // The pattern is checked even while reports are off; then the check that opens it gets the
    // focus, as a closed field cannot take it.
    if (!edit->isEnabled()) {
        (field == RunCheckField::kLogDir ? saveLog_ : saveReports_)->setFocus(Qt::OtherFocusReason);
        return;
    }
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

void CRunnerFormView::store(const std::function<void(CRunSection&)>& change) {
    if (loading_) return;
    change(document_.scenario().run);
    document_.setModified();
    enableControls();
    emit documentModified();
}

void CRunnerFormView::enableControls() {
    const CRunSection& run     = document_.scenario().run;
    const bool batch           = run.batchRun != 0;
    const bool byIterations    = batch && run.batchBy == 1;
    const bool usersFree       = !batch || run.batchBy == 1;
    const bool limitsAvailable = !byIterations;

    usersLabel_->setEnabled(usersFree);
    users_->setEnabled(usersFree);
    const bool iterationsFree = !byIterations && !run.limitRequests && !run.limitTime;
    iterationsLabel_->setEnabled(iterationsFree);
    iterations_->setEnabled(iterationsFree);

    batchBy_->setEnabled(batch);
    batchRangeRow_->setEnabled(batch);
    pauseBetweenRuns_->setEnabled(batch);
    pauseSeconds_->setEnabled(batch && run.pauseBetweenRuns);

    limitTime_->setEnabled(limitsAvailable);
    maxMinutes_->setEnabled(limitsAvailable && run.limitTime);
    limitRequests_->setEnabled(limitsAvailable);
    maxRequests_->setEnabled(limitsAvailable && run.limitRequests);
    requestsPerSecond_->setEnabled(run.loadLevelMode == 1);

    logDir_->setEnabled(run.saveLog);
    browseLogDir_->setEnabled(run.saveLog);
    for (QWidget* reportControl : std::initializer_list<QWidget*>{
             reportDir_, browseReportDir_, patternLabel_, reportNamePattern_, editPattern_})
        reportControl->setEnabled(run.saveReports);
    timingsKind_->setEnabled(run.saveTimings);
    seqEdit_[kInitialSeq]->setEnabled(run.initialSeqOn);
    seqEdit_[kMainSeq]->setEnabled(run.mainSeqOn);
    seqEdit_[kFinalSeq]->setEnabled(run.finalSeqOn);
    staggerMs_->setEnabled(run.staggerStart == 1);
}

void CRunnerFormView::showBatchRange() {
    batchFrom_->setRange(batchRange_.fromRange.minimum, batchRange_.fromRange.maximum);
    batchTo_->setRange(batchRange_.toRange.minimum, batchRange_.toRange.maximum);
    batchStep_->setRange(kBatchStepMin, kBatchStepMax);
    batchFrom_->setValue(batchRange_.from);
    batchTo_->setValue(batchRange_.to);
    batchStep_->setValue(batchRange_.step);
}

void CRunnerFormView::commitPendingEdits() {
    // Only the box being typed in can differ from the stored range; committing redraws all three.
    const struct {
        CommittedNumberBox* box;
        BatchRule rule;
        int stored;
    } boxes[] = {{batchFrom_, &withFromText, batchRange_.from},
                 {batchTo_, &withToText, batchRange_.to},
                 {batchStep_, &withStepText, batchRange_.step}};
    for (const auto& each : boxes) {
        if (each.box->text() != QString::number(each.stored)) {
            return commitBatchText(each.rule, each.box);
        }
    }
}

void CRunnerFormView::commitBatchText(BatchRule rule, const CommittedNumberBox* box) {
    const BatchRange next = rule(batchRange_, box->text().toStdString());
    const bool changed =
        next.from != batchRange_.from || next.to != batchRange_.to || next.step != batchRange_.step;
    batchRange_ = next;
    // Shown even when nothing changed: a text that was no number gives way to the value.
    showBatchRange();
    if (!changed) return;
    store([&next](CRunSection& run) {
        run.batchFrom = next.from;
        run.batchTo   = next.to;
        run.batchStep = next.step;
    });
}

void CRunnerFormView::browseFolder(QLineEdit* field, const QString& title) {
    const QString folder = QFileDialog::getExistingDirectory(this, title, field->text());
    if (!folder.isEmpty()) field->setText(folder);
}

void CRunnerFormView::editPattern() {
    const CRunSection& run = document_.scenario().run;
    CReportPatternDialog dialog(reportNamePattern_->text(),
                                {withoutExtension(document_.title()), run.users, run.iterations},
                                this);
    if (dialog.exec() == QDialog::Accepted) reportNamePattern_->setText(dialog.pattern());
}

void CRunnerFormView::editSequence(Sequence which) {
    static const char* const kCaptions[] = {QT_TR_NOOP("&Initial sequence:"),
                                            QT_TR_NOOP("&Main sequence:"),
                                            QT_TR_NOOP("&Final sequence:")};

    using SequenceField              = std::vector<std::string> CRunSection::*;
    const SequenceField kSequences[] = {&CRunSection::initialSeq, &CRunSection::mainSeq,
                                        &CRunSection::finalSeq};
    const SequenceField sequence     = kSequences[which];

    CScenario& scenario                     = document_.scenario();
    const std::vector<std::string> choices  = requestNames(scenario.requests);
    const std::vector<std::string>& current = scenario.run.*sequence;

    CSequenceEditorDialog dialog(this);
    dialog.setCaption(tr(kCaptions[which]));
    dialog.setChoices(choices);
    // An empty main sequence would run nothing: offer every request as the starting point.
    dialog.setSequence(which == kMainSeq && current.empty() ? choices : current);
    if (dialog.exec() != QDialog::Accepted) return;
    store([&](CRunSection& run) { run.*sequence = dialog.sequence(); });
}

} // namespace torvex
