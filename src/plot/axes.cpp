// Axes of a region: labels with ticks, sub-ticks, dashed grid lines and the frame.
#include <cmath>
#include <string>

#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

using plotdetail::truncToInt;

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

void xLabels(int32_t unit, int32_t region, const float* r, float step) {
    const float xMin = r[4], yMin = r[5], xMax = r[6];
    const float pageLeft = r[8], pageBottom = r[9], pageRight = r[10];
    if (!labelsPossible(xMin, xMax)) return;
    const LabelScale scale = labelScale(xMin, xMax);
    if (scale.e != 0) {
        SYMBOL(unit, pageRight - 17.0f, pageBottom, kLabelHeight, 0.0f,
               plotdetail::exponentLabel(scale.e).substr(0, 5));
    }
    const int32_t n = labelCount(xMin, xMax, step);
    float v = xMin;
    for (int32_t k = 0; k < n; ++k) {
        std::string TM = labelText(v, scale);
        if (TM[5] == '0') TM[5] = ' ';
        const float xp = pageLeft + (pageRight - pageLeft) * (v - xMin) / (xMax - xMin);
        float yp = pageBottom - 1.0f;
        if (yp < 6.0f) yp = 6.0f;
        SYMBOL(unit, xp - 9.0f, yp + 2.0f, kLabelHeight, 0.0f, TM.substr(0, 6));
        SETLIN(kSolid);
        MARKER(unit, region, v, yMin, kPlusMarker, kTickSize);
        v = v + step;
    }
}

void yLabels(int32_t unit, int32_t region, const float* r, float step) {
    const float xMin = r[4], yMin = r[5], yMax = r[7];
    const float pageLeft = r[8], pageBottom = r[9], pageTop = r[11];
    if (!labelsPossible(yMin, yMax)) return;
    const LabelScale scale = labelScale(yMin, yMax);
    if (scale.e != 0) {
        SYMBOL(unit, pageLeft - 6.0f, pageTop - 14.0f, kLabelHeight, 90.0f,
               plotdetail::exponentLabel(scale.e).substr(0, 5));
    }
    const int32_t n = labelCount(yMin, yMax, step);
    float v = yMin;
    for (int32_t k = 0; k < n; ++k) {
        const std::string TM = labelText(v, scale);
        const float yp = pageBottom + (pageTop - pageBottom) * (v - yMin) / (yMax - yMin);
        float xp = pageLeft - 1.0f;
        if (xp < 6.0f) xp = 6.0f;
        SYMBOL(unit, xp - 8.0f, yp - 4.0f, kLabelHeight, 90.0f, TM.substr(0, 5));
        SETLIN(kSolid);
        MARKER(unit, region, xMin, v, kPlusMarker, kTickSize);
        v = v + step;
    }
}

void xGrid(int32_t unit, int32_t region, const float* r, float step, int32_t subdivisions) {
    const float xMin = r[4], yMin = r[5], xMax = r[6], yMax = r[7];
    if (subdivisions != 0 && subdivisions != 1) {
        SETLIN(kSolid);
        const float sub = step / static_cast<float>(subdivisions);
        const int32_t m = gridCount(xMin, xMax, sub);
        float v = xMin;
        for (int32_t k = 0; k < m; ++k) {
            MARKER(unit, region, v, yMin, kPlusMarker, kSubTickSize);
            v = v + sub;
        }
    }
    SETLIN(kShortDashes);
    const int32_t m = gridCount(xMin, xMax, step);
    float v = xMin;
    for (int32_t k = 0; k < m; ++k) {
        CONSTX(unit, region, v, yMin, yMax);
        v = v + step;
    }
}

void yGridAndFrame(int32_t unit, int32_t region, const float* r, float step, int32_t subdivisions) {
    const float xMin = r[4], yMin = r[5], xMax = r[6], yMax = r[7];
    if (subdivisions != 0 && subdivisions != 1) {
        SETLIN(kSolid);
        const float sub = step / static_cast<float>(subdivisions);
        const int32_t m = gridCount(yMin, yMax, sub);
        float v = yMin;
        for (int32_t k = 0; k < m; ++k) {
            MARKER(unit, region, xMin, v, kPlusMarker, kSubTickSize);
            v = v + sub;
        }
    }
    SETLIN(kShortDashes);
    const int32_t m = gridCount(yMin, yMax, step);
    float v = yMin;
    for (int32_t k = 0; k < m; ++k) {
        CONSTY(unit, region, xMin, xMax, v);
        v = v + step;
    }

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
    float r[12];
    const float* entries = plotdetail::regionEntries(unit, region);
    for (int k = 0; k < 12; ++k) r[k] = entries[k];

    if (xLabelStep > 0.0f) xLabels(unit, region, r, xLabelStep);
    if (yLabelStep > 0.0f) yLabels(unit, region, r, yLabelStep);
    if (xGridStep > 0.0f) xGrid(unit, region, r, xGridStep, xSub);
    if (yGridStep > 0.0f) yGridAndFrame(unit, region, r, yGridStep, ySub);
}

}  // namespace trelvan
