// SPDX-License-Identifier: GPL-3.0-or-later
// Axes: labels with ticks, sub-ticks, dashed grid lines and the frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plot_bench.h"

namespace trelvan::plottest {
namespace {

using Texts = std::vector<std::string>;
using Args = std::vector<int64_t>;

constexpr uint16_t kSolid = 0xFFFF;
constexpr uint16_t kDashed = 0xF0F0;

// The chart's upper region (pixels 40..937 by 35..468, page 10..230 by 50..170).
void upperRegion(float xmin, float xmax, float ymin, float ymax) {
    REGION(1, 1, 10, 50, 220, 120);
    LIMITS(1, 1, xmin, xmax, ymin, ymax);
}

Texts texts(const RecordingWindow& window) {
    Texts out;
    for (const Call& call : window.named("OUTGTEXT")) out.push_back(call.text);
    return out;
}

// Pixel position and rotation of each text.
std::vector<Args> textPlaces(const RecordingWindow& window) {
    std::vector<Args> out;
    for (const Call& call : window.named("OUTGTEXT")) {
        out.push_back({call.args[0], call.args[1], call.args[3]});
    }
    return out;
}

std::vector<Segment> withStyle(const RecordingWindow& window, uint16_t style) {
    std::vector<Segment> out;
    for (const Segment& s : window.segments) {
        if (s.style == style) out.push_back(s);
    }
    return out;
}

// Centres of the plus-sign ticks: the x of each vertical stroke.
std::vector<int> tickColumns(const RecordingWindow& window) {
    std::vector<int> out;
    for (const Segment& s : window.segments) {
        if (s.x1 == s.x2 && s.y1 != s.y2) out.push_back(s.x1);
    }
    return out;
}

GTEST_TEST(PlotAxesLabels, XLabelsChooseTheirDecimalsAndBlankATrailingZero) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 1.4f, 0, 1.4f);
    SETLIN(3);  // the ticks must not inherit a dashed style
    bench.window.clearRecord();

    AXES(1, 1, 0.5f, 0, 0, 0, 0, 0);
    EXPECT_EQ(texts(bench.window), (Texts{"    0.", "  0.5 ", "    1."}));
    EXPECT_EQ(textPlaces(bench.window),
              (std::vector<Args>{{4, 465, 0}, {324, 465, 0}, {645, 465, 0}}));
    for (const Call& font : bench.window.named("SETFONT")) {
        EXPECT_EQ(font.text, "t'Times New Roman Cyr'h24w7b");
    }

    // One solid plus sign of size 3.5 on the bottom edge under each label, and nothing else.
    EXPECT_EQ(tickColumns(bench.window), (std::vector<int>{40, 360, 681}));
    ASSERT_EQ(bench.window.segments.size(), 6u);
    EXPECT_EQ(bench.window.segments[0], (Segment{33, 468, 47, 468, 0, kSolid}));
    EXPECT_EQ(bench.window.segments[1], (Segment{40, 462, 40, 474, 0, kSolid}));
    EXPECT_EQ(withStyle(bench.window, kSolid).size(), 6u);
}

GTEST_TEST(PlotAxesLabels, XLabelCountAllowsOnePercentBeyondTheMaximum) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 1.4f, 0, 1.4f);
    bench.window.clearRecord();

    // trunc((1.4 + 0.014 + 0.2) / 0.2) = 8 labels; the running sum reaches 1.4 from above.
    AXES(1, 1, 0.2f, 0, 0, 0, 0, 0);
    EXPECT_EQ(texts(bench.window), (Texts{"    0.", "  0.2 ", "  0.4 ", "  0.6 ", "  0.8 ",
                                          "    1.", "  1.2 ", "  1.4 "}));
    EXPECT_EQ(tickColumns(bench.window).back(), 937);
}

GTEST_TEST(PlotAxesLabels, YLabelsAreCutToFiveCharactersAndWrittenUpwards) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 1.4f, 0, 1.4f);
    bench.window.clearRecord();

    AXES(1, 1, 0, 0, 0, 0.25f, 0, 0);
    EXPECT_EQ(texts(bench.window), (Texts{"    0", "  0.2", "  0.5", "  0.7", "    1", "  1.2"}));
    const std::vector<Args> places = textPlaces(bench.window);
    ASSERT_EQ(places.size(), 6u);
    EXPECT_EQ(places[0], (Args{4, 483, 900}));
    // Ticks on the left edge: horizontal strokes centred on column 40.
    for (const Segment& s : bench.window.segments) {
        if (s.y1 == s.y2) {
            EXPECT_EQ(s.x1, 33);
            EXPECT_EQ(s.x2, 47);
        }
    }
    EXPECT_EQ(bench.window.segments.size(), 12u);
    EXPECT_EQ(bench.window.rotation, 0);
}

GTEST_TEST(PlotAxesLabels, LargeValuesAreScaledDownWithAnExponentLabel) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 5000, 0, 5000);
    bench.window.clearRecord();

    AXES(1, 1, 1000, 0, 0, 0, 0, 0);
    EXPECT_EQ(texts(bench.window),
              (Texts{"*E+ 2", "  0.0 ", " 10.0 ", " 20.0 ", " 30.0 ", " 40.0 ", " 50.0 "}));
    // At (PX2 - 17, PY1) in page units.
    EXPECT_EQ(textPlaces(bench.window)[0], (Args{869, 469, 0}));

    bench.window.clearRecord();
    AXES(1, 1, 0, 0, 0, 1000, 0, 0);
    EXPECT_EQ(texts(bench.window),
              (Texts{"*E+ 2", "  0.0", " 10.0", " 20.0", " 30.0", " 40.0", " 50.0"}));
    // At (PX1 - 6, PY2 - 14), upwards.
    EXPECT_EQ(textPlaces(bench.window)[0], (Args{16, 86, 900}));
}

GTEST_TEST(PlotAxesLabels, SmallValuesAreScaledUpWithAnExponentLabel) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 0.05f, 0, 0.05f);
    bench.window.clearRecord();

    AXES(1, 1, 0.01f, 0, 0, 0.01f, 0, 0);
    EXPECT_EQ(texts(bench.window),
              (Texts{"*E -3", "  0.0 ", " 10.0 ", " 20.0 ", " 30.0 ", " 40.0 ", " 50.0 ",  //
                     "*E -3", "  0.0", " 10.0", " 20.0", " 30.0", " 40.0", " 50.0"}));
}

GTEST_TEST(PlotAxesLabels, ScalingStartsExactlyAtOneTenthAndAtOneThousand) {
    PlotBench bench;
    bench.startUp();
    const struct {
        float low, high, step;
        Texts expected;
    } cases[] = {
        {0, 0.1f, 0.05f, {"*E -3", "  0.0 ", " 50.0 ", "100.0 "}},
        {0, 0.11f, 0.05f, {"    0.", "  0.05", "  0.1 "}},
        {0, 1000, 500, {"*E+ 2", "  0.0 ", "  5.0 ", " 10.0 "}},
        {0, 999, 500, {"    0.", "  500.", " 1000."}},
        {-1000, 0, 500, {"*E+ 2", "-10.0 ", " -5.0 ", "  0.0 "}},
        {0, 0.005f, 0.005f, {"*E -4", "  0.0 ", " 50.0 "}},
        {0, 20000, 20000, {"*E+ 3", "  0.0 ", " 20.0 "}},
    };
    for (const auto& c : cases) {
        upperRegion(c.low, c.high, 0, 1);
        bench.window.clearRecord();
        AXES(1, 1, c.step, 0, 0, 0, 0, 0);
        EXPECT_EQ(texts(bench.window), c.expected) << c.low << " .. " << c.high;
    }
}

GTEST_TEST(PlotAxesLabels, UnscaledLabelsRoundToTheAxisPrecision) {
    PlotBench bench;
    bench.startUp();
    // Larger magnitude above 100: no decimals, exact halves away from zero.
    upperRegion(0, 500, 0, 50);
    bench.window.clearRecord();
    AXES(1, 1, 62.5f, 0, 0, 12.5f, 0, 0);
    EXPECT_EQ(texts(bench.window), (Texts{"    0.", "   63.", "  125.", "  188.", "  250.",
                                          "  313.", "  375.", "  438.", "  500.",
                                          // 10 < 50 <= 100: one decimal unless whole
                                          "    0", "  12.", "   25", "  37.", "   50"}));

    const struct {
        float low, high, step;
        Texts expected;
    } cases[] = {
        // Exactly 100 and exactly 10 still belong to the finer layouts.
        {0,
         100,
         12.5f,
         {"    0.", "  12.5", "   25.", "  37.5", "   50.", "  62.5", "   75.", "  87.5",
          "  100."}},
        {0, 10, 2.5f, {"    0.", "  2.5 ", "    5.", "  7.5 ", "   10."}},
        // Close enough to a whole number relative to its size: no decimals. 0.00005 is not.
        {50.004f, 60, 10, {"   50.", "   60."}},
        {0.00005f, 1, 1, {"  0.0 ", "    1."}},
    };
    for (const auto& c : cases) {
        upperRegion(c.low, c.high, 0, 1);
        bench.window.clearRecord();
        AXES(1, 1, c.step, 0, 0, 0, 0, 0);
        EXPECT_EQ(texts(bench.window), c.expected) << c.low << " .. " << c.high;
    }
}

GTEST_TEST(PlotAxesLabels, TooWideValueIsWrittenAsAsterisks) {
    PlotBench bench;
    bench.startUp();
    upperRegion(-0.1f, 0, 0, 1);
    bench.window.clearRecord();
    AXES(1, 1, 0.1f, 0, 0, 0, 0, 0);
    EXPECT_EQ(texts(bench.window), (Texts{"*E -3", "******", "  0.0 "}));
}

GTEST_TEST(PlotAxesLabels, LabelsNearThePageEdgeAreKeptOnThePage) {
    PlotBench bench;
    bench.startUp();
    // A region low and far left on the page: PY1 - 1 and PX1 - 1 fall below 6.
    REGION(1, 4, 3, 2, 100, 50);
    LIMITS(1, 4, 0, 1, 0, 1);
    bench.window.clearRecord();

    AXES(1, 4, 1, 0, 0, 1, 0, 0);
    const std::vector<Args> places = textPlaces(bench.window);
    ASSERT_EQ(places.size(), 4u);
    // x labels at page y 6 + 2 = 8, row 621; the first one at page x 3 - 9.
    EXPECT_EQ(places[0], (Args{-24, 621, 0}));
    // y labels at page x 6 - 8 = -2, column -8 (truncated toward zero).
    EXPECT_EQ(places[2][0], -8);
    EXPECT_EQ(places[3][0], -8);
}

GTEST_TEST(PlotAxesGrid, ChartCallDrawsOnlyDashedGridAndSolidFrame) {
    PlotBench bench;
    bench.startUp();
    REGION(1, 2, 10, 10, 220, 30);  // pixels 40..937 by 503..612
    LIMITS(1, 2, 0, 30, 0, 1.4f);
    bench.window.clearRecord();

    AXES(1, 2, 0, 5, 0, 0, 0.2f, 0);
    EXPECT_EQ(bench.window.count("OUTGTEXT"), 0u);
    EXPECT_EQ(bench.window.count("SETFONT"), 0u);
    EXPECT_EQ(bench.window.count("ELLIPSE"), 0u);
    EXPECT_TRUE(bench.window.pixels.empty());

    std::vector<int64_t> styles;
    for (const Call& call : bench.window.named("SETLINESTYLE")) styles.push_back(call.args[0]);
    EXPECT_EQ(styles, (std::vector<int64_t>{kSolid, kDashed, kSolid, kDashed, kSolid, kSolid}));

    const std::vector<Segment> dashed = withStyle(bench.window, kDashed);
    ASSERT_EQ(dashed.size(), 15u);
    // Seven vertical lines at x = 0, 5, ..., 30 across the region.
    const int columns[] = {40, 190, 339, 489, 638, 788, 937};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(dashed[k], (Segment{columns[k], 612, columns[k], 503, 0, kDashed}));
    }
    // Eight horizontal lines at y = 0, 0.2, ..., 1.4; the last lands on the top border.
    for (int k = 7; k < 15; ++k) {
        EXPECT_EQ(dashed[k].x1, 40);
        EXPECT_EQ(dashed[k].x2, 937);
        EXPECT_EQ(dashed[k].y1, dashed[k].y2);
        if (k > 7) {
            EXPECT_LT(dashed[k].y1, dashed[k - 1].y1);
        }
    }
    EXPECT_EQ(dashed[7].y1, 612);
    EXPECT_EQ(dashed[14].y1, 503);

    EXPECT_EQ(withStyle(bench.window, kSolid), (std::vector<Segment>{
                                                   {40, 612, 40, 503, 0, kSolid},
                                                   {937, 612, 937, 503, 0, kSolid},
                                                   {40, 612, 937, 612, 0, kSolid},
                                                   {40, 503, 937, 503, 0, kSolid},
                                               }));
    EXPECT_EQ(bench.window.segments.size(), 19u);
    EXPECT_EQ(bench.window.lineStyle, kSolid);
}

GTEST_TEST(PlotAxesGrid, WithoutAYGridThereIsNoFrameAndTheStyleStaysDashed) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 30, 0, 1.4f);
    bench.window.clearRecord();

    AXES(1, 1, 0, 10, 0, 0, 0, 0);
    EXPECT_EQ(bench.window.segments.size(), 4u);
    EXPECT_EQ(withStyle(bench.window, kDashed).size(), 4u);
    EXPECT_EQ(bench.window.lineStyle, kDashed);

    // Steps of zero or below switch everything off.
    bench.window.clearRecord();
    AXES(1, 1, -1, 0, 2, -0.5f, -2, 2);
    EXPECT_TRUE(bench.window.calls.empty());
}

GTEST_TEST(PlotAxesGrid, SubdivisionsAddSmallSolidTicks) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 1.4f, 0, 1.4f);
    bench.window.clearRecord();

    // Grid step 0.2 in two: a plus sign of size 2.5 every 0.1 on the bottom edge.
    AXES(1, 1, 0, 0.2f, 2, 0, 0, 0);
    const std::vector<Segment> solid = withStyle(bench.window, kSolid);
    ASSERT_EQ(solid.size(), 30u);
    EXPECT_EQ(solid[0], (Segment{35, 468, 45, 468, 0, kSolid}));
    EXPECT_EQ(solid[1], (Segment{40, 464, 40, 472, 0, kSolid}));
    const std::vector<int> centres = tickColumns(bench.window);
    EXPECT_EQ(centres.front(), 40);
    EXPECT_EQ(std::count(centres.begin(), centres.end(), 937), 2);  // last sub-tick, grid line
    EXPECT_EQ(withStyle(bench.window, kDashed).size(), 8u);

    // On the left edge for the y axis: step 0.4 in four.
    bench.window.clearRecord();
    AXES(1, 1, 0, 0, 0, 0, 0.4f, 4);
    size_t leftTicks = 0;
    for (const Segment& s : withStyle(bench.window, kSolid)) {
        if (s.y1 == s.y2 && s.x1 == 35 && s.x2 == 45) ++leftTicks;
    }
    EXPECT_EQ(leftTicks, 15u);
    EXPECT_EQ(withStyle(bench.window, kDashed).size(), 4u);

    // 0, 1 or a negative count: the grid alone.
    for (int32_t subdivisions : {0, 1, -2}) {
        bench.window.clearRecord();
        AXES(1, 1, 0, 0.2f, subdivisions, 0, 0, 0);
        EXPECT_EQ(withStyle(bench.window, kSolid).size(), 0u) << subdivisions;
        EXPECT_EQ(withStyle(bench.window, kDashed).size(), 8u) << subdivisions;
    }
    // A negative count still switches to solid lines for its (empty) run of sub-ticks.
    std::vector<int64_t> styles;
    for (const Call& call : bench.window.named("SETLINESTYLE")) styles.push_back(call.args[0]);
    EXPECT_EQ(styles, (std::vector<int64_t>{kSolid, kSolid, kSolid, kDashed}));
}

GTEST_TEST(PlotAxesGrid, EqualLimitsDrawNoLabelsForThatAxis) {
    PlotBench bench;
    bench.startUp();
    upperRegion(5, 5, 0, 1.4f);
    bench.window.clearRecord();

    AXES(1, 1, 1, 1, 2, 0.5f, 0.5f, 0);
    // Only the y labels.
    for (const Args& place : textPlaces(bench.window)) EXPECT_EQ(place[2], 900);
    EXPECT_EQ(texts(bench.window), (Texts{"    0", "  0.5", "    1"}));
    // The x grid collapses onto the left edge; everything stays finite and on the page.
    for (const Segment& s : bench.window.segments) {
        EXPECT_GE(s.x1, 33);
        EXPECT_LE(s.x2, 937);
    }

    // Both axes at zero: no labels at all, the frame still drawn.
    upperRegion(0, 0, 0, 0);
    bench.window.clearRecord();
    AXES(1, 1, 1, 1, 0, 1, 1, 0);
    EXPECT_EQ(bench.window.count("OUTGTEXT"), 0u);
    EXPECT_EQ(withStyle(bench.window, kSolid).size(), 4u);
}

GTEST_TEST(PlotAxes, ATinyStepDrawsABoundedNumberOfMarks) {
    PlotBench bench;
    bench.startUp();
    upperRegion(0, 1.4f, 0, 1.4f);
    bench.window.clearRecord();
    // About 2^31 labels and lines each without a bound; a call beyond this limit throws.
    bench.window.callLimit = 2000000;

    AXES(1, 1, 1e-30f, 0, 0, 0, 0, 0);
    EXPECT_EQ(bench.window.count("OUTGTEXT"), 10000u);
    bench.window.clearRecord();
    AXES(1, 1, 0, 0, 0, 1e-30f, 0, 0);
    EXPECT_EQ(bench.window.count("OUTGTEXT"), 10000u);
    bench.window.clearRecord();
    // Sub-ticks (two strokes each) and dashed grid lines are bounded each on their own.
    AXES(1, 1, 0, 1e-30f, 2, 0, 1e-30f, 2);
    EXPECT_EQ(withStyle(bench.window, kDashed).size(), 2u * 10000u);
    EXPECT_EQ(withStyle(bench.window, kSolid).size(), 2u * 2u * 10000u + 4u);
}

GTEST_TEST(PlotAxes, RegionOutsideTheTableStopsTheProgram) {
    PlotBench bench;
    bench.startUp();
    const std::string message = bench.stopMessage([] { AXES(1, 21, 0, 1, 0, 0, 1, 0); });
    EXPECT_NE(message.find("GR2"), std::string::npos) << message;
    EXPECT_TRUE(bench.window.segments.empty());
}

}  // namespace
}  // namespace trelvan::plottest
