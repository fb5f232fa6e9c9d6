// SPDX-License-Identifier: GPL-3.0-or-later
// Progress chart of the results journal.
#pragma once

#include <cstdint>
#include <string>

#include "journal/journal.h"

namespace trelvan {

// Draws the journal over the days and returns after the user's click.
void TRITOUT();

// How the chart's reading of the journal ended.
struct ChartReading {
    bool opened = false;                    // the journal exists and could be opened
    LineStatus endStatus = LineStatus::ok;  // ok: read to the end of the file (or an error)
    long endLine = 0;                       // otherwise the line that ended the reading
    int error = 0;  // errno of a failed read, or of a journal that is there but could not be
                    // opened (notRegularFile for a FIFO or a device); 0 when none
};

// Everything TRITOUT shows, from the journal at journalPath, short of the prompt: clears the
// window and draws the regions, labels, dates and entries (nothing more when the journal is
// missing), and where the reading stopped before the end of the journal, one line at the
// bottom of the page that says at which line and why; a journal that is there but cannot be
// opened (no access, a directory, a FIFO, a loop of links, a lock another program keeps) gets
// only that line, which says why. Returns at once.
ChartReading drawProgressChart(const std::string& journalPath);

// Day number of a date; day 0 is 1 January 1900.
int32_t NDAYS(int32_t day, int32_t month, int32_t year);

}  // namespace trelvan
