// SPDX-License-Identifier: GPL-3.0-or-later
// The progress chart drawn on the headless services from journals written for each case, and
// judged on the pixels of the 980 x 650 window and on the texts with their positions.
#include "journal/chart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <string>
#include <vector>

#include "app/event_state.h"
#include "journal/journal.h"
#include "platform/headless_window.h"
#include "platform/raster.h"
#include "platform/textfile.h"
#include "plot/plot.h"
#include "support/child_process.h"
#include "support/fresh_program.h"
#include "support/lock_holder.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::TempDir;
using testing::writeBytes;

constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t black = 0x000000;
constexpr uint32_t red = 0x0000FF;
constexpr uint32_t green = 0x00FF00;
constexpr uint32_t blue = 0xFF0000;
constexpr int32_t promptRgb = 0xDDAA00;

// Pixel corners of the two regions in the 980 x 650 window.
struct Corners {
    int left, right, bottom, top;
};
constexpr Corners upper{40, 937, 468, 35};
constexpr Corners lower{40, 937, 612, 503};

constexpr double day = 86400.0;

// Nearest pixel column of x seconds on a time axis of span seconds.
int column(double x, double span) {
    return static_cast<int>(upper.left + x / span * (upper.right - upper.left) + 0.5);
}
// Nearest pixel rows of an acuity (upper region, 0 to 1.4) and of a fraction of the lower one.
int upperRow(double acuity) {
    return static_cast<int>(upper.bottom - acuity / 1.4 * (upper.bottom - upper.top) + 0.5);
}
int lowerRow(double fraction) {
    return static_cast<int>(lower.bottom - fraction * (lower.bottom - lower.top) + 0.5);
}

std::string journalOf(const std::vector<std::string>& entries,
                      const std::string& header = trainingHeader()) {
    std::string text = header + "\r\n";
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

// The mouse routine of the main program in short: any press counts as a click.
void mouse(int32_t, int32_t, int32_t keystate, int32_t, int32_t) {
    if ((keystate & (MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON)) != 0) eventState.clicked = 1;
}
void chartMenuItem(bool) {
    eventState.menuRequest = 3;
}

class ChartWindow : public HeadlessWindow {
  public:
    int32_t FOCUSQQ(int32_t unit) override {
        ++focusRequests;
        return HeadlessWindow::FOCUSQQ(unit);
    }
    int focusRequests = 0;
};

// A scratch working directory and the headless window after the main program's start-up.
class ChartRun {
  public:
    ChartRun() {
        setGraphicsWindow(&window);
        PAGE(1, 650, 980, cp1251("Тренажер для глаз"));
        SETCOL(7);
        window.REGISTERMOUSEEVENTQQ(
            1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP | MOUSE_RBUTTONDOWN | MOUSE_RBUTTONUP, mouse);
        window.APPENDMENUITEM(1, 4, "exit", nullptr);
        window.APPENDMENUITEM(2, 4, "chart", chartMenuItem);
    }
    ~ChartRun() { setGraphicsWindow(nullptr); }

    void journalBytes(const std::string& bytes) const {
        writeBytes(dir_.file(journalFileName), bytes);
    }
    void journal(const std::vector<std::string>& entries) const {
        journalBytes(journalOf(entries));
    }

    // Draws the chart and dismisses it with a left click.
    void draw() {
        window.click(1);
        window.close();
        TRITOUT();
        picture = window.snapshot();
    }

    uint32_t at(int x, int y) const { return picture.pixel(x, y); }
    // Whether any pixel of the colour lies within one pixel of (x, y).
    bool near(int x, int y, uint32_t colour) const {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (at(x + dx, y + dy) == colour) return true;
        return false;
    }
    // Whether the column holds any pixel of red, green or blue within the rows.
    bool colouredBetween(int x, int top, int bottom) const {
        for (int y = top; y <= bottom; ++y) {
            const uint32_t p = at(x, y);
            if (p == red || p == green || p == blue) return true;
        }
        return false;
    }
    // A dashed vertical grid line: a column of the region about half black.
    bool isDashedColumn(int x, const Corners& c) const {
        const int rows = c.bottom - c.top - 1;
        int blacks = 0;
        for (int y = c.top + 1; y < c.bottom; ++y) blacks += at(x, y) == black;
        return blacks > rows / 4 && blacks < rows;
    }
    // Dashed vertical grid lines strictly inside a region.
    int dashedColumns(const Corners& c) const {
        int lines = 0;
        for (int x = c.left + 1; x < c.right; ++x) lines += isDashedColumn(x, c);
        return lines;
    }
    const TextRecord* textAt(int x, int y) const {
        for (const TextRecord& t : window.texts())
            if (t.x == x && t.y == y) return &t;
        return nullptr;
    }
    std::string textAtOrNone(int x, int y) const {
        const TextRecord* t = textAt(x, y);
        return t != nullptr ? utf8FromCp1251(t->text) : "(none)";
    }

    ChartWindow window;
    Raster picture{1, 1};

  private:
    testing::FreshProgram dir_;
};

const std::string labelFont = "t'Times New Roman Cyr'h24w7b";

// --- Day numbers -------------------------------------------------------------------------

GTEST_TEST(ChartDayNumber, CountsDaysSinceFirstJanuary1900) {
    EXPECT_EQ(NDAYS(1, 1, 1900), 0);
    EXPECT_EQ(NDAYS(31, 12, 1900), 364) << "1900 is not a leap year";
    EXPECT_EQ(NDAYS(1, 3, 1900), 59);
    EXPECT_EQ(NDAYS(1, 1, 1901), 365);
    EXPECT_EQ(NDAYS(1, 1, 2000), 100 * 365 + 24);
    EXPECT_EQ(NDAYS(1, 1, 2013), 113 * 365 + 28);
    EXPECT_EQ(NDAYS(3, 3, 2013), 113 * 365 + 28 + 31 + 28 + 2);
}

GTEST_TEST(ChartDayNumber, FebruaryFollowsTheLeapYearRule) {
    EXPECT_EQ(NDAYS(1, 3, 2012), NDAYS(29, 2, 2012) + 1);
    EXPECT_EQ(NDAYS(1, 3, 2013), NDAYS(28, 2, 2013) + 1);
    EXPECT_EQ(NDAYS(1, 3, 2000), NDAYS(28, 2, 2000) + 2) << "2000 is a leap year";
    EXPECT_EQ(NDAYS(1, 1, 2013) - NDAYS(1, 1, 2012), 366);
    EXPECT_EQ(NDAYS(1, 1, 2014) - NDAYS(1, 1, 2013), 365);
    EXPECT_EQ(NDAYS(31, 12, 2013) - NDAYS(1, 12, 2013), 30);
}

GTEST_TEST(ChartDayNumber, AMonthAskedForAgainCountsAsBefore) {
    const int32_t march = NDAYS(3, 3, 2013);
    EXPECT_EQ(NDAYS(3, 3, 2012), march - 365);
    EXPECT_EQ(NDAYS(3, 3, 2013), march);
    EXPECT_EQ(NDAYS(4, 3, 2013), march + 1);
    EXPECT_EQ(NDAYS(3, 4, 2013), march + 31);
    // A month past the table stops the program every time, whatever was asked for before.
    HeadlessWindow window;
    setGraphicsWindow(&window);
    EXPECT_EQ(NDAYS(1, 13, 2013), NDAYS(1, 1, 2014));
    EXPECT_THROW(NDAYS(1, 14, 2013), ProgramExit);
    EXPECT_THROW(NDAYS(1, 14, 2013), ProgramExit);
    setGraphicsWindow(nullptr);
}

// --- Time range, grid and dates ----------------------------------------------------------

GTEST_TEST(ChartTimeRange, OneEntryFillsOneDayAtItsTimeOfDay) {
    ChartRun run;
    run.journal({trainingEntryLine(25, 6, 2013, 14, 30, 0, 1.0f, 1.5f, 100, 200.0f)});
    run.draw();

    // 14.5 h of 24 is 0.604 of the width: 40 + 0.604 x 897, rounded.
    const int x = 582;
    EXPECT_EQ(column(52200, day), x);
    EXPECT_EQ(run.at(x, upperRow(1.0)), blue) << "acuity dot";
    EXPECT_EQ(run.at(x, 300), blue) << "acuity bar";
    EXPECT_EQ(run.at(x, lowerRow(0.5)), green) << "100 figures of 200";
    EXPECT_EQ(run.at(x, lowerRow(0.5) + 5), green) << "volume bar above the distance dot";
    EXPECT_EQ(run.at(x - 3, lowerRow(0.3)), black) << "1.5 s of 5, under the distance bar";
    EXPECT_EQ(run.at(x, lowerRow(0.4)), blue) << "200 cm of 500";

    EXPECT_EQ(run.dashedColumns(upper), 0) << "grid lines only on the frame edges";
    EXPECT_EQ(run.dashedColumns(lower), 0);
    EXPECT_EQ(run.at(upper.left, 200), black);
    EXPECT_EQ(run.at(upper.right, 200), black);

    EXPECT_EQ(run.textAtOrNone(10, 620), "Начало  25.06.2013г, 14час 30мин");
    EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  25.06.2013г, 14час 30мин");
    const TextRecord* start = run.textAt(10, 620);
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->text.size(), 32u);
    EXPECT_EQ(run.textAt(748, 620)->text.size(), 31u);
    EXPECT_EQ(start->font, labelFont) << "the font of the last label";
    EXPECT_EQ(start->colour, 0);
}

GTEST_TEST(ChartTimeRange, EndTextShowsTheFirstEntryOfTheLatestDay) {
    ChartRun run;
    run.journal({
        trainingEntryLine(1, 3, 2013, 10, 15, 0, 0.5f, 1.5f, 100, 200.0f),
        checkEntryLine(5, 3, 2013, 8, 20, 0, 0.6f, 200.0f),
        trainingEntryLine(5, 3, 2013, 17, 45, 0, 0.7f, 1.5f, 100, 200.0f),
        checkEntryLine(3, 3, 2013, 9, 0, 0, 0.4f, 200.0f),
        trainingEntryLine(1, 3, 2013, 7, 5, 0, 0.3f, 1.5f, 100, 200.0f),
    });
    run.draw();

    EXPECT_EQ(run.textAtOrNone(10, 620), "Начало  01.03.2013г, 10час 15мин")
        << "a later line of the same earliest day does not replace the start";
    EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  05.03.2013г,  8час 20мин");
    EXPECT_EQ(run.dashedColumns(upper), 4) << "five days, four inner day lines";

    const double span = 5 * day;
    const int lastX = column(4 * day + 17 * 3600 + 45 * 60, span);
    EXPECT_EQ(lastX, 890);
    EXPECT_EQ(run.at(lastX, upperRow(0.7)), blue);
    const int earlyX = column(7 * 3600 + 5 * 60, span);
    EXPECT_EQ(run.at(earlyX, upperRow(0.3)), blue) << "an entry before the start record's time";
    EXPECT_EQ(run.at(column(4 * day + 8 * 3600 + 20 * 60, span), upperRow(0.6)), red);
}

GTEST_TEST(ChartTimeRange, SixtyDaysKeepTheDailyGridSixtyOneSwitchToWeeks) {
    // 1 January to 1 March 2013 is 60 calendar days, both included.
    {
        ChartRun run;
        run.journal({checkEntryLine(1, 1, 2013, 12, 0, 0, 0.1f, 200.0f),
                     checkEntryLine(1, 3, 2013, 12, 0, 0, 0.1f, 200.0f)});
        run.draw();
        EXPECT_EQ(run.dashedColumns(upper), 59);
        EXPECT_TRUE(run.isDashedColumn(column(1 * day, 60 * day), upper));
        EXPECT_EQ(run.dashedColumns(lower), 59);
        EXPECT_EQ(run.at(column(59.5 * day, 60 * day), upperRow(0.1)), red);
    }
    {
        ChartRun run;
        run.journal({checkEntryLine(1, 1, 2013, 12, 0, 0, 0.1f, 200.0f),
                     checkEntryLine(2, 3, 2013, 12, 0, 0, 0.1f, 200.0f)});
        run.draw();
        EXPECT_EQ(run.dashedColumns(upper), 8) << "weeks 1 to 8 inside 61 days";
        EXPECT_EQ(run.dashedColumns(lower), 8);
        EXPECT_TRUE(run.isDashedColumn(column(7 * day, 61 * day), upper)) << "first week";
        EXPECT_FALSE(run.isDashedColumn(column(1 * day, 61 * day), upper)) << "no day lines";
        EXPECT_EQ(run.at(column(60.5 * day, 61 * day), upperRow(0.1)), red);
    }
}

GTEST_TEST(ChartTimeRange, TimeOfDayKeepsItsSecondsOnLargeDayNumbers) {
    // Day numbers of 2013 in seconds exceed what a float holds to the second.
    ChartRun run;
    run.journal({checkEntryLine(1, 3, 2013, 0, 2, 0, 0.5f, 200.0f)});
    run.draw();
    const int x = column(120, day);
    EXPECT_EQ(x, 41);
    EXPECT_EQ(run.at(x, upperRow(0.5)), red);
    EXPECT_EQ(run.at(x, 400), red) << "the bar stands in the column of the dot";
}

GTEST_TEST(ChartTimeRange, LineWithoutMarkerWidensTheRangeAndDrawsNothing) {
    ChartRun run;
    run.journal({trainingOn(1, 0.5f), cp1251(" 10.03.2013г, 16ч 40м  0с,  вписано от руки\r\n")});
    run.draw();
    EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  10.03.2013г, 16час 40мин");
    EXPECT_EQ(run.dashedColumns(upper), 9) << "ten days";
    EXPECT_EQ(run.at(column(0.5 * day, 10 * day), upperRow(0.5)), blue);
    const int x = column(9 * day + 16 * 3600 + 40 * 60, 10 * day);
    for (int dx = -5; dx <= 5; ++dx) {
        EXPECT_FALSE(run.colouredBetween(x + dx, upper.top - 5, upper.bottom)) << x + dx;
        EXPECT_FALSE(run.colouredBetween(x + dx, lower.top - 5, lower.bottom)) << x + dx;
    }
}

GTEST_TEST(ChartTimeRange, EntriesOutOfOrderJoinInFileOrder) {
    ChartRun run;
    run.journal({trainingEntryLine(3, 3, 2013, 12, 0, 0, 1.0f, 1.5f, 100, 200.0f),
                 trainingEntryLine(1, 3, 2013, 6, 0, 0, 0.2f, 1.5f, 100, 200.0f),
                 trainingEntryLine(5, 3, 2013, 18, 0, 0, 1.2f, 1.5f, 100, 200.0f),
                 trainingEntryLine(2, 3, 2013, 15, 0, 0, 0.4f, 1.5f, 100, 200.0f)});
    run.draw();
    EXPECT_EQ(run.textAtOrNone(10, 620), "Начало  01.03.2013г,  6час  0мин");
    EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  05.03.2013г, 18час  0мин");

    struct Point {
        int x, y;
    };
    const double span = 5 * day;
    const Point p3{column(2.5 * day, span), upperRow(1.0)};
    const Point p1{column(0.25 * day, span), upperRow(0.2)};
    const Point p5{column(4.75 * day, span), upperRow(1.2)};
    const Point p2{column(1.625 * day, span), upperRow(0.4)};
    for (const Point& p : {p3, p1, p5, p2}) EXPECT_EQ(run.at(p.x, p.y), blue);

    // A point 0.3 of the way from a to b: away from the dots and bars.
    auto along = [](Point a, Point b) {
        return Point{static_cast<int>(a.x + 0.3 * (b.x - a.x) + 0.5),
                     static_cast<int>(a.y + 0.3 * (b.y - a.y) + 0.5)};
    };
    // File order joins 3-1, 1-5 and 5-2; the calendar order 1-2, 2-3, 3-5 is not drawn.
    for (const Point& m : {along(p3, p1), along(p1, p5), along(p5, p2)})
        EXPECT_TRUE(run.near(m.x, m.y, blue)) << m.x << "," << m.y;
    for (const Point& m : {along(p1, p2), along(p2, p3), along(p3, p5)})
        EXPECT_FALSE(run.near(m.x, m.y, blue)) << m.x << "," << m.y;
}

// --- Values ------------------------------------------------------------------------------

GTEST_TEST(ChartValues, CheckAboveTheScaleStandsOnTheTopBorder) {
    ChartRun run;
    run.journal({checkOn(1, 2.0f, 250.0f)});
    run.draw();
    const int x = 489;  // noon: the middle of 40..937
    EXPECT_EQ(column(0.5 * day, day), x);
    EXPECT_EQ(run.at(x, upper.top), red) << "dot on the top border";
    EXPECT_EQ(run.at(x, upper.top - 4), red) << "the dot reaches above the frame";
    EXPECT_NE(run.at(x, upper.top - 5), red);
    EXPECT_EQ(run.at(x, upper.top + 100), red) << "bar up from the bottom edge";
    EXPECT_EQ(run.at(x, upper.bottom - 1), red);
    EXPECT_EQ(run.at(x, lowerRow(0.5)), red) << "250 cm of 500";
    EXPECT_EQ(run.at(x, lowerRow(0.5) + 10), red) << "distance bar";
    EXPECT_NE(run.at(x, lowerRow(0.5) - 10), red) << "the bar ends at the dot";
    EXPECT_FALSE(run.colouredBetween(x - 20, upper.top - 5, lower.bottom))
        << "a single check has no joining line";
}

GTEST_TEST(ChartValues, TrainingAboveTheScaleStandsOnTheTopBorder) {
    ChartRun run;
    run.journal({trainingOn(1, 0.8f, 1.0f, 300, 200.0f)});
    run.draw();
    const int x = 489;
    EXPECT_EQ(run.at(x, lower.top), green) << "300 figures clamped to 200";
    EXPECT_EQ(run.at(x, lower.top - 4), green);
    EXPECT_EQ(run.at(x, lower.top + 20), green) << "volume bar";
    EXPECT_EQ(run.at(x - 3, lowerRow(0.2)), black) << "1 s of 5, under the distance bar";
    EXPECT_EQ(run.at(x, lowerRow(0.4)), blue) << "200 cm";
    EXPECT_EQ(run.at(x, upperRow(0.8)), blue);
}

GTEST_TEST(ChartValues, TrainingDotsAreDrawnGreenThenBlackThenBlue) {
    // All three lower values on the top border: the last colour drawn stays.
    {
        ChartRun run;
        run.journal({trainingOn(1, 0.8f, 5.0f, 200, 200.0f)});
        run.draw();
        EXPECT_EQ(run.at(489, lower.top), black) << "mean time over volume";
    }
    {
        ChartRun run;
        run.journal({trainingOn(1, 0.8f, 5.0f, 200, 500.0f)});
        run.draw();
        EXPECT_EQ(run.at(489, lower.top), blue) << "distance over mean time";
    }
}

GTEST_TEST(ChartValues, EachKindJoinsOnlyItsOwnPreviousPoint) {
    ChartRun run;
    run.journal({trainingOn(1, 0.4f, 1.5f, 100, 200.0f), checkOn(2, 1.0f, 400.0f),
                 trainingOn(3, 0.4f, 1.5f, 100, 200.0f)});
    run.draw();
    const double span = 3 * day;
    const int between = column(0.75 * day, span);  // between the first training and the check
    EXPECT_TRUE(run.near(between, upperRow(0.4), blue)) << "acuity line 1 to 3 March";
    EXPECT_TRUE(run.near(between, lowerRow(0.3), black)) << "mean time line";
    EXPECT_FALSE(run.colouredBetween(between, lower.top - 5, lowerRow(0.3) - 2))
        << "volumes and distances are not joined";
    EXPECT_FALSE(run.colouredBetween(between, lowerRow(0.3) + 2, lower.bottom));
    // The first check joins itself: nothing between it and the origin.
    const int checkX = column(1.5 * day, span);
    EXPECT_EQ(run.at(checkX, upperRow(1.0)), red);
    EXPECT_FALSE(run.near((upper.left + checkX) / 2, (upper.bottom + upperRow(1.0)) / 2, red));
}

GTEST_TEST(ChartValues, LineWithBothMarkersDrawsTheCheckThenTheTraining) {
    // A hand-made line holding both markers: both values are read, the training last.
    const std::string line = cp1251(" 01.03.2013г, 12ч  0м  0с,   ОЗи=0.60     ОЗп=0.60") +
                             "      1.50" + "   100" + "   200." + " \r\n";
    ASSERT_EQ(line.size(), 74u + 2u);
    ChartRun run;
    run.journal({line});
    run.draw();
    EXPECT_EQ(run.at(489, upperRow(0.6)), blue) << "training acuity over the check's";
    EXPECT_EQ(run.at(489, lowerRow(0.4)), blue) << "training distance over the check's";
    EXPECT_EQ(run.at(489 - 4, upperRow(0.6)), blue);
    EXPECT_EQ(run.at(489, lowerRow(0.5)), green);
}

GTEST_TEST(ChartValues, CheckLimitedByTheScreenHasAHollowDotAndALegend) {
    auto legendShown = [](const ChartRun& run) {
        for (const TextRecord& t : run.window.texts())
            if (utf8FromCp1251(t.text) == "результат выше точности экрана") return true;
        return false;
    };
    {
        ChartRun run;
        run.journal({checkEntryLine(1, 3, 2013, 12, 0, 0, 1.0f, 200.0f, 0.3f)});
        run.draw();
        const int y = upperRow(1.0);
        EXPECT_EQ(run.at(489, y), white) << "hollow: the value stays, its middle is white";
        EXPECT_EQ(run.at(489 - 5, y), red);
        EXPECT_EQ(run.at(489 + 5, y), red);
        EXPECT_EQ(run.at(489, y + 20), red) << "the bar as for any check";
        EXPECT_TRUE(legendShown(run));
        EXPECT_EQ(run.at(700, 19), white) << "the legend's own hollow dot";
        EXPECT_EQ(run.at(695, 19), red);
    }
    {
        ChartRun run;
        run.journal({checkOn(1, 1.0f)});
        run.draw();
        EXPECT_EQ(run.at(489, upperRow(1.0)), red) << "an unmarked check keeps its filled dot";
        EXPECT_FALSE(legendShown(run));
        EXPECT_EQ(run.at(695, 19), white);
    }
}

GTEST_TEST(ChartValues, CheckIsDrawnWhenTheTrainingOnItsLineCannotBeRead) {
    // Both markers, the training's acuity in asterisks: the check comes first and is drawn,
    // then the reading ends at this line.
    const std::string line = cp1251(" 01.03.2013г, 12ч  0м  0с,   ОЗи=0.60     ОЗп=****") +
                             "      1.50" + "   100" + "   200." + " \r\n";
    ChartRun run;
    run.journal({line, checkOn(2, 1.0f)});
    run.draw();
    const double span = 2 * day;
    EXPECT_EQ(run.at(column(0.5 * day, span), upperRow(0.6)), red);
    EXPECT_EQ(run.at(column(0.5 * day, span), lowerRow(0.4)), red) << "its distance";
    EXPECT_FALSE(run.colouredBetween(column(1.5 * day, span), 0, 649)) << "after it";
    EXPECT_EQ(run.textAtOrNone(200, 626),
              "Чтение журнала остановлено на строке 2: не читаются значения.");
}

// --- Journal files -----------------------------------------------------------------------

GTEST_TEST(ChartJournal, BothHeadersAndAnyFirstLineAreSkipped) {
    const std::vector<std::string> entries{trainingOn(1, 0.5f), checkOn(2, 0.9f)};
    std::vector<Raster> pictures;
    std::vector<std::vector<std::string>> texts;
    for (const std::string& header :
         {trainingHeader(), checkHeader(), std::string(trainingOn(4, 1.0f), 0, 73)}) {
        ChartRun run;
        run.journalBytes(journalOf(entries, header));
        run.draw();
        pictures.push_back(run.picture);
        texts.emplace_back();
        for (const TextRecord& t : run.window.texts()) texts.back().push_back(t.text);
        EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  02.03.2013г, 12час  0мин");
        EXPECT_EQ(run.at(column(0.5 * day, 2 * day), upperRow(0.5)), blue);
    }
    for (size_t i = 1; i < pictures.size(); ++i) {
        EXPECT_TRUE(
            std::equal(pictures[0].data(), pictures[0].data() + 980 * 650, pictures[i].data()))
            << "header " << i;
        EXPECT_EQ(texts[0], texts[i]) << "header " << i;
    }
}

GTEST_TEST(ChartJournal, UnreadableValuesEndTheDrawingButLaterDatesStillCount) {
    ChartRun run;
    run.journal({trainingOn(1, 0.5f), trainingOn(2, 0.6f),
                 trainingOn(3, 12.0f),  // acuity written as asterisks
                 checkOn(6, 1.0f)});
    run.draw();
    EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  06.03.2013г, 12час  0мин");
    EXPECT_EQ(run.dashedColumns(upper), 5);
    const double span = 6 * day;
    EXPECT_EQ(run.at(column(0.5 * day, span), upperRow(0.5)), blue);
    EXPECT_EQ(run.at(column(1.5 * day, span), upperRow(0.6)), blue);
    EXPECT_FALSE(run.colouredBetween(column(2.5 * day, span), 0, 649)) << "the bad line";
    EXPECT_FALSE(run.colouredBetween(column(5.5 * day, span), 0, 649)) << "after it";
}

GTEST_TEST(ChartJournal, UnreadableDateEndsBothPasses) {
    for (const std::string& bad :
         {cp1251(" a1.03.2013г, 12ч  0м  0с,   ОЗи=1.00                                 200.\r\n"),
          checkEntryLine(9, 14, 2013, 12, 0, 0, 1.0f, 200.0f)}) {
        ChartRun run;
        run.journal({trainingOn(1, 0.5f), trainingOn(2, 0.6f), bad, checkOn(9, 1.0f)});
        run.draw();
        EXPECT_EQ(run.textAtOrNone(748, 620), "Конец  02.03.2013г, 12час  0мин");
        EXPECT_EQ(run.dashedColumns(upper), 1) << "two days";
        EXPECT_EQ(run.at(column(1.5 * day, 2 * day), upperRow(0.6)), blue);
        EXPECT_FALSE(run.colouredBetween(upper.right, 0, 649)) << "no clamped later entry";
    }
}

// A Windows-1251 journal as an editor saves it in UTF-8, or with CR alone for line ends.
std::string inUtf8(const std::string& journal) {
    return utf8FromCp1251(journal);
}
std::string withBareCarriageReturns(std::string journal) {
    std::string out;
    for (char c : journal)
        if (c != '\n') out += c;
    return out;
}

GTEST_TEST(ChartJournal, AJournalReadOnlyInPartSaysWhereAndWhyAtTheBottom) {
    const std::vector<std::string> good{trainingOn(1, 0.5f), checkOn(2, 0.6f)};
    std::vector<std::string> badDate = good, badValues = good;
    badDate.push_back(
        cp1251(" a3.03.2013г, 12ч  0м  0с,   ОЗи=1.00                                 200.\r\n"));
    badValues.push_back(trainingOn(3, 12.0f));  // acuity written as asterisks
    struct Case {
        std::string journal;
        std::string note;
    };
    const std::vector<Case> cases{
        {journalOf(badDate), "Чтение журнала остановлено на строке 4: не читаются дата или время."},
        {journalOf(badValues), "Чтение журнала остановлено на строке 4: не читаются значения."},
        {inUtf8(journalOf(good)),
         "Чтение журнала остановлено на строке 2: текст в UTF-8, а не в Windows-1251."},
        {inUtf8(journalOf(good, checkHeader())),
         "Чтение журнала остановлено на строке 2: текст в UTF-8, а не в Windows-1251."},
        {withBareCarriageReturns(journalOf(good)),
         "Чтение журнала остановлено на строке 1: строки кончаются знаком CR без LF."},
    };
    for (const Case& c : cases) {
        ChartRun run;
        run.journalBytes(c.journal);
        run.draw();
        const std::vector<TextRecord>& texts = run.window.texts();
        ASSERT_GE(texts.size(), 2u);
        // The note, then the prompt on the same line in the same small font.
        const TextRecord& note = texts[texts.size() - 2];
        const TextRecord& prompt = texts.back();
        EXPECT_EQ(utf8FromCp1251(note.text), c.note);
        EXPECT_EQ(note.x, 200);
        EXPECT_EQ(note.y, 626);
        EXPECT_EQ(note.colour, static_cast<int32_t>(red));
        EXPECT_EQ(note.font, "t'Times New Roman Cyr'h16w5b");
        EXPECT_EQ(utf8FromCp1251(prompt.text), "  Для продолжения нажмите любую кнопку мыши");
        EXPECT_EQ(prompt.y, 626);
        EXPECT_EQ(prompt.colour, promptRgb);
        EXPECT_EQ(prompt.font, note.font);
        for (const TextRecord& t : texts) EXPECT_NE(t.font, "t'Times New Roman Cyr'h28w9ib");
    }
}

GTEST_TEST(ChartJournal, NoJournalShowsOnlyThePrompt) {
    ChartRun run;
    run.draw();
    ASSERT_EQ(run.window.texts().size(), 1u);
    const TextRecord& prompt = run.window.texts()[0];
    EXPECT_EQ(prompt.x, 265);
    EXPECT_EQ(prompt.y, 621);
    EXPECT_EQ(prompt.font, "t'Times New Roman Cyr'h28w9ib");
    EXPECT_EQ(prompt.colour, promptRgb);
    EXPECT_EQ(utf8FromCp1251(prompt.text), "Для продолжения нажмите любую кнопку мыши");
    for (int y = 0; y < 650; ++y)
        for (int x = 0; x < 980; ++x) ASSERT_EQ(run.at(x, y), white) << x << "," << y;
}

GTEST_TEST(ChartJournal, JournalWithoutEntriesShowsOneEmptyDay) {
    for (const std::string& bytes : {std::string(), trainingHeader() + "\r\n", checkHeader()}) {
        ChartRun run;
        run.journalBytes(bytes);
        run.draw();
        for (const Corners& c : {upper, lower}) {
            EXPECT_EQ(run.at(c.left, c.top), black);
            EXPECT_EQ(run.at(c.right, c.bottom), black);
            EXPECT_EQ(run.at((c.left + c.right) / 2, c.top), black) << "solid frame";
            EXPECT_EQ(run.dashedColumns(c), 0);
        }
        int gridPixels = 0;  // the dashed line at acuity 0.2
        for (int x = upper.left + 1; x < upper.right; ++x)
            gridPixels += run.at(x, upperRow(0.2)) == black;
        EXPECT_GT(gridPixels, 300);
        EXPECT_LT(gridPixels, 600);
        EXPECT_EQ(run.window.texts().size(), 18u + 1u) << "labels and prompt, no dates";
        EXPECT_EQ(run.textAt(10, 620), nullptr);
        EXPECT_EQ(run.textAt(748, 620), nullptr);
        for (int y = 0; y < 650; ++y)
            for (int x = 0; x < 980; ++x) {
                const uint32_t p = run.at(x, y);
                ASSERT_TRUE(p == white || p == black) << x << "," << y;
            }
    }
}

// --- Labels, prompt and the wait ---------------------------------------------------------

// The texts a chart drew with the given wording (UTF-8), in their order.
std::vector<TextRecord> textsSaying(const ChartRun& run, const std::string& utf8) {
    std::vector<TextRecord> found;
    for (const TextRecord& t : run.window.texts())
        if (utf8FromCp1251(t.text) == utf8) found.push_back(t);
    return found;
}

// A chart of a training on 1 March and a check on 2 March, each value at a level of its own.
void drawTrainingAndCheck(ChartRun& run) {
    run.journal({trainingOn(1, 0.5f, 1.5f, 100, 200.0f), checkOn(2, 1.0f, 400.0f)});
    run.draw();
}

GTEST_TEST(ChartTexts, EachLegendAndScaleHasTheColourOfItsCurve) {
    ChartRun run;
    drawTrainingAndCheck(run);
    const int x = column(0.5 * day, 2 * day);  // the training
    const int c = column(1.5 * day, 2 * day);  // the check
    struct Curve {
        const char* legend;
        const char* scale;  // the scale's mark, "" for none
        uint32_t colour;    // of the curve at its value
    };
    const Curve curves[] = {
        {"Острота зрения подтвержденная (на тренировке)", "1.0", run.at(x, upperRow(0.5))},
        {"Острота зрения измеренная", "", run.at(c, upperRow(1.0))},
        {"Объем(200)", "200", run.at(x, lowerRow(0.5))},  // 100 of 200
        // 1.5 s of 5, beside the distance's bar
        {"Среднее_время(5с)", "1с", run.at(x - 3, lowerRow(0.3))},
        {"Дальность подтверждения (тренировки) (5м)", "2м", run.at(x, lowerRow(0.4))},
        {"Дальность измерения (5м)", "2м", run.at(c, lowerRow(0.8))},  // 4 m of 5
    };
    for (const Curve& curve : curves) {
        SCOPED_TRACE(curve.legend);
        EXPECT_NE(curve.colour, white) << "the curve is drawn there";
        const std::vector<TextRecord> legend = textsSaying(run, curve.legend);
        ASSERT_EQ(legend.size(), 1u);
        EXPECT_EQ(static_cast<uint32_t>(legend[0].colour), curve.colour);
        if (*curve.scale == 0) continue;
        bool scaleInColour = false;
        for (const TextRecord& mark : textsSaying(run, curve.scale))
            scaleInColour |= static_cast<uint32_t>(mark.colour) == curve.colour;
        EXPECT_TRUE(scaleInColour) << "a mark " << curve.scale << " in the curve's colour";
    }
}

GTEST_TEST(ChartTexts, ScaleMarksStandLeftOfTheLevelsTheyNameAndLegendsAboveTheRegions) {
    ChartRun run;
    drawTrainingAndCheck(run);
    // A mark's text starts left of the region, its top up to 14 pixels above the level.
    auto expectMark = [&](const std::string& text, int row, int left) {
        SCOPED_TRACE(text);
        const std::vector<TextRecord> marks = textsSaying(run, text);
        ASSERT_FALSE(marks.empty());
        for (const TextRecord& mark : marks) {
            EXPECT_LT(mark.x, left);
            EXPECT_GE(mark.y, row - 14);
            EXPECT_LE(mark.y, row - 5);
        }
    };
    const char* acuity[] = {"0", "0.2", "0.4", "0.6", "0.8", "1.0", "1.2", "1.4"};
    for (int i = 0; i < 8; ++i) expectMark(acuity[i], upperRow(0.2 * i), upper.left);
    expectMark("200", lowerRow(1.0), lower.left);  // volume
    expectMark("2м", lowerRow(0.4), lower.left);   // both distances, of 5 m
    expectMark("1с", lowerRow(0.2), lower.left);   // mean time, of 5 s

    for (const char* legend :
         {"Острота зрения подтвержденная (на тренировке)", "Острота зрения измеренная"}) {
        const std::vector<TextRecord> t = textsSaying(run, legend);
        ASSERT_EQ(t.size(), 1u) << legend;
        EXPECT_LT(t[0].y, upper.top) << legend;
    }
    for (const char* legend :
         {"Объем(200)", "Среднее_время(5с)", "Дальность подтверждения (тренировки) (5м)",
          "Дальность измерения (5м)"}) {
        const std::vector<TextRecord> t = textsSaying(run, legend);
        ASSERT_EQ(t.size(), 1u) << legend;
        EXPECT_GT(t[0].y, upper.bottom) << legend;
        EXPECT_LT(t[0].y, lower.top) << legend;
    }

    // Page units to pixels: x times 980/240, 650 less y times 650/180.
    auto position = [&](const std::string& text, uint32_t colour) {
        for (const TextRecord& t : textsSaying(run, text))
            if (static_cast<uint32_t>(t.colour) == colour) return std::make_pair(t.x, t.y);
        return std::make_pair(-1, -1);
    };
    EXPECT_EQ(position("0", blue), std::make_pair(24, 458));
    EXPECT_EQ(position("1.4", blue), std::make_pair(12, 28));
    EXPECT_EQ(position("200", green), std::make_pair(8, 494));
    EXPECT_EQ(position("Среднее_время(5с)", black), std::make_pair(142, 480));
    EXPECT_EQ(position("2м", red), std::make_pair(0, 556));
}

GTEST_TEST(ChartTexts, LabelsInTheLabelFontThenThePromptLast) {
    ChartRun run;
    drawTrainingAndCheck(run);
    const std::vector<TextRecord>& texts = run.window.texts();
    ASSERT_GE(texts.size(), 2u);
    for (size_t i = 0; i + 1 < texts.size(); ++i) {
        EXPECT_EQ(texts[i].font, labelFont) << utf8FromCp1251(texts[i].text);
        EXPECT_EQ(texts[i].rotation, 0) << utf8FromCp1251(texts[i].text);
    }
    const TextRecord& prompt = texts.back();
    EXPECT_EQ(utf8FromCp1251(prompt.text), "Для продолжения нажмите любую кнопку мыши");
    EXPECT_EQ(prompt.colour, promptRgb);
    EXPECT_EQ(prompt.font, "t'Times New Roman Cyr'h28w9ib");
}

GTEST_TEST(ChartWait, ReturnsOnlyAfterAClickAndLeavesMenuChoicesPending) {
    ChartRun run;
    run.journal({trainingOn(1, 0.5f)});
    eventState.clicked = 1;  // an old click does not count
    run.window.menu(2);
    run.window.close();
    try {
        TRITOUT();
        ADD_FAILURE() << "returned without a click";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    }
    EXPECT_EQ(eventState.menuRequest, 3) << "the menu choice waits for the main program";
    EXPECT_EQ(run.window.focusRequests, 0) << "the window is focused only after the click";
    const Raster picture = run.window.snapshot();
    EXPECT_EQ(picture.pixel(489, upperRow(0.5)), blue) << "drawn before the wait";
}

GTEST_TEST(ChartWait, ClickEndsTheChartWhichStaysOnScreen) {
    ChartRun run;
    run.journal({trainingOn(1, 0.5f)});
    run.draw();
    EXPECT_EQ(eventState.clicked, 0);
    EXPECT_EQ(run.window.focusRequests, 1);
    EXPECT_EQ(run.at(489, upperRow(0.5)), blue);

    // A second call starts afresh: a new journal, a new range.
    run.journal({checkOn(1, 0.5f), checkOn(2, 0.5f)});
    run.draw();
    EXPECT_FALSE(run.near(489, upperRow(0.5), blue)) << "the old chart is cleared";
    EXPECT_EQ(run.at(column(0.5 * day, 2 * day), upperRow(0.5)), red);
}

// --- Drawing without the prompt and the wait ---------------------------------------------

GTEST_TEST(ChartDrawing, DrawsWhatTritoutShowsShortOfThePromptAndReturnsAtOnce) {
    const std::vector<std::string> entries{trainingOn(1, 0.5f), checkOn(2, 0.9f, 300.0f),
                                           trainingOn(4, 0.7f, 2.5f, 150, 250.0f)};
    ChartRun shown;
    shown.journal(entries);
    shown.draw();

    ChartRun drawn;
    drawn.journal(entries);
    drawn.window.close();  // any wait for input would end the run with ProgramExit
    const ChartReading reading = drawProgressChart(journalFileName);
    EXPECT_TRUE(reading.opened);
    EXPECT_EQ(reading.endStatus, LineStatus::ok);
    EXPECT_EQ(drawn.window.focusRequests, 0) << "the window is left as it is";

    const std::vector<TextRecord>& all = shown.window.texts();
    const std::vector<TextRecord>& texts = drawn.window.texts();
    ASSERT_EQ(texts.size() + 1, all.size());
    EXPECT_EQ(all.back().colour, promptRgb) << "only the prompt is left out";
    for (size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].text, all[i].text) << i;
        EXPECT_EQ(texts[i].x, all[i].x) << i;
        EXPECT_EQ(texts[i].y, all[i].y) << i;
        EXPECT_EQ(texts[i].font, all[i].font) << i;
        EXPECT_EQ(texts[i].colour, all[i].colour) << i;
    }
    // Without a text renderer no text reaches the pixels: the pictures are the same.
    const Raster picture = drawn.window.snapshot();
    for (int y = 0; y < 650; ++y)
        for (int x = 0; x < 980; ++x)
            ASSERT_EQ(picture.pixel(x, y), shown.at(x, y)) << x << "," << y;
}

GTEST_TEST(ChartDrawing, ReadsTheJournalAtTheGivenPath) {
    ChartRun run;
    run.journal({checkOn(1, 0.5f)});
    writeBytes("other.rez", journalOf({trainingOn(1, 0.5f), trainingOn(2, 0.6f)}));
    run.window.close();
    drawProgressChart("other.rez");
    const Raster picture = run.window.snapshot();
    EXPECT_EQ(picture.pixel(column(0.5 * day, 2 * day), upperRow(0.5)), blue);
    EXPECT_EQ(picture.pixel(column(1.5 * day, 2 * day), upperRow(0.6)), blue);
    for (int dx = -5; dx <= 5; ++dx)
        EXPECT_NE(picture.pixel(column(0.5 * day, 2 * day) + dx, upperRow(0.5)), red)
            << "nothing of the working directory's journal";
}

GTEST_TEST(ChartDrawing, TellsWhereAndWhyTheReadingEnded) {
    const std::string badDate =
        cp1251(" a1.03.2013г, 12ч  0м  0с,   ОЗи=1.00                                 200.\r\n");
    const std::string badValues = trainingOn(3, 12.0f);  // acuity written as asterisks
    struct Case {
        const char* what;
        std::vector<std::string> entries;
        LineStatus status;
        long line;
    };
    const std::vector<Case> cases{
        {"read to the end", {trainingOn(1, 0.5f), checkOn(2, 0.6f)}, LineStatus::ok, 0},
        {"values",
         {trainingOn(1, 0.5f), checkOn(2, 0.6f), badValues, checkOn(4, 0.6f)},
         LineStatus::badValues,
         4},
        {"date",
         {trainingOn(1, 0.5f), checkOn(2, 0.6f), badDate, checkOn(4, 0.6f)},
         LineStatus::badDate,
         4},
        {"date of the first entry", {badDate, checkOn(4, 0.6f)}, LineStatus::badDate, 2},
        {"values before a date",
         {badValues, trainingOn(1, 0.5f), badDate},
         LineStatus::badValues,
         2},
        {"a CR inside an entry line",
         {trainingOn(1, 0.5f), checkOn(2, 0.6f).substr(0, 74) + "\r" + checkOn(3, 0.6f)},
         LineStatus::bareCarriageReturn,
         3},
    };
    for (const Case& c : cases) {
        ChartRun run;
        run.journal(c.entries);
        run.window.close();
        const ChartReading reading = drawProgressChart(journalFileName);
        EXPECT_TRUE(reading.opened) << c.what;
        EXPECT_EQ(reading.endStatus, c.status) << c.what;
        EXPECT_EQ(reading.endLine, c.line) << c.what;
        EXPECT_EQ(reading.error, 0) << c.what;
    }

    ChartRun missing;
    missing.window.close();
    const ChartReading reading = drawProgressChart(journalFileName);
    EXPECT_FALSE(reading.opened);
    EXPECT_TRUE(missing.window.texts().empty()) << "nothing but the cleared window";
}

GTEST_TEST(ChartDrawing, MonthsOfZeroAndThirteenDoNotEndTheReading) {
    // 31.00.2013 counts as 31 January 2013 and 01.13.2012 as 1 January 2013.
    ChartRun run;
    run.journal({checkEntryLine(31, 0, 2013, 12, 0, 0, 0.5f, 200.0f), checkOn(1, 0.6f),
                 checkEntryLine(1, 13, 2012, 12, 0, 0, 0.7f, 200.0f), checkOn(2, 0.8f)});
    run.window.close();
    const ChartReading reading = drawProgressChart(journalFileName);
    EXPECT_EQ(reading.endStatus, LineStatus::ok);
    EXPECT_EQ(reading.endLine, 0);
    EXPECT_EQ(NDAYS(31, 0, 2013), NDAYS(31, 1, 2013));
    EXPECT_EQ(NDAYS(1, 13, 2012), NDAYS(1, 1, 2013));
}

GTEST_TEST(ChartDrawing, FifoOrDeviceInPlaceOfTheJournalIsNotReadAndSaysWhy) {
    // A FIFO nobody writes to would block the chart; /dev/zero would keep it reading forever.
    ChartRun run;
    ASSERT_EQ(::mkfifo(journalFileName, 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", "zero.rez"), 0);
    for (const char* path : {journalFileName, "zero.rez"}) {
        const testing::ChildResult child = testing::runInChild([path](int) {
            const ChartReading reading = drawProgressChart(path);
            return !reading.opened && reading.error == notRegularFile ? 0 : 1;
        });
        EXPECT_EQ(child.status, 0) << path;
    }
}

// The note and the prompt after it at the bottom of an otherwise empty page.
void expectOnlyTheNote(const ChartRun& run, const std::string& note) {
    const std::vector<TextRecord>& texts = run.window.texts();
    ASSERT_EQ(texts.size(), 2u) << "nothing but the note and the prompt";
    EXPECT_EQ(utf8FromCp1251(texts[0].text), note);
    EXPECT_EQ(texts[0].x, 200);
    EXPECT_EQ(texts[0].y, 626);
    EXPECT_EQ(texts[0].colour, static_cast<int32_t>(red));
    EXPECT_EQ(utf8FromCp1251(texts[1].text), "  Для продолжения нажмите любую кнопку мыши");
}

GTEST_TEST(ChartJournal, JournalThereButNotOpenedSaysWhyInsteadOfAnEmptyPage) {
    struct Case {
        std::string name;
        void (*make)();
        std::string reason;
    };
    const std::vector<Case> cases{
        {"directory", [] { ASSERT_EQ(::mkdir(journalFileName, 0700), 0); }, "это каталог"},
        {"fifo", [] { ASSERT_EQ(::mkfifo(journalFileName, 0600), 0); }, "это не обычный файл"},
        {"loop", [] { ASSERT_EQ(::symlink(journalFileName, journalFileName), 0); },
         "слишком много символических ссылок"},
        {"link to nothing", [] { ASSERT_EQ(::symlink("gone.rez", journalFileName), 0); },
         "символическая ссылка ведёт к несуществующему файлу"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ChartRun run;
        c.make();
        run.draw();
        expectOnlyTheNote(run, "Не удалось открыть журнал trelvan.rez: " + c.reason + ".");
    }
}

GTEST_TEST(ChartJournal, JournalLockedByAnotherProgramSaysSoWithinTheWait) {
    // Another program keeps an exclusive lock: the chart waits its bounded time, then says so
    // on its page. In a child process with a time bound, for a chart that would wait forever.
    ChartRun run;
    run.journal({trainingOn(1, 0.5f)});
    const testing::ChildResult child = testing::runInChild(
        [&run](int out) {
            testing::LockHolder holder(journalFileName, LOCK_EX);
            if (!holder.held()) return 1;
            setLockWait(std::chrono::milliseconds(300));
            run.draw();
            const std::vector<TextRecord>& texts = run.window.texts();
            if (texts.size() != 2) return 2;
            testing::sendText(out, utf8FromCp1251(texts[0].text));
            return 0;
        },
        10);
    ASSERT_EQ(child.status, 0) << child.output;
    const std::string expected = "Журнал занят другой программой: файл trelvan.rez заблокирован";
    EXPECT_EQ(child.output.substr(0, expected.size()), expected) << child.output;
    EXPECT_NE(child.output.find("(процесс "), std::string::npos) << child.output;
    EXPECT_NE(child.output.find(" дольше 1 с."), std::string::npos) << child.output;
}

}  // namespace
}  // namespace trelvan
