#pragma once

#include "app/ResizingFormView.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace torvex {

class CObjectiveHintBox;
class CResultsContainer;

// "Text Report": the engine's text report of one run of the results list, chosen by its title,
// with the hint of the scenario's testing objective below it.
class CReportFormView : public CResizingFormView {
    Q_OBJECT
public:
    explicit CReportFormView(CResultsContainer& results, QWidget* parent = nullptr);

    // Activation and changes of the results list.
    void RefreshView() override { refresh(false); }
    // Refills the run list keeping the shown run selected while it is still in the list; `force`
    // (after Open Results) shows the selected run even when it did not change.
    void refresh(bool force);
    // A new or opened scenario: no run shown.
    void ResetView() override;
    // The run id of the run shown; 0 for none.
    int shownRunId() const { return shownRunId_; }

private:
    void showSelectedRun();

    CResultsContainer& results_;
    int shownRunId_ = 0;
    QLabel* caption_;
    QComboBox* runs_;
    QPlainTextEdit* report_;
    CObjectiveHintBox* hint_;
};

} // namespace torvex
