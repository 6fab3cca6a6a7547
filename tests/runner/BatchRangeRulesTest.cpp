#include "runner/BatchRangeRules.h"

#include <gtest/gtest.h>

using torvex::BatchRange;
using torvex::batchRangeOf;
using torvex::SpinRange;
using torvex::withFromText;
using torvex::withStepText;
using torvex::withToText;

namespace {

const BatchRange kUp   = batchRangeOf(1, 20, 1);
const BatchRange kDown = batchRangeOf(20, 1, -1);

void expectValues(const BatchRange& range, int from, int to, int step) {
    EXPECT_EQ(range.from, from);
    EXPECT_EQ(range.to, to);
    EXPECT_EQ(range.step, step);
}

} // namespace

TEST(BatchRangeRules, RangesFollowTheDirectionOfTheCycle) {
    EXPECT_EQ(kUp.fromRange, (SpinRange{0, 20}));
    EXPECT_EQ(kUp.toRange, (SpinRange{1, 9999999}));
    EXPECT_EQ(kDown.fromRange, (SpinRange{1, 9999999}));
    EXPECT_EQ(kDown.toRange, (SpinRange{0, 20}));
    // A step of 0 counts as counting up.
    const BatchRange still = batchRangeOf(5, 5, 0);
    EXPECT_EQ(still.fromRange, (SpinRange{0, 5}));
    EXPECT_EQ(still.toRange, (SpinRange{5, 9999999}));
}

TEST(BatchRangeRules, TextThatIsNoWholeNumberKeepsThePreviousValues) {
    for (const char* text : {"", " ", "abc", "12a", "1.5", "-", "+", "1 2", "0x10"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(withStepText(kUp, text), kUp);
        EXPECT_EQ(withFromText(kUp, text), kUp);
        EXPECT_EQ(withToText(kDown, text), kDown);
    }
}

TEST(BatchRangeRules, StepIsClampedAndItsSignDecidesTheDirection) {
    expectValues(withStepText(kUp, " 7 "), 1, 20, 7);
    expectValues(withStepText(kUp, "+1000"), 1, 20, 999);
    expectValues(withStepText(kUp, "0"), 1, 20, 0);
    // Turning negative exchanges from and to; the ranges follow the new direction.
    const BatchRange turned = withStepText(kUp, "-5000");
    expectValues(turned, 20, 1, -999);
    EXPECT_EQ(turned.fromRange, (SpinRange{1, 9999999}));
    EXPECT_EQ(turned.toRange, (SpinRange{0, 20}));
    // Back to counting up, and from a negative step to 0, exchange them again.
    expectValues(withStepText(turned, "3"), 1, 20, 3);
    expectValues(withStepText(kDown, "0"), 1, 20, 0);
    // The same sign keeps them.
    expectValues(withStepText(kDown, "-2"), 20, 1, -2);
    // A huge number of digits saturates instead of wrapping.
    expectValues(withStepText(kUp, "-99999999999999999999999"), 20, 1, -999);
}

TEST(BatchRangeRules, FromStaysWithinItsBoundsAndBehindTo) {
    const BatchRange wide = batchRangeOf(1, 9999999, 1);
    expectValues(withFromText(wide, "-3"), 0, 9999999, 1);
    expectValues(withFromText(wide, "123456789012"), 9999999, 9999999, 1);
    // Counting up, from is at most to.
    const BatchRange up = withFromText(kUp, "25");
    expectValues(up, 20, 20, 1);
    EXPECT_EQ(up.toRange, (SpinRange{20, 9999999}));
    expectValues(withFromText(kUp, "20"), 20, 20, 1);
    expectValues(withFromText(kUp, "7"), 7, 20, 1);
    // Counting down, from is at least to.
    const BatchRange down = withFromText(kDown, "0");
    expectValues(down, 1, 1, -1);
    EXPECT_EQ(down.toRange, (SpinRange{0, 1}));
    const BatchRange higher = withFromText(kDown, "40");
    expectValues(higher, 40, 1, -1);
    EXPECT_EQ(higher.toRange, (SpinRange{0, 40}));
}

TEST(BatchRangeRules, ToStaysWithinItsBoundsAndAheadOfFrom) {
    // Counting up, to is at least from.
    const BatchRange up = withToText(batchRangeOf(10, 20, 2), "3");
    expectValues(up, 10, 10, 2);
    EXPECT_EQ(up.fromRange, (SpinRange{0, 10}));
    expectValues(withToText(kUp, "99999999"), 1, 9999999, 1);
    // Counting down, to is at most from.
    const BatchRange down = withToText(kDown, "30");
    expectValues(down, 20, 20, -1);
    EXPECT_EQ(down.fromRange, (SpinRange{20, 9999999}));
    const BatchRange lower = withToText(kDown, "-8");
    expectValues(lower, 20, 0, -1);
    EXPECT_EQ(lower.fromRange, (SpinRange{0, 9999999}));
}
