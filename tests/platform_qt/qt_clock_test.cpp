// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services' clock when the wall clock is stepped while the program runs.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <ctime>

#include "platform/qt/qt_window.h"

namespace {

// Seconds added to the wall clock of this test program (a clock step, as a time
// synchronisation or a change of the date makes it).
std::atomic<long> wallStep{0};

}  // namespace

// Every reading of the wall clock in this program comes through here, the standard library's
// included: the system's reading plus the step.
extern "C" int clock_gettime(clockid_t id, struct timespec* time) {
    const long result = syscall(SYS_clock_gettime, id, time);
    if (result == 0 && id == CLOCK_REALTIME) time->tv_sec += wallStep.load();
    return static_cast<int>(result);
}

namespace trelvan {
namespace {

GTEST_TEST(QtClock, AnIntervalIsMeasuredAcrossAStepOfTheWallClock) {
    QtWindow window;
    const double t0 = window.CLOCKSECONDS();
    const time_t wallBefore = std::time(nullptr);
    wallStep = -3600;
    const double backwards = window.CLOCKSECONDS() - t0;
    wallStep = 7200;
    const double forwards = window.CLOCKSECONDS() - t0;
    wallStep = 0;
    EXPECT_GE(backwards, 0.0);
    EXPECT_LT(backwards, 60.0);
    EXPECT_GE(forwards, backwards);
    EXPECT_LT(forwards, 60.0);
    // The step reached this program's wall clock (the journal's date and time follow it).
    wallStep = -3600;
    int32_t hour = 0, minute = 0, second = 0, hundredths = 0;
    window.READLOCALTIME(hour, minute, second, hundredths);
    wallStep = 0;
    std::tm local{};
    const time_t stepped = wallBefore - 3600;
    localtime_r(&stepped, &local);
    EXPECT_TRUE(hour == local.tm_hour || hour == (local.tm_hour + 1) % 24) << hour;
}

}  // namespace
}  // namespace trelvan
