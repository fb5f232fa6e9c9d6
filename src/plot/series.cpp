// SPDX-License-Identifier: GPL-3.0-or-later
// SETCOL, MOVE and MARKER in series: the shapes worked out as the routines work them out and
// handed to the services together.
#include <algorithm>
#include <bit>

#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

PenSeries::PenSeries(int32_t unit) : unit_(unit), regions_(new Region[kRegions]) {}

PenSeries::~PenSeries() = default;

void PenSeries::learnColour(int32_t colour) {
    const int32_t rgb = plotdetail::colourRgb(colour);  // stops the program outside the table
    colours_[colour] = Colour{true, rgb};
    SETCOL(colour);
}

void PenSeries::takeRegion(int32_t region) {
    const float* entries = plotdetail::regionEntries(unit_, region);  // stops for a bad one
    Region& r = regions_[region - 1];
    r.memo.take(entries);
    r.xBits = std::bit_cast<uint32_t>(0.0f);
    r.xPixel = r.memo.x(0.0f);
    regionsTaken_ |= 1u << (region - 1);
}

void PenSeries::moveSlowly(int32_t region, float x, float y, int32_t pen) {
    int32_t ix = 0, iy = 0;
    if (!pixel(region, x, y, ix, iy)) {
        takeRegion(region);
        pixel(region, x, y, ix, iy);
    }
    const auto px = static_cast<int16_t>(ix);
    const auto py = static_cast<int16_t>(iy);
    if (pen == 1 && !(penKnown_ && colourKnown_)) {
        handOver();
        trelvan::MOVE(unit_, region, x, y, pen);
        penKnown_ = true;
        penX_ = px;
        penY_ = py;
        return;
    }
    MOVE(region, x, y, pen);
}

void PenSeries::markerSlowly(int32_t region, float x, float y, int32_t kind, float size) {
    if (kind != 4 || !colourKnown_) {
        handOver();
        trelvan::MARKER(unit_, region, x, y, kind, size);
        // Other kinds draw with pen steps of their own.
        if (kind != 4) penKnown_ = false;
        return;
    }
    int32_t ix = 0, iy = 0;
    if (!pixel(region, x, y, ix, iy)) takeRegion(region);
    markerExtent_ = plotdetail::markerExtent(unit_, size);
    markerSizeBits_ = std::bit_cast<uint32_t>(size);
    markerKnown_ = true;
    MARKER(region, x, y, kind, size);
}

void PenSeries::handOver() {
    GraphicsWindow& window = gw();
    if (count_ != 0) {
        plotdetail::activateUnit(window, unit_);
        window.drawShapes(shapes_, count_);
        count_ = 0;
    }
    if (colourPending_) {
        trelvan::SETCOL(colour_);
        colourPending_ = false;
    }
    if (penPending_) {
        XYCoord previous;
        window.MOVETO(penX_, penY_, previous);
        penPending_ = false;
    }
}

void PenSeries::flush() {
    handOver();
    colourKnown_ = false;
    penKnown_ = false;
    regionsTaken_ = 0;
    markerKnown_ = false;
    std::fill(std::begin(colours_), std::end(colours_), Colour{});
}

}  // namespace trelvan
