#pragma once

#include <QWizardPage>

#include <string>

class QPlainTextEdit;

namespace torvex {

class CWizardDlg;

// Finish: the read-only summary of every answer, before Finish applies them.
class CWizardPage8 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage8(CWizardDlg& sheet);
    void initializePage() override;

    // The summary as composed, lines separated by CR LF.
    const std::string& summary() const { return summary_; }

private:
    CWizardDlg& sheet_;
    QPlainTextEdit* text_;
    std::string summary_;
};

} // namespace torvex
