// The wizard's first pages: welcome, the testing objective, and what its results will tell.
#include "wizards/WizardObjectivePages.h"

#include "app/NamedWidget.h"
#include "results/ObjectiveHints.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/WizardFields.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace torvex {

CWizardPage1::CWizardPage1(CWizardDlg& sheet) {
    setObjectName(QStringLiteral("welcomePage"));
    setTitle(tr("New Test Scenario Wizard - Welcome [Page 1 of 8]"));
    auto* createDefault = named(new QPushButton(tr("&Create Default...")), "createDefault");
    createDefault->setAutoDefault(false);
    connect(createDefault, &QPushButton::clicked, &sheet, &CWizardDlg::chooseCreateDefault);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(
        tr("This wizard sets up a new test scenario from your testing objective. It asks how many "
           "virtual users take part, how long the test runs and how closely the users behave like "
           "real ones, and it can take the requests of an existing scenario file."),
        "welcomeText"));
    layout->addWidget(wrappedLabel(
        tr("Press Next to begin. To start with a default scenario and set everything up yourself, "
           "press Create Default."),
        "welcomeHint"));
    layout->addStretch();
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(createDefault);
    layout->addLayout(row);
}

CWizardPage2::CWizardPage2(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("objectivePage"));
    setTitle(tr("New Test Scenario Wizard - Testing Objectives [Page 2 of 8]"));
    objectives_ = named(new QListWidget, "objectives");
    for (const ScenarioObjective& objective : objectives())
        objectives_->addItem(QString::fromUtf8(objective.name));
    objectives_->setCurrentRow(0);
    description_ = wrappedLabel(QString(), "objectiveDescription");
    description_->setMinimumHeight(description_->fontMetrics().lineSpacing() * 4);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(objectives_, &QListWidget::itemSelectionChanged, this, &CWizardPage2::showDescription);
    showDescription();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buddyLabel(tr("&Select the objective of your test:"), objectives_));
    layout->addWidget(objectives_, 1);
    layout->addWidget(description_);
}

void CWizardPage2::showDescription() {
    const QList<QListWidgetItem*> chosen = objectives_->selectedItems();
    const int row                        = chosen.isEmpty() ? -1 : objectives_->row(chosen.front());
    description_->setText(
        row < 0 ? QString()
                : QString::fromUtf8(objectives()[static_cast<std::size_t>(row)].description));
}

bool CWizardPage2::validatePage() {
    const QList<QListWidgetItem*> chosen = objectives_->selectedItems();
    if (chosen.isEmpty()) return refuseField(this, tr("Please select an objective."), objectives_);
    sheet_.answers().objective = objectives_->row(chosen.front());
    return true;
}

CWizardPage3::CWizardPage3(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("resultsPage"));
    setTitle(tr("New Test Scenario Wizard - Test Results and Pass/Fail Criteria [Page 3 of 8]"));
    name_      = named(new QLabel, "objectiveName");
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    results_ = named(new QPlainTextEdit, "objectiveResults");
    results_->setReadOnly(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addWidget(results_, 1);
}

void CWizardPage3::initializePage() {
    const int objective = sheet_.answers().objective;
    name_->setText(QString::fromStdString(objectiveName(objective)));
    results_->setPlainText(displayText(GetObjectiveResultsText(objective)));
}

} // namespace torvex
