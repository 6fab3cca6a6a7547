#pragma once

#include <QWizardPage>

class QLabel;
class QListWidget;
class QPlainTextEdit;

namespace torvex {

class CWizardDlg;

// Welcome: what the wizard does, and "&Create Default..." for a default scenario instead.
class CWizardPage1 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage1(CWizardDlg& sheet);
};

// Testing objectives: the seven objectives with the chosen one's description.
class CWizardPage2 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage2(CWizardDlg& sheet);
    bool validatePage() override;

private:
    void showDescription();

    CWizardDlg& sheet_;
    QListWidget* objectives_;
    QLabel* description_;
};

// Test results and pass/fail criteria: what to look at in the results for the objective.
class CWizardPage3 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage3(CWizardDlg& sheet);
    void initializePage() override;

private:
    CWizardDlg& sheet_;
    QLabel* name_;
    QPlainTextEdit* results_;
};

} // namespace torvex
