// SPDX-License-Identifier: GPL-3.0-or-later
// Axes of a region: labels with ticks, sub-ticks, dashed grid lines and the frame.
#include <cmath>
#include <cstddef>
#include <string>

#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

using plotdetail::truncToInt;
using enum plotdetail::RegionEntry;

namespace {

constexpr float kLabelHeight = 7.0f;
constexpr float kTickSize = 3.5f;
constexpr float kSubTickSize = 2.5f;
constexpr int32_t kPlusMarker = 2;
constexpr int32_t kSolid = 1;
constexpr int32_t kShortDashes = 3;

// 10 to the power e by repeated multiplication (a division for negative powers), exact for
// the powers the labels use.
float powerOfTen(int32_t e) {
    float power = 1.0f;
    for (int32_t k = 0; k < (e < 0 ? -e : e); ++k) power = power * 10.0f;
    return e < 0 ? 1.0f / power : power;
}

// How the labels of one axis are written: the larger magnitude of its limits and the scale
// exponent e (labels show value x 10^e when e is not 0).
struct LabelScale {
    float amax = 0.0f;
    int32_t e = 0;
};

LabelScale labelScale(float low, float high) {
    LabelScale scale;
    scale.amax = std::fabs(high);
    if (std::fabs(low) > scale.amax) scale.amax = std::fabs(low);
    const int32_t lg = truncToInt(std::log10(scale.amax));
    if (scale.amax <= 0.1f) scale.e = 2 - lg;
    if (scale.amax >= 1000.0f) scale.e = 1 - lg;
    return scale;
}

// The six-column label text of the value v.
std::string labelText(float v, const LabelScale& scale) {
    if (scale.e != 0) return plotdetail::valueLabel(v * powerOfTen(scale.e), 2);
    if (std::fabs(v - std::trunc(v)) <= 0.0001f * std::fabs(v)) {
        return plotdetail::valueLabel(v, 0);
    }
    if (scale.amax > 100.0f) return plotdetail::valueLabel(v, 0);
    if (scale.amax > 10.0f) return plotdetail::valueLabel(v, 1);
    return plotdetail::valueLabel(v, 2);
}

// Labels need a proper scale: an axis with equal or non-finite limits gets none.
bool labelsPossible(float low, float high) {
    return std::isfinite(low) && std::isfinite(high) && low != high;
}

// Each stage draws at most this many labels, sub-ticks or grid lines. A step so small that
// the count would pass it (a tiny positive step gives about 2^31) draws the first ones only:
// far more than a window has pixels across, so nothing visible is lost, and the call ends in
// moments instead of minutes.
constexpr int32_t kMaxMarks = 10000;

int32_t bounded(int32_t count) {
    return count < kMaxMarks ? count : kMaxMarks;
}

// Number of labels: the range plus 1 % of it, so that a label on the maximum survives the
// rounding of the running value.
int32_t labelCount(float low, float high, float step) {
    return bounded(truncToInt((high + 0.01f * (high - low) - low + step) / step));
}

// Number of grid lines (or sub-ticks) at the given spacing.
int32_t gridCount(float low, float high, float step) {
    return bounded(truncToInt((high - low + step) / step));
}

// One axis of a region as the label and grid stages see it: its limits, the limits of the
// other axis (ticks stand on the other axis's low limit, grid lines run across its range),
// the region's page edges along it and the page edge its labels stand beside, and where its
// labels go.
struct Axis {
    bool vertical;                // the y axis: values run up the page
    float low, high;              // its limits
    float acrossLow, acrossHigh;  // the limits of the other axis
    float pageLow, pageHigh;      // the region's page edges along this axis
    float pageBeside;             // the page edge the labels stand beside (bottom or left)
    float exponentX, exponentY;   // page position of the exponent label
    float angle;                  // text angle of the labels, degrees
    size_t labelColumns;          // characters of the six-column label text shown
    float labelDx, labelDy;       // offset of a label from its page position
};

Axis xAxis(const float* r) {
    return {.vertical = false,
            .low = r[kXMin],
            .high = r[kXMax],
            .acrossLow = r[kYMin],
            .acrossHigh = r[kYMax],
            .pageLow = r[kPageLeft],
            .pageHigh = r[kPageRight],
            .pageBeside = r[kPageBottom],
            .exponentX = r[kPageRight] - 17.0f,
            .exponentY = r[kPageBottom],
            .angle = 0.0f,
            .labelColumns = 6,
            .labelDx = -9.0f,
            .labelDy = 2.0f};
}

Axis yAxis(const float* r) {
    return {.vertical = true,
            .low = r[kYMin],
            .high = r[kYMax],
            .acrossLow = r[kXMin],
            .acrossHigh = r[kXMax],
            .pageLow = r[kPageBottom],
            .pageHigh = r[kPageTop],
            .pageBeside = r[kPageLeft],
            .exponentX = r[kPageLeft] - 6.0f,
            .exponentY = r[kPageTop] - 14.0f,
            .angle = 90.0f,
            .labelColumns = 5,
            .labelDx = -8.0f,
            .labelDy = -4.0f};
}

// A plus-sign marker at the value v on the axis, on the other axis's low limit.
void tick(int32_t unit, int32_t region, const Axis& axis, float v, float size) {
    if (axis.vertical) {
        MARKER(unit, region, axis.acrossLow, v, kPlusMarker, size);
    } else {
        MARKER(unit, region, v, axis.acrossLow, kPlusMarker, size);
    }
}

// The grid line at the value v, across the whole range of the other axis.
void gridLine(int32_t unit, int32_t region, const Axis& axis, float v) {
    if (axis.vertical) {
        CONSTY(unit, region, axis.acrossLow, axis.acrossHigh, v);
    } else {
        CONSTX(unit, region, v, axis.acrossLow, axis.acrossHigh);
    }
}

// Labels with their ticks, and the exponent label when the values are scaled.
void labels(int32_t unit, int32_t region, const Axis& axis, float step) {
    if (!labelsPossible(axis.low, axis.high)) return;
    const LabelScale scale = labelScale(axis.low, axis.high);
    if (scale.e != 0) {
        SYMBOL(unit, axis.exponentX, axis.exponentY, kLabelHeight, axis.angle,
               plotdetail::exponentLabel(scale.e).substr(0, 5));
    }
    const int32_t n = labelCount(axis.low, axis.high, step);
    float v = axis.low;
    for (int32_t k = 0; k < n; ++k) {
        std::string TM = labelText(v, scale);
        // A trailing 0 in the sixth column is blanked (the y axis shows only five columns).
        if (TM[5] == '0') TM[5] = ' ';
        const float along =
            axis.pageLow + (axis.pageHigh - axis.pageLow) * (v - axis.low) / (axis.high - axis.low);
        float beside = axis.pageBeside - 1.0f;
        if (beside < 6.0f) beside = 6.0f;
        const float xp = axis.vertical ? beside : along;
        const float yp = axis.vertical ? along : beside;
        SYMBOL(unit, xp + axis.labelDx, yp + axis.labelDy, kLabelHeight, axis.angle,
               TM.substr(0, axis.labelColumns));
        SETLIN(kSolid);
        tick(unit, region, axis, v, kTickSize);
        v = v + step;
    }
}

// Sub-ticks (for subdivisions other than 0 and 1) and dashed grid lines.
void grid(int32_t unit, int32_t region, const Axis& axis, float step, int32_t subdivisions) {
    if (subdivisions != 0 && subdivisions != 1) {
        SETLIN(kSolid);
        const float sub = step / static_cast<float>(subdivisions);
        const int32_t m = gridCount(axis.low, axis.high, sub);
        float v = axis.low;
        for (int32_t k = 0; k < m; ++k) {
            tick(unit, region, axis, v, kSubTickSize);
            v = v + sub;
        }
    }
    SETLIN(kShortDashes);
    const int32_t m = gridCount(axis.low, axis.high, step);
    float v = axis.low;
    for (int32_t k = 0; k < m; ++k) {
        gridLine(unit, region, axis, v);
        v = v + step;
    }
}

// The solid frame of the region.
void frame(int32_t unit, int32_t region, const float* r) {
    const float xMin = r[kXMin], yMin = r[kYMin], xMax = r[kXMax], yMax = r[kYMax];
    SETLIN(kSolid);
    CONSTX(unit, region, xMin, yMin, yMax);
    CONSTX(unit, region, xMax, yMin, yMax);
    CONSTY(unit, region, xMin, xMax, yMin);
    CONSTY(unit, region, xMin, xMax, yMax);
}

}  // namespace

void AXES(int32_t unit, int32_t region, float xLabelStep, float xGridStep, int32_t xSub,
          float yLabelStep, float yGridStep, int32_t ySub) {
    // A copy: the region's entries as they stand when the axes are drawn.
    float r[kRegionEntryCount];
    const float* entries = plotdetail::regionEntries(unit, region);
    for (int k = 0; k < kRegionEntryCount; ++k) r[k] = entries[k];

    const Axis x = xAxis(r);
    const Axis y = yAxis(r);
    if (xLabelStep > 0.0f) labels(unit, region, x, xLabelStep);
    if (yLabelStep > 0.0f) labels(unit, region, y, yLabelStep);
    if (xGridStep > 0.0f) grid(unit, region, x, xGridStep, xSub);
    if (yGridStep > 0.0f) {
        grid(unit, region, y, yGridStep, ySub);
        frame(unit, region, r);
    }
}

}  // namespace trelvan
