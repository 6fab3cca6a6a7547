#pragma once

#include <string_view>

namespace torvex {

inline constexpr int kBatchBoundMin = 0;
inline constexpr int kBatchBoundMax = 9999999;
inline constexpr int kBatchStepMin  = -999;
inline constexpr int kBatchStepMax  = 999;

struct SpinRange {
    int minimum                             = 0;
    int maximum                             = 0;
    bool operator==(const SpinRange&) const = default;
};

// A batch cycle's bounds and step, with the ranges the from and to boxes offer next. A cycle
// with a step of 0 or more counts up, so from stays at most to; a negative step counts down.
struct BatchRange {
    int from = 1;
    int to   = 20;
    int step = 1;
    SpinRange fromRange;
    SpinRange toRange;
    bool operator==(const BatchRange&) const = default;
};

// The values as they are, with the ranges that follow from them.
BatchRange batchRangeOf(int from, int to, int step);

// Each of these takes the text typed into one box. A text that is not a whole number leaves
// `current` as it was, so the box shows its previous value again; numbers are held within the
// box's bounds.
//
// Step: -999 to 999; a step whose sign differs from the previous one exchanges from and to, so
// the cycle keeps its two ends and runs the other way.
BatchRange withStepText(const BatchRange& current, std::string_view text);
// From: 0 to 9999999, and not past `to` in the cycle's direction (set to `to` otherwise).
BatchRange withFromText(const BatchRange& current, std::string_view text);
// To: 0 to 9999999, and not before from in the cycle's direction (set to from otherwise).
BatchRange withToText(const BatchRange& current, std::string_view text);

} // namespace torvex
