// SPDX-License-Identifier: GPL-3.0-or-later
#include "exercise/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "exercise/fake_clock_window.h"
#include "support/fresh_program.h"

namespace trelvan {
namespace {

uint32_t bitsOf(float value) {
    return std::bit_cast<uint32_t>(value);
}

std::vector<float> draw(int count) {
    std::vector<float> values;
    values.reserve(count);
    for (int i = 0; i < count; ++i) values.push_back(RAN11());
    return values;
}

GTEST_TEST(Ran11, FirstValuesMatchToTheBit) {
    testing::FreshProgram fresh;
    EXPECT_EQ(bitsOf(RAN11()), 0x371F808Du);  // 9.507069e-06
    EXPECT_EQ(bitsOf(RAN11()), 0x3E239EC3u);  // 0.15978532
    EXPECT_EQ(bitsOf(RAN11()), 0x3F03050Du);  // 0.5117958
}

GTEST_TEST(Ran11, FirstSidesAreLeftLeftRight) {
    // Callers put a figure on the right when the value is above 0.5.
    testing::FreshProgram fresh;
    EXPECT_FALSE(RAN11() > 0.5f);
    EXPECT_FALSE(RAN11() > 0.5f);
    EXPECT_TRUE(RAN11() > 0.5f);
}

GTEST_TEST(Ran11, ResetRepeatsTheWholeSequence) {
    testing::FreshProgram fresh;
    const std::vector<float> first = draw(5000);
    resetProgramState();
    const std::vector<float> second = draw(5000);
    ASSERT_EQ(first.size(), second.size());
    for (size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(bitsOf(first[i]), bitsOf(second[i])) << "value " << i + 1;
    }
}

GTEST_TEST(Ran11, SequenceContinuesAcrossCallers) {
    // There is one generator: values drawn in two runs of calls continue each other.
    testing::FreshProgram fresh;
    const std::vector<float> whole = draw(20);
    resetProgramState();
    std::vector<float> pieces = draw(7);
    const std::vector<float> rest = draw(13);
    pieces.insert(pieces.end(), rest.begin(), rest.end());
    for (size_t i = 0; i < whole.size(); ++i) EXPECT_EQ(bitsOf(whole[i]), bitsOf(pieces[i]));
}

GTEST_TEST(Ran11, ValuesStayInUnitIntervalAndSpreadEvenly) {
    testing::FreshProgram fresh;
    constexpr int kCount = 200000;
    double sum = 0.0;
    int above = 0;
    float lowest = 1.0f;
    float highest = 0.0f;
    for (int i = 0; i < kCount; ++i) {
        const float v = RAN11();
        ASSERT_GE(v, 0.0f) << "value " << i + 1;
        ASSERT_LE(v, 1.0f) << "value " << i + 1;
        sum += v;
        above += v > 0.5f ? 1 : 0;
        lowest = std::min(lowest, v);
        highest = std::max(highest, v);
    }
    EXPECT_NEAR(sum / kCount, 0.5, 0.01);
    EXPECT_NEAR(double(above) / kCount, 0.5, 0.01);
    EXPECT_LT(lowest, 0.001f);
    EXPECT_GT(highest, 0.999f);
}

GTEST_TEST(DateTimeWr, ReturnsDayMonthYearHourMinuteSecond) {
    fakes::FakeClockWindow window;
    fakes::WindowGuard guard(window);
    int32_t day = -1, month = -1, year = -1, hour = -1, minute = -1, second = -1;
    DATETIMEWR(day, month, year, hour, minute, second);
    EXPECT_EQ(day, 3);
    EXPECT_EQ(month, 3);
    EXPECT_EQ(year, 2013);
    EXPECT_EQ(hour, 9);
    EXPECT_EQ(minute, 5);
    EXPECT_EQ(second, 7);
    EXPECT_EQ(window.dateReads, 1);
    EXPECT_EQ(window.timeReads, 1);
}

GTEST_TEST(DateTimeWr, KeepsEveryFieldInItsPlace) {
    // Distinct values throughout, so that a swapped pair cannot go unnoticed.
    fakes::FakeClockWindow window;
    window.year = 1999;
    window.month = 12;
    window.day = 28;
    window.hour = 23;
    window.minute = 59;
    window.second = 41;
    window.hundredths = 99;
    fakes::WindowGuard guard(window);
    int32_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    DATETIMEWR(day, month, year, hour, minute, second);
    EXPECT_EQ(day, 28);
    EXPECT_EQ(month, 12);
    EXPECT_EQ(year, 1999);
    EXPECT_EQ(hour, 23);
    EXPECT_EQ(minute, 59);
    EXPECT_EQ(second, 41);
}

}  // namespace
}  // namespace trelvan
