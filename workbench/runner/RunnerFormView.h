#pragma once

#include "app/ResizingFormView.h"
#include "runner/BatchRangeRules.h"
#include "runner/RunChecks.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QToolButton;

namespace torvex {

class CHexmillLEDoc;
class CommittedNumberBox;
struct CRunSection;

// The Runner view: the run settings of the open scenario and the run log. Every change of a
// control goes into the scenario at once and marks the document modified; loading the controls
// from the scenario changes nothing.
class CRunnerFormView : public CResizingFormView {
    Q_OBJECT
public:
    explicit CRunnerFormView(CHexmillLEDoc& document, QWidget* parent = nullptr);

    // Loads every control and the log box from the scenario.
    void RefreshView() override;
    // Clears the scenario's run log, then reloads.
    void ResetView() override;
    // Shows the run log's new lines, scrolled to the last one.
    void LogChanged() override;
    // After a failed run check: the field gets the focus, its whole text selected and scrolled
    // into view.
    void focusField(RunCheckField field);
    // A from, to or step text still being typed is taken as finished: Run Test and Save use the
    // settings without the focus leaving the field.
    void commitPendingEdits();

signals:
    // A change of a control was stored into the scenario and the document marked modified.
    void documentModified();

private:
    using IntField  = int CRunSection::*;
    using TextField = std::string CRunSection::*;
    using BatchRule = BatchRange (*)(const BatchRange&, std::string_view);
    enum Sequence { kInitialSeq, kMainSeq, kFinalSeq };

    // Building the controls (RunnerFormLayout.cpp). A bound control loads from one field of the
    // run section and stores every change into it.
    QWidget* createForm();
    QGroupBox* createLoadGroup();
    QGroupBox* createBatchGroup();
    QGroupBox* createLimitsGroup();
    QGroupBox* createUserStartGroup();
    QGroupBox* createSequencesGroup();
    QGroupBox* createTimingGroup();
    QGroupBox* createOutputGroup();
    QCheckBox* boundCheck(const QString& text, const char* name, IntField field);
    QRadioButton* boundChoice(const QString& text, const char* name, IntField field, int value);
    QSpinBox* boundNumber(const char* name, int minimum, int maximum, IntField field,
                          const QString& suffix = {});
    QLineEdit* boundText(const char* name, int maxLength, TextField field);
    QComboBox* boundCombo(const char* name, const QStringList& items, IntField field);
    CommittedNumberBox* batchBox(const char* name, BatchRule rule);
    QPushButton* button(const QString& text, const char* name);
    QToolButton* browseButton(const char* name);

    // Behaviour (RunnerFormView.cpp).
    void store(const std::function<void(CRunSection&)>& change);
    void enableControls();
    void showBatchRange();
    void commitBatchText(BatchRule rule, const CommittedNumberBox* box);
    void browseFolder(QLineEdit* field, const QString& title);
    void editPattern();
    void editSequence(Sequence which);
    void reloadLog();

    CHexmillLEDoc& document_;
    bool loading_ = false;
    std::vector<std::function<void(const CRunSection&)>> loaders_;
    BatchRange batchRange_;
    std::size_t logShown_ = 0; // bytes of the run log the log box shows

    QScrollArea* formArea_               = nullptr;
    QLabel* usersLabel_                  = nullptr;
    QSpinBox* users_                     = nullptr;
    QLabel* iterationsLabel_             = nullptr;
    QSpinBox* iterations_                = nullptr;
    QComboBox* batchBy_                  = nullptr;
    QWidget* batchRangeRow_              = nullptr;
    CommittedNumberBox* batchFrom_       = nullptr;
    CommittedNumberBox* batchTo_         = nullptr;
    CommittedNumberBox* batchStep_       = nullptr;
    QCheckBox* pauseBetweenRuns_         = nullptr;
    QSpinBox* pauseSeconds_              = nullptr;
    QCheckBox* limitTime_                = nullptr;
    QSpinBox* maxMinutes_                = nullptr;
    QCheckBox* limitRequests_            = nullptr;
    QSpinBox* maxRequests_               = nullptr;
    QSpinBox* requestsPerSecond_         = nullptr;
    QCheckBox* saveLog_                  = nullptr;
    QLineEdit* logDir_                   = nullptr;
    QToolButton* browseLogDir_           = nullptr;
    QCheckBox* saveReports_              = nullptr;
    QLineEdit* reportDir_                = nullptr;
    QToolButton* browseReportDir_        = nullptr;
    QLabel* patternLabel_                = nullptr;
    QLineEdit* reportNamePattern_        = nullptr;
    QPushButton* editPattern_            = nullptr;
    QCheckBox* saveTimings_              = nullptr;
    QComboBox* timingsKind_              = nullptr;
    std::array<QPushButton*, 3> seqEdit_ = {};
    QSpinBox* staggerMs_                 = nullptr;
    QPlainTextEdit* runLog_              = nullptr;
};

} // namespace torvex
