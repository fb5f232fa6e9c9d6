// SPDX-License-Identifier: GPL-3.0-or-later
// Regions, the transforms between user coordinates and pixels, pen moves and points.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "plot_bench.h"

namespace trelvan::plottest {
namespace {

using Pixel = std::pair<int32_t, int32_t>;
using Names = std::vector<std::string>;
// Index of ymax (entry 8) in a region's row of the table.
constexpr int kYMaxEntry = 7;

std::array<float, 12> entries(int32_t unit, int32_t region) {
    std::array<float, 12> out{};
    for (int k = 0; k < 12; ++k) out[k] = plotState.GR2[unit - 1][region - 1][k];
    return out;
}

Pixel tmf(int32_t region, float x, float y) {
    int32_t ix = -99999;
    int32_t iy = -99999;
    TMF(1, region, x, y, ix, iy);
    return {ix, iy};
}

std::pair<float, float> tfm(int32_t region, int32_t ix, int32_t iy) {
    float x = -99999.0f;
    float y = -99999.0f;
    TFM(1, region, ix, iy, x, y);
    return {x, y};
}

// The chart's upper region with limits 0..30 by 0..1.4.
void placeRegionOne() {
    REGION(1, 1, 10, 50, 220, 120);
    LIMITS(1, 1, 0, 30, 0, 1.4f);
}

GTEST_TEST(PlotRegion, PlacesTheChartRegionsOnThe980By650Page) {
    PlotBench bench;
    bench.startUp();

    REGION(1, 1, 10, 50, 220, 120);
    const std::array<float, 12> one = entries(1, 1);
    EXPECT_EQ(one[0], 40.0f);
    EXPECT_EQ(one[1], 468.0f);
    EXPECT_EQ(one[2], 897.0f);
    EXPECT_EQ(one[3], 433.0f);
    EXPECT_EQ(one[8], 10.0f);
    EXPECT_EQ(one[9], 50.0f);
    EXPECT_EQ(one[10], 230.0f);
    EXPECT_EQ(one[11], 170.0f);

    REGION(1, 2, 10, 10, 220, 30);
    const std::array<float, 12> two = entries(1, 2);
    EXPECT_EQ(two[0], 40.0f);
    EXPECT_EQ(two[1], 612.0f);
    EXPECT_EQ(two[2], 897.0f);
    EXPECT_EQ(two[3], 109.0f);  // top row 503

    REGION(1, 3, 0, 0, 240, 180);
    const std::array<float, 12> three = entries(1, 3);
    EXPECT_EQ(three[0], 0.0f);
    EXPECT_EQ(three[1], 649.0f);
    EXPECT_EQ(three[2], 979.0f);
    EXPECT_EQ(three[3], 649.0f);

    // Limits were not touched, and other units and regions stay zero.
    EXPECT_EQ(one[4], 0.0f);
    EXPECT_EQ(one[6], 0.0f);
    EXPECT_EQ(entries(1, 4), (std::array<float, 12>{}));
    EXPECT_EQ(entries(2, 1), (std::array<float, 12>{}));
}

GTEST_TEST(PlotRegion, DrawsItsBorderAsFourLinesEndingAtTheLowerLeftCorner) {
    PlotBench bench;
    bench.startUp();
    SETCOL(5);
    SETLIN(2);
    bench.window.clearRecord();

    REGION(1, 1, 10, 50, 220, 120);
    EXPECT_EQ(bench.window.names(), (Names{"SETACTIVEUNIT", "MOVETO", "LINETO", "MOVETO", "LINETO",
                                           "MOVETO", "LINETO", "MOVETO", "LINETO"}));
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{
                                         {40, 468, 40, 35, 0xFF0000, 0xFF00},
                                         {40, 35, 937, 35, 0xFF0000, 0xFF00},
                                         {937, 35, 937, 468, 0xFF0000, 0xFF00},
                                         {937, 468, 40, 468, 0xFF0000, 0xFF00},
                                     }));
    EXPECT_EQ(bench.window.penX, 40);
    EXPECT_EQ(bench.window.penY, 468);

    // Each line starts with its own move.
    const auto moves = bench.window.named("MOVETO");
    EXPECT_EQ(moves[1].args, (std::vector<int64_t>{40, 35}));
    EXPECT_EQ(moves[3].args, (std::vector<int64_t>{937, 468}));
}

GTEST_TEST(PlotRegion, LimitsAreStoredXFirstAndDrawNothing) {
    PlotBench bench;
    bench.startUp();
    REGION(1, 1, 10, 50, 220, 120);
    bench.window.clearRecord();

    LIMITS(1, 1, 1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_TRUE(bench.window.calls.empty());
    const std::array<float, 12> one = entries(1, 1);
    EXPECT_EQ(one[4], 1.0f);  // x minimum
    EXPECT_EQ(one[5], 3.0f);  // y minimum
    EXPECT_EQ(one[6], 2.0f);  // x maximum
    EXPECT_EQ(one[7], 4.0f);  // y maximum
    // The placement is kept.
    EXPECT_EQ(one[0], 40.0f);
    EXPECT_EQ(one[11], 170.0f);

    // Limits first, region afterwards: the limits stay.
    LIMITS(1, 5, -1.0f, 1.0f, -2.0f, 2.0f);
    REGION(1, 5, 0, 0, 240, 180);
    EXPECT_EQ(entries(1, 5)[4], -1.0f);
    EXPECT_EQ(entries(1, 5)[7], 2.0f);
}

GTEST_TEST(PlotTransform, UserCoordinatesToNearestPixel) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();

    EXPECT_EQ(tmf(1, 0, 0), Pixel(40, 468));
    EXPECT_EQ(tmf(1, 30, 1.4f), Pixel(937, 35));
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(489, 252));  // halves go to the larger pixel
    EXPECT_EQ(tmf(1, 10, 1.0f), Pixel(339, 159));
    EXPECT_EQ(tmf(1, 5, 0), Pixel(190, 468));
}

// The transform of a point drawn again after its region's table changed, in any way, is
// that of the new table; two regions drawn in turn keep their own transforms.
GTEST_TEST(PlotTransform, ARepeatedPointFollowsEveryChangeOfItsRegion) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();
    REGION(1, 2, 10, 10, 220, 30);
    LIMITS(1, 2, 0, 30, 0, 1.0f);
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(489, 252));
    const Pixel lower = tmf(2, 15, 0.7f);
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(489, 252));
    EXPECT_EQ(tmf(2, 15, 0.7f), lower);

    LIMITS(1, 1, 0, 60, 0, 1.4f);
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(264, 252));
    plotState.GR2[0][0][kYMaxEntry] = 2.8f;  // a direct write to the table
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(264, 360));
    plotState.GR2[0][0][0] = 41.0f;  // the left pixel column
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(265, 360));
    EXPECT_EQ(tmf(1, 0, 0), Pixel(41, 468));
    resetPlotState();
    bench.startUp();
    placeRegionOne();
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(489, 252));
}

GTEST_TEST(PlotTransform, PointsBeyondTheLimitsArePulledOntoTheBorder) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();

    EXPECT_EQ(tmf(1, -5, 2), Pixel(40, 35));
    EXPECT_EQ(tmf(1, 100, -3), Pixel(937, 468));
    EXPECT_EQ(tmf(1, 15, 100), Pixel(489, 35));
    EXPECT_EQ(tmf(1, -1e30f, 0.7f), Pixel(40, 252));
    EXPECT_EQ(tmf(1, 1e30f, -1e30f), Pixel(937, 468));
    EXPECT_EQ(tmf(1, 30.5f, 1.45f), Pixel(937, 35));
}

GTEST_TEST(PlotTransform, ReversedLimitsReverseTheAxis) {
    PlotBench bench;
    bench.startUp();
    REGION(1, 1, 10, 50, 220, 120);
    LIMITS(1, 1, 30, 0, 1.4f, 0);
    EXPECT_EQ(tmf(1, 30, 1.4f), Pixel(40, 468));
    EXPECT_EQ(tmf(1, 0, 0), Pixel(937, 35));
    EXPECT_EQ(tmf(1, 15, 0.7f), Pixel(489, 252));
}

GTEST_TEST(PlotTransform, EqualLimitsStillGiveAPointOfTheRegion) {
    PlotBench bench;
    bench.startUp();
    REGION(1, 1, 10, 50, 220, 120);
    LIMITS(1, 1, 5, 5, 1, 1);
    for (float v : {-1e9f, 0.0f, 1.0f, 5.0f, 7.5f, 1e9f}) {
        const Pixel p = tmf(1, v, v);
        EXPECT_GE(p.first, 40);
        EXPECT_LE(p.first, 937);
        EXPECT_GE(p.second, 35);
        EXPECT_LE(p.second, 468);
    }
    // Without a scale every value sits at the low end of the axis.
    EXPECT_EQ(tmf(1, 7.5f, 7.5f), Pixel(40, 468));
    EXPECT_EQ(tmf(1, -2.0f, -2.0f), Pixel(40, 468));
}

GTEST_TEST(PlotTransform, PixelsBackToUserCoordinates) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();

    EXPECT_EQ(tfm(1, 937, 35), std::make_pair(30.0f, 1.4f));
    EXPECT_EQ(tfm(1, 40, 468), std::make_pair(0.0f, 0.0f));
    // Outside the region: clamped to the limits.
    EXPECT_EQ(tfm(1, 0, 700), std::make_pair(0.0f, 0.0f));
    EXPECT_EQ(tfm(1, 2000, -100), std::make_pair(30.0f, 1.4f));

    // Every pixel of the region maps back onto itself.
    for (int32_t ix = 40; ix <= 937; ix += 7) {
        for (int32_t iy = 35; iy <= 468; iy += 5) {
            const auto [x, y] = tfm(1, ix, iy);
            ASSERT_EQ(tmf(1, x, y), Pixel(ix, iy)) << x << ", " << y;
        }
    }
}

GTEST_TEST(PlotTransform, RegionWithoutWidthOrHeightMapsOntoItsLowLimits) {
    PlotBench bench;
    bench.startUp();
    REGION(1, 4, 100, 100, 0, 0);
    LIMITS(1, 4, 2, 10, 3, 20);
    const auto [x, y] = tfm(4, 500, 300);
    EXPECT_EQ(x, 2.0f);
    EXPECT_EQ(y, 3.0f);
}

GTEST_TEST(PlotMove, PenOneDrawsAnyOtherPenOnlyMoves) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();
    bench.window.clearRecord();

    MOVE(1, 1, 15, 0.7f, 0);
    EXPECT_EQ(bench.window.calls,
              (std::vector<Call>{{"SETACTIVEUNIT", {1}, ""}, {"MOVETO", {489, 252}, ""}}));
    bench.window.clearRecord();
    MOVE(1, 1, 10, 1.0f, 2);
    EXPECT_EQ(bench.window.calls,
              (std::vector<Call>{{"SETACTIVEUNIT", {1}, ""}, {"MOVETO", {339, 159}, ""}}));
    EXPECT_TRUE(bench.window.segments.empty());

    bench.window.clearRecord();
    MOVE(1, 1, 30, 1.4f, 1);
    EXPECT_EQ(bench.window.calls, (std::vector<Call>{{"SETACTIVEUNIT", {1}, ""},
                                                     {"LINETO", {937, 35}, ""},
                                                     {"MOVETO", {937, 35}, ""}}));
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{{339, 159, 937, 35, 0, 0xFFFF}}));
    EXPECT_EQ(bench.window.penX, 937);
    EXPECT_EQ(bench.window.penY, 35);
}

GTEST_TEST(PlotMove, PolylineTowardsAFarPointRunsAlongTheBorder) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();
    bench.window.clearRecord();

    MOVE(1, 1, 0, 0, 0);
    MOVE(1, 1, 15, 0.7f, 1);
    MOVE(1, 1, 1000, 0.7f, 1);
    MOVE(1, 1, 1000, 1000, 1);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{
                                         {40, 468, 489, 252, 0, 0xFFFF},
                                         {489, 252, 937, 252, 0, 0xFFFF},
                                         {937, 252, 937, 35, 0, 0xFFFF},
                                     }));
}

GTEST_TEST(PlotMove, ConstantLinesSpanTheirRangeAndLeaveThePenAtTheEnd) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();
    bench.window.clearRecord();

    CONSTX(1, 1, 5, 0, 1.4f);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{{190, 468, 190, 35, 0, 0xFFFF}}));
    EXPECT_EQ(bench.window.penX, 190);
    EXPECT_EQ(bench.window.penY, 35);

    bench.window.clearRecord();
    CONSTY(1, 1, -10, 40, 0.7f);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{{40, 252, 937, 252, 0, 0xFFFF}}));

    // Drawn downwards when asked to.
    bench.window.clearRecord();
    CONSTX(1, 1, 10, 1.0f, 0);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{{339, 159, 339, 468, 0, 0xFFFF}}));
}

GTEST_TEST(PlotMove, PixelMovesAreNeitherTransformedNorClamped) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();
    bench.window.clearRecord();

    PIXMOVE(1, -20, 700, 0);
    PIXMOVE(1, 2000, -5, 1);
    PIXMOVE(1, 3, 4, 7);
    EXPECT_EQ(bench.window.calls, (std::vector<Call>{
                                      {"SETACTIVEUNIT", {1}, ""},
                                      {"MOVETO", {-20, 700}, ""},
                                      {"SETACTIVEUNIT", {1}, ""},
                                      {"LINETO", {2000, -5}, ""},
                                      {"MOVETO", {2000, -5}, ""},
                                      {"SETACTIVEUNIT", {1}, ""},
                                      {"MOVETO", {3, 4}, ""},
                                  }));
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{{-20, 700, 2000, -5, 0, 0xFFFF}}));
}

GTEST_TEST(PlotPoint, SetsOnePixelInTheCurrentColourWithoutChangingTheWindowColour) {
    PlotBench bench;
    PAGE(1, 650, 980, kTitle);
    placeRegionOne();

    // Before any SETCOL the current colour is 0, white.
    POINT(1, 1, 15, 0.7f);
    EXPECT_EQ(bench.window.pixels.at({489, 252}), 0xFFFFFF);

    SETCOL(1);
    COLOR(1, 0.0f, 0.5f, 0.0f);  // the table changes, the window colour does not
    bench.window.clearRecord();
    POINT(1, 1, 10, 1.0f);
    EXPECT_EQ(bench.window.calls, (std::vector<Call>{{"SETACTIVEUNIT", {1}, ""},
                                                     {"SETPIXELRGB", {339, 159, 0x007F00}, ""}}));
    EXPECT_EQ(bench.window.colour, 0x0000FF);

    // Far away: on the border.
    bench.window.clearRecord();
    POINT(1, 1, 45, -1);
    EXPECT_EQ(bench.window.pixels.size(), 1u);
    EXPECT_EQ(bench.window.pixels.count({937, 468}), 1u);
}

GTEST_TEST(PlotRegion, IndicesOutsideTheTablesStopTheProgram) {
    PlotBench bench;
    bench.startUp();
    placeRegionOne();
    bench.window.clearRecord();

    auto names = [&](auto call, const char* table) {
        const std::string message = bench.stopMessage(call);
        EXPECT_NE(message.find(table), std::string::npos) << "message: " << message;
    };
    names([] { REGION(101, 1, 0, 0, 10, 10); }, "GR1");
    names([] { REGION(0, 1, 0, 0, 10, 10); }, "GR1");
    names([] { REGION(1, 21, 0, 0, 10, 10); }, "GR2");
    names([] { REGION(1, 0, 0, 0, 10, 10); }, "GR2");
    names([] { LIMITS(0, 1, 0, 1, 0, 1); }, "GR2");
    names([] { LIMITS(1, 21, 0, 1, 0, 1); }, "GR2");
    names([] { LIMITS(101, 1, 0, 1, 0, 1); }, "GR2");
    names(
        [] {
            int32_t ix, iy;
            TMF(1, 21, 0, 0, ix, iy);
        },
        "GR2");
    names(
        [] {
            float x, y;
            TFM(1, -1, 0, 0, x, y);
        },
        "GR2");
    names([] { MOVE(1, 0, 0, 0, 1); }, "GR2");
    names([] { CONSTX(1, 21, 0, 0, 1); }, "GR2");
    names([] { CONSTY(101, 1, 0, 1, 0); }, "GR2");
    names([] { POINT(1, 21, 0, 0); }, "GR2");
    // The message names the subscript that is out of bounds: GR2(unit, entry, region).
    EXPECT_EQ(bench.stopMessage([] { LIMITS(1, 21, 0, 1, 0, 1); }),
              "Subscript #3 of the array GR2 has value 21 which is greater than the upper "
              "bound of 20");
    EXPECT_EQ(bench.stopMessage([] { MOVE(1, 0, 0, 0, 1); }),
              "Subscript #3 of the array GR2 has value 0 which is less than the lower bound of 1");
    EXPECT_EQ(bench.stopMessage([] { LIMITS(101, 1, 0, 1, 0, 1); }),
              "Subscript #1 of the array GR2 has value 101 which is greater than the upper "
              "bound of 100");
    // Nothing was drawn by the refused calls.
    EXPECT_TRUE(bench.window.segments.empty());
    EXPECT_TRUE(bench.window.pixels.empty());
    EXPECT_EQ(bench.window.count("MOVETO"), 0u);

    // The last entries of the tables are usable.
    EXPECT_EQ(bench.stopMessage([] { LIMITS(100, 20, 0, 1, 0, 1); }), "");
    EXPECT_EQ(bench.stopMessage([] { REGION(1, 20, 0, 0, 240, 180); }), "");
}

}  // namespace
}  // namespace trelvan::plottest
