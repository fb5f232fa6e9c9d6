// SPDX-License-Identifier: GPL-3.0-or-later
// The label texts of AXES: six-column real fields and the exponent label.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "plot/plot_internal.h"

namespace trelvan::plottest {
namespace {

using plotdetail::exponentLabel;
using plotdetail::valueLabel;

GTEST_TEST(PlotLabelText, RightJustifiedWithAZeroBeforeThePoint) {
    EXPECT_EQ(valueLabel(0.0f, 0), "    0.");
    EXPECT_EQ(valueLabel(0.0f, 2), "  0.00");
    EXPECT_EQ(valueLabel(0.5f, 2), "  0.50");
    EXPECT_EQ(valueLabel(1.0f, 0), "    1.");
    EXPECT_EQ(valueLabel(12.5f, 1), "  12.5");
    EXPECT_EQ(valueLabel(50.0f, 2), " 50.00");
    EXPECT_EQ(valueLabel(-0.5f, 2), " -0.50");
    EXPECT_EQ(valueLabel(-99.99f, 2), "-99.99");
    EXPECT_EQ(valueLabel(12345.0f, 0), "12345.");
}

GTEST_TEST(PlotLabelText, ExactTiesRoundAwayFromZero) {
    EXPECT_EQ(valueLabel(0.125f, 2), "  0.13");
    EXPECT_EQ(valueLabel(-0.125f, 2), " -0.13");
    EXPECT_EQ(valueLabel(0.25f, 1), "   0.3");
    EXPECT_EQ(valueLabel(2.5f, 0), "    3.");
    EXPECT_EQ(valueLabel(-2.5f, 0), "   -3.");
    EXPECT_EQ(valueLabel(62.5f, 0), "   63.");
    EXPECT_EQ(valueLabel(312.5f, 0), "  313.");
}

GTEST_TEST(PlotLabelText, RoundsTheBinaryValueNotItsDecimalName) {
    // 0.15f lies just above 0.15, 0.35f and 2.675f just below their names.
    EXPECT_EQ(valueLabel(0.15f, 1), "   0.2");
    EXPECT_EQ(valueLabel(0.35f, 1), "   0.3");
    EXPECT_EQ(valueLabel(2.675f, 2), "  2.67");
    // 9.995f lies below 9.995, 99.995f above 99.995.
    EXPECT_EQ(valueLabel(9.995f, 2), "  9.99");
    EXPECT_EQ(valueLabel(99.995f, 2), "100.00");
    EXPECT_EQ(valueLabel(999.5f, 0), " 1000.");
}

GTEST_TEST(PlotLabelText, ValuesTooWideBecomeAsterisks) {
    EXPECT_EQ(valueLabel(-100.0f, 2), "******");
    EXPECT_EQ(valueLabel(1000.0f, 2), "******");
    EXPECT_EQ(valueLabel(999.996f, 2), "******");
    EXPECT_EQ(valueLabel(99999.5f, 0), "******");
    EXPECT_EQ(valueLabel(-12345.0f, 0), "******");
    EXPECT_EQ(valueLabel(std::numeric_limits<float>::infinity(), 2), "******");
    EXPECT_EQ(valueLabel(std::numeric_limits<float>::quiet_NaN(), 2), "******");
}

GTEST_TEST(PlotLabelText, ExponentLabels) {
    // Positive scale exponents: '*E',I3 of -e.
    EXPECT_EQ(exponentLabel(3), "*E -3");
    EXPECT_EQ(exponentLabel(1), "*E -1");
    EXPECT_EQ(exponentLabel(47), "*E-47");
    // Negative ones: '*E+',I2 of -e.
    EXPECT_EQ(exponentLabel(-2), "*E+ 2");
    EXPECT_EQ(exponentLabel(-10), "*E+10");
}

}  // namespace
}  // namespace trelvan::plottest
