// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/interval_clock.h"

#include <chrono>

namespace trelvan {

double IntervalClock::wallSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

double IntervalClock::monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double intervalSeconds() {
    static const IntervalClock clock;
    return clock.seconds();
}

}  // namespace trelvan
