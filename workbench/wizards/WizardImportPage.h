#pragma once

#include <QWizardPage>

#include <array>

class QLabel;

namespace torvex {

class CWizardDlg;

// Import requests: takes the requests of an existing scenario file into the working scenario.
class CWizardPage7 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage7(CWizardDlg& sheet);

    // Reads the scenario file into the working scenario and shows how many requests it brought;
    // a file that cannot be read is reported in a message naming it and changes nothing.
    bool importFile(const QString& path);

private:
    void browse();
    void showCount(int count);

    CWizardDlg& sheet_;
    std::array<QLabel*, 2> hints_{};
    QLabel* count_;
    QLabel* noRequests_;
};

} // namespace torvex
