#include "wizards/ScenarioWizard.h"

#include "wizards/WizardFinishPage.h"
#include "wizards/WizardImportPage.h"
#include "wizards/WizardLoadPages.h"
#include "wizards/WizardObjectivePages.h"
#include "wizards/WizardSimulationPage.h"

namespace torvex {

CWizardDlg::CWizardDlg(CScenario& target, QWidget* parent) : QWizard(parent), target_(target) {
    setObjectName(QStringLiteral("scenarioWizard"));
    setWindowTitle(tr("Scenario Wizard"));
    // The classic look on every platform: Back, Next or Finish, and Cancel along the bottom.
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    // Room for the widest page from the start, so that the window keeps its size page by page.
    setMinimumSize(fontMetrics().averageCharWidth() * 100, fontMetrics().lineSpacing() * 24);
    importPage_ = new CWizardPage7(*this);
    setPage(kWelcomePage, new CWizardPage1(*this));
    setPage(kObjectivePage, new CWizardPage2(*this));
    setPage(kResultsPage, new CWizardPage3(*this));
    setPage(kLoadPage, new CWizardPage4(*this));
    setPage(kVolumePage, new CWizardPage5(*this));
    setPage(kSimulationPage, new CWizardPage6(*this));
    setPage(kImportPage, importPage_);
    setPage(kFinishPage, new CWizardPage8(*this));
    setStartId(kWelcomePage);
    // Fonts differ between desktops: a page that needs more room than that gets it.
    connect(this, &QWizard::currentIdChanged, this,
            [this] { resize(size().expandedTo(sizeHint())); });
}

void CWizardDlg::chooseCreateDefault() {
    createDefaultChosen_ = true;
    reject();
}

bool CWizardDlg::importFile(const QString& path) {
    return importPage_->importFile(path);
}

void CWizardDlg::accept() {
    applyScenarioAnswers(answers_, working_, target_);
    QWizard::accept();
}

} // namespace torvex
