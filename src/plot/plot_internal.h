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
#include "plot/transform_memo.h"

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
