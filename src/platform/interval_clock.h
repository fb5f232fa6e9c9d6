// SPDX-License-Identifier: GPL-3.0-or-later
// The clock that answer times and waits are measured on.
#pragma once

namespace trelvan {

// Seconds since 1970-01-01 00:00 UTC, for subtracting two readings: the wall clock is read
// once, when the clock is made, and every reading adds the time the monotonic clock has
// counted since. A step of the wall clock in between (a time synchronisation, a change of
// time zone or of the date by hand) therefore never reaches the difference of two readings.
// The date and time written into the journal come from the wall clock itself, not from here.
class IntervalClock {
  public:
    using Reading = double (*)();

    explicit IntervalClock(Reading wall = wallSeconds, Reading monotonic = monotonicSeconds)
        : monotonic_(monotonic), wallAtStart_(wall()), monotonicAtStart_(monotonic()) {}

    double seconds() const { return wallAtStart_ + (monotonic_() - monotonicAtStart_); }

    // The system's clocks in seconds: the wall clock since 1970, the monotonic one since an
    // arbitrary start.
    static double wallSeconds();
    static double monotonicSeconds();

  private:
    Reading monotonic_;
    double wallAtStart_;
    double monotonicAtStart_;
};

// The process's interval clock, made at its first use.
double intervalSeconds();

}  // namespace trelvan
