// SPDX-License-Identifier: GPL-3.0-or-later
// The start-screen picture: texture and figure rules on both drawing paths, and when the size
// on show changes.
#include "app/start_screen.h"

#include <gtest/gtest.h>

#include <memory>

#include "app/symbols.h"
#include "program_harness.h"

namespace trelvan::testing {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;

// A headless window of the given size and depth, white, with a figure table of our own.
class StartScreen : public ::testing::Test {
  protected:
    void open(int w, int h, int bits = 32) {
        holder = std::make_unique<HeadlessWindow>();
        HeadlessWindow& window = *holder;
        resetEventState();
        resetRan11();
        parameterSet = ParameterSet{};
        setGraphicsWindow(&window);
        window.setBitsPerPixel(bits);
        window.OPENUSER(1, "t");
        WindowConfig c;
        c.numxpixels = static_cast<int16_t>(w);
        c.numypixels = static_cast<int16_t>(h);
        window.SETWINDOWCONFIG(c);
        window.SETBKCOLORRGB(kWhite);
        window.CLEARSCREEN(GCLEARSCREEN);
        windowWidth = static_cast<int16_t>(w);
        windowHeight = static_cast<int16_t>(h);
        symbolTable = SymbolTable{};
    }
    void TearDown() override { setGraphicsWindow(nullptr); }
    HeadlessWindow& w() { return *holder; }

    void cell(int k, int row, int column) {
        int j = ++symbolTable.NOTDIM[k - 1];
        symbolTable.IJNOT(j, 1, k) = row;
        symbolTable.IJNOT(j, 2, k) = column;
    }

    std::unique_ptr<HeadlessWindow> holder;
};

TEST_F(StartScreen, SizeTwoRowsAlternateFromColumnOne) {
    open(980, 650);
    EXPECT_EQ(startScreenStep(2), StepOutcome::done);
    Raster r = w().snapshot();
    EXPECT_EQ(r.pixel(0, 0), kBlack) << "column 0 belongs to no cell (black when composed)";
    EXPECT_EQ(r.pixel(1, 0), kWhite);
    EXPECT_EQ(r.pixel(2, 0), kWhite);
    EXPECT_EQ(r.pixel(3, 0), kBlack);
    EXPECT_EQ(r.pixel(4, 0), kBlack);
    EXPECT_EQ(r.pixel(979, 0), kBlack) << "cell 490 (even + 0) is black";
    EXPECT_EQ(r.pixel(1, 1), kBlack);
    EXPECT_EQ(r.pixel(2, 1), kBlack);
    EXPECT_EQ(r.pixel(3, 1), kWhite);
    EXPECT_EQ(currentSize, 2);
    // Grey for one second, then the picture, then at least five seconds on show.
    EXPECT_GE(w().elapsed(), 6.0);
    EXPECT_LT(w().elapsed(), 6.3);
}

TEST_F(StartScreen, SizeNineLeavesTheRightMarginBlack) {
    open(980, 650);
    startScreenStep(9);
    Raster r = w().snapshot();
    for (int y = 0; y < 4; ++y) {
        // Cell 108 covers columns 964 to 972: white when 108 + y is odd.
        EXPECT_EQ(r.pixel(972, y), y % 2 == 1 ? kWhite : kBlack);
        for (int x = 973; x < 980; ++x) EXPECT_EQ(r.pixel(x, y), kBlack) << x;
    }
}

TEST_F(StartScreen, FigureCellIsATwoByTwoChecker) {
    open(980, 650);
    cell(3, 0, 0);
    startScreenStep(3);  // the first random value is small: the figure goes left, xoff 18
    Raster r = w().snapshot();
    for (int y = 1; y <= 6; ++y) {
        for (int x = 19; x <= 24; ++x) {
            bool white = (x <= 21) == (y <= 3);
            EXPECT_EQ(r.pixel(x, y), white ? kWhite : kBlack) << x << "," << y;
        }
    }
}

TEST_F(StartScreen, RightSideUsesTheRoundedOffset) {
    open(980, 650);
    cell(7, 100, 0);
    resetRan11();
    RAN11();
    RAN11();  // the third value, 0.5118, puts the figure on the right
    startScreenStep(7);
    Raster r = w().snapshot();
    // xoff = trunc(450 / 7) * 7 = 448: the cell starts at column 449, row 101.
    for (int t = 1; t <= 14; ++t) {
        for (int u = 1; u <= 14; ++u) {
            bool white = (t <= 7) == (u <= 7);
            ASSERT_EQ(r.pixel(448 + t, 100 + u), white ? kWhite : kBlack) << t << "," << u;
        }
    }
}

TEST_F(StartScreen, NoCellsShowsTheTextureOnly) {
    open(980, 650);
    startScreenStep(4);
    Raster r = w().snapshot();
    for (int y = 0; y < 650; y += 7)
        for (int x = 1; x <= 980 - 4; x += 3) {
            int c = (x - 1) / 4 + 1;
            ASSERT_EQ(r.pixel(x, y), (c + y) % 2 == 1 ? kWhite : kBlack) << x << "," << y;
        }
}

// The direct path (any window whose image is not the composed layout) gives the same pixels
// for everything that belongs to the texture or the figure.
TEST_F(StartScreen, BothPathsDrawTheSamePicture) {
    for (int k : {2, 5, 9}) {
        open(980, 650, 32);
        cell(k, 40, 4 * k);
        cell(k, 40 + 2 * k, 4 * k);
        cell(k, 600, 980);  // partly outside the window: clipped on both paths
        startScreenStep(k);
        Raster composed = w().snapshot();
        EXPECT_GE(w().sleeps().size(), 26u);
        EXPECT_DOUBLE_EQ(w().sleeps().front(), 1.0) << "grey pause before composing";

        open(980, 650, 24);  // a fresh window for the direct path
        cell(k, 40, 4 * k);
        cell(k, 40 + 2 * k, 4 * k);
        cell(k, 600, 980);
        startScreenStep(k);
        Raster drawn = w().snapshot();
        EXPECT_NE(w().sleeps().front(), 1.0) << "no grey pause when drawing directly";

        const int cells = 980 / k;
        for (int y = 0; y < 650; ++y) {
            for (int x = 1; x <= cells * k && x < 980; ++x)
                ASSERT_EQ(composed.pixel(x, y), drawn.pixel(x, y))
                    << "k " << k << " " << x << "," << y;
            EXPECT_EQ(drawn.pixel(0, y), kWhite) << "direct drawing leaves column 0 alone";
        }
    }
}

TEST_F(StartScreen, OtherLayoutOfTheComposedSizeIsDrawnDirectly) {
    // 1306 pixels at 24 bits make an image of the composed size with another layout.
    open(1306, 650, 24);
    ASSERT_EQ(w().IMAGESIZE(0, 0, 1305, 649), 2548054);
    startScreenStep(2);
    Raster r = w().snapshot();
    EXPECT_EQ(r.pixel(0, 0), kWhite) << "drawn directly: column 0 untouched";
    EXPECT_EQ(r.pixel(1301, 0), kWhite);
}

GTEST_TEST(StartScreenInProgram, ClickDuringTheGreyPauseTrainsWithThePreviousSize) {
    WorkDir dir;
    ProgramRun run;
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
