#include "editor/EditorFormView.h"

namespace torvex {

CEditorFormView::CEditorFormView(CHexmillLEDoc&, QWidget* parent) : CResizingFormView(parent) {}
void CEditorFormView::RefreshView() {}
void CEditorFormView::DeactivateView() {}
void CEditorFormView::ResetView() {}
void CEditorFormView::saveScenarioOptions() {}

} // namespace torvex
