// SPDX-License-Identifier: GPL-3.0-or-later
// The start-screen picture on both drawing paths: composed in the memory image and shown at
// once, or drawn on the window run by run and pixel by pixel.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/event_state.h"
#include "app/start_screen.h"
#include "app/symbols.h"
#include "exercise/random.h"
#include "platform/headless_window.h"

namespace trelvan {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kBefore = 0x123456;  // what the window showed before the step

struct Cell {
    int row;
    int col;
};

// Figures with cells overlapping each other and reaching over the left, right and bottom
// edges of a 980 by 650 window.
SymbolTable edgeFigures() {
    SymbolTable table;
    auto set = [&](int k, const std::vector<Cell>& cells) {
        table.NOTDIM[k - 1] = static_cast<int32_t>(cells.size());
        for (size_t j = 1; j <= cells.size(); ++j) {
            table.IJNOT(static_cast<int>(j), 1, k) = cells[j - 1].row;
            table.IJNOT(static_cast<int>(j), 2, k) = cells[j - 1].col;
        }
    };
    set(2, {{30, 0}, {30, 4}, {31, 1}, {646, 0}, {300, 527}, {-2, -25}});
    set(3, {{40, 0}, {40, 6}, {43, 3}, {644, 30}, {100, 527}, {10, -21}});
    set(9, {{50, 0}, {50, 18}, {59, 9}, {640, 40}, {200, 520}, {0, -27}});
    return table;
}

// The colour the rules give pixel (x, y); nothing for the pixels of neither texture nor
// figure (column 0 and the right margin).
std::optional<uint32_t> ruledPixel(const SymbolTable& table, int k, int xoff, int width, int x,
                                   int y) {
    for (int j = table.NOTDIM[k - 1]; j >= 1; --j) {
        const int t = x - xoff - table.IJNOT(j, 2, k);
        const int u = y - table.IJNOT(j, 1, k);
        if (t >= 1 && t <= 2 * k && u >= 1 && u <= 2 * k)
            return (t <= k) == (u <= k) ? kWhite : kBlack;
    }
    const int cells = width / k;
    if (x < 1 || x > cells * k) return std::nullopt;
    return ((x - 1) / k + 1 + y) % 2 != 0 ? kWhite : kBlack;
}

bool firstSideRight() {
    resetRan11();
    const bool right = RAN11() > 0.5f;
    resetRan11();
    return right;
}

// One start-screen step of size k on a fresh window that showed kBefore, with no user.
Raster stepPicture(int k, int bitsPerPixel, const SymbolTable& figures, int width = 980) {
    resetEventState();
    resetRan11();
    symbolTable = figures;
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
    windowWidth = static_cast<int16_t>(width);
    windowHeight = 650;
    const StepOutcome outcome = startScreenStep(k);
    setGraphicsWindow(nullptr);
    EXPECT_EQ(outcome, StepOutcome::done);
    EXPECT_EQ(currentSize, k);
    return window.snapshot();
}

void expectRuledPicture(const Raster& picture, const SymbolTable& figures, int k, int xoff,
                        uint32_t uncovered) {
    int wrong = 0;
    std::string first;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const uint32_t expected =
                ruledPixel(figures, k, xoff, picture.width(), x, y).value_or(uncovered);
            if (picture.pixel(x, y) != expected && wrong++ == 0)
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    }
    EXPECT_EQ(wrong, 0) << "k " << k << ", first at " << first;
}

int figureOffset(int k, bool right) {
    return static_cast<int>((right ? 450.0f : 20.0f) / static_cast<float>(k)) * k;
}

GTEST_TEST(StartScreenPicture, ComposedPictureFollowsTheRulesAndIsBlackWhereNothingLies) {
    auto figures = std::make_unique<SymbolTable>(edgeFigures());
    const bool right = firstSideRight();
    for (int k : {2, 3, 9}) {
        const Raster picture = stepPicture(k, 32, *figures);
        ASSERT_EQ(picture.width(), 980);
        ASSERT_EQ(picture.height(), 650);
        expectRuledPicture(picture, *figures, k, figureOffset(k, right), kBlack);
    }
}

GTEST_TEST(StartScreenPicture, DirectPictureFollowsTheRulesAndLeavesTheRestAlone) {
    auto figures = std::make_unique<SymbolTable>(edgeFigures());
    const bool right = firstSideRight();
    for (int k : {2, 3, 9}) {
        const Raster picture = stepPicture(k, 24, *figures);
        expectRuledPicture(picture, *figures, k, figureOffset(k, right), kBefore);
    }
}

GTEST_TEST(StartScreenPicture, SixteenBitWindowOfTheComposedImageSizeIsDrawnDirectly) {
    // 1960 by 650 at 16 bits per pixel has the image size of the composed window, 2548054
    // bytes, but the composition writes 4 bytes per pixel.
    auto figures = std::make_unique<SymbolTable>(edgeFigures());
    const bool right = firstSideRight();
    const Raster picture = stepPicture(3, 16, *figures, 1960);
    ASSERT_EQ(picture.width(), 1960);
    expectRuledPicture(picture, *figures, 3, figureOffset(3, right), kBefore);
}

GTEST_TEST(StartScreenPicture, TextureEdgesAtSizesTwoAndNine) {
    auto figures = std::make_unique<SymbolTable>();  // no figure cells
    const Raster two = stepPicture(2, 32, *figures);
    EXPECT_EQ(two.pixel(0, 0), kBlack);
    EXPECT_EQ(two.pixel(1, 0), kWhite);
    EXPECT_EQ(two.pixel(2, 0), kWhite);
    EXPECT_EQ(two.pixel(3, 0), kBlack);
    EXPECT_EQ(two.pixel(4, 0), kBlack);
    EXPECT_EQ(two.pixel(979, 0), kBlack);  // cell 490 holds pixels 979 and 980
    EXPECT_EQ(two.pixel(979, 1), kWhite);
    EXPECT_EQ(two.pixel(1, 1), kBlack);
    EXPECT_EQ(two.pixel(2, 1), kBlack);
    EXPECT_EQ(two.pixel(3, 1), kWhite);

    const Raster nine = stepPicture(9, 32, *figures);
    for (int y : {0, 1, 649})
        for (int x = 973; x <= 979; ++x) EXPECT_EQ(nine.pixel(x, y), kBlack) << x << ", " << y;
    EXPECT_EQ(nine.pixel(972, 1), kWhite);  // cell 108, odd with row 1
    EXPECT_EQ(nine.pixel(972, 0), kBlack);
}

GTEST_TEST(StartScreenPicture, ShippedFiguresComposedAsDrawnDirectly) {
    auto figures = std::make_unique<SymbolTable>();
    loadSymbolTable(std::string(TRELVAN_SOURCE_DIR) + "/resources/trelvan.sym", *figures);
    for (int k = 2; k <= 9; ++k) {
        const Raster composed = stepPicture(k, 32, *figures);
        const Raster direct = stepPicture(k, 24, *figures);
        const int covered = 980 / k * k;
        int differing = 0;
        for (int y = 0; y < 650; ++y)
            for (int x = 1; x <= std::min(covered, 979); ++x)
                differing += composed.pixel(x, y) != direct.pixel(x, y);
        EXPECT_EQ(differing, 0) << "k " << k;
    }
}

}  // namespace
}  // namespace trelvan
