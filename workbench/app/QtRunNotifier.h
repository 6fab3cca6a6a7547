#pragma once

#include "runner/RunNotifier.h"

#include <QObject>
#include <QString>

namespace torvex {

// Hands what the run controller's threads report to the user-interface thread: every call becomes
// a queued signal. waitForStop runs on the user-interface thread and shows the stop dialog.
class QtRunNotifier : public QObject, public RunNotifier {
    Q_OBJECT
public:
    explicit QtRunNotifier(QObject* parent = nullptr);

    void resultsChanged() override;
    void logChanged() override;
    void runProgress(std::optional<std::pair<int, int>> counts,
                     std::optional<std::string> text) override;
    void batchFirstRunDone() override;
    void runFinished(bool interrupted) override;
    void beep() override;
    void waitForStop(const std::function<bool()>& stillRunning) override;

    // The window the stop dialog belongs to.
    void setDialogParent(QWidget* parent) { dialogParent_ = parent; }
    QWidget* dialogParent() const { return dialogParent_; }

signals:
    void resultsChangedPosted();
    void logChangedPosted();
    // `hasCounts` false: hide the progress display.
    void runProgressPosted(bool hasCounts, int done, int total, const QString& text);
    void batchFirstRunDonePosted();
    void runFinishedPosted(bool interrupted);

private:
    QWidget* dialogParent_ = nullptr;
};

} // namespace torvex
