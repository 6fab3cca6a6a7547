#include "wizards/WizardFinishPage.h"

#include "app/NamedWidget.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/WizardFields.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace torvex {

CWizardPage8::CWizardPage8(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("finishPage"));
    setTitle(tr("New Test Scenario Wizard - Finish [Page 8 of 8]"));
    setFinalPage(true);
    text_ = named(new QPlainTextEdit, "summary");
    text_->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(wrappedLabel(tr("Press Finish to set up the new test scenario with these "
                                      "settings, or Back to change them."),
                                   "finishPrompt"));
    layout->addWidget(text_, 1);
}

void CWizardPage8::initializePage() {
    summary_ = finishSummary(sheet_.answers(), sheet_.workingScenario().requests.count());
    text_->setPlainText(displayText(summary_));
}

} // namespace torvex
