// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers shared by the routines of the plotting library; not part of its interface.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>

#include "plot/plot.h"

namespace trelvan::plotdetail {

// Truncation toward zero into a 32-bit integer. Values beyond the integer range saturate and
// NaN gives 0, so that degenerate input (equal limits, empty regions) cannot reach undefined
// behaviour; every finite value the library meets in normal use converts exactly as a plain
// truncation would.
inline int32_t truncToInt(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// Page table entries of a unit (GR1(unit, 1..4)); stops the program for a unit outside 1..100.
float* pageEntries(int32_t unit);

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
