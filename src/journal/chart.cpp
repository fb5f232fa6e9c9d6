// SPDX-License-Identifier: GPL-3.0-or-later
// Progress chart: the results journal over the days, acuity in the upper region, training
// volume, mean answer time and viewing distances in the lower one.
//
// The journal is streamed twice, first for the time range and then for the values, and never
// held in memory: the chart keeps only the two bounds with the entries that supplied them and
// the previous point of each series.
#include "journal/chart.h"

#include <cerrno>
#include <optional>
#include <string>

#include "app/event_state.h"
#include "app/status_line.h"
#include "journal/journal.h"
#include "platform/colours.h"
#include "platform/fields.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"
#include "plot/plot.h"

namespace trelvan {

namespace {

constexpr double secondsPerDay = 86400.0;
constexpr float secondsPerWeek = 7.0f * 86400.0f;

// Pixel positions, colour and font of the texts outside the regions.
constexpr int16_t startTextX = 10;
constexpr int16_t endTextX = 748;
constexpr int16_t datesTextY = 620;
constexpr int16_t promptX = 265;
constexpr int16_t promptY = 621;
constexpr int32_t promptColour = rgb::kAzure;
constexpr const char* promptFont = "t'Times New Roman Cyr'h28w9ib";
// The note of a journal that was not read to its end, between the start and the end texts.
constexpr int16_t noteX = 200;
constexpr int16_t noteY = 626;
constexpr const char* noteFont = "t'Times New Roman Cyr'h16w5b";

// Scales of the lower region: 1.0 is 200 figures, 5 s, 500 cm.
constexpr float volumeScale = 200.0f;
constexpr float meanTimeScale = 5.0f;
constexpr float distanceScale = 500.0f;

constexpr float markerSize = 2.0f;
// A check limited by the screen: a hollow dot (pixels) and its legend (dot in pixels, text
// in page units).
constexpr int32_t hollowRadius = 5;
constexpr int32_t hollowRing = 2;
constexpr int32_t limitLegendDotX = 700;
constexpr int32_t limitLegendDotY = 19;
constexpr float limitLegendX = 174.0f;
constexpr float limitLegendY = 178.0f;
constexpr int32_t filledEllipse = 4;

using colourIndex::kBlack;
using colourIndex::kBlue;
using colourIndex::kGreen;
using colourIndex::kRed;

struct Label {
    int32_t colour;
    float x, y;
    const char* text;  // UTF-8
};

// The fixed texts of both regions at page positions (240 x 180, y upwards), in drawing order.
constexpr Label labels[] = {
    {kBlue, 6, 53, "0"},
    {kBlue, 3, 70, "0.2"},
    {kBlue, 3, 87, "0.4"},
    {kBlue, 3, 104, "0.6"},
    {kBlue, 3, 121, "0.8"},
    {kBlue, 3, 138, "1.0"},
    {kBlue, 3, 155, "1.2"},
    {kBlue, 3, 172, "1.4"},
    {kBlue, 95, 178, "Острота зрения подтвержденная (на тренировке)"},
    {kRed, 20, 178, "Острота зрения измеренная"},
    {kGreen, 2, 43, "200"},
    {kGreen, 10, 47, "Объем(200)"},
    {kBlue, 5, 26, "2м"},
    {kBlue, 140, 47, "Дальность подтверждения (тренировки) (5м)"},
    {kRed, 0, 26, "2м"},
    {kRed, 80, 47, "Дальность измерения (5м)"},
    {kBlack, 3, 20, "1с"},
    {kBlack, 35, 47, "Среднее_время(5с)"},
};
constexpr float labelHeight = 8.0f;

// Date and time of the entry that supplied a bound of the time range.
struct Record {
    int day = 0, month = 0, year = 0, hour = 0, minute = 0;
};

struct TimeRange {
    bool found = false;  // at least one entry line could be read
    // Why and where the pass ended before the end of the file (ok and 0 when it did not).
    LineStatus endStatus = LineStatus::ok;
    long endLine = 0;
    double start = 0.0;  // midnight of the earliest date, seconds
    double end = 0.0;    // midnight after the latest date, seconds
    Record first;
    Record last;
};

Record recordOf(const EntryDateTime& when) {
    return Record{when.day, when.month, when.year, when.hour, when.minute};
}

// Midnight of a date in seconds.
double midnightOf(int day, int month, int year) {
    return static_cast<double>(NDAYS(day, month, year)) * secondsPerDay;
}

// Moment of the entry in seconds: the day part in double, the time of day in float.
double momentOf(const JournalLine& line) {
    const float timeOfDay = 3600.0f * static_cast<float>(line.hour) +
                            60.0f * static_cast<float>(line.minute) +
                            static_cast<float>(line.second);
    return midnightOf(line.day, line.month, line.year) + static_cast<double>(timeOfDay);
}

// First pass: only the date and time fields count, so a line with unreadable values still
// widens the range and the lines after it are read on; a line whose date or time cannot be
// read ends the pass, and so does a CR inside a line (the header's included): the lines of
// such a file end in CR alone.
TimeRange findTimeRange(LineInput& input) {
    TimeRange range;
    const std::optional<std::string> header = input.next();  // whatever it holds
    if (header) {
        range.endStatus = classifyLine(*header, LineStatus::ok);
        if (range.endStatus != LineStatus::ok) range.endLine = input.lineNumber();
    }
    std::string_view text;
    EntryDateTime when;
    while (range.endStatus == LineStatus::ok && input.next(text)) {
        range.endStatus = readEntryDateTime(text, when);
        if (range.endStatus != LineStatus::ok) {
            range.endLine = input.lineNumber();
            break;
        }
        const double d = midnightOf(when.day, when.month, when.year);
        if (!range.found) {
            range.found = true;
            range.start = range.end = d;
            range.first = range.last = recordOf(when);
        } else if (d < range.start) {
            range.start = d;
            range.first = recordOf(when);
        } else if (d > range.end) {
            range.end = d;
            range.last = recordOf(when);
        }
    }
    range.end += secondsPerDay;  // midnight after the latest date
    return range;
}

// Steps of the frame: both regions in black, their limits, the grids and frames.
void drawRegions(float span) {
    SETCOL(kBlack);
    REGION(1, 1, 10, 50, 220, 120);
    REGION(1, 2, 10, 10, 220, 30);
    LIMITS(1, 1, 0, span, 0, 1.4f);
    LIMITS(1, 2, 0, span, 0, 1.0f);
    // Daily grid lines up to 60 days, weekly ones beyond.
    float step = static_cast<float>(secondsPerDay);
    if (span / 60.0f > static_cast<float>(secondsPerDay)) step = secondsPerWeek;
    AXES(1, 1, 0, step, 0, 0, 0.2f, 0);
    AXES(1, 2, 0, step, 0, 0, 0.2f, 0);
}

void drawLabels() {
    for (const Label& label : labels) {
        if (label.colour != plotState.currentColour) SETCOL(label.colour);
        SYMBOL(1, label.x, label.y, labelHeight, 0, cp1251(label.text));
    }
}

// "Начало  " or "Конец  " and the record: I2.2,'.',I2.2,'.',I4,'г,',I3,'час',I3,'мин'.
void drawRecord(int16_t x, const char* title, const Record& r) {
    using fields::I;
    const std::string text = cp1251(title) + I(r.day, 2, 2) + "." + I(r.month, 2, 2) + "." +
                             I(r.year, 4) + cp1251("г,") + I(r.hour, 3) + cp1251("час") +
                             I(r.minute, 3) + cp1251("мин");
    XYCoord previous;
    gw().MOVETO(x, datesTextY, previous);
    gw().OUTGTEXT(text);
}

// Previous point of a series: where its joining line goes back to.
struct Previous {
    bool set = false;
    float x = 0.0f, acuity = 0.0f, meanTime = 0.0f;
    bool limitedDrawn = false;  // a check limited by the screen has been drawn
};

// The dot of a check result limited by the screen, centred on the pixel (ix, iy): a red ring
// with a white middle, a little larger than the filled dot.
void hollowDot(int32_t ix, int32_t iy) {
    auto ellipse = [&](int32_t inset) {
        gw().ELLIPSE(GFILLINTERIOR, static_cast<int16_t>(ix - hollowRadius + inset),
                     static_cast<int16_t>(iy - hollowRadius + inset),
                     static_cast<int16_t>(ix + hollowRadius - inset),
                     static_cast<int16_t>(iy + hollowRadius - inset));
    };
    SETCOL(kRed);
    ellipse(0);
    gw().SETCOLORRGB(rgb::kWhite);
    ellipse(hollowRing);
    SETCOL(kRed);
}

// The legend of the hollow dot, at the top right of the page beside the titles of the upper
// region, drawn when the chart has such a dot.
void drawLimitLegend() {
    hollowDot(limitLegendDotX, limitLegendDotY);
    SYMBOL(1, limitLegendX, limitLegendY, labelHeight, 0, cp1251("результат выше точности экрана"));
}

// A dot at (x, y) of the region and its bar up from the bottom edge.
void dotAndBar(PenSeries& pen, int32_t region, float x, float y) {
    pen.MARKER(region, x, y, filledEllipse, markerSize);
    pen.MOVE(region, x, 0, 0);
    pen.MOVE(region, x, y, 1);
}

void drawCheck(PenSeries& pen, float x, const JournalLine& line, Previous& previous) {
    const float a = line.checkAcuity;
    const float distance = line.checkDistance / distanceScale;
    if (!previous.set) previous = Previous{true, x, a, 0.0f};
    pen.SETCOL(kRed);
    pen.MARKER(1, x, a, filledEllipse, markerSize);
    pen.MARKER(2, x, distance, filledEllipse, markerSize);
    pen.MOVE(1, x, 0, 0);
    pen.MOVE(1, x, a, 1);
    pen.MOVE(1, previous.x, previous.acuity, 1);
    pen.MOVE(2, x, 0, 0);
    pen.MOVE(2, x, distance, 1);
    previous.x = x;
    previous.acuity = a;
    // A result above what the screen drew true to size: its dot is hollow, over the lines.
    if (line.checkTrueTo) {
        pen.flush();
        int32_t ix = 0, iy = 0;
        TMF(1, 1, x, a, ix, iy);
        hollowDot(ix, iy);
        previous.limitedDrawn = true;
    }
}

void drawTraining(PenSeries& pen, float x, const JournalLine& line, Previous& previous) {
    const float a = line.trainingAcuity;
    const float m = line.meanTime;
    if (!previous.set) previous = Previous{true, x, a, m};
    pen.SETCOL(kGreen);
    dotAndBar(pen, 2, x, static_cast<float>(line.volume) / volumeScale);
    pen.SETCOL(kBlack);
    dotAndBar(pen, 2, x, m / meanTimeScale);
    pen.MOVE(2, previous.x, previous.meanTime / meanTimeScale, 1);
    pen.SETCOL(kBlue);
    dotAndBar(pen, 1, x, a);
    pen.MOVE(1, previous.x, previous.acuity, 1);
    dotAndBar(pen, 2, x, line.trainingDistance / distanceScale);
    previous.x = x;
    previous.acuity = a;
    previous.meanTime = m;
}

// Second pass: every entry is drawn as soon as its line is read, up to the end of the file or
// the first line that cannot be read whole.
void drawEntries(const std::string& path, double start, ChartReading& reading) {
    JournalReader reader(path);
    reader.skipEyeMarks();
    Previous check, training;
    PenSeries pen(1);
    for (JournalLine line; reader.next(line);) {
        // A check is drawn before the training of the same line is read: unreadable training
        // values end the reading after the check has been drawn.
        const bool checkDrawn =
            line.isCheck && line.checkRead &&
            (line.status == LineStatus::ok || line.status == LineStatus::badValues);
        if (!checkDrawn && line.status != LineStatus::ok) break;
        const float x = static_cast<float>(momentOf(line) - start);
        if (checkDrawn) drawCheck(pen, x, line, check);
        if (line.status != LineStatus::ok) break;
        if (line.isTraining) drawTraining(pen, x, line, training);
    }
    pen.flush();
    if (check.limitedDrawn) drawLimitLegend();
    if (reader.endStatus() != LineStatus::ok) {
        reading.endStatus = reader.endStatus();
        reading.endLine = reader.endLine();
    }
    if (reading.error == 0) reading.error = reader.error();
}

const char* const promptText = "Для продолжения нажмите любую кнопку мыши";

void drawPrompt() {
    gw().SETFONT(promptFont);
    gw().SETCOLORRGB(promptColour);
    XYCoord previous;
    gw().MOVETO(promptX, promptY, previous);
    gw().OUTGTEXT(cp1251(promptText));
}

// Read to its end, or missing: nothing to say. A journal that is there but could not be opened
// or read gets a note like one that stopped early.
bool readToTheEnd(const ChartReading& reading) {
    return reading.endStatus == LineStatus::ok && reading.error == 0;
}

// The note of a journal that was not read to its end: one line at the bottom of the page,
// between the start and the end texts, which line and why. The prompt, when the chart waits
// for the click, follows it on the same line (drawPromptAfterNote).
void drawReadingNote(const ChartReading& reading, const std::string& journalPath) {
    if (readToTheEnd(reading)) return;
    std::string text;
    if (reading.error == lockedByOther) {
        text = journalLockedText(journalPath);
    } else if (!reading.opened) {
        text = "Не удалось открыть журнал " + journalPath + ": " + errorReason(reading.error) + ".";
    } else if (reading.endStatus != LineStatus::ok) {
        text = "Чтение журнала остановлено на строке " + std::to_string(reading.endLine) + ": " +
               stopReason(reading.endStatus).chart + ".";
    } else {
        text = "Чтение журнала остановлено: ошибка чтения файла.";
    }
    SETCOL(kRed);
    gw().SETFONT(noteFont);
    XYCoord previous;
    gw().MOVETO(noteX, noteY, previous);
    gw().OUTGTEXT(cp1251(text));
}

// The prompt in the note's font, where the note ends.
void drawPromptAfterNote() {
    gw().SETFONT(noteFont);
    gw().SETCOLORRGB(promptColour);
    gw().OUTGTEXT(cp1251(std::string("  ") + promptText));
}

}  // namespace

ChartReading drawProgressChart(const std::string& journalPath) {
    gw().CLEARSCREEN(GCLEARSCREEN);
    ChartReading reading;
    std::optional<TimeRange> range;
    {
        LineInput input(journalPath, JournalReader::maxLineLength);
        reading.opened = input.isOpen();
        if (!reading.opened && input.error() != ENOENT) reading.error = input.error();
        if (reading.opened) {
            range = findTimeRange(input);
            reading.error = input.error();
        }
    }
    if (range) {
        if (range->endStatus != LineStatus::ok) {
            // The second pass stops there too, unless a line before it stops it first.
            reading.endStatus = range->endStatus;
            reading.endLine = range->endLine;
        }
        // A journal without entry lines shows one empty day: start 0, end 86400.
        const float span = static_cast<float>(range->end - range->start);
        drawRegions(span);
        drawLabels();
        if (range->found) {
            SETCOL(kBlack);
            drawRecord(startTextX, "Начало  ", range->first);
            drawRecord(endTextX, "Конец  ", range->last);
            drawEntries(journalPath, range->start, reading);
        }
    }
    drawReadingNote(reading, journalPath);
    return reading;
}

void TRITOUT() {
    const ChartReading reading = drawProgressChart(journalFileName);
    if (readToTheEnd(reading)) {
        drawPrompt();
    } else {
        drawPromptAfterNote();
    }
    statusChart();
    waitClick();
    ACTIV(1, 1);
}

int32_t NDAYS(int32_t day, int32_t month, int32_t year) {
    // A journal holds many entries a day: the days before the month are kept for the month
    // asked for last.
    struct Month {
        bool known = false;
        int32_t month = 0, year = 0, daysBefore = 0;
    };
    thread_local Month last;
    if (last.known && last.month == month && last.year == year) return last.daysBefore + day - 1;
    int32_t LMES[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    LMES[1] = leap ? 29 : 28;
    int32_t n = (year - 1900) * 365;
    if (year >= 1901) n += (year - 1901) / 4;
    for (int32_t m = 1; m <= month - 1; ++m) {
        checkIndex("LMES", m, 1, 12);
        n += LMES[m - 1];
    }
    last = Month{true, month, year, n};
    return n + day - 1;
}

}  // namespace trelvan
