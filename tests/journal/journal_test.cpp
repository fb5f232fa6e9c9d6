// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/fields.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::exists;
using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

// The marker bytes in Windows-1251, spelt out so that the layout tests do not lean on the
// converter alone.
const std::string trainingMarkerBytes = "\xCE\xC7\xEF=";  // ОЗп=
const std::string checkMarkerBytes = "\xCE\xC7\xE8=";     // ОЗи=

// Columns first..last (1-based, inclusive) of a line.
std::string columns(const std::string& line, size_t first, size_t last) {
    return line.substr(first - 1, last - first + 1);
}

// The worked example: a training at 9:05:07 on 3 March 2013.
std::string exampleTraining() {
    return trainingEntryLine(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f);
}
std::string exampleCheck() {
    return checkEntryLine(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f);
}

// --- Header lines ------------------------------------------------------------------------

GTEST_TEST(JournalHeader, TrainingHeaderLabelsStandOverTheValueColumns) {
    const std::string& header = trainingHeader();
    EXPECT_EQ(header.size(), 74u);
    EXPECT_EQ(columns(header, 1, 5), "     ");
    EXPECT_EQ(columns(header, 6, 9), "\xC4\xE0\xF2\xE0");  // Дата
    EXPECT_EQ(columns(header, 26, 37), cp1251("ОЗизмеренное"));
    EXPECT_EQ(columns(header, 39, 54), cp1251("ОЗподтвержденное"));
    EXPECT_EQ(columns(header, 58, 61), "t(c)");
    EXPECT_EQ(columns(header, 65, 65), "N");
    EXPECT_EQ(columns(header, 70, 74), cp1251("D(см)"));
}

GTEST_TEST(JournalHeader, CheckHeaderIsTheLongOne) {
    const std::string& header = checkHeader();
    EXPECT_EQ(header.size(), 115u);
    EXPECT_EQ(header, cp1251("     Дата             Время        Дальность    Размер Nпоказов "
                             "Nверн_отв Nошибок Nнет_отв Ср.вр._отв    Nотжиманий"));
    EXPECT_EQ(header.find('\r'), std::string::npos);
}

// --- Entry lines -------------------------------------------------------------------------

GTEST_TEST(JournalEntryLine, TrainingWorkedExampleByteForByte) {
    const std::string expected =
        " 03.03.2013\xE3, "  // г,
        " 9\xF7 "            // ч
        " 5\xEC "            // м
        " 7\xF1,"            // с,
        "                " +
        trainingMarkerBytes +
        "0.85"
        "      1.23"
        "   100"
        "  "
        " 200."
        "\r\n";
    EXPECT_EQ(exampleTraining(), expected);
    EXPECT_EQ(exampleTraining().size(), 73u + 2u);
    EXPECT_EQ(columns(exampleTraining(), 43, 46), trainingMarkerBytes);
    EXPECT_EQ(columns(exampleTraining(), 69, 73), " 200.");
}

GTEST_TEST(JournalEntryLine, CheckWorkedExampleByteForByte) {
    const std::string line = exampleCheck();
    EXPECT_EQ(line, " 03.03.2013\xE3,  9\xF7  5\xEC  7\xF1,   " + checkMarkerBytes + "1.00" +
                        std::string(32, ' ') + " 200.\r\n");
    EXPECT_EQ(line.size(), 74u + 2u);
    EXPECT_EQ(columns(line, 30, 33), checkMarkerBytes);
    EXPECT_EQ(columns(line, 34, 37), "1.00");
    EXPECT_EQ(columns(line, 38, 69), std::string(32, ' '));
    EXPECT_EQ(columns(line, 70, 74), " 200.");
}

GTEST_TEST(JournalEntryLine, ScreenLimitMarkStandsOnlyInTheSkippedColumns) {
    const std::string plain = checkEntryLine(3, 3, 2013, 9, 5, 7, 2.0f, 200.0f);
    const std::string marked = checkEntryLine(3, 3, 2013, 9, 5, 7, 2.0f, 200.0f, 0.3f);
    ASSERT_EQ(marked.size(), 74u + 2u);
    EXPECT_EQ(columns(marked, 1, 37), columns(plain, 1, 37));
    EXPECT_EQ(columns(marked, 68, 76), columns(plain, 68, 76));
    // 1X, 'экран до ', F4.2, and blanks up to column 67 (56-67 stay free).
    EXPECT_EQ(columns(marked, 38, 67),
              " \xFD\xEA\xF0\xE0\xED \xE4\xEE 0.30" + std::string(16, ' '));
    EXPECT_EQ(columns(checkEntryLine(3, 3, 2013, 9, 5, 7, 2.0f, 200.0f, 1.25f), 48, 51), "1.25");

    // Every reader takes the same values from both lines: the layout skips columns 38-67.
    const JournalLine a = parseJournalLine(plain.substr(0, 74));
    const JournalLine b = parseJournalLine(marked.substr(0, 74));
    EXPECT_EQ(b.status, LineStatus::ok);
    EXPECT_EQ(b.checkAcuity, a.checkAcuity);
    EXPECT_EQ(b.checkDistance, a.checkDistance);
    EXPECT_FALSE(a.checkTrueTo.has_value());
    ASSERT_TRUE(b.checkTrueTo.has_value());
    EXPECT_FLOAT_EQ(*b.checkTrueTo, 0.3f);
    // Other text there, by hand or by a later version, is no mark and stops nothing.
    std::string other = marked.substr(0, 74);
    other.replace(47, 4, "x.yz");
    EXPECT_EQ(parseJournalLine(other).status, LineStatus::ok);
    EXPECT_FALSE(parseJournalLine(other).checkTrueTo.has_value());
}

// The eye marks, Windows-1251: "гл.прав ", "гл.лев  ", "гл.оба  ".
const std::string rightMark = "\xE3\xEB.\xEF\xF0\xE0\xE2 ";
const std::string leftMark = "\xE3\xEB.\xEB\xE5\xE2  ";
const std::string bothMark = "\xE3\xEB.\xEE\xE1\xE0  ";

GTEST_TEST(JournalEntryLine, EyeMarkStandsOnlyInTheSkippedColumnsOfATraining) {
    const std::string plain = exampleTraining();
    for (const auto& [eye, mark] :
         {std::pair{Eye::right, rightMark}, std::pair{Eye::left, leftMark},
          std::pair{Eye::both, bothMark}}) {
        const std::string line =
            trainingEntryLine(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, eye);
        ASSERT_EQ(line.size(), plain.size());
        EXPECT_EQ(columns(line, 1, 33), columns(plain, 1, 33)) << "30-33 stay blank";
        EXPECT_EQ(columns(line, 34, 41), mark);
        EXPECT_EQ(columns(line, 42, 75), columns(plain, 42, 75));
        const JournalLine read = parseJournalLine(line.substr(0, 73));
        EXPECT_EQ(read.status, LineStatus::ok);
        EXPECT_FALSE(read.isCheck);
        EXPECT_EQ(read.eye, eye);
        EXPECT_FLOAT_EQ(read.trainingAcuity, 0.85f);
        EXPECT_FLOAT_EQ(read.meanTime, 1.23f);
        EXPECT_EQ(read.volume, 100);
        EXPECT_FLOAT_EQ(read.trainingDistance, 200.0f);
    }
}

GTEST_TEST(JournalEntryLine, EyeMarkStandsOnlyInTheSkippedColumnsOfACheck) {
    for (std::optional<float> trueTo : {std::optional<float>(), std::optional<float>(0.3f)}) {
        const std::string plain = checkEntryLine(3, 3, 2013, 9, 5, 7, 2.0f, 200.0f, trueTo);
        for (const auto& [eye, mark] :
             {std::pair{Eye::right, rightMark}, std::pair{Eye::left, leftMark},
              std::pair{Eye::both, bothMark}}) {
            const std::string line = checkEntryLine(3, 3, 2013, 9, 5, 7, 2.0f, 200.0f, trueTo, eye);
            ASSERT_EQ(line.size(), plain.size());
            EXPECT_EQ(columns(line, 1, 55), columns(plain, 1, 55)) << "the screen-limit mark kept";
            EXPECT_EQ(columns(line, 56, 63), mark);
            EXPECT_EQ(columns(line, 64, 76), columns(plain, 64, 76));
            const JournalLine read = parseJournalLine(line.substr(0, 74));
            EXPECT_EQ(read.status, LineStatus::ok);
            EXPECT_EQ(read.eye, eye);
            EXPECT_FLOAT_EQ(read.checkAcuity, 2.0f);
            EXPECT_FLOAT_EQ(read.checkDistance, 200.0f);
            EXPECT_EQ(read.checkTrueTo.has_value(), trueTo.has_value());
        }
    }
}

GTEST_TEST(JournalReader, EntriesWithoutAnEyeMarkAreForBothEyes) {
    // An earlier version's lines, and text in the mark's columns that is no mark.
    EXPECT_EQ(parseJournalLine(exampleTraining().substr(0, 73)).eye, Eye::both);
    EXPECT_EQ(parseJournalLine(exampleCheck().substr(0, 74)).eye, Eye::both);
    std::string other = exampleCheck().substr(0, 74);
    other.replace(55, 8, "right   ");
    EXPECT_EQ(parseJournalLine(other).status, LineStatus::ok);
    EXPECT_EQ(parseJournalLine(other).eye, Eye::both);
    // A check's own columns decide, not the training's 34-41 (its acuity stands there).
    const std::string leftCheck =
        checkEntryLine(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f, std::nullopt, Eye::left);
    EXPECT_EQ(parseJournalLine(leftCheck.substr(0, 74)).eye, Eye::left);
    // A line cut short before the mark's columns.
    EXPECT_EQ(parseJournalLine(exampleCheck().substr(0, 40)).eye, Eye::both);
}

GTEST_TEST(JournalAppend, TheEyeIsWrittenIntoTheAppendedEntries) {
    TempDir dir;
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path, nullptr,
                                    Eye::right));
    ASSERT_TRUE(appendCheckEntry(3, 3, 2013, 9, 6, 0, 1.0f, 200.0f, path, nullptr, std::nullopt,
                                 Eye::left));
    JournalReader reader(path);
    const std::optional<JournalLine> training = reader.next();
    const std::optional<JournalLine> check = reader.next();
    ASSERT_TRUE(training && check);
    EXPECT_EQ(training->eye, Eye::right);
    EXPECT_EQ(check->eye, Eye::left);
    EXPECT_FALSE(reader.next());
    EXPECT_EQ(reader.endStatus(), LineStatus::ok);
}

GTEST_TEST(JournalAppend, ValuesTheReaderWouldRefuseAreNotWritten) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendCheckEntry(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f, path));
    const std::string before = readBytes(path);
    struct Case {
        const char* what;
        bool appended;
        std::string error;
    };
    std::vector<Case> cases;
    auto training = [&](const char* what, float acuity, float time, int32_t volume, float d) {
        std::string error;
        const bool ok =
            appendTrainingEntry(3, 3, 2013, 9, 5, 7, acuity, time, volume, d, path, &error);
        cases.push_back({what, ok, error});
    };
    auto check = [&](const char* what, float acuity, float d) {
        std::string error;
        const bool ok = appendCheckEntry(3, 3, 2013, 9, 5, 7, acuity, d, path, &error);
        cases.push_back({what, ok, error});
    };
    training("acuity 14.5 (tiny pixels far away)", 14.5f, 1.0f, 100, 900.0f);
    training("acuity 9.996 rounds to 10.00", 9.996f, 1.0f, 100, 200.0f);
    training("no acuity at all", std::numeric_limits<float>::infinity(), 1.0f, 100, 200.0f);
    training("mean time of 10^7 s", 0.5f, 1.0e7f, 100, 200.0f);
    training("volume 10^6", 0.5f, 1.0f, 1000000, 200.0f);
    training("distance 0", 0.5f, 1.0f, 100, 0.0f);
    training("distance -200", -0.83f, 1.0f, 100, -200.0f);
    check("distance 10^5", 1.0f, 1.0e5f);
    check("distance 0", 0.0f, 0.0f);
    for (const Case& c : cases) {
        EXPECT_FALSE(c.appended) << c.what;
        EXPECT_NE(c.error.find("не помещается"), std::string::npos) << c.what << ": " << c.error;
    }
    EXPECT_EQ(readBytes(path), before) << "nothing written";
    EXPECT_NE(cases[0].error.find("14.50"), std::string::npos) << cases[0].error;
    // The largest values that fit are written.
    EXPECT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 9.99f, 99999.99f, 999999, 999.999f, path));
    EXPECT_TRUE(appendCheckEntry(3, 3, 2013, 9, 5, 7, 2.0f, 999.999f, path, nullptr, 0.0f));
}

GTEST_TEST(JournalEntryLine, DateIsZeroFilledAndTimeBlankFilled) {
    const std::string line = trainingEntryLine(28, 11, 2024, 14, 30, 0, 1.2f, 0.5f, 5, 55.5f);
    EXPECT_EQ(columns(line, 1, 11), " 28.11.2024");
    EXPECT_EQ(columns(line, 15, 16), "14");
    EXPECT_EQ(columns(line, 19, 20), "30");
    EXPECT_EQ(columns(line, 23, 24), " 0");
    EXPECT_EQ(columns(line, 47, 73), "1.20      0.50     5    56.");
    const std::string check = checkEntryLine(1, 2, 2020, 0, 0, 59, 0.1f, 1000.0f);
    EXPECT_EQ(columns(check, 1, 24), cp1251(" 01.02.2020г,  0ч  0м 59"));
    EXPECT_EQ(columns(check, 34, 37), "0.10");
    EXPECT_EQ(columns(check, 70, 74), "1000.");
}

GTEST_TEST(JournalEntryLine, ValuesThatDoNotFitAreAsterisksAndKeepTheLayout) {
    const std::string training =
        trainingEntryLine(3, 3, 2013, 9, 5, 7, 10.0f, 1.0e7f, 10000000, 10000.0f);
    EXPECT_EQ(training.size(), 75u);
    EXPECT_EQ(columns(training, 47, 50), "****");
    EXPECT_EQ(columns(training, 51, 60), "**********");
    EXPECT_EQ(columns(training, 61, 66), "******");
    EXPECT_EQ(columns(training, 67, 68), "  ");
    EXPECT_EQ(columns(training, 69, 73), "*****");

    const std::string check = checkEntryLine(3, 3, 2013, 9, 5, 7, 10.0f, 10000.0f);
    EXPECT_EQ(check.size(), 76u);
    EXPECT_EQ(columns(check, 34, 37), "****");
    EXPECT_EQ(columns(check, 70, 74), "*****");
}

GTEST_TEST(JournalEntryLine, LargestValuesThatStillFit) {
    const std::string line =
        trainingEntryLine(3, 3, 2013, 9, 5, 7, 9.99f, 9999999.0f, 999999, 9999.0f);
    EXPECT_EQ(columns(line, 47, 73), "9.999999999.00999999  9999.");
}

// --- Appending ---------------------------------------------------------------------------

GTEST_TEST(JournalAppend, FirstTrainingCreatesTheFileWithItsHeader) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    std::string error;
    ASSERT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path, &error))
        << error;
    EXPECT_EQ(readBytes(path), trainingHeader() + "\r\n" + exampleTraining());
    ASSERT_TRUE(appendCheckEntry(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f, path, &error)) << error;
    EXPECT_EQ(readBytes(path), trainingHeader() + "\r\n" + exampleTraining() + exampleCheck());
}

GTEST_TEST(JournalAppend, FirstCheckCreatesTheFileWithTheLongHeader) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendCheckEntry(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f, path));
    ASSERT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path));
    const std::string content = readBytes(path);
    EXPECT_EQ(content, checkHeader() + "\r\n" + exampleCheck() + exampleTraining());
    EXPECT_EQ(content.find("\r\n"), 115u);
}

GTEST_TEST(JournalAppend, FailureIsReportedAndNothingIsCreated) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("missing-dir/trelvan.rez");
    std::string error;
    EXPECT_FALSE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path, &error));
    EXPECT_NE(error.find("trelvan.rez"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(appendCheckEntry(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f, path, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(appendCheckEntry(3, 3, 2013, 9, 5, 7, 1.0f, 200.0f, dir.path()));
    EXPECT_EQ(dir.names(), std::vector<std::string>{});
}

GTEST_TEST(JournalAppend, EntryAfterALastLineWithoutLineEndStandsOnItsOwnLine) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    std::string handEdited = exampleCheck();
    handEdited.resize(handEdited.size() - 2);  // the last CR LF dropped
    writeBytes(path, trainingHeader() + "\r\n" + handEdited);
    ASSERT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path));
    EXPECT_EQ(readBytes(path), trainingHeader() + "\r\n" + exampleCheck() + exampleTraining());
    JournalReader reader(path);
    int entries = 0;
    while (const std::optional<JournalLine> line = reader.next()) {
        EXPECT_EQ(line->status, LineStatus::ok);
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

// --- Reading -----------------------------------------------------------------------------

std::vector<JournalLine> readAll(JournalReader& reader) {
    std::vector<JournalLine> lines;
    while (std::optional<JournalLine> line = reader.next()) lines.push_back(*line);
    return lines;
}

// A reader that skips the eye marks hands out the same lines with the eye left both.
GTEST_TEST(JournalReader, SkippingTheEyeMarksChangesNothingElse) {
    TempDir dir;
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path, nullptr,
                                    Eye::right));
    ASSERT_TRUE(
        appendCheckEntry(3, 3, 2013, 9, 6, 0, 1.0f, 200.0f, path, nullptr, 0.8f, Eye::left));
    JournalReader all(path), skipping(path);
    skipping.skipEyeMarks();
    const std::vector<JournalLine> withEyes = readAll(all), withoutEyes = readAll(skipping);
    ASSERT_EQ(withEyes.size(), 2u);
    ASSERT_EQ(withoutEyes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        JournalLine expected = withEyes[i];
        EXPECT_NE(expected.eye, Eye::both);
        expected.eye = Eye::both;
        const JournalLine& got = withoutEyes[i];
        EXPECT_EQ(
            std::tuple(got.status, got.lineNumber, got.day, got.second, got.isCheck, got.checkRead,
                       got.checkAcuity, got.checkDistance, got.checkTrueTo, got.eye, got.isTraining,
                       got.trainingAcuity, got.meanTime, got.volume, got.trainingDistance),
            std::tuple(expected.status, expected.lineNumber, expected.day, expected.second,
                       expected.isCheck, expected.checkRead, expected.checkAcuity,
                       expected.checkDistance, expected.checkTrueTo, expected.eye,
                       expected.isTraining, expected.trainingAcuity, expected.meanTime,
                       expected.volume, expected.trainingDistance));
    }
    EXPECT_EQ(skipping.endStatus(), LineStatus::ok);
}

GTEST_TEST(JournalReader, RoundTripOfBothEntryKinds) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendTrainingEntry(3, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path));
    ASSERT_TRUE(appendCheckEntry(31, 12, 1999, 23, 59, 58, 1.0f, 350.4f, path));
    ASSERT_TRUE(appendTrainingEntry(1, 1, 2030, 0, 0, 0, 0.125f, 2.345f, 7, 99.5f, path));

    JournalReader reader(path);
    ASSERT_TRUE(reader.isOpen());
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(reader.endStatus(), LineStatus::ok);

    const JournalLine& training = lines[0];
    EXPECT_EQ(training.status, LineStatus::ok);
    EXPECT_EQ(training.lineNumber, 2);
    EXPECT_EQ(training.day, 3);
    EXPECT_EQ(training.month, 3);
    EXPECT_EQ(training.year, 2013);
    EXPECT_EQ(training.hour, 9);
    EXPECT_EQ(training.minute, 5);
    EXPECT_EQ(training.second, 7);
    EXPECT_TRUE(training.isTraining);
    EXPECT_FALSE(training.isCheck);
    EXPECT_EQ(training.trainingAcuity, 0.85f);
    EXPECT_EQ(training.meanTime, 1.23f);
    EXPECT_EQ(training.volume, 100);
    EXPECT_EQ(training.trainingDistance, 200.0f);

    const JournalLine& check = lines[1];
    EXPECT_EQ(check.lineNumber, 3);
    EXPECT_EQ(check.day, 31);
    EXPECT_EQ(check.month, 12);
    EXPECT_EQ(check.year, 1999);
    EXPECT_EQ(check.hour, 23);
    EXPECT_EQ(check.minute, 59);
    EXPECT_EQ(check.second, 58);
    EXPECT_TRUE(check.isCheck);
    EXPECT_FALSE(check.isTraining);
    EXPECT_EQ(check.checkAcuity, 1.0f);
    EXPECT_EQ(check.checkDistance, 350.0f);

    // Values come back as written, that is rounded: 0.125 to 0.13, 2.345 to 2.35, 99.5 to 100.
    const JournalLine& rounded = lines[2];
    EXPECT_EQ(rounded.trainingAcuity, 0.13f);
    EXPECT_EQ(rounded.meanTime, 2.35f);
    EXPECT_EQ(rounded.volume, 7);
    EXPECT_EQ(rounded.trainingDistance, 100.0f);
}

GTEST_TEST(JournalReader, MissingEmptyAndHeaderOnlyJournalsHaveNoEntries) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    JournalReader missing(dir.file("trelvan.rez"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.next(), std::nullopt);

    writeBytes(dir.file("empty.rez"), "");
    JournalReader empty(dir.file("empty.rez"));
    EXPECT_TRUE(empty.isOpen());
    EXPECT_EQ(empty.next(), std::nullopt);
    EXPECT_EQ(empty.endStatus(), LineStatus::ok);

    for (const std::string& header : {trainingHeader(), checkHeader()}) {
        writeBytes(dir.file("header.rez"), header + "\r\n");
        JournalReader headerOnly(dir.file("header.rez"));
        EXPECT_EQ(headerOnly.next(), std::nullopt);
        EXPECT_EQ(headerOnly.endStatus(), LineStatus::ok);
    }
}

GTEST_TEST(JournalReader, FirstLineIsSkippedWhateverItHolds) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    // An entry in the first line, and a first line far longer than 120 characters.
    writeBytes(path, exampleCheck() + exampleTraining());
    JournalReader reader(path);
    std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].isTraining);

    writeBytes(path, std::string(500, '#') + "\r\n" + exampleCheck());
    JournalReader longHeader(path);
    lines = readAll(longHeader);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].isCheck);
    EXPECT_EQ(lines[0].lineNumber, 2);
}

GTEST_TEST(JournalReader, LetterInTheDayStopsTheReadingThere) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    std::string edited = exampleTraining();
    edited[2] = 'x';  // " 0x.03.2013..."
    writeBytes(path, trainingHeader() + "\r\n" + exampleCheck() + edited + exampleTraining());

    JournalReader reader(path);
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].status, LineStatus::ok);
    EXPECT_EQ(lines[1].status, LineStatus::badDate);
    EXPECT_EQ(lines[1].lineNumber, 3);
    EXPECT_EQ(reader.endStatus(), LineStatus::badDate);
    EXPECT_EQ(reader.endLine(), 3);
    EXPECT_EQ(reader.next(), std::nullopt);  // the last good line is never reached
}

GTEST_TEST(JournalReader, HandsOutTheTextOfEachLineAndTheReasonOfAFailedRead) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    // The second entry is longer than 120 characters: its text is cut as the reader reads it.
    const std::string longCheck = exampleCheck().substr(0, 74) + std::string(60, '#');
    writeBytes(path, trainingHeader() + "\r\n" + exampleTraining() + longCheck + "\r\n");
    JournalReader reader(path);
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.text(), exampleTraining().substr(0, 73));
    ASSERT_TRUE(reader.next());
    EXPECT_EQ(reader.text(), longCheck.substr(0, 120));
    EXPECT_EQ(reader.next(), std::nullopt);
    EXPECT_EQ(reader.error(), 0);

    JournalReader missing(dir.file("missing.rez"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.error(), ENOENT);
}

GTEST_TEST(JournalReader, EveryDateFieldIsChecked) {
    const std::string good = exampleTraining().substr(0, 73);
    for (size_t column : {2, 5, 8, 11, 15, 19, 24}) {
        std::string edited = good;
        edited[column - 1] = '?';
        EXPECT_EQ(parseJournalLine(edited).status, LineStatus::badDate) << "column " << column;
    }
    // The separator columns are skipped unread.
    std::string separators = good;
    for (size_t column : {1, 4, 7, 12, 13, 14, 17, 18, 21, 22}) separators[column - 1] = '#';
    EXPECT_EQ(parseJournalLine(separators).status, LineStatus::ok);
}

GTEST_TEST(JournalReader, MonthsUpToThirteenAreReadAndBeyondEndTheReading) {
    // The day count adds no month for a month of 0 or less and the whole year for 13; beyond
    // 13 it has no month to add.
    for (const char* month : {"00", "  ", "-1", "01", "12", "13"}) {
        const std::string line = cp1251(std::string(" 01.") + month + ".2013г, 10ч  0м  0с");
        EXPECT_EQ(parseJournalLine(line).status, LineStatus::ok) << month;
    }
    EXPECT_EQ(parseJournalLine(cp1251(" 01.14.2013г, 10ч  0м  0с")).status, LineStatus::badDate);
    EXPECT_EQ(parseJournalLine(cp1251(" 01.99.2013г, 10ч  0м  0с")).status, LineStatus::badDate);
    // A line whose date and time fields are all blank is no entry.
    EXPECT_EQ(parseJournalLine("").status, LineStatus::badDate);
    EXPECT_EQ(parseJournalLine(std::string(80, ' ')).status, LineStatus::badDate);
    EXPECT_EQ(parseJournalLine(cp1251("   .  .    г,   ч   м   с,   ОЗи=1.00")).status,
              LineStatus::badDate);

    // The entries after a month of 0 are read on.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    writeBytes(path, trainingHeader() + "\r\n" + exampleTraining() +
                         checkEntryLine(4, 0, 2013, 10, 0, 0, 1.0f, 200.0f) + exampleCheck() +
                         "\r\n" + exampleCheck());
    JournalReader reader(path);
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].month, 0);
    EXPECT_EQ(lines[1].status, LineStatus::ok);
    EXPECT_EQ(lines[2].status, LineStatus::ok);
    EXPECT_EQ(lines[3].status, LineStatus::badDate) << "the empty line ends the reading";
    EXPECT_EQ(reader.endLine(), 5);
}

GTEST_TEST(JournalReader, BlankFieldsReadAsZero) {
    const JournalLine line = parseJournalLine(cp1251("   .05.2013г,   ч   м   с"));
    EXPECT_EQ(line.status, LineStatus::ok);
    EXPECT_EQ(line.day, 0);
    EXPECT_EQ(line.month, 5);
    EXPECT_EQ(line.hour, 0);
    EXPECT_EQ(line.second, 0);
}

// The date and time as the fields read one by one say, in every form a field may take: the
// written one, blanks, signs, blanks between digits, letters, and lines that end inside the
// fields.
GTEST_TEST(JournalReader, EveryFormOfTheDateAndTimeReadsAsItsFields) {
    const auto expected = [](const std::string& line) {
        JournalLine result;
        std::optional<int64_t> values[6];
        const auto fieldList = layout::dateAndTime.fields();
        bool blank = true;
        for (size_t i = 0; i < 6; ++i) {
            const std::string_view field = fieldList[i].in(line);
            values[i] = fields::readI(field);
            if (field.find_first_not_of(' ') != std::string_view::npos) blank = false;
        }
        for (const std::optional<int64_t>& v : values)
            if (!v) result.status = LineStatus::badDate;
        if (result.status == LineStatus::ok && (*values[1] > 13 || blank))
            result.status = LineStatus::badDate;
        if (result.status == LineStatus::ok) {
            result.day = static_cast<int>(*values[0]);
            result.month = static_cast<int>(*values[1]);
            result.year = static_cast<int>(*values[2]);
            result.hour = static_cast<int>(*values[3]);
            result.minute = static_cast<int>(*values[4]);
            result.second = static_cast<int>(*values[5]);
        }
        return result;
    };
    const auto check = [&](const std::string& line) {
        const JournalLine want = expected(line);
        const JournalLine got = parseJournalDateTime(line);
        EXPECT_EQ(got.status, want.status) << "\"" << line << "\"";
        EXPECT_EQ(
            std::vector({got.day, got.month, got.year, got.hour, got.minute, got.second}),
            std::vector({want.day, want.month, want.year, want.hour, want.minute, want.second}))
            << "\"" << line << "\"";
        // The reader of the date alone gives the same, with the line's classification, for
        // the line as it is and with a CR inside it.
        for (const std::string& text : {line, line + "\r", "\r" + line}) {
            EntryDateTime when{-1, -1, -1, -1, -1, -1};
            const LineStatus status = readEntryDateTime(text, when);
            EXPECT_EQ(status, classifyLine(text, want.status)) << "\"" << text << "\"";
            if (status == LineStatus::ok) {
                EXPECT_EQ(std::vector({when.day, when.month, when.year, when.hour, when.minute,
                                       when.second}),
                          std::vector({want.day, want.month, want.year, want.hour, want.minute,
                                       want.second}))
                    << "\"" << text << "\"";
            }
        }
    };
    const std::string good = exampleTraining().substr(0, 73);
    const char* const forms[] = {"00", "09", " 9",   "9 ", "  ", "+1", "-1", " -", "1-",
                                 "a1", "1a", "\xC0", "13", "14", "99", "1.", ".5"};
    const char* const years[] = {"2013", "0000", "  13", "13  ", "2 13", "+201",
                                 "-201", "    ", "20a3", "9999", " 1 3", "1e3 "};
    for (const layout::Field& field : layout::dateAndTime.fields()) {
        for (const char* form : field.width == 4
                                    ? std::vector(std::begin(years), std::end(years))
                                    : std::vector(std::begin(forms), std::end(forms))) {
            std::string line = good;
            const std::string text = std::string(form).substr(0, static_cast<size_t>(field.width));
            line.replace(field.offset(), text.size(), text);
            check(line);
        }
    }
    for (size_t length = 0; length <= 27; ++length) check(good.substr(0, length));
    std::string allBlank = good;
    for (const layout::Field& field : layout::dateAndTime.fields())
        allBlank.replace(field.offset(), static_cast<size_t>(field.width),
                         std::string(static_cast<size_t>(field.width), ' '));
    check(allBlank);
    std::string allZero = allBlank;
    allZero[layout::dateAndTime.second.offset() + 1] = '0';
    check(allZero);
    // A line saved as UTF-8: its letters take two bytes, so the fields after the year move.
    check(" 01.03.2013г, 10ч  0м  0с,   ОЗи=0.50");
    check(" 01.03.2013г, 10ч  0м  0с,   ОЗи=0.50" + std::string(100, ' ') + "\r");
}

GTEST_TEST(JournalReader, AsterisksInAValueKeepTheDateButEndTheValues) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    const std::string tooFar = checkEntryLine(4, 3, 2013, 10, 0, 0, 1.0f, 10000.0f);
    writeBytes(path, trainingHeader() + "\r\n" + exampleTraining() + tooFar + exampleCheck());

    JournalReader reader(path);
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    const JournalLine& bad = lines[1];
    EXPECT_EQ(bad.status, LineStatus::badValues);
    EXPECT_EQ(bad.lineNumber, 3);
    EXPECT_EQ(bad.day, 4);
    EXPECT_EQ(bad.hour, 10);
    EXPECT_TRUE(bad.isCheck);
    EXPECT_EQ(bad.checkAcuity, 0.0f);  // readable, but not handed out from a bad line
    EXPECT_EQ(reader.endStatus(), LineStatus::badValues);
    EXPECT_EQ(reader.endLine(), 3);
}

GTEST_TEST(JournalReader, DateAndTimeAloneIgnoreTheValues) {
    const std::string tooFar = checkEntryLine(4, 3, 2013, 10, 7, 9, 1.0f, 10000.0f);
    ASSERT_EQ(parseJournalLine(tooFar).status, LineStatus::badValues);
    const JournalLine dated = parseJournalDateTime(tooFar);
    EXPECT_EQ(dated.status, LineStatus::ok);
    EXPECT_EQ(dated.day, 4);
    EXPECT_EQ(dated.month, 3);
    EXPECT_EQ(dated.year, 2013);
    EXPECT_EQ(dated.hour, 10);
    EXPECT_EQ(dated.minute, 7);
    EXPECT_EQ(dated.second, 9);
    EXPECT_FALSE(dated.isCheck);
    EXPECT_EQ(parseJournalDateTime(cp1251(" 01.14.2013г, 10ч  0м  0с")).status,
              LineStatus::badDate);
    EXPECT_EQ(parseJournalDateTime(cp1251(" x1.03.2013г, 10ч  0м  0с")).status,
              LineStatus::badDate);
}

GTEST_TEST(JournalReader, EveryTrainingValueIsChecked) {
    const std::string good = exampleTraining().substr(0, 73);
    ASSERT_EQ(parseJournalLine(good).status, LineStatus::ok);
    for (size_t column : {50, 60, 66, 73}) {
        std::string edited = good;
        edited[column - 1] = 'x';
        EXPECT_EQ(parseJournalLine(edited).status, LineStatus::badValues) << "column " << column;
    }
    std::string twoPoints = good;
    twoPoints[71] = '.';  // " 20.." in the distance
    EXPECT_EQ(parseJournalLine(twoPoints).status, LineStatus::badValues);
}

GTEST_TEST(JournalReader, ACheckStaysReadWhenTheTrainingOnItsLineCannotBe) {
    const std::string both = cp1251(" 01.03.2013г, 12ч  0м  0с,   ОЗи=0.60     ОЗп=****") +
                             "      1.50" + "   100" + "   250.";
    const JournalLine line = parseJournalLine(both);
    EXPECT_EQ(line.status, LineStatus::badValues);
    EXPECT_TRUE(line.checkRead);
    EXPECT_FLOAT_EQ(line.checkAcuity, 0.6f);
    EXPECT_FLOAT_EQ(line.checkDistance, 250.0f);
    EXPECT_EQ(line.trainingAcuity, 0.0f);
    EXPECT_EQ(line.volume, 0);
    // The other way round nothing is read: the check comes first.
    std::string badCheck = both;
    badCheck.replace(33, 4, "****");
    badCheck.replace(46, 4, "0.80");
    const JournalLine other = parseJournalLine(badCheck);
    EXPECT_EQ(other.status, LineStatus::badValues);
    EXPECT_FALSE(other.checkRead);
    EXPECT_EQ(other.trainingAcuity, 0.0f);
}

GTEST_TEST(JournalReader, EveryCheckValueIsChecked) {
    const std::string good = exampleCheck().substr(0, 74);
    for (size_t column : {34, 68, 74}) {
        std::string edited = good;
        edited[column - 1] = 'x';
        EXPECT_EQ(parseJournalLine(edited).status, LineStatus::badValues) << "column " << column;
    }
    // Columns between the two value fields are skipped unread.
    std::string between = good;
    between[50] = 'x';
    EXPECT_EQ(parseJournalLine(between).status, LineStatus::ok);
}

GTEST_TEST(JournalReader, LineWithoutMarkerCarriesOnlyItsDate) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    const std::string note = cp1251(" 05.03.2013г, 10ч 15м  0с, заметка: очки 0.8 ****\r\n");
    writeBytes(path, trainingHeader() + "\r\n" + note + exampleTraining());

    JournalReader reader(path);
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].status, LineStatus::ok);
    EXPECT_FALSE(lines[0].isCheck);
    EXPECT_FALSE(lines[0].isTraining);
    EXPECT_EQ(lines[0].day, 5);
    EXPECT_EQ(lines[0].minute, 15);
    EXPECT_TRUE(lines[1].isTraining);
}

GTEST_TEST(JournalReader, MarkerMustStandInItsColumns) {
    // The training marker one column early is no marker at all.
    std::string shifted = exampleTraining().substr(0, 73);
    shifted.erase(41, 1);
    const JournalLine line = parseJournalLine(shifted);
    EXPECT_EQ(line.status, LineStatus::ok);
    EXPECT_FALSE(line.isTraining);
    // Cut inside the marker.
    EXPECT_FALSE(parseJournalLine(exampleCheck().substr(0, 32)).isCheck);
    // A line with both markers gives both kinds of values.
    std::string both = exampleCheck().substr(0, 42) + exampleTraining().substr(42, 31);
    const JournalLine twice = parseJournalLine(both);
    EXPECT_EQ(twice.status, LineStatus::ok);
    EXPECT_TRUE(twice.isCheck);
    EXPECT_TRUE(twice.isTraining);
    EXPECT_EQ(twice.checkAcuity, 1.0f);
    EXPECT_EQ(twice.trainingAcuity, 0.85f);
}

GTEST_TEST(JournalReader, TailOfALineLongerThan120IsNoLineOfItsOwn) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    // Past column 120 a hand-written tail that would be an unreadable line of its own.
    std::string longCheck = exampleCheck().substr(0, 74) + std::string(46, ' ') + "x.13.yyyy" +
                            std::string(300, 'z') + "\r\n";
    writeBytes(path, trainingHeader() + "\r\n" + longCheck + exampleTraining());

    JournalReader reader(path);
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].status, LineStatus::ok);
    EXPECT_EQ(lines[0].checkDistance, 200.0f);
    EXPECT_EQ(lines[1].lineNumber, 3);
    EXPECT_TRUE(lines[1].isTraining);
    EXPECT_EQ(reader.endStatus(), LineStatus::ok);
}

GTEST_TEST(JournalReader, LineFeedOnlyAndMissingLastLineEnd) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    std::string training = exampleTraining();
    std::string check = exampleCheck();
    training.erase(training.size() - 2, 1);  // LF only
    check.erase(check.size() - 2);           // no line end at all
    writeBytes(path, "header\n" + training + check);
    JournalReader reader(path);
    const std::vector<JournalLine> lines = readAll(reader);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].trainingDistance, 200.0f);
    EXPECT_EQ(lines[1].checkDistance, 200.0f);
}

}  // namespace
}  // namespace trelvan
