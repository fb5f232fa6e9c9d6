// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the software raster. Expectations come from rules (edge cases, invariants such as
// "clipping does not change the pixels inside the window") and from slow reference models
// that evaluate each pixel by a direct formula, checked on seeded random cases.
#include "platform/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using trelvan::Raster;
using trelvan::RasterPoint;

constexpr uint32_t kPaper = 0xFFFFFF;
constexpr uint32_t kInk = 0x3366CC;

class Rng {
  public:
    explicit Rng(uint32_t seed) : engine_(seed) {}
    int range(int lo, int hi) { return lo + int(engine_() % uint32_t(hi - lo + 1)); }
    uint16_t mask() { return uint16_t(engine_()); }

  private:
    std::mt19937 engine_;
};

using PixelSet = std::set<std::pair<int, int>>;

PixelSet inked(const Raster& r, uint32_t background = kPaper) {
    PixelSet set;
    for (int y = 0; y < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x) {
            if (r.pixel(x, y) != background) set.insert({x, y});
        }
    }
    return set;
}

// Compares the small surface with the part of the big one whose top-left is (ox, oy).
::testing::AssertionResult sameAsWindow(const Raster& small, const Raster& big, int ox, int oy) {
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            if (small.pixel(x, y) != big.pixel(x + ox, y + oy)) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") of the window differs";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult samePixels(const Raster& a, const Raster& b) {
    if (a.width() != b.width() || a.height() != b.height()) {
        return ::testing::AssertionFailure() << "sizes differ";
    }
    return sameAsWindow(a, b, 0, 0);
}

bool patternOn(uint16_t mask, int64_t k) {
    return ((mask >> (15 - k % 16)) & 1) != 0;
}

// Reference line: pixel k is found by evaluating the ideal line at step k of the major axis
// and rounding the minor coordinate to nearest, exact halves to the smaller value. The
// division of two integers below 2^33 is exact enough in double precision to see halves.
std::pair<int64_t, int64_t> referenceLinePixel(int x1, int y1, int x2, int y2, int64_t k) {
    const int64_t dx = int64_t(x2) - x1;
    const int64_t dy = int64_t(y2) - y1;
    const int64_t n = std::max(std::abs(dx), std::abs(dy));
    if (n == 0) return {x1, y1};
    if (std::abs(dx) >= std::abs(dy)) {
        const double y = y1 + double(dy * k) / double(n);
        return {x1 + (dx > 0 ? k : -k), int64_t(std::ceil(y - 0.5))};
    }
    const double x = x1 + double(dx * k) / double(n);
    return {int64_t(std::ceil(x - 0.5)), y1 + (dy > 0 ? k : -k)};
}

int64_t referenceLineLength(int x1, int y1, int x2, int y2) {
    return std::max(std::abs(int64_t(x2) - x1), std::abs(int64_t(y2) - y1)) + 1;
}

void referenceLine(Raster& r, int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask) {
    const int64_t count = referenceLineLength(x1, y1, x2, y2);
    for (int64_t k = 0; k < count; ++k) {
        if (!patternOn(mask, k)) continue;
        const auto [x, y] = referenceLinePixel(x1, y1, x2, y2, k);
        if (r.inside(int(x), int(y))) r.setPixel(int(x), int(y), colour);
    }
}

// Reference ellipse membership, pixel by pixel: the pixel centre lies in the ellipse with
// semi-axes w/2 and h/2 about the box centre, or the pixel is in the middle row(s) or the
// middle column(s) of the box. Doubled coordinates keep everything integral.
bool inReferenceEllipse(int left, int top, int right, int bottom, int x, int y) {
    if (x < left || x > right || y < top || y > bottom) return false;
    using Wide = __int128;  // boxes up to 65536 pixels wide overflow 64 bits here
    const Wide w = Wide(right) - left + 1;
    const Wide h = Wide(bottom) - top + 1;
    const Wide u = 2 * Wide(x) - left - right;
    const Wide v = 2 * Wide(y) - top - bottom;
    if ((u >= -1 && u <= 1) || (v >= -1 && v <= 1)) return true;
    return u * u * h * h + v * v * w * w <= w * w * h * h;
}

// Reference polygon membership: a crossing count along the row to the right of the pixel
// centre, in exact integer arithmetic.
bool inReferencePolygon(const std::vector<RasterPoint>& p, int x, int y) {
    bool inside = false;
    for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const int64_t xa = p[j].x, ya = p[j].y, xb = p[i].x, yb = p[i].y;
        if ((ya > y) == (yb > y)) continue;
        // x < xa + (y - ya) (xb - xa) / (yb - ya)
        const int64_t lhs = (x - xa) * (yb - ya);
        const int64_t rhs = (y - ya) * (xb - xa);
        if (yb > ya ? lhs < rhs : lhs > rhs) inside = !inside;
    }
    return inside;
}

// ------------------------------------------------------------------------------------------

GTEST_TEST(RasterSurface, StartsFilledAndClearRepaintsEveryPixel) {
    Raster r(7, 5, 0x808080);
    EXPECT_EQ(r.width(), 7);
    EXPECT_EQ(r.height(), 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) EXPECT_EQ(r.pixel(x, y), 0x808080u);
    }
    r.clear(0xFF0000);
    EXPECT_TRUE(inked(r, 0xFF0000).empty());
}

GTEST_TEST(RasterSurface, SetPixelInsideReturnsPreviousColour) {
    Raster r(4, 3, 0x010203);
    EXPECT_EQ(r.setPixel(3, 2, 0xABCDEF), 0x010203);
    EXPECT_EQ(r.setPixel(3, 2, 0x000000), 0xABCDEF);
    EXPECT_EQ(r.pixel(3, 2), 0u);
    EXPECT_EQ(inked(r, 0x010203), (PixelSet{{3, 2}}));
}

GTEST_TEST(RasterSurface, SetPixelOutsideChangesNothingAndReturnsMinusOne) {
    Raster r(4, 3);
    for (auto [x, y] : std::vector<std::pair<int, int>>{
             {-1, 0}, {0, -1}, {4, 0}, {0, 3}, {4, 3}, {-32768, -32768}, {32767, 32767}}) {
        EXPECT_EQ(r.setPixel(x, y, kInk), -1) << x << ", " << y;
    }
    EXPECT_TRUE(inked(r).empty());
}

GTEST_TEST(RasterSurface, OnlyTheLow24BitsOfAColourAreStored) {
    Raster r(2, 1, 0xFF000000u | 0x112233);
    EXPECT_EQ(r.pixel(0, 0), 0x112233u);
    r.setPixel(1, 0, 0xFFFFFFFFu);
    EXPECT_EQ(r.setPixel(1, 0, 0), 0xFFFFFF);  // stays distinguishable from -1
    r.fillRect(0, 0, 1, 0, 0xAA000001u);
    EXPECT_EQ(r.pixel(1, 0), 1u);
}

// ------------------------------------------------------------------------------------------

GTEST_TEST(RasterLine, HorizontalLineIncludesBothEnds) {
    Raster r(8, 2);
    r.line(1, 0, 4, 0, kInk, 0xFFFF);
    EXPECT_EQ(inked(r), (PixelSet{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
}

GTEST_TEST(RasterLine, EveryDirectionCoversItsLengthAndBothEnds) {
    // Lines from the centre to every point of a square ring: one pixel per step of the
    // major axis, the end points included, and the same pixels in both directions.
    for (int ex = 0; ex <= 20; ++ex) {
        for (int ey = 0; ey <= 20; ++ey) {
            if (ex != 0 && ex != 20 && ey != 0 && ey != 20) continue;
            Raster forward(21, 21), backward(21, 21);
            forward.line(10, 10, ex, ey, kInk, 0xFFFF);
            backward.line(ex, ey, 10, 10, kInk, 0xFFFF);
            const PixelSet set = inked(forward);
            EXPECT_EQ(int64_t(set.size()), referenceLineLength(10, 10, ex, ey));
            EXPECT_TRUE(set.count({10, 10}) && set.count({ex, ey})) << ex << ", " << ey;
            EXPECT_TRUE(samePixels(forward, backward)) << ex << ", " << ey;
        }
    }
}

GTEST_TEST(RasterLine, ExactHalvesGoToTheSmallerMinorCoordinate) {
    struct Case {
        int x1, y1, x2, y2;
        PixelSet pixels;
    };
    const std::vector<Case> cases = {
        {0, 0, 2, 1, {{0, 0}, {1, 0}, {2, 1}}},  // mostly horizontal, descending: up
        {0, 1, 2, 0, {{0, 1}, {1, 0}, {2, 0}}},  // mostly horizontal, ascending: up
        {0, 0, 1, 2, {{0, 0}, {0, 1}, {1, 2}}},  // mostly vertical, to the right: left
        {1, 0, 0, 2, {{1, 0}, {0, 1}, {0, 2}}},  // mostly vertical, to the left: left
        {0, 0, 6, 3, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}, {6, 3}}},
    };
    for (const Case& c : cases) {
        Raster forward(8, 8), backward(8, 8);
        forward.line(c.x1, c.y1, c.x2, c.y2, kInk, 0xFFFF);
        backward.line(c.x2, c.y2, c.x1, c.y1, kInk, 0xFFFF);
        EXPECT_EQ(inked(forward), c.pixels) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
        EXPECT_EQ(inked(backward), c.pixels) << "reversed";
    }
}

GTEST_TEST(RasterLine, SinglePointLineFollowsTheFirstPatternBit) {
    Raster r(3, 3);
    r.line(1, 1, 1, 1, kInk, 0x7FFF);
    EXPECT_TRUE(inked(r).empty());
    r.line(1, 1, 1, 1, kInk, 0x8000);
    EXPECT_EQ(inked(r), (PixelSet{{1, 1}}));
}

GTEST_TEST(RasterLine, StyleMaskRunsMostSignificantBitFirstFromTheFirstPoint) {
    Raster r(40, 1);
    r.line(0, 0, 39, 0, kInk, 0x8001);  // pixels 0, 15, 16, 31, 32
    EXPECT_EQ(inked(r), (PixelSet{{0, 0}, {15, 0}, {16, 0}, {31, 0}, {32, 0}}));
    Raster back(40, 1);
    back.line(39, 0, 0, 0, kInk, 0x8000);  // counted from x = 39
    EXPECT_EQ(inked(back), (PixelSet{{39, 0}, {23, 0}, {7, 0}}));
}

GTEST_TEST(RasterLine, StyleMaskCountsPixelsAlongDiagonalsAndSteepLines) {
    Raster diagonal(40, 40);
    diagonal.line(0, 0, 35, 35, kInk, 0xAAAA);  // every other pixel, from the first
    PixelSet expected;
    for (int k = 0; k <= 35; k += 2) expected.insert({k, k});
    EXPECT_EQ(inked(diagonal), expected);

    // A steep line: the pattern advances once per row, not per unit of length.
    Raster steep(10, 40);
    steep.line(2, 0, 5, 33, kInk, 0xF000);
    for (const auto& [x, y] : inked(steep)) EXPECT_LT(y % 16, 4) << x << ", " << y;
    EXPECT_EQ(inked(steep).size(), 4u + 4u + 2u);  // rows 0-3, 16-19, 32-33
}

GTEST_TEST(RasterLine, MatchesReferenceOnRandomLines) {
    Rng rng(1234);
    for (int i = 0; i < 400; ++i) {
        Raster drawn(60, 45), expected(60, 45);
        // Mostly near the surface, some across the whole 16-bit range.
        const int span = i % 4 == 0 ? 32767 : 80;
        const int x1 = rng.range(-span, span), y1 = rng.range(-span, span);
        const int x2 = rng.range(-span, span), y2 = rng.range(-span, span);
        const uint16_t mask = i % 3 == 0 ? 0xFFFF : rng.mask();
        drawn.line(x1, y1, x2, y2, kInk, mask);
        referenceLine(expected, x1, y1, x2, y2, kInk, mask);
        ASSERT_TRUE(samePixels(drawn, expected))
            << "(" << x1 << ", " << y1 << ") - (" << x2 << ", " << y2 << ") mask " << mask;
    }
}

GTEST_TEST(RasterLine, ExtremeLinesThroughTheSurfaceMatchReference) {
    // Lines across the whole coordinate range that pass through a 980 by 650 surface.
    const std::vector<std::vector<int>> lines = {
        {-32768, -32768, 32767, 32767}, {32767, -32000, -31000, 32767},
        {-32768, 300, 32767, 301},      {500, -32768, 499, 32767},
        {-32768, -10000, 32767, 10000}, {-20000, 32767, 20000, -32768},
        {-32768, 649, 32767, 649},      {979, 32767, 979, -32768},
    };
    for (const auto& l : lines) {
        for (uint16_t mask : {uint16_t(0xFFFF), uint16_t(0xC3A5)}) {
            Raster drawn(980, 650), expected(980, 650);
            drawn.line(l[0], l[1], l[2], l[3], kInk, mask);
            referenceLine(expected, l[0], l[1], l[2], l[3], kInk, mask);
            EXPECT_FALSE(inked(drawn).empty()) << l[0] << "," << l[1] << " " << mask;
            EXPECT_TRUE(samePixels(drawn, expected))
                << l[0] << "," << l[1] << " " << l[2] << "," << l[3] << " mask " << mask;
        }
    }
}

GTEST_TEST(RasterLine, ClippingDoesNotChangeThePixelsInsideTheWindow) {
    Rng rng(99);
    for (int i = 0; i < 300; ++i) {
        Raster big(300, 240), window(70, 50);
        const int ox = 110, oy = 90;
        const int x1 = rng.range(0, 299), y1 = rng.range(0, 239);
        const int x2 = rng.range(0, 299), y2 = rng.range(0, 239);
        const uint16_t mask = rng.mask();
        big.line(x1, y1, x2, y2, kInk, mask);
        window.line(x1 - ox, y1 - oy, x2 - ox, y2 - oy, kInk, mask);
        ASSERT_TRUE(sameAsWindow(window, big, ox, oy))
            << "(" << x1 << ", " << y1 << ") - (" << x2 << ", " << y2 << ") mask " << mask;
    }
}

GTEST_TEST(RasterLine, EveryLineAroundASmallSurfaceMatchesReference) {
    // All lines between points of a grid around a 5 by 4 surface: each way of entering and
    // leaving through a side or a corner, at every phase of the error term. A pixel put one
    // column beyond a side would show up at the other end of a neighbouring row.
    for (int x1 = -3; x1 <= 8; ++x1) {
        for (int y1 = -3; y1 <= 7; ++y1) {
            for (int x2 = -3; x2 <= 8; ++x2) {
                for (int y2 = -3; y2 <= 7; ++y2) {
                    Raster drawn(5, 4), expected(5, 4);
                    drawn.line(x1, y1, x2, y2, kInk, 0xFFFF);
                    referenceLine(expected, x1, y1, x2, y2, kInk, 0xFFFF);
                    ASSERT_TRUE(samePixels(drawn, expected))
                        << "(" << x1 << ", " << y1 << ") - (" << x2 << ", " << y2 << ")";
                }
            }
        }
    }
}

GTEST_TEST(RasterLine, AxisParallelLinesMatchReferenceInEveryDirectionAndClipping) {
    // Horizontal and vertical lines take their own path: both directions, single pixels,
    // every clipping of their ends, solid and patterned, over the whole coordinate range.
    const int ends[] = {-32768, -40, -1, 0, 1, 17, 38, 39, 40, 41, 500, 32767};
    for (int a : ends) {
        for (int b : ends) {
            for (int across : {-1, 0, 5, 29, 30}) {
                for (uint16_t mask : {uint16_t(0xFFFF), uint16_t(0xF0F0), uint16_t(0x8001)}) {
                    Raster drawn(40, 30), expected(40, 30);
                    drawn.line(a, across, b, across, kInk, mask);
                    drawn.line(across, a, across, b, 0x00AA00, mask);
                    referenceLine(expected, a, across, b, across, kInk, mask);
                    referenceLine(expected, across, a, across, b, 0x00AA00, mask);
                    ASSERT_TRUE(samePixels(drawn, expected))
                        << a << " to " << b << " at " << across << " mask " << mask;
                }
            }
        }
    }
}

GTEST_TEST(RasterLine, LinesEntirelyOutsideDrawNothing) {
    Raster r(50, 40);
    r.line(-5, -1, 60, -1, kInk, 0xFFFF);
    r.line(50, -10, 50, 100, kInk, 0xFFFF);
    r.line(-32768, 100, 32767, 41, kInk, 0xFFFF);
    r.line(-1, 5, -30000, -20000, kInk, 0xFFFF);
    r.line(-10, 2, 2, -10, kInk, 0xFFFF);  // passes the corner just outside
    EXPECT_TRUE(inked(r).empty());
}

// ------------------------------------------------------------------------------------------

GTEST_TEST(RasterRect, FilledWindowSizedRectangleCoversEveryPixel) {
    Raster r(980, 650, 0x000000);
    r.fillRect(0, 0, 979, 649, kInk);
    EXPECT_TRUE(inked(r, kInk).empty());
}

GTEST_TEST(RasterRect, FillIncludesBothCornersInAnyOrderAndClips) {
    Raster ordered(20, 10), swapped(20, 10);
    ordered.fillRect(3, 2, 7, 5, kInk);
    swapped.fillRect(7, 5, 3, 2, kInk);
    EXPECT_EQ(inked(ordered).size(), 5u * 4u);
    EXPECT_TRUE(ordered.pixel(3, 2) == kInk && ordered.pixel(7, 5) == kInk);
    EXPECT_TRUE(samePixels(ordered, swapped));
    Raster cornerSwap(20, 10);
    cornerSwap.fillRect(7, 2, 3, 5, kInk);
    EXPECT_TRUE(samePixels(ordered, cornerSwap));

    Raster clipped(20, 10);
    clipped.fillRect(-32768, 8, 32767, 32767, kInk);  // the two bottom rows
    PixelSet expected;
    for (int x = 0; x < 20; ++x) expected.insert({x, 8}), expected.insert({x, 9});
    EXPECT_EQ(inked(clipped), expected);
    clipped.fillRect(-5, -5, -1, 20, 0);
    clipped.fillRect(20, 0, 25, 9, 0);
    EXPECT_EQ(inked(clipped), expected);
}

GTEST_TEST(RasterRect, OutlineIsTheFourEdgesEachStartingThePattern) {
    Raster solid(30, 20);
    solid.rectOutline(25, 15, 2, 3, kInk, 0xFFFF);
    PixelSet border;
    for (int x = 2; x <= 25; ++x) border.insert({x, 3}), border.insert({x, 15});
    for (int y = 3; y <= 15; ++y) border.insert({2, y}), border.insert({25, y});
    EXPECT_EQ(inked(solid), border);

    // One dot every 16 pixels from each edge's own start: top from the left, right side
    // downwards, bottom from the right, left side upwards.
    Raster dotted(30, 20);
    dotted.rectOutline(2, 3, 25, 15, kInk, 0x8000);
    const PixelSet dots = {{2, 3}, {18, 3}, {25, 3}, {25, 15}, {9, 15}, {2, 15}};
    EXPECT_EQ(inked(dotted), dots);
}

GTEST_TEST(RasterRect, ClippedOutlineEqualsUnclipped) {
    Rng rng(7);
    for (int i = 0; i < 100; ++i) {
        Raster big(200, 200), window(60, 50);
        const int ox = 70, oy = 80;
        const int x1 = rng.range(0, 199), y1 = rng.range(0, 199);
        const int x2 = rng.range(0, 199), y2 = rng.range(0, 199);
        const uint16_t mask = rng.mask();
        big.rectOutline(x1, y1, x2, y2, kInk, mask);
        window.rectOutline(x1 - ox, y1 - oy, x2 - ox, y2 - oy, kInk, mask);
        ASSERT_TRUE(sameAsWindow(window, big, ox, oy)) << i;
    }
}

// ------------------------------------------------------------------------------------------

struct Bounds {
    int left = 1 << 30, top = 1 << 30, right = -(1 << 30), bottom = -(1 << 30);
};

Bounds boundsOf(const PixelSet& set) {
    Bounds b;
    for (const auto& [x, y] : set) {
        b.left = std::min(b.left, x);
        b.right = std::max(b.right, x);
        b.top = std::min(b.top, y);
        b.bottom = std::max(b.bottom, y);
    }
    return b;
}

GTEST_TEST(RasterEllipse, PlotMarkerBoxIsSpannedExactly) {
    Raster r(980, 650);
    r.fillEllipse(496, 96, 504, 103, kInk);
    const Bounds b = boundsOf(inked(r));
    EXPECT_EQ(b.left, 496);
    EXPECT_EQ(b.right, 504);
    EXPECT_EQ(b.top, 96);
    EXPECT_EQ(b.bottom, 103);
}

GTEST_TEST(RasterEllipse, FilledShapeTouchesAllSidesIsSymmetricAndConvex) {
    for (int w = 1; w <= 40; ++w) {
        for (int h = 1; h <= 40; ++h) {
            Raster r(44, 44);
            const int left = 2, top = 1, right = left + w - 1, bottom = top + h - 1;
            r.fillEllipse(right, bottom, left, top, kInk);  // swapped corners
            const PixelSet set = inked(r);
            const Bounds b = boundsOf(set);
            ASSERT_TRUE(b.left == left && b.right == right && b.top == top && b.bottom == bottom)
                << w << " x " << h;
            for (const auto& [x, y] : set) {
                ASSERT_TRUE(set.count({left + right - x, y})) << w << " x " << h;
                ASSERT_TRUE(set.count({x, top + bottom - y})) << w << " x " << h;
            }
            // Every row one run, the runs never wider away from the middle.
            int previousWidth = 0;
            for (int y = top; 2 * y <= top + bottom; ++y) {
                int count = 0, first = -1, last = -1;
                for (int x = left; x <= right; ++x) {
                    if (r.pixel(x, y) != kInk) continue;
                    ++count;
                    if (first < 0) first = x;
                    last = x;
                }
                ASSERT_EQ(count, last - first + 1) << w << " x " << h << " row " << y;
                ASSERT_GE(count, previousWidth) << w << " x " << h << " row " << y;
                previousWidth = count;
            }
        }
    }
}

GTEST_TEST(RasterEllipse, ThinBoxesGiveLinesAndBlocks) {
    for (int size = 1; size <= 30; ++size) {
        // One or two pixels across: the whole box.
        for (int thin = 1; thin <= 2; ++thin) {
            Raster wide(35, 35), tall(35, 35);
            wide.fillEllipse(1, 3, size, 3 + thin - 1, kInk);
            tall.fillEllipse(3, 1, 3 + thin - 1, size, kInk);
            EXPECT_EQ(inked(wide).size(), size_t(size * thin)) << size << " x " << thin;
            EXPECT_EQ(inked(tall).size(), size_t(size * thin)) << thin << " x " << size;
        }
    }
    Raster dot(3, 3);
    dot.fillEllipse(1, 1, 1, 1, kInk);
    EXPECT_EQ(inked(dot), (PixelSet{{1, 1}}));
}

GTEST_TEST(RasterEllipse, CircleRowsFollowTheCircle) {
    // Circles of diameter d: the pixel count stays within the border pixels of the area of
    // the inscribed circle, and the corners of the box stay empty from d = 4.
    for (int d = 4; d <= 200; ++d) {
        Raster r(d + 2, d + 2);
        r.fillEllipse(1, 1, d, d, kInk);
        const double area = std::numbers::pi * d * d / 4.0;
        const double count = double(inked(r).size());
        EXPECT_NEAR(count, area, 1.5 * d) << d;
        EXPECT_NE(r.pixel(1, 1), kInk) << d;
        EXPECT_NE(r.pixel(d, d), kInk) << d;
    }
}

GTEST_TEST(RasterEllipse, LandoltRingHasEqualThicknessOnAllSides) {
    // Drawn as the vision check draws it: a black disc, then a white one inside.
    for (double radius : {3.3, 7.4, 12.0, 25.7, 48.2, 101.9}) {
        const double xc = 490.0, yc = 325.0, inner = radius * 0.6;
        Raster r(980, 650);
        auto round = [](double v) { return int(std::lround(v)); };
        r.fillEllipse(round(xc - radius), round(yc - radius), round(xc + radius),
                      round(yc + radius), 0x000000);
        r.fillEllipse(round(xc - inner + 0.5), round(yc - inner + 0.5), round(xc + inner - 0.5),
                      round(yc + inner - 0.5), kPaper);
        const Bounds b = boundsOf(inked(r));
        EXPECT_EQ(b.right - b.left + 1, round(xc + radius) - round(xc - radius) + 1);
        EXPECT_EQ(b.bottom - b.top + 1, round(yc + radius) - round(yc - radius) + 1);
        EXPECT_NEAR(b.right - b.left, 2 * radius, 1.0) << radius;
        // Thickness along the middle row and column, measured from each side.
        auto runFrom = [&](int x, int y, int dx, int dy) {
            int n = 0;
            while (r.pixel(x, y) == 0) x += dx, y += dy, ++n;
            return n;
        };
        const int cy = (b.top + b.bottom) / 2, cx = (b.left + b.right) / 2;
        const int t = runFrom(b.left, cy, 1, 0);
        EXPECT_GE(t, 1);
        EXPECT_EQ(runFrom(b.right, cy, -1, 0), t) << radius;
        EXPECT_EQ(runFrom(cx, b.top, 0, 1), t) << radius;
        EXPECT_EQ(runFrom(cx, b.bottom, 0, -1), t) << radius;
    }
}

GTEST_TEST(RasterEllipse, FillMatchesReferenceOnRandomBoxes) {
    Rng rng(2024);
    for (int i = 0; i < 300; ++i) {
        Raster r(90, 70);
        // Boxes partly outside, some of them huge.
        const int span = i % 10 == 0 ? 3000 : 120;
        const int x1 = rng.range(-span / 2, span), y1 = rng.range(-span / 2, span);
        const int x2 = rng.range(-span / 2, span), y2 = rng.range(-span / 2, span);
        r.fillEllipse(x1, y1, x2, y2, kInk);
        const int left = std::min(x1, x2), right = std::max(x1, x2);
        const int top = std::min(y1, y2), bottom = std::max(y1, y2);
        for (int y = 0; y < r.height(); ++y) {
            for (int x = 0; x < r.width(); ++x) {
                ASSERT_EQ(r.pixel(x, y) == kInk, inReferenceEllipse(left, top, right, bottom, x, y))
                    << "box " << x1 << "," << y1 << " " << x2 << "," << y2 << " at " << x << ","
                    << y;
            }
        }
    }
}

GTEST_TEST(RasterEllipse, RecurringSizesMatchReference) {
    // A chart draws thousands of markers of a few sizes in turn, at every position, partly
    // off the surface too; the rows of a size are worked out once and kept.
    Rng rng(77);
    const int sizes[][2] = {{8, 7}, {9, 7}, {8, 7}, {1, 1}, {8, 8}, {3, 12}, {8, 7}, {9, 7}};
    for (int i = 0; i < 400; ++i) {
        Raster r(50, 40);
        const int* size = sizes[i % 8];
        const int x1 = rng.range(-12, 55), y1 = rng.range(-12, 45);
        const int x2 = x1 + size[0] - 1, y2 = y1 + size[1] - 1;
        if (i % 2 == 0) {
            r.fillEllipse(x1, y1, x2, y2, kInk);
        } else {
            r.fillEllipse(x2, y2, x1, y1, kInk);
        }
        for (int y = 0; y < r.height(); ++y) {
            for (int x = 0; x < r.width(); ++x) {
                ASSERT_EQ(r.pixel(x, y) == kInk, inReferenceEllipse(x1, y1, x2, y2, x, y))
                    << "box " << x1 << "," << y1 << " " << x2 << "," << y2 << " at " << x << ","
                    << y;
            }
        }
    }
}

GTEST_TEST(RasterEllipse, HugeEllipsesAcrossTheCoordinateRange) {
    // Spot checks by the reference on a full-range box and a very flat one.
    Raster r(980, 650);
    r.fillEllipse(-32768, -32768, 32767, 32767, kInk);
    EXPECT_TRUE(inked(r, kInk).empty());  // the surface lies well inside
    Raster flat(980, 650);
    flat.fillEllipse(-32768, 300, 32767, 301, kInk);
    PixelSet rows;
    for (int x = 0; x < 980; ++x) rows.insert({x, 300}), rows.insert({x, 301});
    EXPECT_EQ(inked(flat), rows);
    Raster edge(980, 650);
    edge.fillEllipse(-32768, -32768, 0, 32767, kInk);  // only its right tip column
    const PixelSet tip = inked(edge);
    ASSERT_FALSE(tip.empty());
    for (const auto& [x, y] : tip) {
        EXPECT_TRUE(inReferenceEllipse(-32768, -32768, 0, 32767, x, y)) << x << "," << y;
    }
}

PixelSet referenceEllipseOutline(int left, int top, int right, int bottom) {
    PixelSet set;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            if (!inReferenceEllipse(left, top, right, bottom, x, y)) continue;
            if (!inReferenceEllipse(left, top, right, bottom, x - 1, y) ||
                !inReferenceEllipse(left, top, right, bottom, x + 1, y) ||
                !inReferenceEllipse(left, top, right, bottom, x, y - 1) ||
                !inReferenceEllipse(left, top, right, bottom, x, y + 1)) {
                set.insert({x, y});
            }
        }
    }
    return set;
}

GTEST_TEST(RasterEllipse, SolidOutlineIsTheBorderOfTheFilledEllipse) {
    Rng rng(5);
    for (int i = 0; i < 200; ++i) {
        const int w = rng.range(1, 70), h = rng.range(1, 70);
        const int left = rng.range(0, 80 - w), top = rng.range(0, 80 - h);
        Raster r(80, 80);
        r.ellipseOutline(left, top, left + w - 1, top + h - 1, kInk, 0xFFFF);
        ASSERT_EQ(inked(r), referenceEllipseOutline(left, top, left + w - 1, top + h - 1))
            << w << " x " << h;
    }
}

GTEST_TEST(RasterEllipse, OutlinePatternVisitsEachBorderPixelOnce) {
    // The sixteen one-bit masks split the outline into disjoint parts that make it up whole,
    // which holds only if the pattern numbers every border pixel exactly once.
    for (auto [w, h] : std::vector<std::pair<int, int>>{{1, 1},
                                                        {1, 9},
                                                        {9, 1},
                                                        {2, 2},
                                                        {2, 17},
                                                        {17, 2},
                                                        {5, 5},
                                                        {9, 8},
                                                        {60, 31},
                                                        {77, 77}}) {
        Raster solid(80, 80);
        solid.ellipseOutline(1, 1, w, h, kInk, 0xFFFF);
        const PixelSet outline = inked(solid);
        PixelSet seen;
        size_t total = 0;
        for (int bit = 0; bit < 16; ++bit) {
            Raster part(80, 80);
            part.ellipseOutline(1, 1, w, h, kInk, uint16_t(1u << bit));
            const PixelSet p = inked(part);
            total += p.size();
            seen.insert(p.begin(), p.end());
        }
        EXPECT_EQ(total, outline.size()) << w << " x " << h;
        EXPECT_EQ(seen, outline) << w << " x " << h;
    }
}

GTEST_TEST(RasterEllipse, OutlinePatternRunsAlongTheCurve) {
    // With eight pixels on and eight off, a large circle shows dashes of eight touching
    // pixels; the last dash may join the first one where the walk closes.
    Raster r(260, 260);
    r.ellipseOutline(5, 5, 254, 254, kInk, 0xFF00);
    PixelSet left = inked(r);
    std::vector<size_t> sizes;
    while (!left.empty()) {
        std::vector<std::pair<int, int>> stack = {*left.begin()};
        left.erase(left.begin());
        size_t n = 0;
        while (!stack.empty()) {
            const auto [x, y] = stack.back();
            stack.pop_back();
            ++n;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    auto it = left.find({x + dx, y + dy});
                    if (it == left.end()) continue;
                    stack.push_back(*it);
                    left.erase(it);
                }
            }
        }
        sizes.push_back(n);
    }
    ASSERT_GT(sizes.size(), 40u);
    int other = 0;
    for (size_t n : sizes) {
        if (n != 8) {
            ++other;
            EXPECT_LE(n, 16u);
        }
    }
    EXPECT_LE(other, 1);
}

GTEST_TEST(RasterEllipse, ClippedEqualsUnclipped) {
    Rng rng(31);
    for (int i = 0; i < 200; ++i) {
        Raster bigFill(260, 220), windowFill(80, 60);
        Raster bigLine(260, 220), windowLine(80, 60);
        const int ox = 90, oy = 80;
        const int x1 = rng.range(10, 250), y1 = rng.range(10, 210);
        const int x2 = rng.range(10, 250), y2 = rng.range(10, 210);
        const uint16_t mask = rng.mask();
        bigFill.fillEllipse(x1, y1, x2, y2, kInk);
        windowFill.fillEllipse(x1 - ox, y1 - oy, x2 - ox, y2 - oy, kInk);
        bigLine.ellipseOutline(x1, y1, x2, y2, kInk, mask);
        windowLine.ellipseOutline(x1 - ox, y1 - oy, x2 - ox, y2 - oy, kInk, mask);
        ASSERT_TRUE(sameAsWindow(windowFill, bigFill, ox, oy)) << i;
        ASSERT_TRUE(sameAsWindow(windowLine, bigLine, ox, oy)) << i << " mask " << mask;
    }
}

// ------------------------------------------------------------------------------------------

GTEST_TEST(RasterPolygon, FewerThanThreeOrMoreThan16381PointsDrawNothing) {
    Raster r(20, 20);
    const std::vector<RasterPoint> two = {{1, 1}, {10, 10}};
    r.fillPolygon(two.data(), 2, kInk);
    r.polygonOutline(two.data(), 2, kInk, 0xFFFF);
    r.fillPolygon(nullptr, 0, kInk);
    EXPECT_TRUE(inked(r).empty());

    std::vector<RasterPoint> many(16382);
    for (size_t i = 0; i < many.size(); ++i) many[i] = {int(i % 3) * 8, int(i % 5) * 4};
    r.fillPolygon(many.data(), 16382, kInk);
    r.polygonOutline(many.data(), 16382, kInk, 0xFFFF);
    EXPECT_TRUE(inked(r).empty());
    r.polygonOutline(many.data(), 16381, kInk, 0xFFFF);
    EXPECT_FALSE(inked(r).empty());
}

GTEST_TEST(RasterPolygon, RightTriangleCoversItsLatticePoints) {
    Raster r(15, 15);
    const std::vector<RasterPoint> tri = {{1, 1}, {11, 1}, {1, 11}};
    r.fillPolygon(tri.data(), 3, kInk);
    PixelSet expected;
    for (int y = 1; y <= 11; ++y) {
        for (int x = 1; x + y <= 12; ++x) expected.insert({x, y});
    }
    EXPECT_EQ(inked(r), expected);
}

GTEST_TEST(RasterPolygon, EvenOddLeavesTheCentreOfAStarEmpty) {
    // Five-pointed star drawn through every second vertex of a pentagon.
    std::vector<RasterPoint> star;
    for (int i = 0; i < 5; ++i) {
        const double a = -std::numbers::pi / 2 + i * 4 * std::numbers::pi / 5;
        star.push_back(
            {int(std::lround(50 + 40 * std::cos(a))), int(std::lround(50 + 40 * std::sin(a)))});
    }
    Raster r(100, 100);
    r.fillPolygon(star.data(), 5, kInk);
    EXPECT_NE(r.pixel(50, 50), kInk);
    EXPECT_EQ(r.pixel(50, 20), kInk);  // inside the upper point
    // A square walked twice is inside twice: only its outline remains.
    const std::vector<RasterPoint> twice = {{5, 5}, {15, 5}, {15, 15}, {5, 15},
                                            {5, 5}, {15, 5}, {15, 15}, {5, 15}};
    Raster sq(20, 20), border(20, 20);
    sq.fillPolygon(twice.data(), 8, kInk);
    border.rectOutline(5, 5, 15, 15, kInk, 0xFFFF);
    EXPECT_TRUE(samePixels(sq, border));
}

GTEST_TEST(RasterPolygon, ThinShapesKeepTheirEdges) {
    const std::vector<RasterPoint> sliver = {{2, 2}, {30, 9}, {16, 5}};  // nearly collinear
    Raster filled(40, 20), edges(40, 20);
    filled.fillPolygon(sliver.data(), 3, kInk);
    edges.polygonOutline(sliver.data(), 3, kInk, 0xFFFF);
    EXPECT_FALSE(inked(edges).empty());
    for (const auto& p : inked(edges)) EXPECT_EQ(filled.pixel(p.first, p.second), kInk);
}

GTEST_TEST(RasterPolygon, OutlineStartsThePatternAtEachVertex) {
    const std::vector<RasterPoint> tri = {{0, 0}, {20, 0}, {20, 20}};
    Raster r(25, 25), expected(25, 25);
    r.polygonOutline(tri.data(), 3, kInk, 0x8000);
    expected.line(0, 0, 20, 0, kInk, 0x8000);
    expected.line(20, 0, 20, 20, kInk, 0x8000);
    expected.line(20, 20, 0, 0, kInk, 0x8000);
    EXPECT_TRUE(samePixels(r, expected));
    EXPECT_EQ(inked(r), (PixelSet{{0, 0}, {16, 0}, {20, 0}, {20, 16}, {20, 20}, {4, 4}}));
}

GTEST_TEST(RasterPolygon, FillMatchesReferenceOnRandomPolygons) {
    Rng rng(777);
    for (int i = 0; i < 300; ++i) {
        const int count = rng.range(3, 12);
        const int span = i % 10 == 0 ? 32767 : 60;
        std::vector<RasterPoint> points;
        for (int k = 0; k < count; ++k) {
            points.push_back({rng.range(-span / 3, span), rng.range(-span / 3, span)});
        }
        Raster r(50, 40), expected(50, 40);
        r.fillPolygon(points.data(), count, kInk);
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 50; ++x) {
                if (inReferencePolygon(points, x, y)) expected.setPixel(x, y, kInk);
            }
        }
        for (int k = 0; k < count; ++k) {
            const RasterPoint& p = points[k];
            const RasterPoint& q = points[(k + 1) % count];
            referenceLine(expected, p.x, p.y, q.x, q.y, kInk, 0xFFFF);
        }
        ASSERT_TRUE(samePixels(r, expected)) << "case " << i;
    }
}

GTEST_TEST(RasterPolygon, ClippedEqualsUnclipped) {
    Rng rng(4242);
    for (int i = 0; i < 150; ++i) {
        const int count = rng.range(3, 9);
        std::vector<RasterPoint> points, shifted;
        const int ox = 60, oy = 50;
        for (int k = 0; k < count; ++k) {
            points.push_back({rng.range(0, 199), rng.range(0, 159)});
            shifted.push_back({points.back().x - ox, points.back().y - oy});
        }
        const uint16_t mask = rng.mask();
        Raster big(200, 160), window(70, 50), bigLine(200, 160), windowLine(70, 50);
        big.fillPolygon(points.data(), count, kInk);
        window.fillPolygon(shifted.data(), count, kInk);
        bigLine.polygonOutline(points.data(), count, kInk, mask);
        windowLine.polygonOutline(shifted.data(), count, kInk, mask);
        ASSERT_TRUE(sameAsWindow(window, big, ox, oy)) << i;
        ASSERT_TRUE(sameAsWindow(windowLine, bigLine, ox, oy)) << i;
    }
}

// ------------------------------------------------------------------------------------------

uint32_t referenceBlend(uint32_t bg, uint32_t c, int a) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double v = (((bg >> shift) & 0xFF) * (255.0 - a) + ((c >> shift) & 0xFF) * a) / 255;
        out |= uint32_t(std::floor(v + 0.5)) << shift;
    }
    return out;
}

GTEST_TEST(RasterBlend, EveryCoverageRoundsEachChannelToNearest) {
    const std::vector<std::pair<uint32_t, uint32_t>> pairs = {
        {0x000000, 0xFFFFFF}, {0xFFFFFF, 0x000000}, {0x10F080, 0x3366CC}, {0x7F7F7F, 0x808080}};
    for (const auto& [bg, c] : pairs) {
        std::vector<uint8_t> coverage(256);
        for (int a = 0; a < 256; ++a) coverage[a] = uint8_t(a);
        Raster r(16, 16, bg);
        r.blendMask(0, 0, coverage.data(), 16, 16, c);
        for (int a = 0; a < 256; ++a) {
            ASSERT_EQ(r.pixel(a % 16, a / 16), referenceBlend(bg, c, a))
                << std::hex << bg << " " << c << std::dec << " a " << a;
        }
        EXPECT_EQ(r.pixel(0, 0), bg);
        EXPECT_EQ(r.pixel(15, 15), c);
    }
}

GTEST_TEST(RasterBlend, MaskIsClippedAndPlacedByItsTopLeft) {
    std::vector<uint8_t> coverage(5 * 4);
    for (size_t i = 0; i < coverage.size(); ++i) coverage[i] = uint8_t(255 - i);
    for (auto [x, y] : std::vector<std::pair<int, int>>{
             {-2, -1}, {4, 5}, {-5, 0}, {10, 3}, {-30000, -30000}, {1, 1}}) {
        Raster r(10, 8, 0x000000), expected(10, 8, 0x000000);
        r.blendMask(x, y, coverage.data(), 5, 4, 0xFFFFFF);
        for (int j = 0; j < 4; ++j) {
            for (int i = 0; i < 5; ++i) {
                if (!expected.inside(x + i, y + j)) continue;
                expected.setPixel(x + i, y + j, referenceBlend(0, 0xFFFFFF, coverage[j * 5 + i]));
            }
        }
        EXPECT_TRUE(samePixels(r, expected)) << x << ", " << y;
    }
}

// ------------------------------------------------------------------------------------------

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

uint32_t le16(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

std::vector<uint8_t> imageOf(const Raster& r, int x1, int y1, int x2, int y2, int bpp) {
    const int64_t size = Raster::imageSize(x1, y1, x2, y2, bpp);
    std::vector<uint8_t> buffer(size_t(size) + 16, 0xEE);  // guard bytes after the image
    r.getImage(x1, y1, x2, y2, bpp, buffer.data());
    for (size_t i = size_t(size); i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE);
    buffer.resize(size_t(size));
    return buffer;
}

Raster patterned(int w, int h) {
    Raster r(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            r.setPixel(x, y, uint32_t(x * 7 + y * 131) * 0x9E3779B1u >> 8);
        }
    }
    return r;
}

GTEST_TEST(RasterImage, SizeOfRowsPaddedToFourBytes) {
    EXPECT_EQ(Raster::imageSize(0, 0, 979, 649, 32), 2548054);
    EXPECT_EQ(Raster::imageSize(0, 0, 979, 649, 24), 54 + 2940 * 650);
    EXPECT_EQ(Raster::imageSize(979, 649, 0, 0, 32), 2548054);
    EXPECT_EQ(Raster::imageSize(5, 5, 5, 5, 24), 54 + 4);
    EXPECT_EQ(Raster::imageSize(0, 0, 2, 1, 24), 54 + 12 * 2);  // 9 bytes padded to 12
    EXPECT_EQ(Raster::imageSize(0, 0, 2, 1, 16), 54 + 8 * 2);   // 6 bytes padded to 8
    EXPECT_EQ(Raster::imageSize(0, 0, 1, 0, 16), 54 + 4);
    EXPECT_EQ(Raster::imageSize(-10, -20, 10, 20, 32), 54 + 4 * 21 * 41);
    for (int bpp : {0, 1, 4, 8, 15, 31, 64}) EXPECT_EQ(Raster::imageSize(0, 0, 9, 9, bpp), -1);
}

GTEST_TEST(RasterImage, HeaderFields) {
    const Raster r(30, 20);
    for (int bpp : {16, 24, 32}) {
        const std::vector<uint8_t> img = imageOf(r, 2, 3, 12, 7, bpp);  // 11 by 5
        const uint32_t rowSize = (11 * bpp / 8 + 3) / 4 * 4;
        EXPECT_EQ(img[0], 'B');
        EXPECT_EQ(img[1], 'M');
        EXPECT_EQ(le32(img, 2), img.size());
        EXPECT_EQ(le32(img, 6), 0u);
        EXPECT_EQ(le32(img, 10), 54u);
        EXPECT_EQ(le32(img, 14), 40u);
        EXPECT_EQ(le32(img, 18), 11u);
        EXPECT_EQ(le32(img, 22), 5u);
        EXPECT_EQ(le16(img, 26), 1u);
        EXPECT_EQ(le16(img, 28), uint32_t(bpp));
        EXPECT_EQ(le32(img, 30), 0u);
        EXPECT_EQ(le32(img, 34), rowSize * 5);
        for (size_t at = 38; at < 54; at += 4) EXPECT_EQ(le32(img, at), 0u) << at;
    }
}

GTEST_TEST(RasterImage, PixelBytesBottomRowFirst) {
    Raster r(4, 3, 0);
    r.setPixel(1, 0, 0x0000FF);  // red
    r.setPixel(2, 2, 0x00FF00);  // green
    r.setPixel(0, 1, 0xFF0000);  // blue
    r.setPixel(3, 2, 0x123456);
    const std::vector<uint8_t> img32 = imageOf(r, 0, 0, 3, 2, 32);
    auto at32 = [&](int x, int y, int c) { return img32[54 + 4 * (4 * (3 - 1 - y) + x) + c]; };
    EXPECT_EQ(at32(1, 0, 2), 0xFF);
    EXPECT_EQ(at32(1, 0, 0), 0x00);
    EXPECT_EQ(at32(2, 2, 1), 0xFF);
    EXPECT_EQ(at32(0, 1, 0), 0xFF);
    EXPECT_EQ(at32(3, 2, 0), 0x12);
    EXPECT_EQ(at32(3, 2, 1), 0x34);
    EXPECT_EQ(at32(3, 2, 2), 0x56);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(img32[54 + 4 * i + 3], 0) << i;

    // 24 bits: 3 pixels make 9 bytes and 3 zero bytes of padding per row.
    const std::vector<uint8_t> img24 = imageOf(r, 1, 0, 3, 2, 24);
    ASSERT_EQ(img24.size(), 54u + 12 * 3);
    const std::vector<uint8_t> bottom = {0, 0, 0, 0, 0xFF, 0, 0x12, 0x34, 0x56, 0, 0, 0};
    const std::vector<uint8_t> top = {0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(img24.begin() + 54, img24.begin() + 66), bottom);
    EXPECT_EQ(std::vector<uint8_t>(img24.begin() + 78, img24.begin() + 90), top);

    // 16 bits: 5 bits a channel, red highest.
    const std::vector<uint8_t> img16 = imageOf(r, 0, 0, 3, 2, 16);
    EXPECT_EQ(le16(img16, 54 + 2 * (4 * 2 + 1)), 0x1Fu << 10);  // (1, 0) red
    EXPECT_EQ(le16(img16, 54 + 2 * (4 * 0 + 2)), 0x1Fu << 5);   // (2, 2) green
    EXPECT_EQ(le16(img16, 54 + 2 * (4 * 1 + 0)), 0x1Fu);        // (0, 1) blue
}

GTEST_TEST(RasterImage, RoundTripOfTheWholeSurface) {
    const Raster source = patterned(980, 650);
    for (int bpp : {24, 32}) {
        const std::vector<uint8_t> img = imageOf(source, 0, 0, 979, 649, bpp);
        Raster copy(980, 650, 0);
        ASSERT_TRUE(copy.putImage(0, 0, img.data()));
        EXPECT_TRUE(samePixels(copy, source)) << bpp;
    }
    // 16 bits keep the top five bits of each channel and widen them again.
    Raster fives(33, 7);
    for (int x = 0; x < 32; ++x) {
        for (int y = 0; y < 7; ++y) {
            const uint32_t v = uint32_t(x) << 3 | uint32_t(x) >> 2;
            fives.setPixel(x, y, y % 3 == 0 ? v : (y % 3 == 1 ? v << 8 : v << 16 | v));
        }
    }
    fives.setPixel(32, 0, 0x070707);  // below one step: 0
    Raster copy(33, 7, 0xABCDEF);
    ASSERT_TRUE(copy.putImage(0, 0, imageOf(fives, 0, 0, 32, 6, 16).data()));
    fives.setPixel(32, 0, 0);
    EXPECT_TRUE(samePixels(copy, fives));
}

GTEST_TEST(RasterImage, PixelsOutsideTheSurfaceReadAsBlack) {
    const Raster source = patterned(10, 8);
    for (int bpp : {24, 32}) {
        const std::vector<uint8_t> img = imageOf(source, -3, -2, 12, 9, bpp);  // 16 by 12
        Raster back(16, 12, 0x777777);
        ASSERT_TRUE(back.putImage(0, 0, img.data()));
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool in = source.inside(x - 3, y - 2);
                EXPECT_EQ(back.pixel(x, y), in ? source.pixel(x - 3, y - 2) : 0u)
                    << bpp << ": " << x << ", " << y;
            }
        }
        const std::vector<uint8_t> far = imageOf(source, 100, 100, 104, 101, bpp);
        for (size_t i = 54; i < far.size(); ++i) EXPECT_EQ(far[i], 0) << i;
    }
}

GTEST_TEST(RasterImage, PutImageClipsAtEverySide) {
    const Raster tile = patterned(6, 5);
    const std::vector<uint8_t> img = imageOf(tile, 0, 0, 5, 4, 32);
    for (auto [x, y] : std::vector<std::pair<int, int>>{
             {-3, -2}, {7, 6}, {-5, 6}, {8, -4}, {2, 1}, {-6, 0}, {-32768, 32767}}) {
        Raster r(10, 8, kPaper), expected(10, 8, kPaper);
        ASSERT_TRUE(r.putImage(x, y, img.data()));
        for (int j = 0; j < 5; ++j) {
            for (int i = 0; i < 6; ++i) {
                if (expected.inside(x + i, y + j))
                    expected.setPixel(x + i, y + j, tile.pixel(i, j));
            }
        }
        EXPECT_TRUE(samePixels(r, expected)) << x << ", " << y;
    }
}

GTEST_TEST(RasterImage, PutImageIgnoresOtherLayouts) {
    const Raster tile = patterned(3, 2);
    const std::vector<uint8_t> good = imageOf(tile, 0, 0, 2, 1, 24);
    struct Damage {
        const char* what;
        size_t at;
        uint8_t value;
    };
    const std::vector<Damage> damages = {
        {"magic", 0, 'X'},       {"total size", 2, 0},      {"pixel offset", 10, 55},
        {"header size", 14, 12}, {"width", 18, 0},          {"height", 25, 0xFF},
        {"planes", 26, 2},       {"bits per pixel", 28, 8}, {"compression", 30, 1},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> bad = good;
        bad[d.at] = d.value;
        Raster r(5, 5, kPaper);
        EXPECT_FALSE(r.putImage(0, 0, bad.data())) << d.what;
        EXPECT_TRUE(inked(r).empty()) << d.what;
    }
    Raster r(5, 5, kPaper);
    EXPECT_FALSE(r.putImage(0, 0, nullptr));
}

// ------------------------------------------------------------------------------------------
// Shapes drawn last-wins against the same shapes drawn one after another.

// A random solid line or filled ellipse: mostly small and crowded into a few columns and rows
// (so that they cover one another and repeat), some reaching off the surface or far beyond
// it, a few single points and long horizontal, vertical and tall shapes.
trelvan::RasterShape randomShape(Rng& rng, const std::vector<uint32_t>& colours) {
    trelvan::RasterShape s;
    s.kind = rng.range(0, 2) == 0 ? trelvan::RasterShape::Kind::filledEllipse
                                  : trelvan::RasterShape::Kind::line;
    s.colour = colours[size_t(rng.range(0, int(colours.size()) - 1))];
    switch (rng.range(0, 5)) {
        case 0:  // anywhere, off the surface too
            s.x1 = rng.range(-40, 120), s.y1 = rng.range(-40, 100);
            s.x2 = rng.range(-40, 120), s.y2 = rng.range(-40, 100);
            break;
        case 1:  // from a bottom edge up, like a bar
            s.x1 = s.x2 = rng.range(20, 24), s.y1 = 60, s.y2 = rng.range(-5, 60);
            break;
        case 2:  // small, near a few columns
            s.x1 = rng.range(18, 26), s.y1 = rng.range(0, 60);
            s.x2 = s.x1 + rng.range(-8, 8), s.y2 = s.y1 + rng.range(-7, 7);
            break;
        case 3:  // a point or a horizontal line
            s.x1 = rng.range(-5, 85), s.y1 = s.y2 = rng.range(-2, 61);
            s.x2 = rng.range(0, 3) == 0 ? s.x1 : rng.range(-5, 85);
            break;
        case 4:  // far beyond, 16-bit ends
            s.x1 = rng.range(-32768, 32767), s.y1 = rng.range(-32768, 32767);
            s.x2 = rng.range(-100, 100), s.y2 = rng.range(-100, 100);
            break;
        default:  // tall: taller than the ellipse rows kept in a table
            s.x1 = rng.range(-30, 10), s.y1 = rng.range(-9000, -4000);
            s.x2 = rng.range(30, 90), s.y2 = rng.range(40, 5000);
            break;
    }
    return s;
}

void drawInTurn(Raster& r, const std::vector<trelvan::RasterShape>& shapes) {
    for (const trelvan::RasterShape& s : shapes) {
        if (s.kind == trelvan::RasterShape::Kind::filledEllipse)
            r.fillEllipse(s.x1, s.y1, s.x2, s.y2, s.colour);
        else
            r.line(s.x1, s.y1, s.x2, s.y2, s.colour, 0xFFFF);
    }
}

GTEST_TEST(RasterLastWins, SamePixelsAsDrawingTheShapesInTurn) {
    const std::vector<uint32_t> colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF};
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        Rng rng(seed);
        // Surfaces narrower and wider than a word of rows, with a background of every colour.
        const int width = rng.range(1, 90);
        const int height = rng.range(1, 140);
        Raster start(width, height, kPaper);
        for (int i = 0; i < 30; ++i) {
            start.setPixel(rng.range(0, width - 1), rng.range(0, height - 1),
                           colours[size_t(rng.range(0, 4))]);
        }
        std::vector<trelvan::RasterShape> shapes;
        const int count = rng.range(0, 400);
        for (int i = 0; i < count; ++i) {
            // Often the same place again, in another colour or the same one.
            if (!shapes.empty() && rng.range(0, 3) == 0) {
                trelvan::RasterShape again = shapes[size_t(rng.range(0, int(shapes.size()) - 1))];
                again.colour = colours[size_t(rng.range(0, 4))];
                shapes.push_back(again);
            } else {
                shapes.push_back(randomShape(rng, colours));
            }
        }
        Raster inTurn = start;
        drawInTurn(inTurn, shapes);
        Raster lastWins = start;
        // The bounds it widens: those of all the shapes' ends, whatever it passes over.
        Raster::Bounds bounds{5, 5, 5, 5};
        Raster::Bounds expected = bounds;
        for (const trelvan::RasterShape& s : shapes) {
            expected.left = std::min({expected.left, s.x1, s.x2});
            expected.top = std::min({expected.top, s.y1, s.y2});
            expected.right = std::max({expected.right, s.x1, s.x2});
            expected.bottom = std::max({expected.bottom, s.y1, s.y2});
        }
        lastWins.drawLastWins(shapes.data(), shapes.size(), &bounds);
        ASSERT_TRUE(samePixels(lastWins, inTurn)) << "seed " << seed;
        EXPECT_EQ(std::tuple(bounds.left, bounds.top, bounds.right, bounds.bottom),
                  std::tuple(expected.left, expected.top, expected.right, expected.bottom))
            << "seed " << seed;
        Raster none(0, 0);
        Raster::Bounds noneBounds{5, 5, 5, 5};
        none.drawLastWins(shapes.data(), shapes.size(), &noneBounds);
        EXPECT_EQ(std::tuple(noneBounds.left, noneBounds.top, noneBounds.right, noneBounds.bottom),
                  std::tuple(expected.left, expected.top, expected.right, expected.bottom))
            << "seed " << seed << ", no surface";
        // A second batch on the result, as the window draws a long run of shapes.
        std::reverse(shapes.begin(), shapes.end());
        drawInTurn(inTurn, shapes);
        lastWins.drawLastWins(shapes.data(), shapes.size());
        ASSERT_TRUE(samePixels(lastWins, inTurn)) << "seed " << seed << ", second batch";
    }
}

GTEST_TEST(RasterLastWins, ALaterShapeOfTheSamePlaceWinsWhateverItsColour) {
    using Kind = trelvan::RasterShape::Kind;
    const std::vector<trelvan::RasterShape> shapes = {
        {Kind::line, 2, 9, 2, 1, 0xFF0000},          {Kind::filledEllipse, 0, 0, 4, 3, 0x00FF00},
        {Kind::line, 2, 9, 2, 1, 0x0000FF},          {Kind::line, 2, 9, 2, 5, 0xFF0000},
        {Kind::filledEllipse, 4, 3, 0, 0, 0x00FF00},
    };
    Raster r(6, 10, kPaper);
    r.drawLastWins(shapes.data(), shapes.size());
    EXPECT_EQ(r.pixel(2, 9), 0xFF0000u);  // the short red line came last
    EXPECT_EQ(r.pixel(2, 4), 0x0000FFu);  // the blue one over the red one of the same place
    EXPECT_EQ(r.pixel(2, 1), 0x00FF00u);  // the ellipse again, its corners in the other order
    EXPECT_EQ(r.pixel(5, 5), kPaper);

    // Coordinates beyond 16 bits are outside the contract, but never mistaken for the place of
    // another shape.
    const std::vector<trelvan::RasterShape> wide = {{Kind::line, 1, 1, 1, 5, 0xFF0000},
                                                    {Kind::line, 65537, 1, 65537, 5, 0x0000FF}};
    Raster w(4, 8, kPaper);
    w.drawLastWins(wide.data(), wide.size());
    EXPECT_EQ(w.pixel(1, 3), 0xFF0000u);
}

}  // namespace
