// SPDX-License-Identifier: GPL-3.0-or-later
// A window whose clock shows a fixed local date and time and counts how it is read.
#pragma once

#include "support/null_window.h"

namespace trelvan::fakes {

class FakeClockWindow : public NullWindow {
  public:
    int32_t year = 2013, month = 3, day = 3;
    int32_t hour = 9, minute = 5, second = 7, hundredths = 42;
    int dateReads = 0;
    int timeReads = 0;

    void READLOCALDATE(int32_t& y, int32_t& m, int32_t& d) override {
        ++dateReads;
        y = year;
        m = month;
        d = day;
    }
    void READLOCALTIME(int32_t& h, int32_t& mi, int32_t& s, int32_t& hs) override {
        ++timeReads;
        h = hour;
        mi = minute;
        s = second;
        hs = hundredths;
    }
};

}  // namespace trelvan::fakes
