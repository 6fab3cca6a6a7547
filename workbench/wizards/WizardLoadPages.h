#pragma once

#include <QWizardPage>

class QCheckBox;
class QComboBox;
class QLabel;

namespace torvex {

class CWizardDlg;
class CWizardNumberBox;
struct LoadAnswers;
struct VolumeAnswers;

// Load level: the users of a single run, or the first, last and step of a batch of runs, and an
// optional limit of hits per second.
class CWizardPage4 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage4(CWizardDlg& sheet);
    void initializePage() override;
    bool validatePage() override;

private:
    void showAnswers(const LoadAnswers& load);
    LoadAnswers shownAnswers() const;

    CWizardDlg& sheet_;
    int defaultsObjective_ = -1; // the objective the defaults were last set for
    QLabel* prompt_;
    QLabel* usersLabel_;
    CWizardNumberBox* users_;
    QWidget* batchFields_;
    CWizardNumberBox* to_;
    CWizardNumberBox* step_;
    QCheckBox* limitLoad_;
    CWizardNumberBox* hitsPerSecond_;
};

// Test volume: iterations with optional time and request limits, or for an endurance test its
// duration and reporting period.
class CWizardPage5 : public QWizardPage {
    Q_OBJECT
public:
    explicit CWizardPage5(CWizardDlg& sheet);
    void initializePage() override;
    bool validatePage() override;

private:
    QWidget* createVolumeFields();
    QWidget* createEnduranceFields();
    void enableFields();
    void showAnswers(const VolumeAnswers& volume);
    VolumeAnswers shownAnswers() const;

    CWizardDlg& sheet_;
    int defaultsObjective_ = -1; // the objective the defaults were last set for
    QWidget* volumeFields_;
    QWidget* enduranceFields_;
    CWizardNumberBox* iterations_;
    QCheckBox* limitTime_;
    CWizardNumberBox* minutes_;
    QCheckBox* limitRequests_;
    CWizardNumberBox* requests_;
    CWizardNumberBox* hours_;
    QComboBox* period_;
};

} // namespace torvex
