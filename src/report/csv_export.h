// SPDX-License-Identifier: GPL-3.0-or-later
// The results journal as CSV (RFC 4180): one row per entry and kind, read with the same
// reader, and so the same rules, as the progress chart.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "journal/journal.h"

namespace trelvan::report {

// The header row, without its line end.
inline constexpr std::string_view csvHeader =
    "date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to,eye";

// How the fields are separated and the numbers written.
struct CsvStyle {
    // false: commas between the fields and decimal points (RFC 4180, the form of programs);
    // true: semicolons and decimal commas, the form a spreadsheet in a Russian (or German,
    // French, ...) locale takes as numbers, with the date and time as "YYYY-MM-DD HH:MM:SS".
    bool decimalComma = false;
};

// The eye of an entry as the CSV names it: both, right or left.
std::string_view eyeName(Eye eye);

// A field as it stands in a record: between quotes, its quotes doubled, when it holds the
// separator (a comma, or the semicolon of the decimal-comma form), a quote, a CR or an LF;
// unchanged otherwise.
std::string csvField(std::string_view text, char separator = ',');

// logMAR of a decimal acuity: -log10(acuity) with two decimals, halves rounded away from
// zero, never "-0.00". Empty for an acuity of 0 or less, which has none.
std::string logMar(double acuity);

// The date and time of an entry as ISO 8601 local time, YYYY-MM-DDTHH:MM:SS, the fields as
// the reader took them.
std::string isoDateTime(const JournalLine& line);
void appendIsoDateTime(const JournalLine& line, std::string& out);

// A value as it is written in the columns first .. first + width - 1 (1-based) of the line:
// the text without its blanks, "200." shortened to 200 and ".85" given its 0. Only hand
// edits write a field otherwise (without a point, with a plus sign or an exponent, with blanks
// between the digits); such a field gives the value the reader took, with the decimals the
// journal writes it with, so that the row still shows what the chart draws.
std::string writtenValue(std::string_view line, int first, int width, double value, int decimals);

// The rows of one entry line (the check first when it holds both markers, as the chart draws
// them; nothing for a line without a marker), each ended by CR LF, appended to rows. text is
// the line as read.
void appendRows(const JournalLine& line, std::string_view text, std::string& rows,
                CsvStyle style = {});

// How an export went.
struct CsvExport {
    long rows = 0;                          // rows below the header
    LineStatus endStatus = LineStatus::ok;  // ok: the journal was read to its end
    long endLine = 0;                       // otherwise the line that ended the reading
    int readError = 0;                      // errno of a failed read, 0 when none
    int writeError = 0;                     // errno of a failed write, 0 when none
};

// Writes the header row and the rows of every entry line the reader hands out, streaming: up
// to the end of the journal or to the first line that cannot be read, which gives no row.
CsvExport writeJournalCsv(JournalReader& reader, std::FILE* out, CsvStyle style = {});

}  // namespace trelvan::report
