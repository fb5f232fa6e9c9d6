// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the routines of the plotting library; not part of its interface.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "plot/plot.h"
#include "plot/plot_arith.h"

namespace trelvan::plotdetail {

// Page table entries of a unit (GR1(unit, 1..4)); stops the program for a unit outside 1..100.
inline float* pageEntries(int32_t unit) {
    checkIndex("GR1", unit, 1, 100);
    return plotState.GR1[unit - 1];
}

// The page table of a unit unpacked: the page in page units and the window in pixels.
struct PageSize {
    float pageWidth;
    float pageHeight;
    float windowWidth;
    float windowHeight;
};
inline PageSize pageSize(int32_t unit) {
    const float* page = pageEntries(unit);
    return {page[0], page[1], page[2], page[3]};
}

// The entries of a region's row of GR2, by name; entry n of the table sits at index n - 1.
enum RegionEntry : int {
    kPixelLeft,    // left pixel column
    kPixelBottom,  // bottom pixel row
    kPixelWidth,   // right column minus left column
    kPixelHeight,  // bottom row minus top row
    kXMin,         // x at the left edge
    kYMin,         // y at the bottom edge
    kXMax,         // x at the right edge
    kYMax,         // y at the top edge
    kPageLeft,     // the region's edges in page units
    kPageBottom,
    kPageRight,
    kPageTop,
    kRegionEntryCount
};
static_assert(kRegionEntryCount == std::extent_v<decltype(PlotState::GR2), 2>);

// Region table entries of a unit's region, indexed by RegionEntry. Stops the program for a
// unit outside 1..100 or a region outside 1..20.
inline float* regionEntries(int32_t unit, int32_t region) {
    checkIndex("GR2", unit, 1, 100);
    checkIndex("GR2", region, 1, 20, 3);  // GR2(unit, entry, region)
    return plotState.GR2[unit - 1][region - 1];
}
// ACTIV(unit, 0) on the services at hand: asks until the unit is active, at most five times.
inline void activateUnit(GraphicsWindow& window, int32_t unit) {
    constexpr int kActivationAttempts = 5;
    if (unit == 0) return;
    for (int attempt = 0; attempt < kActivationAttempts; ++attempt) {
        if (window.SETACTIVEUNIT(unit) != 0) break;
    }
}

// (value - low) / (high - low), the position along an axis as a fraction of its range. An
// axis with equal limits has no scale; every value then sits at its low end, which keeps the
// transformed point on the region.
inline float axisFraction(float value, float low, float high) {
    const float range = high - low;
    if (range == 0.0f) return 0.0f;
    return (value - low) / range;
}
// The pixel column and row of x and y in the region r, before truncation and clamping.
inline float pixelX(const float* r, float x) {
    return r[kPixelLeft] + axisFraction(x, r[kXMin], r[kXMax]) * r[kPixelWidth] + 0.5f;
}
inline float pixelY(const float* r, float y) {
    return r[kPixelBottom] - axisFraction(y, r[kYMin], r[kYMax]) * r[kPixelHeight] + 0.5f;
}
// The pixel edges of the region r, to which TMF clamps.
struct RegionPixels {
    int32_t left, right, top, bottom;
};
inline RegionPixels regionPixels(const float* r) {
    const int32_t left = truncToInt(r[kPixelLeft]);
    const int32_t bottom = truncToInt(r[kPixelBottom]);
    return {left, truncToInt(static_cast<float>(left) + r[kPixelWidth]),
            truncToInt(static_cast<float>(bottom) - r[kPixelHeight]), bottom};
}

// What TMF worked out last for one region. A chart draws several shapes at every point, all
// at its x and many from the bottom edge, and its values repeat, so a transform often repeats
// one worked out a moment ago. The memo holds the region's entries it was worked out from, bit
// for bit: a table changed in any way (LIMITS, REGION, a direct write) is worked out afresh.
class TransformMemo {
  public:
    // Makes the memo that of the region's entries r.
    void use(const float* r) {
        uint64_t bits[kKeyWords];
        std::memcpy(bits, r, sizeof bits);
        uint64_t difference = 0;
        for (int i = 0; i < kKeyWords; ++i) difference |= bits[i] ^ bits_[i];
        if (r == region_ && difference == 0) [[likely]]
            return;
        renew(r);
    }
    // The pixel column and row of (x, y), clamped to the region: first against the left and
    // top edges, then the right and bottom ones, which win for a region whose edges cross.
    int32_t x(float value) {
        const int32_t ix = x_.pixel(value, [&] { return workOutX(value); });
        return std::min(std::max(ix, left_), right_);
    }
    int32_t y(float value) {
        const int32_t iy = y_.pixel(value, [&] { return workOutY(value); });
        return std::min(std::max(iy, top_), bottom_);
    }

  private:
    void renew(const float* r);
    int32_t workOutX(float value) const;
    int32_t workOutY(float value) const;

    // The pixels of the values met last on one axis, in 2^slotBits slots chosen by the value's
    // bits.
    template <int slotBits>
    struct Axis {
        static constexpr int kSlots = 1 << slotBits;
        uint64_t keys[kSlots] = {};  // the value's bits with bit 32 set; 0 for an empty slot
        int32_t pixels[kSlots] = {};
        template <class Work>
        int32_t pixel(float value, Work&& work) {
            const uint64_t key = uint64_t{1} << 32 | std::bit_cast<uint32_t>(value);
            const size_t slot = size_t((key * 0x9E3779B97F4A7C15u) >> (64 - slotBits));
            if (keys[slot] == key) [[likely]]
                return pixels[slot];
            const int32_t p = work();
            keys[slot] = key;
            pixels[slot] = p;
            return p;
        }
    };

    // The entries the memo was worked out from, as floats and as bits.
    static constexpr int kKeyWords = (kYMax + 1) / 2;
    const float* region_ = nullptr;
    float entries_[kYMax + 1] = {};
    uint64_t bits_[kKeyWords] = {};
    static_assert(sizeof bits_ == sizeof entries_);
    int32_t left_ = 0, right_ = 0, top_ = 0, bottom_ = 0;
    // A chart's x values are mostly new (the moments of the entries), its y values few but
    // more than a handful (acuity in steps of 0.01, times, the bottom edge).
    Axis<4> x_;
    Axis<8> y_;
};

// One memo for each region number (of whichever unit drew there last).
inline thread_local TransformMemo transformMemos[std::extent_v<decltype(PlotState::GR2), 1>];

// TMF without the call: the pixel of (x, y) in the unit's region.
[[gnu::always_inline]] inline void transform(int32_t unit, int32_t region, float x, float y,
                                             int32_t& ix, int32_t& iy) {
    const float* r = regionEntries(unit, region);
    TransformMemo& memo = transformMemos[region - 1];
    memo.use(r);
    // Worked out before either result is stored: ix and iy could alias the memo.
    const int32_t px = memo.x(x);
    const int32_t py = memo.y(y);
    ix = px;
    iy = py;
}

// A marker's width and height in pixels, of its size in page units.
inline MarkerExtent markerExtent(int32_t unit, float size) {
    const auto [pageWidth, pageHeight, windowWidth, windowHeight] = pageSize(unit);
    return {truncToInt(size * windowWidth / pageWidth),
            truncToInt(size * windowHeight / pageHeight)};
}

// The RGB integer (0x00BBGGRR) of a colour of COLDIM, each component times 255 truncated into
// its byte; stops the program for a colour outside 0..105.
int32_t colourRgb(int32_t colour);

// Axis label texts (plot_format.cpp).
// F6.d of the value: six columns, `decimals` of 0, 1 or 2.
std::string valueLabel(float value, int32_t decimals);
// The exponent label of a scale exponent e that is not 0: '*E',I3 of -e when e > 0,
// '*E+',I2 of -e otherwise.
std::string exponentLabel(int32_t e);

}  // namespace trelvan::plotdetail
