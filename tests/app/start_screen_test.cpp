// SPDX-License-Identifier: GPL-3.0-or-later
// The start-screen picture on both drawing paths (composed in the memory image and shown at
// once, or drawn on the window run by run and pixel by pixel), its timing, and when the size
// on show changes.
#include "app/start_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/symbols.h"
#include "program_harness.h"
#include "support/picture_rules.h"

namespace trelvan::testing {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kBefore = 0x123456;  // what the window showed before the step

struct Cell {
    int row;
    int col;
};

void setFigure(int k, const std::vector<Cell>& cells) {
    symbolTable.NOTDIM[k - 1] = static_cast<int32_t>(cells.size());
    for (size_t j = 1; j <= cells.size(); ++j) {
        symbolTable.IJNOT(static_cast<int>(j), 1, k) = cells[j - 1].row;
        symbolTable.IJNOT(static_cast<int>(j), 2, k) = cells[j - 1].col;
    }
}

// Figures with cells overlapping each other and reaching over the left, right and bottom
// edges of a 980 by 650 window.
void setEdgeFigures() {
    setFigure(2, {{30, 0}, {30, 4}, {31, 1}, {646, 0}, {300, 527}, {-2, -25}});
    setFigure(3, {{40, 0}, {40, 6}, {43, 3}, {644, 30}, {100, 527}, {10, -21}});
    setFigure(9, {{50, 0}, {50, 18}, {59, 9}, {640, 40}, {200, 520}, {0, -27}});
}

// Where the figure of size k goes: 450 or 20 pixels in, on whole elements.
int figureOffset(int k, bool right) {
    return static_cast<int>((right ? 450.0f : 20.0f) / static_cast<float>(k)) * k;
}

// The side the next step puts its figure on; the generator is left where it is.
bool nextSideRight() {
    const Ran11State saved = ran11State;
    const bool right = RAN11() > 0.5f;
    ran11State = saved;
    return right;
}

struct Step {
    Raster picture{0, 0};
    std::vector<double> sleeps;
    double elapsed = 0;
};

// One start-screen step of size k on a fresh window that showed kBefore, with no user, in
// the program state the test has set up.
Step step(int k, int bitsPerPixel, int width = 980) {
    HeadlessWindow window;
    window.setBitsPerPixel(bitsPerPixel);
    window.OPENUSER(1, "start");
    WindowConfig config;
    config.numxpixels = static_cast<int16_t>(width);
    config.numypixels = 650;
    window.SETWINDOWCONFIG(config);
    window.SETCOLORRGB(static_cast<int32_t>(kBefore));
    window.RECTANGLE(GFILLINTERIOR, 0, 0, static_cast<int16_t>(width - 1), 649);
    setGraphicsWindow(&window);
    programState.windowWidth = static_cast<int16_t>(width);
    programState.windowHeight = 650;
    const StepOutcome outcome = startScreenStep(k);
    setGraphicsWindow(nullptr);
    EXPECT_EQ(outcome, StepOutcome::done);
    EXPECT_EQ(programState.currentSize, k);
    return Step{window.snapshot(), window.sleeps(), window.elapsed()};
}

// The generator runs on from step to step, so the figures of the three sizes land on both
// sides.
GTEST_TEST(StartScreenPicture, ComposedPictureFollowsTheRulesAndIsBlackWhereNothingLies) {
    FreshProgram fresh;
    setEdgeFigures();
    for (int k : {2, 3, 9}) {
        const int xoff = figureOffset(k, nextSideRight());
        const Raster picture = step(k, 32).picture;
        ASSERT_EQ(picture.width(), 980);
        ASSERT_EQ(picture.height(), 650);
        expectRuledPicture(picture, symbolTable, k, xoff, kBlack);
    }
}

GTEST_TEST(StartScreenPicture, DirectPictureFollowsTheRulesAndLeavesTheRestAlone) {
    FreshProgram fresh;
    setEdgeFigures();
    for (int k : {2, 3, 9}) {
        const int xoff = figureOffset(k, nextSideRight());
        expectRuledPicture(step(k, 24).picture, symbolTable, k, xoff, kBefore);
    }
}

GTEST_TEST(StartScreenPicture, FigureOnTheRightStartsAtTheRoundedOffset) {
    FreshProgram fresh;
    setFigure(7, {{100, 0}});
    RAN11();
    RAN11();  // the third value, 0.5118, puts the figure on the right
    const Raster picture = step(7, 32).picture;
    // xoff = trunc(450 / 7) * 7 = 448: the cell starts at column 449, row 101.
    for (int t = 1; t <= 14; ++t) {
        for (int u = 1; u <= 14; ++u) {
            const bool white = (t <= 7) == (u <= 7);
            ASSERT_EQ(picture.pixel(448 + t, 100 + u), white ? kWhite : kBlack) << t << "," << u;
        }
    }
}

GTEST_TEST(StartScreenPicture, TextureEdgesAtSizesTwoAndNine) {
    FreshProgram fresh;  // no figure cells
    const Raster two = step(2, 32).picture;
    EXPECT_EQ(two.pixel(0, 0), kBlack) << "column 0 belongs to no cell (black when composed)";
    EXPECT_EQ(two.pixel(1, 0), kWhite);
    EXPECT_EQ(two.pixel(2, 0), kWhite);
    EXPECT_EQ(two.pixel(3, 0), kBlack);
    EXPECT_EQ(two.pixel(4, 0), kBlack);
    EXPECT_EQ(two.pixel(979, 0), kBlack);  // cell 490 holds pixels 979 and 980
    EXPECT_EQ(two.pixel(979, 1), kWhite);
    EXPECT_EQ(two.pixel(1, 1), kBlack);
    EXPECT_EQ(two.pixel(2, 1), kBlack);
    EXPECT_EQ(two.pixel(3, 1), kWhite);

    const Raster nine = step(9, 32).picture;
    for (int y : {0, 1, 649})
        for (int x = 973; x <= 979; ++x) EXPECT_EQ(nine.pixel(x, y), kBlack) << x << ", " << y;
    EXPECT_EQ(nine.pixel(972, 1), kWhite);  // cell 108, odd with row 1
    EXPECT_EQ(nine.pixel(972, 0), kBlack);
}

// Composed: grey for one second, then the picture at once, then at least five seconds on
// show. Drawn directly: no grey pause.
GTEST_TEST(StartScreenPicture, GreyPauseOnlyWhenComposedThenFiveSecondsOnShow) {
    FreshProgram fresh;
    const Step composed = step(2, 32);
    ASSERT_GE(composed.sleeps.size(), 26u);
    EXPECT_DOUBLE_EQ(composed.sleeps.front(), 1.0) << "grey pause before composing";
    EXPECT_GE(composed.elapsed, 6.0);
    EXPECT_LT(composed.elapsed, 6.3);

    const Step drawn = step(2, 24);
    ASSERT_FALSE(drawn.sleeps.empty());
    EXPECT_NE(drawn.sleeps.front(), 1.0) << "no grey pause when drawing directly";
    EXPECT_GE(drawn.elapsed, 5.0);
}

GTEST_TEST(StartScreenPicture, WindowOfTheComposedImageSizeInAnotherLayoutIsDrawnDirectly) {
    // 1960 by 650 at 16 bits per pixel has the image size of the composed window, 2548054
    // bytes, but the composition writes 4 bytes per pixel.
    FreshProgram fresh;
    setEdgeFigures();
    const int xoff = figureOffset(3, nextSideRight());
    HeadlessWindow probe;
    probe.setBitsPerPixel(16);
    probe.OPENUSER(1, "probe");
    ASSERT_EQ(probe.IMAGESIZE(0, 0, 1959, 649), 2548054);
    const Raster picture = step(3, 16, 1960).picture;
    ASSERT_EQ(picture.width(), 1960);
    expectRuledPicture(picture, symbolTable, 3, xoff, kBefore);
}

GTEST_TEST(StartScreenPicture, ShippedFiguresComposedAsDrawnDirectly) {
    FreshProgram fresh;
    loadSymbolTable(std::string(TRELVAN_SOURCE_DIR) + "/resources/trelvan.sym", symbolTable);
    for (int k = 2; k <= 9; ++k) {
        const Ran11State before = ran11State;  // both paths put the figure on the same side
        const Raster composed = step(k, 32).picture;
        ran11State = before;
        const Raster direct = step(k, 24).picture;
        const int covered = 980 / k * k;
        int differing = 0;
        for (int y = 0; y < 650; ++y)
            for (int x = 1; x <= std::min(covered, 979); ++x)
                differing += composed.pixel(x, y) != direct.pixel(x, y);
        EXPECT_EQ(differing, 0) << "k " << k;
    }
}

GTEST_TEST(StartScreenInProgram, ClickDuringTheGreyPauseTrainsWithThePreviousSize) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    // Size 2 is on show from 1 s to 6 s; size 3 starts with its grey pause at 6 s.
    w.click(1, 6.5);
    w.menu(1);  // "Выход" at the training's first answer wait
    ProgramExit e = run.run(60.0);
    EXPECT_EQ(e.status, 0);
    Raster r = w.snapshot();
    // The training's field shows the texture of size 2 (runs of two pixels from column 1;
    // in row 21 run 1 is black), not of size 3.
    EXPECT_EQ(r.pixel(500, 15), 0x00FF00u) << "status bar green: the answer wait";
    EXPECT_EQ(r.pixel(1, 21), kBlack);
    EXPECT_EQ(r.pixel(2, 21), kBlack);
    EXPECT_EQ(r.pixel(3, 21), kWhite);
    EXPECT_EQ(r.pixel(4, 21), kWhite);
    EXPECT_EQ(r.pixel(5, 21), kBlack);
}

}  // namespace
}  // namespace trelvan::testing
