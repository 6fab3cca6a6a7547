#include "results/GraphicsFormView.h"

namespace torvex {

CGraphicsFormView::CGraphicsFormView(CResultsContainer&, QWidget* parent)
    : CResizingFormView(parent) {}
void CGraphicsFormView::RefreshView() {}
void CGraphicsFormView::ResetView() {}

} // namespace torvex
