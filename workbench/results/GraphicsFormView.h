#pragma once

#include "app/ResizingFormView.h"

namespace torvex {

class CResultsContainer;

// "Graphs": maximum, average and minimum time of one chosen request, over the iterations of a
// single run or over the runs of a batch.
class CGraphicsFormView : public CResizingFormView {
    Q_OBJECT
public:
    explicit CGraphicsFormView(CResultsContainer& results, QWidget* parent = nullptr);

    // Activation and changes of the results list; redraws only when the last run changed.
    void RefreshView() override;
    // A new or opened scenario: "No results".
    void ResetView() override;
};

} // namespace torvex
