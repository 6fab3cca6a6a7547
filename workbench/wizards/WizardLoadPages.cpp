// The load level and test volume pages, whose defaults follow the chosen objective.
#include "wizards/WizardLoadPages.h"

#include "app/NamedWidget.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/WizardFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace torvex {
namespace {

constexpr int kMaxCount    = 999999;
constexpr int kMaxHours    = 999;
constexpr int kFieldColumn = 1;

CWizardNumberBox* numberBox(const char* name, int minimum, int maximum, const QString& suffix) {
    auto* box = named(new CWizardNumberBox(minimum, maximum), name);
    box->setSuffix(suffix);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("9999999")) + 60);
    return box;
}

// A grid of labels and fields whose last column takes the spare width.
QGridLayout* fieldGrid(QWidget* owner = nullptr) {
    auto* grid = new QGridLayout(owner);
    grid->setColumnStretch(2, 1);
    return grid;
}

} // namespace

CWizardPage4::CWizardPage4(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("loadPage"));
    setTitle(tr("New Test Scenario Wizard - Load Level [Page 4 of 8]"));
    prompt_        = wrappedLabel(QString(), "loadPrompt");
    users_         = numberBox("users", 0, kMaxCount, QString());
    usersLabel_    = named(buddyLabel(QString(), users_), "usersLabel");
    to_            = numberBox("to", 0, kMaxCount, QString());
    step_          = numberBox("step", 0, kMaxCount, QString());
    limitLoad_     = named(new QCheckBox(tr("&Limit load level to:")), "limitLoad");
    hitsPerSecond_ = numberBox("hitsPerSecond", 1, kMaxCount, tr(" hits/sec"));
    connect(limitLoad_, &QCheckBox::toggled, hitsPerSecond_, &QWidget::setEnabled);

    // The "to" and "step" rows and their explanation belong to a batch of runs only.
    batchFields_ = new QWidget;
    auto* batch  = fieldGrid(batchFields_);
    batch->setContentsMargins(0, 0, 0, 0);
    batch->addWidget(buddyLabel(tr("&To:"), to_), 0, 0);
    batch->addWidget(to_, 0, kFieldColumn);
    batch->addWidget(buddyLabel(tr("&Step:"), step_), 1, 0);
    batch->addWidget(step_, 1, kFieldColumn);
    batch->addWidget(
        wrappedLabel(tr("The test is a batch of runs: the first run has the 'From' number of "
                        "virtual users, each next run has 'Step' users more, and the last run "
                        "has the 'To' number."),
                     "batchExplanation"),
        2, 0, 1, 3);

    auto* grid = fieldGrid();
    grid->addWidget(usersLabel_, 0, 0);
    grid->addWidget(users_, 0, kFieldColumn);
    grid->addWidget(batchFields_, 1, 0, 1, 3);
    grid->addWidget(limitLoad_, 2, 0);
    grid->addWidget(hitsPerSecond_, 2, kFieldColumn);
    // The labels of both grids share one width, so that the fields line up.
    const int labelWidth = limitLoad_->sizeHint().width();
    grid->setColumnMinimumWidth(0, labelWidth);
    batch->setColumnMinimumWidth(0, labelWidth);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt_);
    layout->addLayout(grid);
    layout->addStretch();
    showAnswers(LoadAnswers{});
}

void CWizardPage4::initializePage() {
    const int objective = sheet_.answers().objective;
    const bool batch    = isBatchObjective(objective);
    usersLabel_->setText(batch ? tr("&From:") : tr("&Users:"));
    prompt_->setText(batch ? tr("Set the number of virtual users participating in the first test "
                                "run, in the last run and step between runs.")
                           : tr("Set the number of virtual users participating in the test run."));
    batchFields_->setVisible(batch);
    if (objective != defaultsObjective_) {
        LoadAnswers load = shownAnswers();
        resetLoadForObjective(objective, load);
        showAnswers(load);
        defaultsObjective_ = objective;
    }
}

bool CWizardPage4::validatePage() {
    for (CWizardNumberBox* box : {users_, to_, step_, hitsPerSecond_})
        if (!checkRange(this, box)) return false;
    if (isEnduranceObjective(sheet_.answers().objective) && users_->value() < 1) {
        return refuseField(this, tr("A reliability/endurance test needs at least 1 virtual user."),
                           users_);
    }
    if (!to_->isVisibleTo(this)) to_->setValue(users_->value());
    if (to_->value() < users_->value() && step_->value() > 0) {
        return refuseField(this, tr("'From' field cannot be greater than 'To' field."), users_);
    }
    sheet_.answers().load = shownAnswers();
    return true;
}

void CWizardPage4::showAnswers(const LoadAnswers& load) {
    users_->setValue(load.from);
    to_->setValue(load.to);
    step_->setValue(load.step);
    limitLoad_->setChecked(load.limitLoad);
    hitsPerSecond_->setValue(load.hitsPerSecond);
    hitsPerSecond_->setEnabled(load.limitLoad);
}

LoadAnswers CWizardPage4::shownAnswers() const {
    LoadAnswers load;
    load.from          = users_->value();
    load.to            = to_->value();
    load.step          = step_->value();
    load.limitLoad     = limitLoad_->isChecked();
    load.hitsPerSecond = hitsPerSecond_->value();
    return load;
}

CWizardPage5::CWizardPage5(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("volumePage"));
    setTitle(tr("New Test Scenario Wizard - Test Volume [Page 5 of 8]"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createVolumeFields());
    layout->addWidget(createEnduranceFields());
    layout->addStretch();
    showAnswers(VolumeAnswers{});
    connect(limitTime_, &QCheckBox::toggled, this, &CWizardPage5::enableFields);
    connect(limitRequests_, &QCheckBox::toggled, this, &CWizardPage5::enableFields);
}

QWidget* CWizardPage5::createVolumeFields() {
    iterations_    = numberBox("iterations", 0, kMaxCount, QString());
    limitTime_     = named(new QCheckBox(tr("&Run for:")), "limitTime");
    minutes_       = numberBox("minutes", 1, kMaxCount, tr(" min"));
    limitRequests_ = named(new QCheckBox(tr("&Perform")), "limitRequests");
    requests_      = numberBox("requests", 1, kMaxCount, tr(" requests"));

    volumeFields_ = named(new QWidget, "volumeFields");
    auto* grid    = fieldGrid(volumeFields_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(wrappedLabel(tr("Set the number of iterations each virtual user performs, "
                                    "or limit the test by its time or by the number of "
                                    "requests."),
                                 "volumePrompt"),
                    0, 0, 1, 3);
    grid->addWidget(buddyLabel(tr("&Iterations per user:"), iterations_), 1, 0);
    grid->addWidget(iterations_, 1, kFieldColumn);
    grid->addWidget(limitTime_, 2, 0);
    grid->addWidget(minutes_, 2, kFieldColumn);
    grid->addWidget(limitRequests_, 3, 0);
    grid->addWidget(requests_, 3, kFieldColumn);
    return volumeFields_;
}

QWidget* CWizardPage5::createEnduranceFields() {
    hours_  = numberBox("hours", 1, kMaxHours, QString());
    period_ = named(new QComboBox, "reportingPeriod");
    for (int minutes : kReportingPeriods) period_->addItem(QString::number(minutes));

    enduranceFields_ = named(new QWidget, "enduranceFields");
    auto* grid       = fieldGrid(enduranceFields_);
    grid->setContentsMargins(0, 0, 0, 0);
    auto* hoursRow = new QHBoxLayout;
    hoursRow->addWidget(hours_);
    hoursRow->addWidget(new QLabel(tr("hours")));
    grid->addWidget(buddyLabel(tr("Test &duration:"), hours_), 0, 0);
    grid->addLayout(hoursRow, 0, kFieldColumn);
    grid->addWidget(
        wrappedLabel(tr("How long the virtual users keep loading the site."), "durationNote"), 1, 0,
        1, 3);
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(period_);
    periodRow->addWidget(new QLabel(tr("minutes")));
    grid->addWidget(buddyLabel(tr("Reporting peri&od:"), period_), 2, 0);
    grid->addLayout(periodRow, 2, kFieldColumn);
    grid->addWidget(wrappedLabel(tr("The test is cut into runs of one reporting period each, so "
                                    "that the results show how performance changes over the "
                                    "whole duration."),
                                 "periodNote"),
                    3, 0, 1, 3);
    return enduranceFields_;
}

void CWizardPage5::initializePage() {
    const int objective  = sheet_.answers().objective;
    const bool endurance = isEnduranceObjective(objective);
    volumeFields_->setVisible(!endurance);
    enduranceFields_->setVisible(endurance);
    if (objective != defaultsObjective_) {
        VolumeAnswers volume = shownAnswers();
        resetVolumeForObjective(objective, volume);
        showAnswers(volume);
        defaultsObjective_ = objective;
    }
    enableFields();
}

void CWizardPage5::enableFields() {
    const bool endurance = isEnduranceObjective(sheet_.answers().objective);
    minutes_->setEnabled(limitTime_->isChecked());
    requests_->setEnabled(limitRequests_->isChecked());
    iterations_->setEnabled(!limitTime_->isChecked() && !limitRequests_->isChecked() && !endurance);
}

bool CWizardPage5::validatePage() {
    for (CWizardNumberBox* box : {iterations_, requests_, minutes_, hours_})
        if (!checkRange(this, box)) return false;
    sheet_.answers().volume = shownAnswers();
    return true;
}

void CWizardPage5::showAnswers(const VolumeAnswers& volume) {
    iterations_->setValue(volume.iterations);
    limitTime_->setChecked(volume.limitTime);
    minutes_->setValue(volume.minutes);
    limitRequests_->setChecked(volume.limitRequests);
    requests_->setValue(volume.requests);
    hours_->setValue(volume.hours);
    const auto period =
        std::find(kReportingPeriods.begin(), kReportingPeriods.end(), volume.periodMinutes);
    period_->setCurrentIndex(period == kReportingPeriods.end()
                                 ? 0
                                 : static_cast<int>(period - kReportingPeriods.begin()));
    enableFields();
}

VolumeAnswers CWizardPage5::shownAnswers() const {
    VolumeAnswers volume;
    volume.iterations    = iterations_->value();
    volume.limitTime     = limitTime_->isChecked();
    volume.minutes       = minutes_->value();
    volume.limitRequests = limitRequests_->isChecked();
    volume.requests      = requests_->value();
    volume.hours         = hours_->value();
    volume.periodMinutes =
        kReportingPeriods[static_cast<std::size_t>(std::max(0, period_->currentIndex()))];
    return volume;
}

} // namespace torvex
