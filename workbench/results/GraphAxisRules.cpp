#include "results/GraphModel.h"

namespace torvex {

namespace {

// The smallest range the chart can divide into steps.
constexpr double kSmallestRange = 2.220446e-16;

} // namespace

void applyYRule(GraphAxis& y, double largestY) {
    double step = 0.1;
    if (largestY > 5000)
        step = 1000;
    else if (largestY > 500)
        step = 50;
    else if (largestY > 20)
        step = 10;
    else if (largestY > 5)
        step = 1;
    y.minimum = 0;
    y.step    = step;
    y.maximum = step + (largestY == 0 ? 1 : largestY);
    if (y.maximum < kSmallestRange) y.maximum = kSmallestRange;
}

void applyBatchXRule(GraphAxis& x, double firstX, double largestX) {
    x.minimum               = firstX - 1;
    x.maximum               = largestX + 1;
    const long long fifties = static_cast<long long>(largestX) / 50;
    // A negative batch value from a damaged file must not give a step that never advances.
    x.step = fifties > 0 ? 5.0 * double(fifties) : 1;
    if (x.maximum - x.minimum < kSmallestRange) x.maximum = x.minimum + kSmallestRange;
}

} // namespace torvex
