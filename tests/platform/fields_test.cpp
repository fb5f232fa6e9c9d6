// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace trelvan::fields {
namespace {

// --- Iw and Iw.m ------------------------------------------------------------------------

GTEST_TEST(FieldsWriteI, RightJustifiesWithLeadingBlanks) {
    EXPECT_EQ(I(5, 3), "  5");
    EXPECT_EQ(I(0, 1), "0");
    EXPECT_EQ(I(100, 6), "   100");
    EXPECT_EQ(I(-5, 3), " -5");
    EXPECT_EQ(I(-42, 3), "-42");
}

GTEST_TEST(FieldsWriteI, ValueThatDoesNotFitIsAllAsterisks) {
    EXPECT_EQ(I(1234, 3), "***");
    EXPECT_EQ(I(-12, 2), "**");  // the sign needs a column too
    EXPECT_EQ(I(10000000, 6), "******");
    EXPECT_EQ(I(999999, 6), "999999");
    EXPECT_EQ(I(-99999, 6), "-99999");
    EXPECT_EQ(I(-100000, 6), "******");
}

GTEST_TEST(FieldsWriteI, MinimumDigitsAreZeroFilled) {
    EXPECT_EQ(I(5, 2, 2), "05");
    EXPECT_EQ(I(12, 2, 2), "12");
    EXPECT_EQ(I(0, 2, 2), "00");
    EXPECT_EQ(I(7, 5, 3), "  007");
    EXPECT_EQ(I(-5, 4, 3), "-005");
    EXPECT_EQ(I(-5, 3, 3), "***");
    EXPECT_EQ(I(123, 2, 2), "**");
}

GTEST_TEST(FieldsWriteI, ExtremesOfTheIntegerRange) {
    EXPECT_EQ(I(std::numeric_limits<int64_t>::min(), 20), "-9223372036854775808");
    EXPECT_EQ(I(std::numeric_limits<int64_t>::max(), 20), " 9223372036854775807");
    EXPECT_EQ(I(std::numeric_limits<int64_t>::min(), 19), std::string(19, '*'));
}

// --- Fw.d -------------------------------------------------------------------------------

GTEST_TEST(FieldsWriteF, ZeroBeforeThePointWhenThereIsRoom) {
    EXPECT_EQ(F(0.85, 4, 2), "0.85");
    EXPECT_EQ(F(0.5, 5, 2), " 0.50");
    EXPECT_EQ(F(1.23, 10, 2), "      1.23");
    EXPECT_EQ(F(0.3, 2, 0), "0.");
}

GTEST_TEST(FieldsWriteF, LeadingZeroIsDroppedOnlyWhenThatMakesItFit) {
    EXPECT_EQ(F(0.5, 3, 2), ".50");
    EXPECT_EQ(F(-0.5, 4, 2), "-.50");
    EXPECT_EQ(F(0.5, 2, 2), "**");
    EXPECT_EQ(F(-0.5, 3, 2), "***");
    // Without decimals the 0 is the only digit and cannot go.
    EXPECT_EQ(F(0.3, 1, 0), "*");
}

GTEST_TEST(FieldsWriteF, NoDecimalsStillWritesThePoint) {
    EXPECT_EQ(F(500.0, 5, 0), " 500.");
    EXPECT_EQ(F(200.0f, 5, 0), " 200.");
    EXPECT_EQ(F(9999.0, 5, 0), "9999.");
    EXPECT_EQ(F(-12.0, 5, 0), " -12.");
}

GTEST_TEST(FieldsWriteF, ExactTiesRoundAwayFromZero) {
    EXPECT_EQ(F(1.25, 4, 1), " 1.3");
    EXPECT_EQ(F(1.25f, 4, 1), " 1.3");
    EXPECT_EQ(F(200.5, 5, 0), " 201.");
    EXPECT_EQ(F(200.5f, 5, 0), " 201.");
    EXPECT_EQ(F(1.125, 10, 2), "      1.13");
    EXPECT_EQ(F(-1.125, 10, 2), "     -1.13");
    // Ties that rounding half to even would send the other way.
    EXPECT_EQ(F(0.125, 5, 2), " 0.13");
    EXPECT_EQ(F(0.5, 2, 0), "1.");
    EXPECT_EQ(F(2.5, 3, 0), " 3.");
    EXPECT_EQ(F(-2.5, 3, 0), "-3.");
}

GTEST_TEST(FieldsWriteF, NearTiesFollowTheExactBinaryValue) {
    // 1.005 is stored as 1.00499999999999989..., 2.675 as 2.67499999999999982...
    EXPECT_EQ(F(1.005, 5, 2), " 1.00");
    EXPECT_EQ(F(2.675, 5, 2), " 2.67");
    // 0.85f is 0.85000002384..., 0.15f is 0.15000000596...
    EXPECT_EQ(F(0.85f, 4, 1), " 0.9");
    EXPECT_EQ(F(0.15f, 4, 1), " 0.2");
    // Just above and just below a tie.
    EXPECT_EQ(F(std::nextafter(0.5, 0.0), 2, 0), "0.");
    EXPECT_EQ(F(std::nextafter(1.25, 0.0), 4, 1), " 1.2");
    EXPECT_EQ(F(std::nextafter(1.25, 2.0), 4, 1), " 1.3");
}

GTEST_TEST(FieldsWriteF, RoundingCarriesIntoNewDigits) {
    EXPECT_EQ(F(9.96, 4, 1), "10.0");
    EXPECT_EQ(F(0.996, 4, 2), "1.00");
    EXPECT_EQ(F(99.96, 4, 1), "****");
    EXPECT_EQ(F(-9.96, 5, 1), "-10.0");
}

GTEST_TEST(FieldsWriteF, ValueThatDoesNotFitIsAllAsterisks) {
    EXPECT_EQ(F(10.0, 4, 2), "****");
    EXPECT_EQ(F(9.996, 4, 2), "****");
    EXPECT_EQ(F(9.994, 4, 2), "9.99");
    EXPECT_EQ(F(9999.5, 5, 0), "*****");
    EXPECT_EQ(F(9999.49, 5, 0), "9999.");
    EXPECT_EQ(F(10000000.0, 10, 2), "**********");
    EXPECT_EQ(F(9999999.99, 10, 2), "9999999.99");
    EXPECT_EQ(F(std::nan(""), 5, 1), "*****");
    EXPECT_EQ(F(std::numeric_limits<double>::infinity(), 5, 1), "*****");
    EXPECT_EQ(F(-std::numeric_limits<double>::infinity(), 5, 1), "*****");
}

GTEST_TEST(FieldsWriteF, ZeroAfterRoundingHasNoMinusSign) {
    EXPECT_EQ(F(-0.004, 5, 2), " 0.00");
    EXPECT_EQ(F(-0.0, 4, 1), " 0.0");
    EXPECT_EQ(F(-0.4, 3, 0), " 0.");
    EXPECT_EQ(F(-0.005, 5, 2), "-0.01");  // 0.005 is stored a little above the tie
}

GTEST_TEST(FieldsWriteF, LargeAndTinyMagnitudes) {
    EXPECT_EQ(F(1e20, 25, 1), "  100000000000000000000.0");
    EXPECT_EQ(F(123456789.0, 12, 2), "123456789.00");
    EXPECT_EQ(F(std::numeric_limits<double>::denorm_min(), 6, 3), " 0.000");
    EXPECT_EQ(F(1e-300, 4, 2), "0.00");
}

// Every n + k/8 is exact in binary, so its rounding to two decimals can be worked out in
// integers: thousandths, rounded half away from zero to tens of thousandths.
GTEST_TEST(FieldsWriteF, EighthsAgreeWithIntegerRounding) {
    for (int n = -200; n <= 200; ++n) {
        for (int k = 0; k < 8; ++k) {
            const int64_t thousandths = n * 1000 + (n < 0 ? -1 : 1) * k * 125;
            const double value = static_cast<double>(thousandths) / 1000.0;
            const int64_t magnitude = std::llabs(thousandths);
            const int64_t hundredths = (magnitude + 5) / 10;
            std::string expected = std::to_string(hundredths / 100) + "." +
                                   std::to_string(hundredths % 100 / 10) +
                                   std::to_string(hundredths % 10);
            if (thousandths < 0 && hundredths != 0) expected = "-" + expected;
            expected = std::string(10 - expected.size(), ' ') + expected;
            ASSERT_EQ(F(value, 10, 2), expected) << "value " << value;
        }
    }
}

// --- Lw and nX --------------------------------------------------------------------------

GTEST_TEST(FieldsWriteOther, LogicalIsRightJustifiedLetter) {
    EXPECT_EQ(L(true, 1), "T");
    EXPECT_EQ(L(false, 1), "F");
    EXPECT_EQ(L(true, 4), "   T");
    EXPECT_EQ(X(3), "   ");
    EXPECT_EQ(X(0), "");
}

GTEST_TEST(FieldsWriteOther, EveryWriterGivesExactlyWCharacters) {
    for (int w = 1; w <= 12; ++w) {
        for (double value : {0.0, 0.85, -3.5, 1234.567, 1e9}) {
            EXPECT_EQ(F(value, w, 2).size(), static_cast<size_t>(w)) << value << " F" << w;
            EXPECT_EQ(I(static_cast<int64_t>(value), w).size(), static_cast<size_t>(w));
        }
        EXPECT_EQ(L(true, w).size(), static_cast<size_t>(w));
    }
}

// --- Reading ----------------------------------------------------------------------------

GTEST_TEST(FieldsReadI, BlanksAreIgnored) {
    EXPECT_EQ(readI("  42"), 42);
    EXPECT_EQ(readI(" -7"), -7);
    EXPECT_EQ(readI("+8"), 8);
    EXPECT_EQ(readI("4 2"), 42);
    EXPECT_EQ(readI("05"), 5);
    EXPECT_EQ(readI("    "), 0);
    EXPECT_EQ(readI(""), 0);
    EXPECT_EQ(readI("-9223372036854775808"), std::numeric_limits<int64_t>::min());
}

GTEST_TEST(FieldsReadI, AnythingButAnIntegerIsAnError) {
    EXPECT_EQ(readI("**"), std::nullopt);
    EXPECT_EQ(readI("1a"), std::nullopt);
    EXPECT_EQ(readI("x3"), std::nullopt);
    EXPECT_EQ(readI("1.5"), std::nullopt);
    EXPECT_EQ(readI("+"), std::nullopt);
    EXPECT_EQ(readI(" - "), std::nullopt);
    EXPECT_EQ(readI("1-"), std::nullopt);
    EXPECT_EQ(readI("\t1"), std::nullopt);
    EXPECT_EQ(readI("9223372036854775808"), std::nullopt);
}

GTEST_TEST(FieldsReadF, ExplicitPointWinsOverDecimals) {
    EXPECT_EQ(readF("0.85", 2), 0.85);
    EXPECT_EQ(readF("0.85", 0), 0.85);
    EXPECT_EQ(readF("      1.23", 0), 1.23);
    EXPECT_EQ(readF("   200.", 0), 200.0);
    EXPECT_EQ(readF(".5", 3), 0.5);
    EXPECT_EQ(readF("-0.5", 1), -0.5);
}

GTEST_TEST(FieldsReadF, WithoutPointTheLastDigitsAreDecimals) {
    EXPECT_EQ(readF("  85", 2), 0.85);
    EXPECT_EQ(readF("85", 0), 85.0);
    EXPECT_EQ(readF("12345", 2), 123.45);
    // The nearest double to 0.3, not 3 times 0.1.
    EXPECT_EQ(readF("3", 1), 0.3);
    EXPECT_EQ(readF("-15", 1), -1.5);
}

GTEST_TEST(FieldsReadF, BlanksAreIgnoredAndBlankIsZero) {
    EXPECT_EQ(readF("1 2 . 5", 0), 12.5);
    EXPECT_EQ(readF("       ", 2), 0.0);
    EXPECT_EQ(readF("", 2), 0.0);
}

GTEST_TEST(FieldsReadF, ExponentsWithEOrD) {
    EXPECT_EQ(readF("1.5E2", 0), 150.0);
    EXPECT_EQ(readF("1.5e+2", 0), 150.0);
    EXPECT_EQ(readF("1.5D-1", 0), 0.15);
    EXPECT_EQ(readF("15E1", 1), 15.0);  // 1.5 by the decimals, times ten
    EXPECT_EQ(readF("1E", 0), std::nullopt);
    EXPECT_EQ(readF("1E+", 0), std::nullopt);
    EXPECT_EQ(readF("E5", 0), std::nullopt);
}

GTEST_TEST(FieldsReadF, AnythingButANumberIsAnError) {
    EXPECT_EQ(readF("****", 2), std::nullopt);
    EXPECT_EQ(readF("abc", 0), std::nullopt);
    EXPECT_EQ(readF("1.2.3", 0), std::nullopt);
    EXPECT_EQ(readF("1..", 0), std::nullopt);
    EXPECT_EQ(readF("-", 0), std::nullopt);
    EXPECT_EQ(readF(" + ", 0), std::nullopt);
    EXPECT_EQ(readF(".", 0), std::nullopt);
    EXPECT_EQ(readF("+.", 0), std::nullopt);
    EXPECT_EQ(readF("1,5", 0), std::nullopt);
    EXPECT_EQ(readF("0.8x", 2), std::nullopt);
    EXPECT_EQ(readF("--1", 0), std::nullopt);
}

GTEST_TEST(FieldsReadL, LetterAfterBlanksAndPoint) {
    EXPECT_EQ(readL("T"), true);
    EXPECT_EQ(readL("   F"), false);
    EXPECT_EQ(readL(" .t"), true);
    EXPECT_EQ(readL(".FALSE."), false);
    EXPECT_EQ(readL("  True blue"), true);
}

GTEST_TEST(FieldsReadL, AnythingElseIsAnError) {
    EXPECT_EQ(readL(""), std::nullopt);
    EXPECT_EQ(readL("    "), std::nullopt);
    EXPECT_EQ(readL("X"), std::nullopt);
    EXPECT_EQ(readL("1"), std::nullopt);
    EXPECT_EQ(readL("..T"), std::nullopt);
    EXPECT_EQ(readL(". T"), std::nullopt);
}

GTEST_TEST(FieldsLineReader, ReadsALayoutLeftToRight) {
    // 1X, I2, 1X, I2, 1X, I4, 3X, I2
    LineReader reader(" 03.03.2013xxx 9");
    reader.skip(1);
    EXPECT_EQ(reader.i(2), 3);
    reader.skip(1);
    EXPECT_EQ(reader.i(2), 3);
    reader.skip(1);
    EXPECT_EQ(reader.i(4), 2013);
    reader.skip(3);
    EXPECT_EQ(reader.i(2), 9);
    EXPECT_EQ(reader.position(), 16u);
}

GTEST_TEST(FieldsLineReader, PastTheEndTheLineIsBlankPadded) {
    LineReader reader("  12");
    EXPECT_EQ(reader.take(2), "  ");
    EXPECT_EQ(reader.i(4), 12);  // "12" and two blanks
    EXPECT_EQ(reader.f(5, 1), 0.0);
    EXPECT_EQ(reader.i(3), 0);
    EXPECT_EQ(reader.take(3), "");
    EXPECT_EQ(reader.position(), 17u);
}

GTEST_TEST(FieldsLineReader, ConversionErrorsComeThrough) {
    LineReader reader("****  T");
    EXPECT_EQ(reader.f(4, 2), std::nullopt);
    EXPECT_EQ(reader.l(3), true);
}

// --- Writing and reading together -------------------------------------------------------

GTEST_TEST(FieldsRoundTrip, WrittenValuesReadBackRounded) {
    for (int i = -20000; i <= 20000; i += 7) {
        const double value = i / 997.0;
        for (int d = 0; d <= 3; ++d) {
            const std::string text = F(value, 10, d);
            const std::optional<double> back = readF(text, 0);
            ASSERT_TRUE(back.has_value()) << text;
            EXPECT_EQ(*back, roundHalfAway(value, d)) << value << " F10." << d;
        }
        EXPECT_EQ(readI(I(i, 7)), i);
    }
}

GTEST_TEST(FieldsRoundTrip, AsterisksNeverReadAsANumber) {
    EXPECT_EQ(readF(F(10.0, 4, 2), 2), std::nullopt);
    EXPECT_EQ(readI(I(10000000, 6)), std::nullopt);
}

// --- roundHalfAway ----------------------------------------------------------------------

GTEST_TEST(FieldsRoundHalfAway, WholeNumbers) {
    EXPECT_EQ(roundHalfAway(2.5), 3.0);
    EXPECT_EQ(roundHalfAway(-2.5), -3.0);
    EXPECT_EQ(roundHalfAway(0.5), 1.0);
    EXPECT_EQ(roundHalfAway(0.49999999999999994), 0.0);
    EXPECT_EQ(roundHalfAway(1234.4), 1234.0);
    EXPECT_EQ(roundHalfAway(-0.4), 0.0);
    EXPECT_TRUE(std::signbit(roundHalfAway(-0.4)));
}

GTEST_TEST(FieldsRoundHalfAway, DecimalsJudgedOnTheBinaryValue) {
    EXPECT_EQ(roundHalfAway(1.125, 2), 1.13);
    EXPECT_EQ(roundHalfAway(-1.125, 2), -1.13);
    EXPECT_EQ(roundHalfAway(1.25, 1), 1.3);
    EXPECT_EQ(roundHalfAway(1.005, 2), 1.0);
    EXPECT_EQ(roundHalfAway(2.675, 2), 2.67);
    EXPECT_EQ(roundHalfAway(0.285, 2), 0.28);
    EXPECT_EQ(roundHalfAway(9.995, 2), 9.99);
    EXPECT_EQ(roundHalfAway(9.9951, 2), 10.0);
}

GTEST_TEST(FieldsRoundHalfAway, ValuesWithoutFurtherDecimalsStay) {
    EXPECT_EQ(roundHalfAway(1e300, 2), 1e300);
    EXPECT_EQ(roundHalfAway(0.1, 5), 0.1);
    EXPECT_EQ(roundHalfAway(4503599627370497.0, 0), 4503599627370497.0);
    EXPECT_TRUE(std::isnan(roundHalfAway(std::nan(""), 2)));
    EXPECT_EQ(roundHalfAway(std::numeric_limits<double>::infinity(), 1),
              std::numeric_limits<double>::infinity());
}

}  // namespace
}  // namespace trelvan::fields
