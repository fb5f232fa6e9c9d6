// SPDX-License-Identifier: GPL-3.0-or-later
// The clock of answer times and waits against steps of the wall clock.
#include "platform/interval_clock.h"

#include <gtest/gtest.h>

namespace trelvan {
namespace {

double wallNow = 0.0;
double monotonicNow = 0.0;
double wall() {
    return wallNow;
}
double monotonic() {
    return monotonicNow;
}

GTEST_TEST(IntervalClock, AStepOfTheWallClockDoesNotReachTheIntervals) {
    wallNow = 1700000000.25;
    monotonicNow = 5000.0;
    const IntervalClock clock(wall, monotonic);
    EXPECT_DOUBLE_EQ(clock.seconds(), 1700000000.25) << "the wall clock's time at the start";

    const double t0 = clock.seconds();
    monotonicNow += 1.5;
    wallNow -= 3600.0;  // the zone or a time synchronisation turns the wall clock back
    EXPECT_NEAR(clock.seconds() - t0, 1.5, 1e-6);

    const double t1 = clock.seconds();
    monotonicNow += 0.2;
    wallNow += 7200.0;  // and forward
    EXPECT_NEAR(clock.seconds() - t1, 0.2, 1e-6);
}

}  // namespace
}  // namespace trelvan
