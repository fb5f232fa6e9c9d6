// SPDX-License-Identifier: GPL-3.0-or-later
// The page, the colour table, line styles and window activation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "plot_bench.h"

namespace trelvan::plottest {
namespace {

using Names = std::vector<std::string>;

// The RGB integer the window receives for a colour.
int32_t rgbOf(PlotBench& bench, int32_t colour) {
    bench.window.clearRecord();
    SETCOL(colour);
    const auto set = bench.window.named("SETCOLORRGB");
    EXPECT_EQ(set.size(), 1u);
    return set.empty() ? -1 : static_cast<int32_t>(set[0].args[0]);
}

GTEST_TEST(PlotPage, StartUpPageOpensTilesAndClearsTheWindow) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);

    EXPECT_EQ(bench.window.names(), (Names{"OPENUSER", "SETWINDOWCONFIG", "MENUCOMMAND",
                                           "SETBKCOLORRGB", "CLEARSCREEN"}));
    const Call open = bench.window.named("OPENUSER")[0];
    EXPECT_EQ(open.args, (std::vector<int64_t>{1}));
    EXPECT_EQ(open.text, kTitle);
    EXPECT_EQ(bench.window.named("MENUCOMMAND")[0].args, (std::vector<int64_t>{2}));
    EXPECT_EQ(bench.window.named("SETBKCOLORRGB")[0].args, (std::vector<int64_t>{0xFFFFFF}));
    EXPECT_EQ(bench.window.named("CLEARSCREEN")[0].args, (std::vector<int64_t>{0}));

    // Width first in the record although PAGE takes the height first.
    ASSERT_EQ(bench.window.configRequests.size(), 1u);
    const WindowConfig& request = bench.window.configRequests[0];
    EXPECT_EQ(request.numxpixels, 980);
    EXPECT_EQ(request.numypixels, 650);
    EXPECT_EQ(request.numtextcols, -1);
    EXPECT_EQ(request.numtextrows, -1);
    EXPECT_EQ(request.numcolors, -1);
    EXPECT_EQ(request.fontsize, 0);
    EXPECT_EQ(request.bitsperpixel, 0);
    EXPECT_TRUE(request.title.empty());
    EXPECT_TRUE(plotState.windowRequestResult);

    EXPECT_FLOAT_EQ(plotState.GR1[0][0], 240.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[0][1], 180.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[0][2], 980.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[0][3], 650.0f);
    EXPECT_EQ(plotState.pageOpenCount, 1);
    // PAGE leaves the drawing colour to its caller: still colour 0, white.
    EXPECT_EQ(plotState.currentColour, 0);
    EXPECT_EQ(bench.window.count("SETCOLORRGB"), 0u);

    SETCOL(7);
    EXPECT_EQ(plotState.currentColour, 7);
    EXPECT_EQ(bench.window.colour, 0x000000);
    EXPECT_EQ(bench.window.textColour, 0x000000);
}

GTEST_TEST(PlotPage, FirstPageInstallsTheDefaultColours) {
    PlotBench bench;
    // Before any PAGE every colour is black.
    EXPECT_EQ(rgbOf(bench, 0), 0x000000);
    EXPECT_EQ(rgbOf(bench, 15), 0x000000);

    PAGE(1, 650, 980, kTitle);
    const int32_t expected[16] = {0xFFFFFF, 0x0000FF, 0x00B2E5, 0x00FF00, 0xFFFF00, 0xFF0000,
                                  0xE5CC00, 0x000000, 0x595959, 0x0000FF, 0x007F7F, 0x007F00,
                                  0x7F7F00, 0xFF0000, 0xFF00FF, 0xFFFFFF};
    for (int32_t colour = 0; colour < 16; ++colour) {
        EXPECT_EQ(rgbOf(bench, colour), expected[colour]) << "colour " << colour;
        // Graphics and text colour alike.
        EXPECT_EQ(bench.window.named("SETTEXTCOLORRGB")[0].args[0], expected[colour]);
    }
    // Colours never defined stay black.
    for (int32_t colour : {16, 20, 64, 105}) {
        EXPECT_EQ(rgbOf(bench, colour), 0x000000) << "colour " << colour;
    }
    EXPECT_EQ(plotState.currentColour, 105);
}

GTEST_TEST(PlotPage, RefusedWindowRequestIsRepeatedOnceWithTheAdjustedRecord) {
    PlotBench bench;
    bench.window.windowConfigResults = {false};
    PAGE(1, 650, 980, kTitle);
    ASSERT_EQ(bench.window.configRequests.size(), 2u);
    EXPECT_EQ(bench.window.configRequests[1].numxpixels, bench.window.adjustedWidth);
    EXPECT_EQ(bench.window.configRequests[1].numypixels, bench.window.adjustedHeight);
    EXPECT_TRUE(plotState.windowRequestResult);
    // The page keeps the size that was asked for.
    EXPECT_FLOAT_EQ(plotState.GR1[0][2], 980.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[0][3], 650.0f);

    // Refused twice: no third request, and the page is prepared all the same.
    PlotBench again;
    again.window.windowConfigResults = {false, false, false};
    PAGE(1, 650, 980, kTitle);
    EXPECT_EQ(again.window.configRequests.size(), 2u);
    EXPECT_FALSE(plotState.windowRequestResult);
    EXPECT_EQ(again.window.count("MENUCOMMAND"), 1u);
    EXPECT_EQ(again.window.count("CLEARSCREEN"), 1u);
}

GTEST_TEST(PlotPage, LaterPagesKeepTheColourTableAndTileOnlyUnitOne) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);
    COLOR(20, 0.2f, 0.4f, 0.6f);
    COLOR(3, 1.0f, 1.0f, 0.0f);  // a redefined default colour stays redefined
    bench.window.clearRecord();

    PAGE(2, 300, 400, "second");
    EXPECT_EQ(bench.window.names(),
              (Names{"OPENUSER", "SETWINDOWCONFIG", "SETBKCOLORRGB", "CLEARSCREEN"}));
    EXPECT_FLOAT_EQ(plotState.GR1[1][0], 240.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[1][1], 180.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[1][2], 400.0f);
    EXPECT_FLOAT_EQ(plotState.GR1[1][3], 300.0f);
    // Unit 1 keeps its entries.
    EXPECT_FLOAT_EQ(plotState.GR1[0][2], 980.0f);
    EXPECT_EQ(plotState.pageOpenCount, 2);
    EXPECT_FLOAT_EQ(plotState.COLDIM[20][0], 0.2f);
    EXPECT_FLOAT_EQ(plotState.COLDIM[20][1], 0.4f);
    EXPECT_FLOAT_EQ(plotState.COLDIM[20][2], 0.6f);
    EXPECT_EQ(rgbOf(bench, 3), 0x00FFFF);

    bench.window.clearRecord();
    PAGE(1, 650, 980, kTitle);
    EXPECT_EQ(bench.window.count("MENUCOMMAND"), 1u);
    EXPECT_EQ(bench.window.count("CLEARSCREEN"), 1u);
    EXPECT_EQ(rgbOf(bench, 3), 0x00FFFF);
}

GTEST_TEST(PlotColour, ComponentsAreTruncatedNotRounded) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);
    // 0.9 x 255 = 229.5 and 0.7 x 255 = 178.5 both truncate.
    EXPECT_EQ(rgbOf(bench, 2), 0x00B2E5);
    // 0.35 x 255 = 89.25.
    EXPECT_EQ(rgbOf(bench, 8), 0x595959);

    COLOR(30, 0.999f, 0.003f, 0.5f);
    EXPECT_EQ(rgbOf(bench, 30), 0x7F00FE);
}

GTEST_TEST(PlotColour, ColorClampsComponentsAndWaitsForSetcol) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);
    SETCOL(7);
    bench.window.clearRecord();

    COLOR(20, 1.5f, -0.2f, 0.5f);
    EXPECT_TRUE(bench.window.calls.empty());
    EXPECT_EQ(plotState.COLDIM[20][0], 1.0f);
    EXPECT_EQ(plotState.COLDIM[20][1], 0.0f);
    EXPECT_EQ(plotState.COLDIM[20][2], 0.5f);
    EXPECT_EQ(plotState.currentColour, 7);
    EXPECT_EQ(rgbOf(bench, 20), 0x7F00FF);

    // A component that is not a number counts as 0.
    COLOR(21, std::numeric_limits<float>::quiet_NaN(), 1.0f, 2.0f);
    EXPECT_EQ(plotState.COLDIM[21][0], 0.0f);
    EXPECT_EQ(rgbOf(bench, 21), 0xFFFF00);

    // The table ends are usable.
    COLOR(0, 0.0f, 0.0f, 0.0f);
    COLOR(105, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(rgbOf(bench, 0), 0x000000);
    EXPECT_EQ(rgbOf(bench, 105), 0xFFFFFF);
}

// A chart changes between a few colours all the time; each keeps following the table however
// it is changed in between.
GTEST_TEST(PlotColour, AlternatingColoursFollowEveryChangeOfTheTable) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);
    for (int turn = 0; turn < 3; ++turn) {
        EXPECT_EQ(rgbOf(bench, 1), 0x0000FF);
        EXPECT_EQ(rgbOf(bench, 3), 0x00FF00);
        EXPECT_EQ(rgbOf(bench, 5), 0xFF0000);
    }
    COLOR(3, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(rgbOf(bench, 1), 0x0000FF);
    EXPECT_EQ(rgbOf(bench, 3), 0x7F7F7F);
    plotState.COLDIM[1][2] = 1.0f;  // a direct write to the table
    EXPECT_EQ(rgbOf(bench, 1), 0xFF00FF);
    EXPECT_EQ(rgbOf(bench, 3), 0x7F7F7F);
    // Bit for bit: a negative zero is another value of the table, though the same colour.
    plotState.COLDIM[5][0] = -0.0f;
    EXPECT_EQ(rgbOf(bench, 5), 0xFF0000);
}

GTEST_TEST(PlotPage, AWindowThatCannotBeOpenedStopsTheProgram) {
    PlotBench bench;
    bench.window.openResult = -1;
    EXPECT_EQ(bench.stopMessage([] { PAGE(1, 650, 980, kTitle); }),
              "Не удалось открыть графическое окно (unit 1)");
    EXPECT_EQ(bench.window.count("SETWINDOWCONFIG"), 0u) << "nothing after the failed open";
    EXPECT_EQ(plotState.pageOpenCount, 0);
}

GTEST_TEST(PlotColour, IndicesOutsideTheTablesStopTheProgram) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);
    SETCOL(5);
    bench.window.clearRecord();

    for (int32_t colour : {-1, 106, std::numeric_limits<int32_t>::max()}) {
        EXPECT_NE(bench.stopMessage([&] { SETCOL(colour); }).find("COLDIM"), std::string::npos);
        EXPECT_NE(bench.stopMessage([&] { COLOR(colour, 1, 1, 1); }).find("COLDIM"),
                  std::string::npos);
    }
    // COLDIM(component, colour + 1): the colour is the second subscript.
    EXPECT_EQ(bench.stopMessage([&] { SETCOL(106); }),
              "Subscript #2 of the array COLDIM has value 107 which is greater than the upper "
              "bound of 106");
    EXPECT_TRUE(bench.window.calls.empty());
    EXPECT_EQ(plotState.currentColour, 5);

    for (int32_t unit : {0, -1, 101}) {
        EXPECT_NE(bench.stopMessage([&] { PAGE(unit, 650, 980, kTitle); }).find("GR1"),
                  std::string::npos);
    }
    // Nothing was opened for the bad units.
    EXPECT_EQ(bench.window.count("OPENUSER"), 0u);
    EXPECT_EQ(plotState.pageOpenCount, 1);

    EXPECT_EQ(bench.stopMessage([&] { PAGE(100, 10, 10, "last"); }), "");
    EXPECT_FLOAT_EQ(plotState.GR1[99][2], 10.0f);
}

GTEST_TEST(PlotLineStyle, EveryStyleStartsFromSolid) {
    PlotBench bench;
    const struct {
        int32_t style;
        std::vector<int64_t> masks;
    } cases[] = {
        {0, {0xFFFF}},         {1, {0xFFFF, 0xFFFF}}, {2, {0xFFFF, 0xFF00}}, {3, {0xFFFF, 0xF0F0}},
        {4, {0xFFFF, 0xCCCC}}, {5, {0xFFFF}},         {-3, {0xFFFF}},
    };
    for (const auto& c : cases) {
        bench.window.clearRecord();
        SETLIN(3);  // leave a dashed style behind first
        bench.window.clearRecord();
        SETLIN(c.style);
        std::vector<int64_t> masks;
        for (const Call& call : bench.window.calls) {
            ASSERT_EQ(call.name, "SETLINESTYLE");
            masks.push_back(call.args[0]);
        }
        EXPECT_EQ(masks, c.masks) << "style " << c.style;
        EXPECT_EQ(bench.window.lineStyle, c.masks.back()) << "style " << c.style;
    }
}

GTEST_TEST(PlotActivation, ZeroLeavesActiveWindowOrFocusAlone) {
    PlotBench bench;
    ACTIV(0, 0);
    EXPECT_TRUE(bench.window.calls.empty());

    ACTIV(1, 0);
    EXPECT_EQ(bench.window.calls, (std::vector<Call>{{"SETACTIVEUNIT", {1}, ""}}));

    bench.window.clearRecord();
    ACTIV(0, 3);
    EXPECT_EQ(bench.window.calls, (std::vector<Call>{{"FOCUSQQ", {3}, ""}}));

    bench.window.clearRecord();
    ACTIV(1, 1);
    EXPECT_EQ(bench.window.calls,
              (std::vector<Call>{{"SETACTIVEUNIT", {1}, ""}, {"FOCUSQQ", {1}, ""}}));
}

GTEST_TEST(PlotActivation, RefusedRequestsAreRepeatedButNotForEver) {
    PlotBench bench;
    // Activation succeeds with a non-zero result, focus with zero.
    bench.window.activeUnitResults = {0, 0, 7};
    bench.window.focusResults = {-1, 0};
    ACTIV(1, 1);
    EXPECT_EQ(bench.window.count("SETACTIVEUNIT"), 3u);
    EXPECT_EQ(bench.window.count("FOCUSQQ"), 2u);

    // A unit that never opens: a bounded number of tries, then ACTIV returns.
    bench.window.clearRecord();
    bench.window.activeUnitResults.assign(1000, 0);
    bench.window.focusResults.assign(1000, -1);
    ACTIV(42, 42);
    const size_t activations = bench.window.count("SETACTIVEUNIT");
    const size_t focuses = bench.window.count("FOCUSQQ");
    EXPECT_GE(activations, 2u);
    EXPECT_LE(activations, 10u);
    EXPECT_GE(focuses, 2u);
    EXPECT_LE(focuses, 10u);
    // Activation is given up before the focus is asked for.
    EXPECT_EQ(bench.window.calls[activations].name, "FOCUSQQ");
}

}  // namespace
}  // namespace trelvan::plottest
