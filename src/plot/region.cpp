// SPDX-License-Identifier: GPL-3.0-or-later
// Regions with linear user coordinates, the transforms between user coordinates and pixels,
// pen moves, constant-x and constant-y lines and single points.
#include <cstring>

#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

using plotdetail::truncToInt;
using enum plotdetail::RegionEntry;

namespace {

void moveTo(int32_t ix, int32_t iy) {
    XYCoord previous;
    gw().MOVETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy), previous);
}

void lineTo(int32_t ix, int32_t iy) {
    gw().LINETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy));
}

void drawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    moveTo(x1, y1);
    lineTo(x2, y2);
}

// (value - low) / (high - low), the position along an axis as a fraction of its range. An
// axis with equal limits has no scale; every value then sits at its low end, which keeps the
// transformed point on the region.
float axisFraction(float value, float low, float high) {
    const float range = high - low;
    if (range == 0.0f) return 0.0f;
    return (value - low) / range;
}

}  // namespace

void LIMITS(int32_t unit, int32_t region, float xmin, float xmax, float ymin, float ymax) {
    float* r = plotdetail::regionEntries(unit, region);
    r[kXMin] = xmin;
    r[kXMax] = xmax;
    r[kYMin] = ymin;
    r[kYMax] = ymax;
}

void REGION(int32_t unit, int32_t region, float x0, float y0, float width, float height) {
    const auto [pageWidth, pageHeight, windowWidth, windowHeight] = plotdetail::pageSize(unit);
    float* r = plotdetail::regionEntries(unit, region);
    ACTIV(unit, 0);

    const int32_t left = truncToInt(x0 * windowWidth / pageWidth);
    const int32_t right =
        truncToInt(static_cast<float>(left) + width * (windowWidth - 1.0f) / pageWidth);
    const int32_t bottom = truncToInt((pageHeight - y0) * (windowHeight - 1.0f) / pageHeight);
    const int32_t top =
        truncToInt(static_cast<float>(bottom) - height * (windowHeight - 1.0f) / pageHeight);

    r[kPixelLeft] = static_cast<float>(left);
    r[kPixelBottom] = static_cast<float>(bottom);
    r[kPixelWidth] = static_cast<float>(right - left);
    r[kPixelHeight] = static_cast<float>(bottom - top);
    r[kPageLeft] = x0;
    r[kPageBottom] = y0;
    r[kPageRight] = x0 + width;
    r[kPageTop] = y0 + height;

    drawLine(left, bottom, left, top);
    drawLine(left, top, right, top);
    drawLine(right, top, right, bottom);
    drawLine(right, bottom, left, bottom);
}

namespace {

float pixelX(const float* r, float x) {
    return r[kPixelLeft] + axisFraction(x, r[kXMin], r[kXMax]) * r[kPixelWidth] + 0.5f;
}

float pixelY(const float* r, float y) {
    return r[kPixelBottom] - axisFraction(y, r[kYMin], r[kYMax]) * r[kPixelHeight] + 0.5f;
}

}  // namespace

namespace plotdetail {

void TransformMemo::take(const float* r) {
    region_ = r;
    std::memcpy(entries_, r, sizeof entries_);
    std::memcpy(bits_, r, sizeof bits_);
    left_ = truncToInt(r[kPixelLeft]);
    right_ = truncToInt(static_cast<float>(left_) + r[kPixelWidth]);
    bottom_ = truncToInt(r[kPixelBottom]);
    top_ = truncToInt(static_cast<float>(bottom_) - r[kPixelHeight]);
    x_ = {};
    y_ = {};
}

int32_t TransformMemo::workOutX(float value) const {
    return truncToInt(pixelX(entries_, value));
}

int32_t TransformMemo::workOutY(float value) const {
    return truncToInt(pixelY(entries_, value));
}

}  // namespace plotdetail

void TMF(int32_t unit, int32_t region, float x, float y, int32_t& ix, int32_t& iy) {
    plotdetail::transform(unit, region, x, y, ix, iy);
}

void TFM(int32_t unit, int32_t region, int32_t ix, int32_t iy, float& x, float& y) {
    const float* r = plotdetail::regionEntries(unit, region);
    // A region without width or height maps every pixel onto its low limit.
    const float xMin = r[kXMin], yMin = r[kYMin], xMax = r[kXMax], yMax = r[kYMax];
    x = xMin;
    if (r[kPixelWidth] != 0.0f) {
        x = xMin + (xMax - xMin) * (static_cast<float>(ix) - r[kPixelLeft]) / r[kPixelWidth];
    }
    y = yMin;
    if (r[kPixelHeight] != 0.0f) {
        y = yMin - (yMax - yMin) * (static_cast<float>(iy) - r[kPixelBottom]) / r[kPixelHeight];
    }

    if (x < xMin) x = xMin;
    if (y < yMin) y = yMin;
    if (x > xMax) x = xMax;
    if (y > yMax) y = yMax;
}

void MOVE(int32_t unit, int32_t region, float x, float y, int32_t pen) {
    plotdetail::regionEntries(unit, region);
    GraphicsWindow& window = gw();
    plotdetail::activateUnit(window, unit);
    int32_t ix = 0;
    int32_t iy = 0;
    plotdetail::transform(unit, region, x, y, ix, iy);
    if (pen == 1) window.LINETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy));
    XYCoord previous;
    window.MOVETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy), previous);
}

void PIXMOVE(int32_t unit, int32_t ix, int32_t iy, int32_t pen) {
    GraphicsWindow& window = gw();
    plotdetail::activateUnit(window, unit);
    if (pen == 1) window.LINETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy));
    XYCoord previous;
    window.MOVETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy), previous);
}

void CONSTX(int32_t unit, int32_t region, float x, float y1, float y2) {
    MOVE(unit, region, x, y1, 0);
    MOVE(unit, region, x, y2, 1);
}

void CONSTY(int32_t unit, int32_t region, float x1, float x2, float y) {
    MOVE(unit, region, x1, y, 0);
    MOVE(unit, region, x2, y, 1);
}

void POINT(int32_t unit, int32_t region, float x, float y) {
    plotdetail::regionEntries(unit, region);
    ACTIV(unit, 0);
    int32_t ix = 0;
    int32_t iy = 0;
    plotdetail::transform(unit, region, x, y, ix, iy);
    const int32_t rgb = plotdetail::colourRgb(plotState.currentColour);
    gw().SETPIXELRGB(static_cast<int16_t>(ix), static_cast<int16_t>(iy), rgb);
}

}  // namespace trelvan
