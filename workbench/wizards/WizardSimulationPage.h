#pragma once

#include <QWizardPage>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace torvex {

class CMacroIPAddressCtrl;
class CWizardDlg;
class CWizardNumberBox;
struct SimulationAnswers;

// User simulation: the level of realism, the X-Forwarded-For address, the connection speed and
// the think times between requests.
class CWizardPage6 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage6(CWizardDlg& sheet);
    bool validatePage() override;

private:
    QGroupBox* createThinkTimeGroup();
    void showFields();
    void showAnswers(const SimulationAnswers& simulation);
    SimulationAnswers shownAnswers() const;

    CWizardDlg& sheet_;
    QComboBox* level_;
    QCheckBox* addForwardedFor_;
    CMacroIPAddressCtrl* address_;
    QLabel* speedLabel_;
    QComboBox* speed_;
    QGroupBox* thinkTime_;
    QButtonGroup* thinkTimeModes_;
    std::array<CWizardNumberBox*, 2> percent_{}; // minus, plus
    std::array<CWizardNumberBox*, 2> range_{};   // from, to (seconds)
};

} // namespace torvex
