#pragma once

#include <QString>
#include <QWidget>

namespace torvex {

// The base of the main window's six work views. Qt layouts keep each view's controls anchored as
// the window is resized; a view that remembers something of its layout (the Recorder its split)
// stores it under a section of the layout store.
class CResizingFormView : public QWidget {
    Q_OBJECT
public:
    explicit CResizingFormView(QWidget* parent = nullptr);

    virtual void SaveLayout(const QString& section);
    virtual void LoadLayout(const QString& section);

    // Back to the empty state of a new or opened scenario.
    virtual void ResetView() {}
    // The view became the visible one, or the results or the run log changed while it was.
    virtual void RefreshView() {}
    virtual void LogChanged() {}
    // Another view is about to become the visible one.
    virtual void DeactivateView() {}
};

} // namespace torvex
