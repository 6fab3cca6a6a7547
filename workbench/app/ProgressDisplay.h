#pragma once

#include <QString>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace torvex {

// The run's progress in the status bar's first pane: a text followed by a bar that takes 40 % of
// the pane. Hiding it brings back the pane's usual text.
class ProgressDisplay {
public:
    explicit ProgressDisplay(QStatusBar* statusBar);

    void show(int done, int total, const QString& text);
    void hide();
    bool isVisible() const { return visible_; }
    QProgressBar* bar() const { return bar_; }
    QLabel* label() const { return label_; }

private:
    QStatusBar* statusBar_;
    QLabel* label_;
    QProgressBar* bar_;
    bool visible_ = false;
};

} // namespace torvex
