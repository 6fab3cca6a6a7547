#pragma once

#include <QDialog>

#include <functional>

namespace torvex {

// Shown while a stopped run winds down: "Please, wait a run stopping...". It looks twice a second
// whether the run is still going and closes itself once it is not; the user cannot close it.
class StopDialog : public QDialog {
    Q_OBJECT
public:
    StopDialog(std::function<bool()> stillRunning, QWidget* parent = nullptr);

protected:
    void reject() override {}

private:
    std::function<bool()> stillRunning_;
};

} // namespace torvex
