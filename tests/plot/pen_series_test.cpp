// SPDX-License-Identifier: GPL-3.0-or-later
// SETCOL, MOVE and MARKER in series (PenSeries) against the routines called one by one: the
// same pixels and the same state of the services afterwards, drawn at once or deferred.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/headless_window.h"
#include "plot/plot.h"
#include "support/fresh_program.h"

namespace trelvan::plottest {
namespace {

struct Step {
    enum class Kind { colour, move, marker, flush, lineStyle, transform };
    Kind kind;
    int32_t number = 0;  // colour, pen, marker kind or line style
    int32_t region = 1;
    float x = 0.0f, y = 0.0f;
    float size = 2.0f;
};

class Rng {
  public:
    explicit Rng(uint32_t seed) : engine_(seed) {}
    int range(int lo, int hi) { return lo + int(engine_() % uint32_t(hi - lo + 1)); }
    // Mostly one of a few values, so that points and colours come again as in a chart.
    float value(float lo, float hi) {
        if (range(0, 2) != 0) return lo + (hi - lo) * float(range(0, 8)) / 8.0f;
        return lo + (hi - lo) * float(range(0, 100000)) / 100000.0f;
    }

  private:
    std::mt19937 engine_;
};

// A chart's kind of run: mostly dots and bars in a few colours, now and then another kind of
// marker, a line style, a transform asked for, or the series handed over.
std::vector<Step> randomSteps(Rng& rng, int count) {
    constexpr int32_t colours[] = {1, 3, 5, 7, 0, 105};
    std::vector<Step> steps;
    for (int i = 0; i < count; ++i) {
        Step s{Step::Kind::move};
        s.region = rng.range(1, 2);
        // Beyond the limits too: pulled onto the border.
        s.x = rng.value(-5.0f, 35.0f);
        s.y = rng.value(-0.3f, 1.7f);
        const int what = rng.range(0, 99);
        if (what < 15) {
            s.kind = Step::Kind::colour;
            s.number = colours[rng.range(0, 5)];
        } else if (what < 65) {
            s.number = rng.range(0, 9) == 0 ? 2 : rng.range(0, 1);  // pen 2 only moves
        } else if (what < 90) {
            s.kind = Step::Kind::marker;
            const int32_t kinds[] = {4, 4, 4, 4, 2, 3, 0, 5};
            s.number = kinds[rng.range(0, 7)];
            s.size = rng.range(0, 4) == 0 ? 3.5f : 2.0f;
        } else if (what < 94) {
            s.kind = Step::Kind::flush;
        } else if (what < 97) {
            s.kind = Step::Kind::lineStyle;
            s.number = rng.range(1, 4);
        } else {
            s.kind = Step::Kind::transform;
        }
        steps.push_back(s);
    }
    return steps;
}

// What the services hold after a run.
struct Outcome {
    Raster picture{0, 0};
    int32_t colour = 0, textColour = 0, currentColour = 0;
    int penX = 0, penY = 0, textX = 0, textY = 0;
    long operations = 0;
    std::vector<std::pair<int32_t, int32_t>> transforms;
};

Outcome run(const std::vector<Step>& steps, bool inSeries, bool deferred) {
    testing::FreshProgram fresh;
    HeadlessWindow window;
    setGraphicsWindow(&window);
    PAGE(1, 650, 980, "chart");
    REGION(1, 1, 10, 50, 220, 120);
    REGION(1, 2, 10, 10, 220, 30);
    LIMITS(1, 1, 0, 30, 0, 1.4f);
    LIMITS(1, 2, 0, 30, 0, 1.0f);
    window.setDeferredDrawing(deferred);
    Outcome out;
    {
        PenSeries pen(1);
        for (const Step& s : steps) {
            switch (s.kind) {
                case Step::Kind::colour:
                    inSeries ? pen.SETCOL(s.number) : SETCOL(s.number);
                    break;
                case Step::Kind::move:
                    inSeries ? pen.MOVE(s.region, s.x, s.y, s.number)
                             : MOVE(1, s.region, s.x, s.y, s.number);
                    break;
                case Step::Kind::marker:
                    inSeries ? pen.MARKER(s.region, s.x, s.y, s.number, s.size)
                             : MARKER(1, s.region, s.x, s.y, s.number, s.size);
                    break;
                case Step::Kind::flush:
                    if (inSeries) pen.flush();
                    break;
                case Step::Kind::lineStyle:
                    if (inSeries) pen.flush();
                    SETLIN(s.number);
                    break;
                case Step::Kind::transform: {
                    int32_t ix = 0, iy = 0;
                    TMF(1, s.region, s.x, s.y, ix, iy);
                    out.transforms.emplace_back(ix, iy);
                    break;
                }
            }
        }
        pen.flush();
    }
    window.setDeferredDrawing(false);
    out.picture = window.snapshot();
    out.currentColour = plotState.currentColour;
    out.colour = window.SETCOLORRGB(0);
    out.textColour = window.SETTEXTCOLORRGB(0);
    out.operations = window.drawingOps();
    // A text without a move of its own starts where the last MOVETO left the pen.
    window.SETFONT("t'Times New Roman Cyr'h16w5b");
    window.OUTGTEXT("x");
    out.textX = window.texts().back().x;
    out.textY = window.texts().back().y;
    XYCoord pen;
    window.MOVETO(0, 0, pen);
    out.penX = pen.xcoord;
    out.penY = pen.ycoord;
    setGraphicsWindow(nullptr);
    return out;
}

bool samePixels(const Raster& a, const Raster& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

GTEST_TEST(PenSeries, DrawsAndLeavesTheServicesAsTheRoutinesOneByOne) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        Rng rng(seed);
        const std::vector<Step> steps = randomSteps(rng, 400);
        for (const bool deferred : {false, true}) {
            const Outcome routines = run(steps, false, deferred);
            const Outcome series = run(steps, true, deferred);
            const std::string where =
                "seed " + std::to_string(seed) + (deferred ? ", deferred" : ", at once");
            ASSERT_TRUE(samePixels(series.picture, routines.picture)) << where;
            EXPECT_EQ(std::tuple(series.colour, series.textColour, series.currentColour),
                      std::tuple(routines.colour, routines.textColour, routines.currentColour))
                << where;
            EXPECT_EQ(std::tuple(series.penX, series.penY, series.textX, series.textY),
                      std::tuple(routines.penX, routines.penY, routines.textX, routines.textY))
                << where;
            EXPECT_EQ(series.operations, routines.operations) << where;
            EXPECT_EQ(series.transforms, routines.transforms) << where;
        }
    }
}

GTEST_TEST(PenSeries, ARegionOrColourOutsideTheTablesStopsTheProgramAsTheRoutinesDo) {
    testing::FreshProgram fresh;
    HeadlessWindow window;
    setGraphicsWindow(&window);
    PAGE(1, 650, 980, "chart");
    auto stop = [](auto&& call) {
        try {
            call();
        } catch (const ProgramExit& exit) {
            return exit.message;
        }
        return std::string("(returned)");
    };
    PenSeries pen(1);
    pen.SETCOL(7);
    EXPECT_EQ(stop([&] { pen.MOVE(21, 1.0f, 1.0f, 0); }), stop([] { MOVE(1, 21, 1, 1, 0); }));
    EXPECT_EQ(stop([&] { pen.MARKER(0, 1.0f, 1.0f, 4, 2.0f); }),
              stop([] { MARKER(1, 0, 1, 1, 4, 2.0f); }));
    EXPECT_EQ(stop([&] { pen.SETCOL(106); }), stop([] { SETCOL(106); }));
    EXPECT_NE(stop([] { SETCOL(106); }), "(returned)");
    setGraphicsWindow(nullptr);
}

// The services' own way of taking a series (the interface's, call by call) and the raster
// window's (gathered), with lines in the style in force; the first seed's series are more than
// a batch of gathered shapes holds.
GTEST_TEST(PenSeries, TheServicesTakeASeriesAsItsShapesOneByOne) {
    for (uint32_t seed = 1; seed <= 30; ++seed) {
        Rng rng(seed);
        std::vector<PenShape> shapes;
        const size_t count = seed == 1 ? 40000 : 200;
        for (size_t i = 0; i < count; ++i) {
            shapes.push_back(PenShape{
                rng.range(0, 2) == 0 ? PenShape::Kind::filledEllipse : PenShape::Kind::line,
                int16_t(rng.range(-20, 120)), int16_t(rng.range(-20, 90)),
                int16_t(rng.range(-20, 120)), int16_t(rng.range(-20, 90)),
                int32_t(0x7F000000u | uint32_t(rng.range(0, 0xFFFFFF)))});
        }
        for (const bool deferred : {false, true}) {
            for (const uint16_t style : {uint16_t{0xFFFF}, uint16_t{0xF0F0}}) {
                HeadlessWindow byCalls, gathered;
                Raster pictures[2]{Raster(0, 0), Raster(0, 0)};
                XYCoord pens[2], textStarts[2];
                int32_t colours[2] = {};
                long operations[2] = {};
                HeadlessWindow* windows[2] = {&byCalls, &gathered};
                for (int w = 0; w < 2; ++w) {
                    HeadlessWindow& window = *windows[w];
                    window.OPENUSER(1, "shapes");
                    WindowConfig config;
                    config.numxpixels = 100;
                    config.numypixels = 70;
                    window.SETWINDOWCONFIG(config);
                    window.SETLINESTYLE(style);
                    window.setDeferredDrawing(deferred);
                    // In series of 120 and fewer, as a pen series hands them over.
                    for (size_t done = 0; done < count; done += 120) {
                        const size_t n = std::min<size_t>(120, count - done);
                        if (w == 0) {
                            window.DrawingServices::drawShapes(shapes.data() + done, n);
                        } else {
                            window.drawShapes(shapes.data() + done, n);
                        }
                    }
                    window.setDeferredDrawing(false);
                    pictures[w] = window.snapshot();
                    window.SETFONT("t'Times New Roman Cyr'h16w5b");
                    window.OUTGTEXT("x");
                    textStarts[w] =
                        XYCoord{int16_t(window.texts().back().x), int16_t(window.texts().back().y)};
                    window.MOVETO(0, 0, pens[w]);
                    colours[w] = window.SETCOLORRGB(0);
                    operations[w] = window.drawingOps();
                }
                const std::string where = "seed " + std::to_string(seed) +
                                          (deferred ? ", deferred" : ", at once") +
                                          (style == 0xFFFF ? ", solid" : ", dashed");
                ASSERT_TRUE(samePixels(pictures[1], pictures[0])) << where;
                EXPECT_EQ(std::tuple(pens[1].xcoord, pens[1].ycoord, colours[1], operations[1]),
                          std::tuple(pens[0].xcoord, pens[0].ycoord, colours[0], operations[0]))
                    << where;
                EXPECT_EQ(std::pair(textStarts[1].xcoord, textStarts[1].ycoord),
                          std::pair(textStarts[0].xcoord, textStarts[0].ycoord))
                    << where;
            }
        }
    }
}

}  // namespace
}  // namespace trelvan::plottest
