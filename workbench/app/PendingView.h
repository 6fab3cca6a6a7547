#pragma once

#include "app/ResizingFormView.h"

class QLabel;

namespace torvex {

// A work view whose controls are not built yet: it shows the view's name and its empty state
// ("No results" for the result views) so that switching between views can be seen and tested.
class PendingView : public CResizingFormView {
    Q_OBJECT
public:
    PendingView(const QString& title, const QString& emptyText, QWidget* parent = nullptr);
    QString title() const;

private:
    QLabel* title_;
};

} // namespace torvex
