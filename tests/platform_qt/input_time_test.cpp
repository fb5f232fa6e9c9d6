// SPDX-License-Identifier: GPL-3.0-or-later
// Input events timed by the display server's own stamps, not by when the program saw them.
#include "platform/qt/input_time.h"

#include <gtest/gtest.h>

namespace trelvan {
namespace {

constexpr int64_t kNowNs = 5'000'123'456'789;  // the monotonic clock now: 5000.123456789 s
constexpr double kClockNow = 1700000000.25;    // the program's clock (resolution 0.24 us)

GTEST_TEST(InputTime, AnEventStampedEarlierIsDatedBackByItsAge) {
    // Stamped 7 ms before the millisecond now: it happened 7.456789 ms before now, less the
    // half millisecond within its stamp.
    const double at = eventMoment(5'000'116, kNowNs, kClockNow, 0.5e-3);
    EXPECT_NEAR(kClockNow - at, 7.456789e-3 - 0.5e-3, 1e-6);
    // With a coarse clock of 1 ms ticks the event lies a millisecond after its stamp.
    EXPECT_NEAR(kClockNow - eventMoment(5'000'116, kNowNs, kClockNow, 1e-3), 7.456789e-3 - 1e-3,
                1e-6);
}

GTEST_TEST(InputTime, StampsWrapAtThirtyTwoBits) {
    // The server's 32-bit stamp of 3 ms ago, with the monotonic clock beyond 2^32 ms.
    const int64_t nowNs = (int64_t{1} << 32) * 1'000'000 + 1'500'000;  // 2^32 ms + 1.5 ms
    const uint64_t stamp = 0xFFFFFFFFu - 1;  // 2^32 - 2 ms, three milliseconds before
    EXPECT_NEAR(kClockNow - eventMoment(stamp, nowNs, kClockNow, 0.5e-3), 3.5e-3 - 0.5e-3, 1e-6);
}

GTEST_TEST(InputTime, NeverLaterThanNowAndOtherClocksCountAsNow) {
    // A stamp of the current millisecond, its middle still to come: now.
    EXPECT_EQ(eventMoment(5'000'123, kNowNs, kClockNow, 0.5e-3), kClockNow);
    // Stamps from a clock that is not the machine's (hours off, or ahead): now.
    EXPECT_EQ(eventMoment(1'000, kNowNs, kClockNow, 0.5e-3), kClockNow);
    EXPECT_EQ(eventMoment(5'000'200, kNowNs, kClockNow, 0.5e-3), kClockNow);
}

}  // namespace
}  // namespace trelvan
