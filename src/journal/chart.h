// Progress chart of the results journal.
#pragma once

#include <cstdint>

namespace trelvan {

// Draws the journal over the days and returns after the user's click.
void TRITOUT();

// Day number of a date; day 0 is 1 January 1900.
int32_t NDAYS(int32_t day, int32_t month, int32_t year);

}  // namespace trelvan
