// SPDX-License-Identifier: GPL-3.0-or-later
// The label texts of AXES: six-column real fields and the exponent label.
#include <gtest/gtest.h>

#include <string>

#include "plot/plot_internal.h"

namespace trelvan::plottest {
namespace {

using plotdetail::exponentLabel;
using plotdetail::valueLabel;

// A value label is the six-column real field with the axis' decimals; the field's own rules
// (rounding, the zero before the point, asterisks) are the fields module's and tested there.
GTEST_TEST(PlotLabelText, SixColumnFieldWithTheAxisDecimals) {
    EXPECT_EQ(valueLabel(0.0f, 0), "    0.");
    EXPECT_EQ(valueLabel(0.5f, 2), "  0.50");
    EXPECT_EQ(valueLabel(12.5f, 1), "  12.5");
    EXPECT_EQ(valueLabel(-99.99f, 2), "-99.99");
    EXPECT_EQ(valueLabel(12345.0f, 0), "12345.");
    EXPECT_EQ(valueLabel(-100.0f, 2), "******") << "seven columns do not fit";
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
