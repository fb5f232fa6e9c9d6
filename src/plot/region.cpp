// Regions with linear user coordinates, the transforms between user coordinates and pixels,
// pen moves, constant-x and constant-y lines and single points.
#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

using plotdetail::truncToInt;

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
    r[4] = xmin;
    r[6] = xmax;
    r[5] = ymin;
    r[7] = ymax;
}

void REGION(int32_t unit, int32_t region, float x0, float y0, float width, float height) {
    const float* page = plotdetail::pageEntries(unit);
    float* r = plotdetail::regionEntries(unit, region);
    ACTIV(unit, 0);
    const float pageWidth = page[0];
    const float pageHeight = page[1];
    const float windowWidth = page[2];
    const float windowHeight = page[3];

    const int32_t left = truncToInt(x0 * windowWidth / pageWidth);
    const int32_t right =
        truncToInt(static_cast<float>(left) + width * (windowWidth - 1.0f) / pageWidth);
    const int32_t bottom = truncToInt((pageHeight - y0) * (windowHeight - 1.0f) / pageHeight);
    const int32_t top =
        truncToInt(static_cast<float>(bottom) - height * (windowHeight - 1.0f) / pageHeight);

    r[0] = static_cast<float>(left);
    r[1] = static_cast<float>(bottom);
    r[2] = static_cast<float>(right - left);
    r[3] = static_cast<float>(bottom - top);
    r[8] = x0;
    r[9] = y0;
    r[10] = x0 + width;
    r[11] = y0 + height;

    drawLine(left, bottom, left, top);
    drawLine(left, top, right, top);
    drawLine(right, top, right, bottom);
    drawLine(right, bottom, left, bottom);
}

void TMF(int32_t unit, int32_t region, float x, float y, int32_t& ix, int32_t& iy) {
    const float* r = plotdetail::regionEntries(unit, region);
    ix = truncToInt(r[0] + axisFraction(x, r[4], r[6]) * r[2] + 0.5f);
    iy = truncToInt(r[1] - axisFraction(y, r[5], r[7]) * r[3] + 0.5f);

    const int32_t left = truncToInt(r[0]);
    const int32_t right = truncToInt(static_cast<float>(left) + r[2]);
    const int32_t bottom = truncToInt(r[1]);
    const int32_t top = truncToInt(static_cast<float>(bottom) - r[3]);
    if (ix < left) ix = left;
    if (iy < top) iy = top;
    if (ix > right) ix = right;
    if (iy > bottom) iy = bottom;
}

void TFM(int32_t unit, int32_t region, int32_t ix, int32_t iy, float& x, float& y) {
    const float* r = plotdetail::regionEntries(unit, region);
    // A region without width or height maps every pixel onto its low limit.
    x = r[4];
    if (r[2] != 0.0f) x = r[4] + (r[6] - r[4]) * (static_cast<float>(ix) - r[0]) / r[2];
    y = r[5];
    if (r[3] != 0.0f) y = r[5] - (r[7] - r[5]) * (static_cast<float>(iy) - r[1]) / r[3];

    if (x < r[4]) x = r[4];
    if (y < r[5]) y = r[5];
    if (x > r[6]) x = r[6];
    if (y > r[7]) y = r[7];
}

void MOVE(int32_t unit, int32_t region, float x, float y, int32_t pen) {
    plotdetail::regionEntries(unit, region);
    ACTIV(unit, 0);
    int32_t ix = 0;
    int32_t iy = 0;
    TMF(unit, region, x, y, ix, iy);
    if (pen == 1) lineTo(ix, iy);
    moveTo(ix, iy);
}

void PIXMOVE(int32_t unit, int32_t ix, int32_t iy, int32_t pen) {
    ACTIV(unit, 0);
    if (pen == 1) lineTo(ix, iy);
    moveTo(ix, iy);
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
    TMF(unit, region, x, y, ix, iy);
    const int32_t rgb = plotdetail::colourRgb(plotState.currentColour);
    gw().SETPIXELRGB(static_cast<int16_t>(ix), static_cast<int16_t>(iy), rgb);
}

}  // namespace trelvan
