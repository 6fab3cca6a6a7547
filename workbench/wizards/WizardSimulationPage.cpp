// The user simulation page: how closely the virtual users behave like real ones.
#include "wizards/WizardSimulationPage.h"

#include "app/NamedWidget.h"
#include "editor/ConnectionSpeeds.h"
#include "editor/MacroIPAddressCtrl.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/WizardFields.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace torvex {
namespace {

constexpr int kMaxPercent = 100;
constexpr int kMaxSeconds = 999999;

CWizardNumberBox* numberBox(const char* name, int maximum, const QString& suffix) {
    auto* box = named(new CWizardNumberBox(0, maximum), name);
    box->setSuffix(suffix);
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("9999999")) + 50);
    return box;
}

int speedIndex(int bitsPerSecond) {
    const auto& speeds = connectionSpeeds();
    for (std::size_t i = 0; i < speeds.size(); ++i)
        if (speeds[i].bitsPerSecond == bitsPerSecond) return static_cast<int>(i);
    return 0;
}

} // namespace

CWizardPage6::CWizardPage6(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("simulationPage"));
    setTitle(tr("New Test Scenario Wizard - User Simulation [Page 6 of 8]"));
    // "&No delays" takes Alt+N on this page.
    setButtonText(QWizard::NextButton, tr("Next >"));

    level_ = named(new QComboBox, "simulationLevel");
    for (SimulationLevel level :
         {SimulationLevel::High, SimulationLevel::Medium, SimulationLevel::Low})
        level_->addItem(QString::fromLatin1(simulationLevelName(level)));
    addForwardedFor_ =
        named(new QCheckBox(tr("Add \"&X-Forwarded-For\" HTTP header:")), "addForwardedFor");
    address_ = named(new CMacroIPAddressCtrl, "proxyAddress");
    speed_   = named(new QComboBox, "connectionSpeed");
    for (const ConnectionSpeed& speed : connectionSpeeds())
        speed_->addItem(QString::fromLatin1(speed.text));
    speedLabel_ = named(buddyLabel(tr("User &connection speed:"), speed_), "speedLabel");
    connect(addForwardedFor_, &QCheckBox::toggled, address_, &QWidget::setEnabled);
    connect(level_, &QComboBox::currentIndexChanged, this, &CWizardPage6::showFields);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(2, 1);
    grid->addWidget(buddyLabel(tr("Simulation &level:"), level_), 0, 0);
    grid->addWidget(level_, 0, 1, Qt::AlignLeft);
    grid->addWidget(addForwardedFor_, 1, 0);
    grid->addWidget(address_, 1, 1);
    grid->addWidget(speedLabel_, 2, 0);
    grid->addWidget(speed_, 2, 1, Qt::AlignLeft);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(tr("High simulates the connection speed and the think times of "
                                      "real users, Medium the connection speed only, Low "
                                      "neither."),
                                   "simulationPrompt"));
    layout->addLayout(grid);
    layout->addWidget(createThinkTimeGroup());
    layout->addStretch();
    showAnswers(SimulationAnswers{});
}

QGroupBox* CWizardPage6::createThinkTimeGroup() {
    thinkTime_      = named(new QGroupBox(tr("Think time")), "thinkTime");
    thinkTimeModes_ = new QButtonGroup(this);
    const struct {
        const char* text;
        const char* name;
    } kModes[] = {
        {QT_TR_NOOP("&No delays"), "noDelays"},
        {QT_TR_NOOP("U&se delays with no randomization"), "useDelays"},
        {QT_TR_NOOP("&Random (±%)"), "randomDelays"},
        {QT_TR_NOOP("R&ange (sec)"), "rangeDelays"},
    };
    percent_ = {numberBox("minusPercent", kMaxPercent, tr(" %")),
                numberBox("plusPercent", kMaxPercent, tr(" %"))};
    range_   = {numberBox("rangeFrom", kMaxSeconds, QString()),
                numberBox("rangeTo", kMaxSeconds, QString())};

    auto* grid = new QGridLayout(thinkTime_);
    grid->setColumnStretch(5, 1);
    for (int mode = 0; mode < 4; ++mode) {
        auto* choice = named(new QRadioButton(tr(kModes[mode].text)), kModes[mode].name);
        thinkTimeModes_->addButton(choice, mode);
        grid->addWidget(choice, mode, 0);
    }
    grid->addWidget(buddyLabel(tr("Decrease b&y:"), percent_[0]), 2, 1);
    grid->addWidget(percent_[0], 2, 2);
    grid->addWidget(buddyLabel(tr("&Increase by:"), percent_[1]), 2, 3);
    grid->addWidget(percent_[1], 2, 4);
    grid->addWidget(buddyLabel(tr("Fro&m:"), range_[0]), 3, 1);
    grid->addWidget(range_[0], 3, 2);
    grid->addWidget(buddyLabel(tr("&To:"), range_[1]), 3, 3);
    grid->addWidget(range_[1], 3, 4);
    connect(thinkTimeModes_, &QButtonGroup::idToggled, this, &CWizardPage6::showFields);
    return thinkTime_;
}

void CWizardPage6::showFields() {
    const auto level = static_cast<SimulationLevel>(level_->currentIndex());
    speedLabel_->setVisible(level != SimulationLevel::Low);
    speed_->setVisible(level != SimulationLevel::Low);
    thinkTime_->setVisible(level == SimulationLevel::High);
    const int mode = thinkTimeModes_->checkedId();
    for (CWizardNumberBox* box : percent_)
        box->setEnabled(mode == static_cast<int>(ThinkTimeMode::RandomPercent));
    for (CWizardNumberBox* box : range_)
        box->setEnabled(mode == static_cast<int>(ThinkTimeMode::Range));
}

bool CWizardPage6::validatePage() {
    for (CWizardNumberBox* box : {percent_[0], percent_[1], range_[0], range_[1]})
        if (!checkRange(this, box)) return false;
    // Checked even while the header is off: Finish stores the address either way.
    for (int i = 0; i < 4; ++i) {
        if (address_->field(i)->text().isEmpty()) {
            return refuseField(this, tr("Please type a proxy IP address."), address_->field(i));
        }
    }
    const SimulationAnswers simulation = shownAnswers();
    if (simulation.level == SimulationLevel::High && simulation.thinkTime == ThinkTimeMode::Range &&
        simulation.rangeToSeconds < simulation.rangeFromSeconds) {
        return refuseField(this, tr("'From' field cannot be greater than 'To' field."), range_[0]);
    }
    sheet_.answers().simulation = simulation;
    return true;
}

void CWizardPage6::showAnswers(const SimulationAnswers& simulation) {
    level_->setCurrentIndex(static_cast<int>(simulation.level));
    addForwardedFor_->setChecked(simulation.addForwardedFor);
    address_->setEnabled(simulation.addForwardedFor);
    address_->setText(QString::fromStdString(simulation.address));
    speed_->setCurrentIndex(speedIndex(simulation.speedBitsPerSecond));
    thinkTimeModes_->button(static_cast<int>(simulation.thinkTime))->setChecked(true);
    percent_[0]->setValue(simulation.minusPercent);
    percent_[1]->setValue(simulation.plusPercent);
    range_[0]->setValue(simulation.rangeFromSeconds);
    range_[1]->setValue(simulation.rangeToSeconds);
    showFields();
}

SimulationAnswers CWizardPage6::shownAnswers() const {
    SimulationAnswers simulation;
    simulation.level           = static_cast<SimulationLevel>(std::max(0, level_->currentIndex()));
    simulation.addForwardedFor = addForwardedFor_->isChecked();
    simulation.address         = address_->text().toStdString();
    simulation.speedBitsPerSecond =
        connectionSpeeds()[static_cast<std::size_t>(std::max(0, speed_->currentIndex()))]
            .bitsPerSecond;
    simulation.thinkTime    = static_cast<ThinkTimeMode>(std::max(0, thinkTimeModes_->checkedId()));
    simulation.minusPercent = percent_[0]->value();
    simulation.plusPercent  = percent_[1]->value();
    simulation.rangeFromSeconds = range_[0]->value();
    simulation.rangeToSeconds   = range_[1]->value();
    return simulation;
}

} // namespace torvex
