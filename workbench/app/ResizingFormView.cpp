#include "app/ResizingFormView.h"

namespace torvex {

CResizingFormView::CResizingFormView(QWidget* parent) : QWidget(parent) {}

void CResizingFormView::SaveLayout(const QString&) {}

void CResizingFormView::LoadLayout(const QString&) {}

} // namespace torvex
