#pragma once

#include "app/ResizingFormView.h"

namespace torvex {

class CResultsContainer;

// "Batch Run Graphs": six graphs of a batch against its variable (virtual users or iterations).
class CAddGraphicsFormView : public CResizingFormView {
    Q_OBJECT
public:
    explicit CAddGraphicsFormView(CResultsContainer& results, QWidget* parent = nullptr);

    // Activation, changes of the results list and the first finished run of a batch; redraws
    // only when the last run changed.
    void RefreshView() override;
    // A new or opened scenario: "No results".
    void ResetView() override;
};

} // namespace torvex
