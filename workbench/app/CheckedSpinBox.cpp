#include "app/CheckedSpinBox.h"

#include <algorithm>

namespace torvex {

CheckedSpinBox::CheckedSpinBox(int minimum, int maximum, QWidget* parent)
    : QSpinBox(parent), checkedMaximum_(maximum) {
    setRange(minimum, 9999);
}

void CheckedSpinBox::stepBy(int steps) {
    setValue(std::clamp(value() + steps, minimum(), checkedMaximum_));
    selectAll();
}

QAbstractSpinBox::StepEnabled CheckedSpinBox::stepEnabled() const {
    StepEnabled enabled = StepNone;
    if (value() > minimum()) enabled |= StepDownEnabled;
    if (value() < checkedMaximum_) enabled |= StepUpEnabled;
    return enabled;
}

} // namespace torvex
