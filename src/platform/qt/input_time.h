// SPDX-License-Identifier: GPL-3.0-or-later
// The moment of an input event from the display server's time stamp of it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace trelvan {

// The moment of an event on the program's clock. serverMilliseconds is the event's stamp: the
// X server's monotonic clock in whole milliseconds, 32 bits that wrap. monotonicNs is the
// program's reading of the same clock now (steady_clock), clockNow the program's clock at
// that reading. The event happened within the stamp's millisecond (and within one tick of a
// coarse clock before it), on average stampLag seconds after the stamp. A stamp more than two
// seconds from now belongs to another clock (a server on another machine): the event then
// counts as happening now. Never later than now.
inline double eventMoment(uint64_t serverMilliseconds, int64_t monotonicNs, double clockNow,
                          double stampLag) {
    const int64_t nowMs = monotonicNs / 1000000;
    const auto age = static_cast<uint32_t>(static_cast<uint32_t>(nowMs) -
                                           static_cast<uint32_t>(serverMilliseconds));
    if (age >= 2000) return clockNow;
    const double stampSeconds = static_cast<double>(nowMs - age) * 1e-3 + stampLag;
    return std::min(clockNow, clockNow - (static_cast<double>(monotonicNs) * 1e-9 - stampSeconds));
}

}  // namespace trelvan
