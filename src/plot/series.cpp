// SPDX-License-Identifier: GPL-3.0-or-later
// SETCOL, MOVE and MARKER in series: the shapes worked out as the routines work them out and
// handed to the services together.
#include <bit>

#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

void PenSeries::SETCOL(int32_t colour) {
    rgb_ = plotdetail::colourRgb(colour);
    colour_ = colour;
    plotState.currentColour = colour;
    colourKnown_ = colourPending_ = true;
}

void PenSeries::pixel(int32_t region, float x, float y, int32_t& ix, int32_t& iy) {
    const auto slot = static_cast<uint32_t>(region - 1);
    const uint32_t xBits = std::bit_cast<uint32_t>(x);
    if (slot >= kRegions || (regionsReady_ >> slot & 1) == 0) [[unlikely]] {
        plotdetail::transform(unit_, region, x, y, ix, iy);  // checks the unit and region
        if (slot < kRegions) {
            regionsReady_ |= 1u << slot;
            xBits_[slot] = xBits;
            xPixel_[slot] = ix;
        }
        return;
    }
    plotdetail::TransformMemo& memo = plotdetail::transformMemos[slot];
    if (xBits != xBits_[slot]) {
        xBits_[slot] = xBits;
        xPixel_[slot] = memo.x(x);
    }
    ix = xPixel_[slot];
    iy = memo.y(y);
}

void PenSeries::MOVE(int32_t region, float x, float y, int32_t pen) {
    int32_t ix = 0;
    int32_t iy = 0;
    pixel(region, x, y, ix, iy);
    const auto px = static_cast<int16_t>(ix);
    const auto py = static_cast<int16_t>(iy);
    if (pen == 1) {
        if (!penKnown_ || !colourKnown_) [[unlikely]] {
            handOver();
            trelvan::MOVE(unit_, region, x, y, pen);
            penKnown_ = true;
            penX_ = px;
            penY_ = py;
            return;
        }
        add(PenShape{PenShape::Kind::line, penX_, penY_, px, py, rgb_});
    }
    penKnown_ = penPending_ = true;
    penX_ = px;
    penY_ = py;
}

void PenSeries::MARKER(int32_t region, float x, float y, int32_t kind, float size) {
    if (kind != 4 || !colourKnown_) [[unlikely]] {
        handOver();
        trelvan::MARKER(unit_, region, x, y, kind, size);
        // Other kinds draw with MOVE-like pen steps of their own.
        if (kind != 4) penKnown_ = false;
        return;
    }
    int32_t ix = 0;
    int32_t iy = 0;
    pixel(region, x, y, ix, iy);
    const uint32_t sizeBits = std::bit_cast<uint32_t>(size);
    if (!markerReady_ || sizeBits != markerSizeBits_) {
        const plotdetail::MarkerExtent e = plotdetail::markerExtent(unit_, size);
        markerReady_ = true;
        markerSizeBits_ = sizeBits;
        markerW_ = e.w;
        markerH_ = e.h;
    }
    const plotdetail::MarkerBox b = plotdetail::filledMarkerBox(ix, iy, {markerW_, markerH_});
    add(PenShape{PenShape::Kind::filledEllipse, static_cast<int16_t>(b.x1),
                 static_cast<int16_t>(b.y1), static_cast<int16_t>(b.x2),
                 static_cast<int16_t>(b.y2), rgb_});
}

void PenSeries::handOver() {
    regionsReady_ = 0;
    markerReady_ = false;
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
}

}  // namespace trelvan
