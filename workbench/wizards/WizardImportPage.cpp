// The import page: requests from an existing scenario file for the new scenario.
#include "wizards/WizardImportPage.h"

#include "app/NamedWidget.h"
#include "model/ScenarioFile.h"
#include "wizards/ScenarioWizard.h"
#include "wizards/WizardFields.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace torvex {

CWizardPage7::CWizardPage7(CWizardDlg& sheet) : sheet_(sheet) {
    setObjectName(QStringLiteral("importPage"));
    setTitle(tr("New Test Scenario Wizard - Import Requests [Page 7 of 8]"));
    // "&Browse..." takes Alt+B on this page.
    setButtonText(QWizard::BackButton, tr("< Back"));

    auto* browse = named(new QPushButton(tr("&Browse...")), "browse");
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &CWizardPage7::browse);
    hints_ = {wrappedLabel(tr("You can take the requests of an existing scenario file into the "
                              "new scenario: press Browse and choose the file."),
                           "importHint"),
              wrappedLabel(tr("To record new requests instead, go on without importing and use "
                              "the Recorder once the wizard has finished."),
                           "recordHint")};
    count_ = named(new QLabel, "importedCount");
    noRequests_ = named(new QLabel(tr("No requests found.")), "noRequests");
    count_->hide();
    noRequests_->hide();

    auto* row = new QHBoxLayout;
    row->addWidget(browse);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    for (QLabel* hint : hints_) layout->addWidget(hint);
    layout->addLayout(row);
    layout->addWidget(count_);
    layout->addWidget(noRequests_);
    layout->addStretch();
}

void CWizardPage7::browse() {
    QFileDialog dialog(this, tr("Import Requests"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("tvs"));
    dialog.setNameFilters({tr("Torvex Scenarios (*.tvs)"), tr("All Files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    importFile(dialog.selectedFiles().front());
}

bool CWizardPage7::importFile(const QString& path) {
    std::string error;
    if (!openScenarioFile(sheet_.workingScenario(), path.toStdString(), error)) {
        QMessageBox::warning(this, QGuiApplication::applicationDisplayName(),
                             QString::fromStdString(error));
        return false;
    }
    showCount(sheet_.workingScenario().requests.count());
    return true;
}

void CWizardPage7::showCount(int count) {
    noRequests_->setVisible(count == 0);
    count_->setVisible(count > 0);
    for (QLabel* hint : hints_) hint->setVisible(count == 0);
    count_->setText(count == 1 ? tr("%1 request was imported.").arg(count)
                               : tr("%1 requests were imported.").arg(count));
}

} // namespace torvex
