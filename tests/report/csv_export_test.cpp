// SPDX-License-Identifier: GPL-3.0-or-later
// The journal as CSV: the fields, the rows of each kind of line, and where the reading stops.
#include "report/csv_export.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "platform/textfile.h"
#include "support/temp_dir.h"

namespace trelvan::report {
namespace {

using testing::TempDir;
using testing::writeBytes;

const std::string header =
    "date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to,eye\r\n";

std::string journalOf(const std::vector<std::string>& entries,
                      const std::string& first = trainingHeader()) {
    std::string text = first + "\r\n";
    for (const std::string& entry : entries) text += entry;
    return text;
}

// A training or a check at noon of the given day of March 2013.
std::string trainingOn(int marchDay, float acuity, float meanTime = 1.5f, int volume = 100,
                       float distance = 200.0f) {
    return trainingEntryLine(marchDay, 3, 2013, 12, 0, 0, acuity, meanTime, volume, distance);
}
std::string checkOn(int marchDay, float acuity, float distance = 200.0f) {
    return checkEntryLine(marchDay, 3, 2013, 12, 0, 0, acuity, distance);
}

struct Exported {
    CsvExport result;
    std::string text;
};

// The export of a journal of these bytes, written to memory.
Exported exportOf(const std::string& bytes, CsvStyle style = {}) {
    TempDir dir;
    const std::string path = dir.file("trelvan.rez");
    writeBytes(path, bytes);
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    Exported e;
    {
        JournalReader reader(path);
        e.result = writeJournalCsv(reader, out, style);
    }
    std::fclose(out);
    e.text.assign(buffer, size);
    std::free(buffer);
    return e;
}

// --- Fields ------------------------------------------------------------------------------

GTEST_TEST(CsvField, QuotedOnlyWhenItHoldsACommaAQuoteOrALineEnd) {
    EXPECT_EQ(csvField("0.85"), "0.85");
    EXPECT_EQ(csvField(""), "");
    EXPECT_EQ(csvField("2013-03-03T09:05:07"), "2013-03-03T09:05:07");
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
    EXPECT_EQ(csvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csvField("\""), "\"\"\"\"");
    EXPECT_EQ(csvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(csvField("cr\ronly"), "\"cr\ronly\"");
    EXPECT_EQ(csvField("lf\nonly"), "\"lf\nonly\"");
    EXPECT_EQ(csvField("Острота; 'зрения'"), "Острота; 'зрения'") << "UTF-8 passes unchanged";
}

GTEST_TEST(CsvLogMar, MinusTheDecimalLogarithmWithTwoDecimals) {
    EXPECT_EQ(logMar(1.0), "0.00");
    EXPECT_EQ(logMar(0.5), "0.30");
    EXPECT_EQ(logMar(0.1), "1.00");
    EXPECT_EQ(logMar(2.0), "-0.30");
    EXPECT_EQ(logMar(0.85f), "0.07");
    EXPECT_EQ(logMar(0.05f), "1.30");
    EXPECT_EQ(logMar(9.99f), "-1.00");
    EXPECT_EQ(logMar(0.1f), "1.00") << "the float nearest 0.1 lies a hair above it";
    EXPECT_EQ(logMar(1.001), "0.00") << "never -0.00";
    // 0.06: -log10 is 1.2218, rounded down; 0.07: 1.1549, rounded up.
    EXPECT_EQ(logMar(0.06f), "1.22");
    EXPECT_EQ(logMar(0.07f), "1.15");
}

GTEST_TEST(CsvLogMar, NoneForAnAcuityOfZeroOrLess) {
    EXPECT_EQ(logMar(0.0), "");
    EXPECT_EQ(logMar(-0.0), "");
    EXPECT_EQ(logMar(-0.5), "");
}

GTEST_TEST(CsvDateTime, IsoLocalTimeWithZeroFilledFields) {
    JournalLine line;
    line.day = 3, line.month = 3, line.year = 2013, line.hour = 9, line.minute = 5, line.second = 7;
    EXPECT_EQ(isoDateTime(line), "2013-03-03T09:05:07");
    line.day = 31, line.month = 12, line.year = 1999, line.hour = 23, line.minute = 59,
    line.second = 58;
    EXPECT_EQ(isoDateTime(line), "1999-12-31T23:59:58");
    // Hand-edited fields come out as the reader took them, whatever their range.
    line.year = 99, line.hour = -1, line.minute = 75;
    EXPECT_EQ(isoDateTime(line), "0099-12-31T-1:75:58");
    line.hour = 0, line.day = 0;
    EXPECT_EQ(isoDateTime(line), "0099-12-00T00:75:58");
}

GTEST_TEST(CsvWrittenValue, TheTextOfTheColumnsTidied) {
    // Columns 5-9 of "abcd  0.85 xyz" hold "  0.8", 5-10 "  0.85".
    EXPECT_EQ(writtenValue("abcd  0.85 xyz", 5, 6, 0.85, 2), "0.85");
    EXPECT_EQ(writtenValue("   1.00", 1, 7, 1.0, 2), "1.00") << "trailing zeros as written";
    EXPECT_EQ(writtenValue(" 200.", 1, 5, 200.0, 0), "200") << "no point at the end";
    EXPECT_EQ(writtenValue("  .85", 1, 5, 0.85, 2), "0.85") << "a 0 before the point";
    EXPECT_EQ(writtenValue("  -.5", 1, 5, -0.5, 2), "-0.5");
    EXPECT_EQ(writtenValue("x", 1, 7, 0.0, 2), "0.00") << "past the end: blanks, read as 0";
    EXPECT_EQ(writtenValue("", 5, 7, 0.0, 0), "0");
    // Any width: a field of 306 columns is tidied whole.
    const std::string digits(150, '7');
    EXPECT_EQ(writtenValue("  -" + digits + "." + digits + "  ", 1, 306, 0.0, 2),
              "-" + digits + "." + digits);
}

GTEST_TEST(CsvWrittenValue, OtherFormsGiveTheValueTheReaderTook) {
    // F4.2 without a point scales the digits: the chart draws 0.85, and so the row says.
    EXPECT_EQ(writtenValue("  85", 1, 4, 0.85, 2), "0.85");
    EXPECT_EQ(writtenValue("   300", 1, 6, 300.0, 0), "300");
    EXPECT_EQ(writtenValue("0. 8", 1, 4, 0.8, 2), "0.80") << "blanks between the digits";
    EXPECT_EQ(writtenValue("   1.5E0", 1, 8, 1.5, 2), "1.50") << "an exponent";
    EXPECT_EQ(writtenValue("  +0.5", 1, 6, 0.5, 2), "0.50") << "a plus sign";
    EXPECT_EQ(writtenValue("    .", 1, 5, 0.0, 0), "0") << "a point without digits";
}

// --- Rows --------------------------------------------------------------------------------

GTEST_TEST(CsvExport, HeaderAndOneRowPerEntryAsWritten) {
    const Exported e = exportOf(journalOf({
        trainingEntryLine(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f),
        checkEntryLine(4, 3, 2013, 21, 40, 0, 1.0f, 500.0f),
        trainingEntryLine(5, 3, 2013, 0, 0, 0, 0.1f, 12.5f, 2000, 35.0f),
    }));
    EXPECT_EQ(e.text, header +
                          "2013-03-03T09:05:07,training,0.85,0.07,1.23,100,200,,both\r\n"
                          "2013-03-04T21:40:00,check,1.00,0.00,,,500,,both\r\n"
                          "2013-03-05T00:00:00,training,0.10,1.00,12.50,2000,35,,both\r\n");
    EXPECT_EQ(e.result.rows, 3);
    EXPECT_EQ(e.result.endStatus, LineStatus::ok);
    EXPECT_EQ(e.result.readError, 0);
    EXPECT_EQ(e.result.writeError, 0);
}

GTEST_TEST(CsvExport, BothHeadersAndAnyFirstLineAreSkipped) {
    const std::vector<std::string> entries{trainingOn(1, 0.5f), checkOn(2, 2.0f)};
    const std::string expected = header +
                                 "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n"
                                 "2013-03-02T12:00:00,check,2.00,-0.30,,,200,,both\r\n";
    EXPECT_EQ(exportOf(journalOf(entries, trainingHeader())).text, expected);
    EXPECT_EQ(exportOf(journalOf(entries, checkHeader())).text, expected);
    EXPECT_EQ(exportOf(journalOf(entries, trainingOn(9, 1.0f).substr(0, 73))).text, expected)
        << "an entry as the first line is skipped too";
}

GTEST_TEST(CsvExport, EmptyJournalsGiveTheHeaderAlone) {
    for (const std::string& bytes : {std::string(), trainingHeader(), checkHeader() + "\r\n"}) {
        const Exported e = exportOf(bytes);
        EXPECT_EQ(e.text, header);
        EXPECT_EQ(e.result.rows, 0);
        EXPECT_EQ(e.result.endStatus, LineStatus::ok);
    }
}

GTEST_TEST(CsvExport, LineWithBothMarkersGivesTheCheckRowThenTheTrainingRow) {
    const std::string both = cp1251(" 01.03.2013г, 12ч  0м  0с,   ОЗи=0.60     ОЗп=0.80") +
                             "      1.50" + "   100" + "   250." + " \r\n";
    const Exported e = exportOf(journalOf({both}));
    EXPECT_EQ(e.text, header +
                          "2013-03-01T12:00:00,check,0.60,0.22,,,250,,both\r\n"
                          "2013-03-01T12:00:00,training,0.80,0.10,1.50,100,250,,both\r\n");
    EXPECT_EQ(e.result.rows, 2);
}

GTEST_TEST(CsvExport, LineWithoutMarkerGivesNoRowAndTheReadingGoesOn) {
    const Exported e = exportOf(
        journalOf({checkOn(1, 0.5f), cp1251(" 02.03.2013г, 16ч 40м  0с,  вписано от руки\r\n"),
                   checkOn(3, 0.1f, 120.0f)}));
    EXPECT_EQ(e.text, header +
                          "2013-03-01T12:00:00,check,0.50,0.30,,,200,,both\r\n"
                          "2013-03-03T12:00:00,check,0.10,1.00,,,120,,both\r\n");
}

GTEST_TEST(CsvExport, ValuesAreCopiedAsWrittenNotAsAFloatHoldsThem) {
    // 8765432.10 s does not survive a float (8765432.0); the row keeps the written text.
    const std::string line = cp1251(" 01.03.2013г, 12ч  0м  0с,                ОЗп=0.90") +
                             "8765432.10" + "    20" + "  1000." + "\r\n";
    const Exported e = exportOf(journalOf({line}));
    EXPECT_EQ(e.text,
              header + "2013-03-01T12:00:00,training,0.90,0.05,8765432.10,20,1000,,both\r\n");
}

GTEST_TEST(CsvExport, HandEditedValuesShowWhatTheChartDraws) {
    // The acuity written without a point: F4.2 reads "  85" as 0.85.
    const std::string line = cp1251(" 01.03.2013г, 12ч  0м  0с,                ОЗп=  85") +
                             "       1.5" + "  +100" + "    200" + "\r\n";
    const Exported e = exportOf(journalOf({line}));
    EXPECT_EQ(e.text, header + "2013-03-01T12:00:00,training,0.85,0.07,1.5,100,200,,both\r\n");
}

GTEST_TEST(CsvExport, UnreadableDateEndsTheRowsAtThatLine) {
    const std::string badDate =
        cp1251(" a4.03.2013г, 12ч  0м  0с,   ОЗи=1.00                                 200.\r\n");
    const Exported e =
        exportOf(journalOf({trainingOn(1, 0.5f), checkOn(2, 0.6f), badDate, checkOn(5, 0.7f)}));
    EXPECT_EQ(e.text, header +
                          "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n"
                          "2013-03-02T12:00:00,check,0.60,0.22,,,200,,both\r\n");
    EXPECT_EQ(e.result.rows, 2);
    EXPECT_EQ(e.result.endStatus, LineStatus::badDate);
    EXPECT_EQ(e.result.endLine, 4) << "the header is line 1";
}

GTEST_TEST(CsvExport, UnreadableValuesEndTheRowsAtThatLine) {
    const Exported e = exportOf(
        journalOf({trainingOn(1, 0.5f), trainingOn(2, 12.0f),  // acuity written as asterisks
                   checkOn(3, 0.7f)}));
    EXPECT_EQ(e.text, header + "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n");
    EXPECT_EQ(e.result.rows, 1);
    EXPECT_EQ(e.result.endStatus, LineStatus::badValues);
    EXPECT_EQ(e.result.endLine, 3);
}

GTEST_TEST(CsvExport, TrueToHoldsTheScreenLimitOfAMarkedCheckOnly) {
    const std::string limited = checkEntryLine(2, 3, 2013, 12, 0, 0, 2.0f, 200.0f, 0.3f);
    std::string handMark = checkOn(3, 0.9f);
    handMark.replace(37, 12, cp1251(" экран до  x"));  // not a level: no mark
    const Exported e =
        exportOf(journalOf({trainingOn(1, 0.5f), limited, checkOn(2, 0.5f), handMark}));
    EXPECT_EQ(e.text, header +
                          "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n"
                          "2013-03-02T12:00:00,check,2.00,-0.30,,,200,0.30,both\r\n"
                          "2013-03-02T12:00:00,check,0.50,0.30,,,200,,both\r\n"
                          "2013-03-03T12:00:00,check,0.90,0.05,,,200,,both\r\n");
    EXPECT_EQ(e.result.endStatus, LineStatus::ok);
}

GTEST_TEST(CsvExport, EyeNamesTheEyeOfEachEntry) {
    const std::string right =
        trainingEntryLine(1, 3, 2013, 12, 0, 0, 0.5f, 1.5f, 100, 200.0f, Eye::right);
    const std::string left = checkEntryLine(2, 3, 2013, 12, 0, 0, 2.0f, 200.0f, 0.3f, Eye::left);
    const std::string both = checkEntryLine(3, 3, 2013, 12, 0, 0, 0.9f, 200.0f, {}, Eye::both);
    const Exported e = exportOf(journalOf({right, left, both, checkOn(4, 0.8f)}));
    EXPECT_EQ(e.text, header +
                          "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,right\r\n"
                          "2013-03-02T12:00:00,check,2.00,-0.30,,,200,0.30,left\r\n"
                          "2013-03-03T12:00:00,check,0.90,0.05,,,200,,both\r\n"
                          "2013-03-04T12:00:00,check,0.80,0.10,,,200,,both\r\n");
}

GTEST_TEST(CsvExport, DecimalCommaFormHasSemicolonsCommasAndSpreadsheetDates) {
    const std::string right =
        trainingEntryLine(1, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 66.0f, Eye::right);
    const std::string limited = checkEntryLine(2, 3, 2013, 12, 0, 0, 2.0f, 200.0f, 0.3f, Eye::left);
    const Exported e = exportOf(journalOf({right, limited}), CsvStyle{true});
    EXPECT_EQ(e.text,
              "date_time;kind;acuity;logmar;mean_time_s;volume;distance_cm;true_to;eye\r\n"
              "2013-03-01 09:05:07;training;0,85;0,07;1,23;100;66;;right\r\n"
              "2013-03-02 12:00:00;check;2,00;-0,30;;;200;0,30;left\r\n");
    EXPECT_EQ(e.result.rows, 2);
    // A field with a semicolon is quoted in either form.
    EXPECT_EQ(csvField("a;b", ';'), "\"a;b\"");
    EXPECT_EQ(csvField("a,b", ';'), "a,b");
}

GTEST_TEST(CsvExport, ACheckBeforeUnreadableTrainingValuesOnItsLineComesOut) {
    // Both markers, the training's acuity in asterisks: the check is read, as the chart
    // draws it, and the reading stops at this line.
    const std::string both = cp1251(" 01.03.2013г, 12ч  0м  0с,   ОЗи=0.60     ОЗп=****") +
                             "      1.50" + "   100" + "   250." + " \r\n";
    const Exported e = exportOf(journalOf({both, checkOn(2, 0.7f)}));
    EXPECT_EQ(e.text, header + "2013-03-01T12:00:00,check,0.60,0.22,,,250,,both\r\n");
    EXPECT_EQ(e.result.rows, 1);
    EXPECT_EQ(e.result.endStatus, LineStatus::badValues);
    EXPECT_EQ(e.result.endLine, 2);
}

GTEST_TEST(CsvExport, AFailedWriteIsReported) {
    TempDir dir;
    const std::string path = dir.file("trelvan.rez");
    std::vector<std::string> entries(3000, checkOn(1, 0.5f));  // more than one block of rows
    writeBytes(path, journalOf(entries));
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) GTEST_SKIP() << "no /dev/full";
    JournalReader reader(path);
    const CsvExport result = writeJournalCsv(reader, full);
    std::fclose(full);
    EXPECT_EQ(result.writeError, ENOSPC);
}

}  // namespace
}  // namespace trelvan::report
