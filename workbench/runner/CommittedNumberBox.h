#pragma once

#include <QAbstractSpinBox>
#include <QLineEdit>

#include <algorithm>

namespace torvex {

// A number box that takes any text: its owner applies its own rules to the text when editing
// finishes (Return, or the focus leaving) and shows the result with setValue(). The arrows and
// the Up and Down keys step the shown number within the range and finish the edit the same way.
class CommittedNumberBox : public QAbstractSpinBox {
public:
    explicit CommittedNumberBox(QWidget* parent = nullptr) : QAbstractSpinBox(parent) {
        // Room for the longest number the owners allow, and the arrows.
        setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-9999999")) + 28);
    }

    void setRange(int minimum, int maximum) {
        minimum_ = minimum;
        maximum_ = maximum;
        update(); // the arrows' enabling follows the range
    }
    void setValue(int value) { lineEdit()->setText(QString::number(value)); }

    void stepBy(int steps) override {
        // A text that is no number is left to the owner's rules, which show a number again.
        bool isNumber         = false;
        const long long shown = text().trimmed().toLongLong(&isNumber);
        if (isNumber)
            setValue(static_cast<int>(std::clamp<long long>(shown + steps, minimum_, maximum_)));
        emit editingFinished();
    }

protected:
    StepEnabled stepEnabled() const override {
        bool isNumber         = false;
        const long long shown = text().trimmed().toLongLong(&isNumber);
        if (!isNumber) return StepUpEnabled | StepDownEnabled;
        StepEnabled enabled = StepNone;
        if (shown > minimum_) enabled |= StepDownEnabled;
        if (shown < maximum_) enabled |= StepUpEnabled;
        return enabled;
    }

private:
    int minimum_ = 0;
    int maximum_ = 0;
};

} // namespace torvex
