#pragma once

#include <QSpinBox>

namespace torvex {

// A number box whose arrows stay within [minimum, maximum] while typing may go past the maximum
// (up to four digits), so that a value out of range reaches the dialog's check and its message
// instead of being cut off silently as it is typed.
class CheckedSpinBox : public QSpinBox {
    Q_OBJECT
public:
    CheckedSpinBox(int minimum, int maximum, QWidget* parent = nullptr);
    void stepBy(int steps) override;

protected:
    StepEnabled stepEnabled() const override;

private:
    int checkedMaximum_;
};

} // namespace torvex
