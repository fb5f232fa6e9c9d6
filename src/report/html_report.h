// SPDX-License-Identifier: GPL-3.0-or-later
// The progress report: one self-contained HTML file (inline SVG and CSS, no scripts), in
// Russian, readable offline and printable.
#pragma once

#include <string>
#include <vector>

#include "journal/journal.h"

namespace trelvan::report {

// One result as the report draws it.
struct ReportEntry {
    double day = 0;  // days since 1970-01-01, the time of day as a fraction
    int year = 0, month = 0, dayOfMonth = 0;
    bool isCheck = false;
    float acuity = 0;
    float distanceCm = 0;
    Eye eye = Eye::both;
    bool limited = false;  // a check above what the screen drew true to size
};

// What the report is made of: the results in the order of the journal, and the line that
// stopped the reading (endStatus ok when the journal was read to its end).
struct ReportData {
    std::vector<ReportEntry> entries;
    LineStatus endStatus = LineStatus::ok;
    long endLine = 0;
    std::string endText;  // the line that stopped the reading, UTF-8
};

// Reads every entry the reader hands out (a check of a line whose training values are
// unreadable included, as the chart draws it).
ReportData collectReport(JournalReader& reader);

// Days since 1970-01-01 of a date (the proleptic Gregorian calendar; out-of-range months and
// days of hand edits are counted on, never refused).
long daysFromCivil(int year, int month, int day);

// The whole HTML document, UTF-8. journalName names the journal in the heading.
std::string htmlReport(const ReportData& data, const std::string& journalName);

}  // namespace trelvan::report
