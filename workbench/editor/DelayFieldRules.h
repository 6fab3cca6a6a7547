#pragma once

#include <string_view>

namespace torvex {

// Think-time delays are whole seconds up to one day.
inline constexpr int kMaxDelaySeconds = 86400;

// A delay field's corrected value, and whether its whole text is to be selected (a field that
// was emptied shows 0 ready to be typed over).
struct DelayCorrection {
    int value      = 0;
    bool selectAll = false;
};

// The field lost the focus: no number, or characters after it, give back `lastApplied`;
// a number is held to 0..86400.
int delayOnLeave(std::string_view text, int lastApplied);
// The field's text changed: as when leaving, except that an empty text becomes 0.
DelayCorrection delayOnChange(std::string_view text, int lastApplied);

} // namespace torvex
