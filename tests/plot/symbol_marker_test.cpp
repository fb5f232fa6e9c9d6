// SPDX-License-Identifier: GPL-3.0-or-later
// Texts at page positions and markers centred on user coordinates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plot_bench.h"

namespace trelvan::plottest {
namespace {

using Names = std::vector<std::string>;
using Args = std::vector<int64_t>;

const std::string kFontPrefix = "t'Times New Roman Cyr'";

GTEST_TEST(PlotSymbol, FontFollowsTheScaledHeight) {
    PlotBench bench;
    bench.startUp();
    const struct {
        float height;  // s = 1.5 x height
        const char* font;
    } cases[] = {
        {0.0f, "h4w3b"},    {2.0f, "h4w3b"},     {2.7f, "h12w4b"},     {4.0f, "h12w4b"},
        {4.5f, "h16w5b"},   {5.3f, "h16w5b"},    {5.4f, "h20w6b"},     {6.0f, "h20w6b"},
        {7.0f, "h24w7b"},   {8.0f, "h24w7b"},    {8.05f, "h28w8b"},    {8.1f, "h28w8b"},
        {10.0f, "h28w8b"},  {10.1f, "h36w10b"},  {20.0f, "h52w18b"},   {30.0f, "h96w30b"},
        {33.3f, "h96w30b"}, {34.0f, "h120w40b"}, {500.0f, "h120w40b"},
    };
    for (const auto& c : cases) {
        bench.window.clearRecord();
        SYMBOL(1, 120, 90, c.height, 0, "x");
        const auto fonts = bench.window.named("SETFONT");
        ASSERT_EQ(fonts.size(), 1u) << "height " << c.height;
        EXPECT_EQ(fonts[0].text, kFontPrefix + c.font) << "height " << c.height;
    }
}

GTEST_TEST(PlotSymbol, DrawsTheWholeTextAtThePagePositionAndResetsTheRotation) {
    PlotBench bench;
    bench.startUp();

    // A label with a trailing blank and Cyrillic bytes goes out unchanged.
    const std::string text = "\xD1\xF3\xF2\xEA\xE8  0.5 ";
    SYMBOL(1, 120, 90, 7, 0, text);
    EXPECT_EQ(bench.window.calls, (std::vector<Call>{
                                      {"SETACTIVEUNIT", {1}, ""},
                                      {"SETFONT", {}, kFontPrefix + "h24w7b"},
                                      {"SETGTEXTROTATION", {0}, ""},
                                      {"MOVETO", {490, 325}, ""},
                                      {"SETCOLORRGB", {0x000000}, ""},
                                      {"SETTEXTCOLORRGB", {0x000000}, ""},
                                      {"OUTGTEXT", {490, 325, 0x000000, 0}, text},
                                      {"SETGTEXTROTATION", {0}, ""},
                                  }));
}

GTEST_TEST(PlotSymbol, PagePositionsMapWithTheFullWindowSize) {
    PlotBench bench;
    bench.startUp();
    auto textAt = [&](float x, float y) {
        bench.window.clearRecord();
        SYMBOL(1, x, y, 7, 0, "t");
        const Call out = bench.window.named("OUTGTEXT").at(0);
        return Args{out.args[0], out.args[1]};
    };
    EXPECT_EQ(textAt(0, 0), (Args{0, 650}));
    EXPECT_EQ(textAt(240, 180), (Args{980, 0}));
    EXPECT_EQ(textAt(120, 90), (Args{490, 325}));
    // The corner of the chart's upper region: REGION puts it on row 468, the text on 469.
    EXPECT_EQ(textAt(10, 50), (Args{40, 469}));
    EXPECT_EQ(textAt(1, 51), (Args{4, 465}));
}

GTEST_TEST(PlotSymbol, AngleInTenthsOfADegreeTruncated) {
    PlotBench bench;
    bench.startUp();
    for (const auto& [angle, tenths] : std::vector<std::pair<float, int64_t>>{
             {90.0f, 900}, {45.57f, 455}, {-30.55f, -305}, {0.09f, 0}, {360.0f, 3600}}) {
        bench.window.clearRecord();
        SYMBOL(1, 50, 50, 7, angle, "a");
        EXPECT_EQ(bench.window.named("OUTGTEXT").at(0).args[3], tenths) << angle;
        EXPECT_EQ(bench.window.rotation, 0) << angle;
    }
}

GTEST_TEST(PlotSymbol, TextTakesTheCurrentColourWhateverTheWindowHeld) {
    PlotBench bench;
    bench.startUp();
    SETCOL(5);
    // Someone drew in another colour directly through the window services.
    gw().SETCOLORRGB(0x123456);
    bench.window.clearRecord();

    SYMBOL(1, 50, 50, 7, 90, "a");
    EXPECT_EQ(bench.window.named("OUTGTEXT").at(0).args[2], 0xFF0000);
    EXPECT_EQ(bench.window.colour, 0xFF0000);
    EXPECT_EQ(bench.window.textColour, 0xFF0000);
    EXPECT_EQ(plotState.currentColour, 5);
}

GTEST_TEST(PlotSymbol, RefusedFontIsRetriedAFewTimesThenTheTextIsDrawnAnyway) {
    PlotBench bench;
    bench.startUp();
    bench.window.fontResults = {-1, -1, 3};
    SYMBOL(1, 50, 50, 7, 45, "a");
    EXPECT_EQ(bench.window.names(),
              (Names{"SETACTIVEUNIT", "SETFONT", "SETGTEXTROTATION", "SETFONT", "SETGTEXTROTATION",
                     "SETFONT", "SETGTEXTROTATION", "MOVETO", "SETCOLORRGB", "SETTEXTCOLORRGB",
                     "OUTGTEXT", "SETGTEXTROTATION"}));
    const auto rotations = bench.window.named("SETGTEXTROTATION");
    EXPECT_EQ(rotations[0].args, (Args{900}));
    EXPECT_EQ(rotations[1].args, (Args{900}));
    EXPECT_EQ(rotations[2].args, (Args{450}));
    EXPECT_EQ(rotations[3].args, (Args{0}));

    // No font at all: bounded, and the text still goes out with the rotation reset.
    bench.window.clearRecord();
    bench.window.fontResults.assign(1000, -1);
    SYMBOL(1, 50, 50, 7, 45, "b");
    const size_t attempts = bench.window.count("SETFONT");
    EXPECT_GE(attempts, 2u);
    EXPECT_LE(attempts, 10u);
    EXPECT_EQ(bench.window.count("OUTGTEXT"), 1u);
    EXPECT_EQ(bench.window.named("OUTGTEXT")[0].args[3], 450);
    EXPECT_EQ(bench.window.rotation, 0);
}

GTEST_TEST(PlotSymbol, UnitOutsideThePageTableStopsTheProgram) {
    PlotBench bench;
    bench.startUp();
    for (int32_t unit : {0, 101}) {
        const std::string message = bench.stopMessage([&] { SYMBOL(unit, 1, 1, 7, 0, "a"); });
        EXPECT_NE(message.find("GR1"), std::string::npos) << message;
    }
    EXPECT_EQ(bench.window.count("OUTGTEXT"), 0u);
}

// The whole 980 x 650 window as region 3, one user unit per pixel, y upwards: user (x, y)
// is pixel (x, 649 - y).
void wholeWindowRegion() {
    REGION(1, 3, 0, 0, 240, 180);
    LIMITS(1, 3, 0, 979, 0, 649);
}

GTEST_TEST(PlotMarker, FilledEllipseOfKindFour) {
    PlotBench bench;
    bench.startUp();
    wholeWindowRegion();
    bench.window.clearRecord();

    // w = trunc(2 x 980 / 240) = 8, h = trunc(2 x 650 / 180) = 7.
    MARKER(1, 3, 500, 549, 4, 2);
    EXPECT_EQ(bench.window.named("ELLIPSE"),
              (std::vector<Call>{{"ELLIPSE", {GFILLINTERIOR, 496, 96, 504, 103}, ""}}));
    EXPECT_TRUE(bench.window.segments.empty());
    EXPECT_TRUE(bench.window.pixels.empty());

    // Centred on the clamped point.
    REGION(1, 1, 10, 50, 220, 120);
    LIMITS(1, 1, 0, 30, 0, 1.4f);
    bench.window.clearRecord();
    MARKER(1, 1, -100, 0.7f, 4, 2);
    EXPECT_EQ(bench.window.named("ELLIPSE"),
              (std::vector<Call>{{"ELLIPSE", {GFILLINTERIOR, 36, 248, 44, 255}, ""}}));
}

GTEST_TEST(PlotMarker, PlusAndCrossStrokes) {
    PlotBench bench;
    bench.startUp();
    SETCOL(1);
    wholeWindowRegion();
    bench.window.clearRecord();

    // w = 14, h = 12.
    MARKER(1, 3, 500, 549, 2, 3.5f);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{
                                         {493, 100, 507, 100, 0x0000FF, 0xFFFF},
                                         {500, 94, 500, 106, 0x0000FF, 0xFFFF},
                                     }));
    EXPECT_EQ(bench.window.penX, 500);
    EXPECT_EQ(bench.window.penY, 106);

    bench.window.clearRecord();
    MARKER(1, 3, 500, 549, 3, 3.5f);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{
                                         {493, 100, 507, 100, 0x0000FF, 0xFFFF},
                                         {500, 94, 500, 106, 0x0000FF, 0xFFFF},
                                         {495, 96, 505, 104, 0x0000FF, 0xFFFF},
                                         {495, 104, 505, 96, 0x0000FF, 0xFFFF},
                                     }));
    EXPECT_EQ(bench.window.penX, 505);
    EXPECT_EQ(bench.window.penY, 96);

    // Odd sizes: w = 10, h = 9; half of 9 truncates to 4, 10 / 2.8 and 9 / 2.8 to 3.
    bench.window.clearRecord();
    MARKER(1, 3, 500, 549, 3, 2.5f);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{
                                         {495, 100, 505, 100, 0x0000FF, 0xFFFF},
                                         {500, 96, 500, 104, 0x0000FF, 0xFFFF},
                                         {497, 97, 503, 103, 0x0000FF, 0xFFFF},
                                         {497, 103, 503, 97, 0x0000FF, 0xFFFF},
                                     }));
}

GTEST_TEST(PlotMarker, StrokesOnTheBorderReachOutsideTheRegion) {
    PlotBench bench;
    bench.startUp();
    REGION(1, 1, 10, 50, 220, 120);
    LIMITS(1, 1, 0, 30, 0, 1.4f);
    bench.window.clearRecord();

    MARKER(1, 1, 0, 0, 2, 3.5f);
    EXPECT_EQ(bench.window.segments, (std::vector<Segment>{
                                         {33, 468, 47, 468, 0, 0xFFFF},
                                         {40, 462, 40, 474, 0, 0xFFFF},
                                     }));
}

GTEST_TEST(PlotMarker, OtherKindsDrawOnePixelOrNothing) {
    PlotBench bench;
    bench.startUp();
    SETCOL(3);
    wholeWindowRegion();

    for (int32_t kind : {5, 6}) {
        bench.window.clearRecord();
        MARKER(1, 3, 500, 549, kind, 2);
        EXPECT_TRUE(bench.window.calls.empty()) << "kind " << kind;
    }
    for (int32_t kind : {0, 1, 7, -4, 1000}) {
        bench.window.clearRecord();
        MARKER(1, 3, 500, 549, kind, 2);
        EXPECT_EQ(bench.window.named("SETPIXELRGB"),
                  (std::vector<Call>{{"SETPIXELRGB", {500, 100, 0x00FF00}, ""}}))
            << "kind " << kind;
        EXPECT_TRUE(bench.window.segments.empty()) << "kind " << kind;
        EXPECT_EQ(bench.window.count("ELLIPSE"), 0u) << "kind " << kind;
    }
}

GTEST_TEST(PlotMarker, SizeFollowsTheUnitsOwnPage) {
    PlotBench bench;
    bench.startUp();
    // A page of 240 x 180 pixels: one pixel per page unit.
    PAGE(2, 180, 240, "small");
    REGION(2, 1, 0, 0, 240, 180);
    LIMITS(2, 1, 0, 239, 0, 179);
    bench.window.clearRecord();

    MARKER(2, 1, 100, 79, 4, 10);
    EXPECT_EQ(bench.window.named("ELLIPSE"),
              (std::vector<Call>{{"ELLIPSE", {GFILLINTERIOR, 95, 95, 105, 105}, ""}}));

    bench.window.clearRecord();
    MARKER(2, 1, 100, 79, 2, 10);
    EXPECT_EQ(bench.window.named("SETACTIVEUNIT").at(0).args, (Args{2}));
    EXPECT_EQ(bench.window.segments.at(0), (Segment{95, 100, 105, 100, 0, 0xFFFF}));
}

// The corners of a filled marker are the single-precision halves of 2 x centre -/+ size,
// truncated: near the centre of the page, around 2^24 where a float stops holding every
// integer, and far beyond it.
GTEST_TEST(PlotMarker, FilledBoxCornersAreTheSinglePrecisionHalves) {
    PlotBench bench;
    bench.startUp();
    constexpr int32_t kWidth = 100000000;
    PAGE(2, 180, kWidth, "wide");
    REGION(2, 1, 0, 0, 240, 180);
    LIMITS(2, 1, 0, static_cast<float>(kWidth), 0, 179);
    const auto half = [](int64_t v) {
        return static_cast<int16_t>(static_cast<int32_t>(static_cast<float>(v) * 0.5f));
    };
    std::vector<float> xs = {0, 1, 2, 3, 100, 416666, 416667, 50000000, 99999992};
    for (int d = -40; d <= 40; ++d) {
        xs.push_back(static_cast<float>((1 << 23) + d));
        xs.push_back(static_cast<float>((1 << 24) + 2 * d));
    }
    for (const float size : {2.0f, 2.5f, 0.0f}) {
        const int64_t w = static_cast<int64_t>(size * static_cast<float>(kWidth) / 240.0f);
        const int64_t h = static_cast<int64_t>(size * 180.0f / 180.0f);
        for (const float x : xs) {
            int32_t ix = 0, iy = 0;
            TMF(2, 1, x, 50, ix, iy);
            bench.window.clearRecord();
            MARKER(2, 1, x, 50, 4, size);
            const Args expected = {GFILLINTERIOR, half(2 * int64_t{ix} - w),
                                   half(2 * int64_t{iy} - h), half(2 * int64_t{ix} + w),
                                   half(2 * int64_t{iy} + h)};
            ASSERT_EQ(bench.window.named("ELLIPSE").at(0).args, expected)
                << "x " << x << ", size " << size;
        }
    }
}

GTEST_TEST(PlotMarker, RegionOutsideTheTableStopsTheProgram) {
    PlotBench bench;
    bench.startUp();
    const std::string message = bench.stopMessage([] { MARKER(1, 21, 0, 0, 4, 2); });
    EXPECT_NE(message.find("GR2"), std::string::npos) << message;
    EXPECT_EQ(bench.window.count("ELLIPSE"), 0u);
}

}  // namespace
}  // namespace trelvan::plottest
