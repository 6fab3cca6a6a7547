#pragma once

#include "app/ResizingFormView.h"

namespace torvex {

class CHexmillLEDoc;

// The Editor view: the scenario's request list, the selected request's options and parameters,
// and the options of the whole scenario. Every change goes into the scenario at once and marks
// the document modified.
class CEditorFormView : public CResizingFormView {
    Q_OBJECT
public:
    explicit CEditorFormView(CHexmillLEDoc& document, QWidget* parent = nullptr);

    // Activation: refills the request list, then loads the scenario options.
    void RefreshView() override;
    // Deactivation: stores the scenario options.
    void DeactivateView() override;
    // A new or opened scenario: no current request, options reloaded, lists emptied.
    void ResetView() override;
    // Writes the scenario option controls into the scenario (Run Test does this first).
    void saveScenarioOptions();

signals:
    // A change was stored into the scenario and the document marked modified.
    void documentModified();
};

} // namespace torvex
