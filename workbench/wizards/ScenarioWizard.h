#pragma once

#include "model/Scenario.h"
#include "wizards/ScenarioAnswers.h"

#include <QWizard>

namespace torvex {

class CWizardPage7;

// The new scenario wizard: eight pages that turn a testing objective and a few answers into the
// settings of a fresh scenario. The answers stay in the wizard until Finish, which alone changes
// the target scenario; Cancel leaves it as it was.
class CWizardDlg : public QWizard {
    Q_OBJECT
public:
    // The pages' ids, in the order they are shown.
    enum PageId : int {
        kWelcomePage = 0,
        kObjectivePage,
        kResultsPage,
        kLoadPage,
        kVolumePage,
        kSimulationPage,
        kImportPage,
        kFinishPage,
    };

    CWizardDlg(CScenario& target, QWidget* parent = nullptr);

    // The answers the pages have handed over on Next so far.
    ScenarioAnswers& answers() { return answers_; }
    // Starts with defaults and receives the requests of an imported scenario file.
    CScenario& workingScenario() { return working_; }

    // True when the wizard was closed by "&Create Default...": the caller then makes a new
    // default document instead.
    bool createDefaultChosen() const { return createDefaultChosen_; }
    void chooseCreateDefault();

    // Reads a scenario file's requests into the working scenario, as the import page's
    // "&Browse..." does; false (after a message naming the file) when it cannot be read.
    bool importFile(const QString& path);

    // Finish: applies the answers to the target scenario.
    void accept() override;

private:
    CScenario& target_;
    CScenario working_;
    ScenarioAnswers answers_;
    CWizardPage7* importPage_ = nullptr;
    bool createDefaultChosen_ = false;
};

} // namespace torvex
