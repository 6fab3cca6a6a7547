#include "results/AddGraphicsFormView.h"

namespace torvex {

CAddGraphicsFormView::CAddGraphicsFormView(CResultsContainer&, QWidget* parent)
    : CResizingFormView(parent) {}
void CAddGraphicsFormView::RefreshView() {}
void CAddGraphicsFormView::ResetView() {}

} // namespace torvex
