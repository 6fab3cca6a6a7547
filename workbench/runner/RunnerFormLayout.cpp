// The Runner view's controls, each bound to its field of the run section, and their grouping.
#include "app/NamedWidget.h"
#include "model/Sections.h"
#include "runner/CommittedNumberBox.h"
#include "runner/RunnerFormView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace torvex {
namespace {

constexpr int kMaxCount        = 9999999;
constexpr int kMaxUsers        = 999999;
constexpr int kMaxStaggerMs    = 3600000;
constexpr int kMaxPathLength   = 270;
constexpr int kMaxCommentChars = 1024;

QLabel* labelFor(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// Narrow margins keep the two columns side by side at the main window's smallest size.
QGroupBox* group(const QString& title, QLayout* contents) {
    auto* box = new QGroupBox(title);
    contents->setContentsMargins(6, 6, 6, 6);
    box->setLayout(contents);
    return box;
}

// A grid whose last column takes the spare width, so that short fields keep to the left.
QGridLayout* fieldGrid(int stretchColumn = 2) {
    auto* grid = new QGridLayout;
    grid->setColumnStretch(stretchColumn, 1);
    return grid;
}

} // namespace

QWidget* CRunnerFormView::createForm() {
    // Two columns of groups, each packed to the top, above the full-width paths and texts.
    auto* left = new QVBoxLayout;
    left->addWidget(createLoadGroup());
    left->addWidget(createBatchGroup());
    left->addWidget(createLimitsGroup());
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(createUserStartGroup());
    right->addWidget(createSequencesGroup());
    right->addWidget(createTimingGroup());
    right->addStretch();

    auto* form = new QWidget;
    auto* grid = new QGridLayout(form);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addLayout(left, 0, 0);
    grid->addLayout(right, 0, 1);
    grid->addWidget(createOutputGroup(), 1, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    return form;
}

QGroupBox* CRunnerFormView::createLoadGroup() {
    users_          = boundNumber("users", 0, kMaxUsers, &CRunSection::users);
    iterations_     = boundNumber("iterations", 0, kMaxCount, &CRunSection::iterations);
    auto* singleRun = boundChoice(tr("&Single run"), "singleRun", &CRunSection::batchRun, 0);
    auto* batchRun  = boundChoice(tr("&Batch run by"), "batchRun", &CRunSection::batchRun, 1);
    batchBy_        = boundCombo("batchBy", {tr("Users"), tr("Iterations")}, &CRunSection::batchBy);
    usersLabel_     = labelFor(tr("Virtual us&ers:"), users_);
    iterationsLabel_ = labelFor(tr("Iterations per user:"), iterations_);

    // A single run keeps the timings of its requests by default.
    connect(singleRun, &QRadioButton::toggled, this, [this](bool chosen) {
        if (chosen && !loading_) saveTimings_->setChecked(true);
    });

    auto* grid = fieldGrid();
    grid->addWidget(usersLabel_, 0, 0);
    grid->addWidget(users_, 0, 1);
    grid->addWidget(iterationsLabel_, 1, 0);
    grid->addWidget(iterations_, 1, 1);
    grid->addWidget(singleRun, 2, 0, 1, 2);
    grid->addWidget(batchRun, 3, 0);
    grid->addWidget(batchBy_, 3, 1);
    return group(tr("Load"), grid);
}

QGroupBox* CRunnerFormView::createBatchGroup() {
    batchFrom_        = batchBox("batchFrom", &withFromText);
    batchTo_          = batchBox("batchTo", &withToText);
    batchStep_        = batchBox("batchStep", &withStepText);
    pauseBetweenRuns_ = boundCheck(tr("Interval bet&ween runs:"), "pauseBetweenRuns",
                                   &CRunSection::pauseBetweenRuns);
    pauseSeconds_ =
        boundNumber("pauseSeconds", 0, kMaxCount, &CRunSection::pauseSeconds, tr(" sec"));

    // The bounds and step are enabled together with their labels.
    batchRangeRow_ = new QWidget;
    auto* row      = new QGridLayout(batchRangeRow_);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(labelFor(tr("From:"), batchFrom_), 0, 0);
    row->addWidget(batchFrom_, 0, 1);
    row->addWidget(labelFor(tr("to:"), batchTo_), 0, 2);
    row->addWidget(batchTo_, 0, 3);
    row->addWidget(labelFor(tr("Step:"), batchStep_), 1, 0);
    row->addWidget(batchStep_, 1, 1);
    row->setColumnStretch(4, 1);

    auto* grid = fieldGrid();
    grid->addWidget(batchRangeRow_, 0, 0, 1, 3);
    grid->addWidget(pauseBetweenRuns_, 1, 0);
    grid->addWidget(pauseSeconds_, 1, 1);
    return group(tr("Batch"), grid);
}

QGroupBox* CRunnerFormView::createLimitsGroup() {
    limitTime_     = boundCheck(tr("&Run for:"), "limitTime", &CRunSection::limitTime);
    maxMinutes_    = boundNumber("maxMinutes", 0, kMaxCount, &CRunSection::maxMinutes, tr(" min"));
    limitRequests_ = boundCheck(tr("Perf&orm"), "limitRequests", &CRunSection::limitRequests);
    maxRequests_ =
        boundNumber("maxRequests", 0, kMaxCount, &CRunSection::maxRequests, tr(" requests"));
    auto* maximumLoad =
        boundChoice(tr("Maximum loa&d"), "maximumLoad", &CRunSection::loadLevelMode, 0);
    auto* loadLevelUpTo =
        boundChoice(tr("&Load level up to"), "loadLevelUpTo", &CRunSection::loadLevelMode, 1);
    requestsPerSecond_ = boundNumber("requestsPerSecond", 1, kMaxCount,
                                     &CRunSection::requestsPerSecond, tr(" req/s"));

    auto* grid = fieldGrid();
    grid->addWidget(limitTime_, 0, 0);
    grid->addWidget(maxMinutes_, 0, 1);
    grid->addWidget(limitRequests_, 1, 0);
    grid->addWidget(maxRequests_, 1, 1);
    grid->addWidget(maximumLoad, 2, 0, 1, 2);
    grid->addWidget(loadLevelUpTo, 3, 0);
    grid->addWidget(requestsPerSecond_, 3, 1);
    return group(tr("Limits and load level"), grid);
}

QGroupBox* CRunnerFormView::createUserStartGroup() {
    auto* simultaneously = boundChoice(tr("S&tart all users simultaneously"), "startSimultaneously",
                                       &CRunSection::staggerStart, 0);
    auto* delayBetweenUsers = boundChoice(tr("Dela&y between users:"), "delayBetweenUsers",
                                          &CRunSection::staggerStart, 1);
    staggerMs_ = boundNumber("staggerMs", 0, kMaxStaggerMs, &CRunSection::staggerMs, tr(" ms"));

    auto* grid = fieldGrid();
    grid->addWidget(simultaneously, 0, 0, 1, 2);
    grid->addWidget(delayBetweenUsers, 1, 0);
    grid->addWidget(staggerMs_, 1, 1);
    return group(tr("Starting users"), grid);
}

QGroupBox* CRunnerFormView::createSequencesGroup() {
    const struct {
        const char* text;
        const char* check;
        const char* edit;
        IntField field;
    } kSequences[] = {
        {QT_TR_NOOP("I&nitial"), "initialSeqOn", "editInitialSeq", &CRunSection::initialSeqOn},
        {QT_TR_NOOP("M&ain"), "mainSeqOn", "editMainSeq", &CRunSection::mainSeqOn},
        {QT_TR_NOOP("&Final"), "finalSeqOn", "editFinalSeq", &CRunSection::finalSeqOn},
    };
    auto* grid = fieldGrid();
    for (int i = kInitialSeq; i <= kFinalSeq; ++i) {
        auto* on    = boundCheck(tr(kSequences[i].text), kSequences[i].check, kSequences[i].field);
        seqEdit_[i] = button(tr("Edit"), kSequences[i].edit);
        connect(seqEdit_[i], &QPushButton::clicked, this,
                [this, i] { editSequence(static_cast<Sequence>(i)); });
        grid->addWidget(on, i, 0);
        grid->addWidget(seqEdit_[i], i, 1);
    }
    return group(tr("Sequences"), grid);
}

QGroupBox* CRunnerFormView::createTimingGroup() {
    auto* rounding = boundCombo("timingRounding", {tr("0.01 ms"), tr("0.1 ms"), tr("1 ms")},
                                &CRunSection::timingRounding);
    auto* grid     = fieldGrid();
    const char* const kModes[] = {QT_TR_NOOP("Web transa&ction"), QT_TR_NOOP("Res&ponse time"),
                                  QT_TR_NOOP("Re&quest time")};
    for (int mode = 0; mode < 3; ++mode) {
        const QByteArray name = "timingMode" + QByteArray::number(mode);
        grid->addWidget(
            boundChoice(tr(kModes[mode]), name.constData(), &CRunSection::timingMode, mode), mode,
            0, 1, 2);
    }
    grid->addWidget(labelFor(tr("Roundin&g:"), rounding), 3, 0);
    grid->addWidget(rounding, 3, 1);
    grid->addWidget(boundCheck(tr("Timeout c&heck"), "timeoutCheck", &CRunSection::timeoutCheck), 4,
                    0, 1, 2);
    return group(tr("Timing"), grid);
}

QGroupBox* CRunnerFormView::createOutputGroup() {
    saveLog_      = boundCheck(tr("Save f&ull log to:"), "saveLog", &CRunSection::saveLog);
    logDir_       = boundText("logDir", kMaxPathLength, &CRunSection::logDir);
    browseLogDir_ = browseButton("browseLogDir");
    saveReports_  = boundCheck(tr("Sa&ve reports to:"), "saveReports", &CRunSection::saveReports);
    reportDir_    = boundText("reportDir", kMaxPathLength, &CRunSection::reportDir);
    browseReportDir_ = browseButton("browseReportDir");
    reportNamePattern_ =
        boundText("reportNamePattern", kMaxPathLength, &CRunSection::reportNamePattern);
    patternLabel_ = labelFor(tr("Report names:"), reportNamePattern_);
    editPattern_  = button(tr("Edit"), "editPattern");
    auto* comment = boundText("comment", kMaxCommentChars, &CRunSection::comment);
    saveTimings_ =
        boundCheck(tr("Save requests t&imings:"), "saveTimings", &CRunSection::saveTimings);
    timingsKind_ = boundCombo("timingsKind", {tr("Duration"), tr("Duration and timings")},
                              &CRunSection::timingsKind);

    browseLogDir_->setToolTip(tr("Select log directory"));
    browseReportDir_->setToolTip(tr("Select report directory"));
    connect(browseLogDir_, &QPushButton::clicked, this,
            [this] { browseFolder(logDir_, tr("Select log directory")); });
    connect(browseReportDir_, &QPushButton::clicked, this,
            [this] { browseFolder(reportDir_, tr("Select report directory")); });
    connect(editPattern_, &QPushButton::clicked, this, &CRunnerFormView::editPattern);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->addWidget(saveLog_, 0, 0);
    grid->addWidget(logDir_, 0, 1);
    grid->addWidget(browseLogDir_, 0, 2);
    grid->addWidget(saveReports_, 1, 0);
    grid->addWidget(reportDir_, 1, 1);
    grid->addWidget(browseReportDir_, 1, 2);
    grid->addWidget(patternLabel_, 2, 0);
    grid->addWidget(reportNamePattern_, 2, 1);
    grid->addWidget(editPattern_, 2, 2);
    grid->addWidget(labelFor(tr("Test run com&ment:"), comment), 3, 0);
    grid->addWidget(comment, 3, 1, 1, 2);
    grid->addWidget(saveTimings_, 4, 0);
    grid->addWidget(timingsKind_, 4, 1, Qt::AlignLeft);
    return group(tr("Logs and reports"), grid);
}

QCheckBox* CRunnerFormView::boundCheck(const QString& text, const char* name, IntField field) {
    auto* check = named(new QCheckBox(text), name);
    loaders_.push_back([check, field](const CRunSection& run) { check->setChecked(run.*field); });
    connect(check, &QCheckBox::toggled, this,
            [this, field](bool on) { store([&](CRunSection& run) { run.*field = on ? 1 : 0; }); });
    return check;
}

QRadioButton* CRunnerFormView::boundChoice(const QString& text, const char* name, IntField field,
                                           int value) {
    auto* radio = named(new QRadioButton(text), name);
    loaders_.push_back([radio, field, value](const CRunSection& run) {
        if (run.*field == value) radio->setChecked(true);
    });
    connect(radio, &QRadioButton::toggled, this, [this, field, value](bool chosen) {
        if (chosen) store([&](CRunSection& run) { run.*field = value; });
    });
    return radio;
}

QSpinBox* CRunnerFormView::boundNumber(const char* name, int minimum, int maximum, IntField field,
                                       const QString& suffix) {
    auto* number = named(new QSpinBox, name);
    number->setRange(minimum, maximum);
    number->setSuffix(suffix);
    loaders_.push_back([number, field](const CRunSection& run) { number->setValue(run.*field); });
    connect(number, &QSpinBox::valueChanged, this,
            [this, field](int value) { store([&](CRunSection& run) { run.*field = value; }); });
    return number;
}

QLineEdit* CRunnerFormView::boundText(const char* name, int maxLength, TextField field) {
    auto* edit = named(new QLineEdit, name);
    edit->setMaxLength(maxLength);
    loaders_.push_back([edit, field](const CRunSection& run) {
        edit->setText(QString::fromStdString(run.*field));
    });
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
        store([&](CRunSection& run) { run.*field = text.toStdString(); });
    });
    return edit;
}

QComboBox* CRunnerFormView::boundCombo(const char* name, const QStringList& items, IntField field) {
    auto* combo = named(new QComboBox, name);
    combo->addItems(items);
    loaders_.push_back(
        [combo, field](const CRunSection& run) { combo->setCurrentIndex(run.*field); });
    connect(combo, &QComboBox::currentIndexChanged, this, [this, field](int index) {
        if (index >= 0) store([&](CRunSection& run) { run.*field = index; });
    });
    return combo;
}

CommittedNumberBox* CRunnerFormView::batchBox(const char* name, BatchRule rule) {
    auto* box = named(new CommittedNumberBox, name);
    connect(box, &CommittedNumberBox::editingFinished, this,
            [this, rule, box] { commitBatchText(rule, box); });
    return box;
}

QToolButton* CRunnerFormView::browseButton(const char* name) {
    auto* browse = named(new QToolButton, name);
    browse->setText(QStringLiteral("..."));
    return browse;
}

QPushButton* CRunnerFormView::button(const QString& text, const char* name) {
    auto* pushButton = named(new QPushButton(text), name);
    pushButton->setAutoDefault(false);
    return pushButton;
}

} // namespace torvex
