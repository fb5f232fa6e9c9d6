// SPDX-License-Identifier: GPL-3.0-or-later
// The integer conversions of the plotting library, shared by its routines and the inline part
// of its interface.
#pragma once

#include <cmath>
#include <cstdint>

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

// The single-precision half of v, truncated: float(v) * 0.5f. Below 2^24 the float holds v
// exactly and halving it is exact, so the integer division (which truncates too) gives the same.
inline int32_t halfOf(int64_t v) {
    constexpr int64_t kExactFloat = int64_t{1} << 24;
    if (v > -kExactFloat && v < kExactFloat) return static_cast<int32_t>(v / 2);
    return truncToInt(static_cast<float>(v) * 0.5f);
}

// A marker's width and height in pixels.
struct MarkerExtent {
    int32_t w, h;
};
// The box of MARKER's filled ellipse (kind 4) of that extent centred on the pixel (ix, iy).
struct MarkerBox {
    int32_t x1, y1, x2, y2;
};
inline MarkerBox filledMarkerBox(int32_t ix, int32_t iy, MarkerExtent e) {
    return MarkerBox{halfOf(2 * int64_t{ix} - e.w), halfOf(2 * int64_t{iy} - e.h),
                     halfOf(2 * int64_t{ix} + e.w), halfOf(2 * int64_t{iy} + e.h)};
}

}  // namespace trelvan::plotdetail
