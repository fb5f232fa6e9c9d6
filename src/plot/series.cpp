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
    static_assert(kTransformEntries == plotdetail::kYMax + 1);
    const float* entries = plotdetail::regionEntries(unit_, region);  // stops for a bad one
    Region& r = regions_[region - 1];
    std::copy(entries, entries + kTransformEntries, r.entries);
    const plotdetail::RegionPixels edges = plotdetail::regionPixels(entries);
    r.left = edges.left;
    r.right = edges.right;
    r.top = edges.top;
    r.bottom = edges.bottom;
    std::fill(std::begin(r.columnKeys), std::end(r.columnKeys), 0);
    std::fill(std::begin(r.rowKeys), std::end(r.rowKeys), 0);
    // The x axis of a region is what pixelX reads and the edges it is clamped to.
    auto sameColumns = [](const Region& a, const Region& b) {
        constexpr int xEntries[] = {plotdetail::kPixelLeft, plotdetail::kPixelWidth,
                                    plotdetail::kXMin, plotdetail::kXMax};
        for (const int e : xEntries) {
            if (std::bit_cast<uint32_t>(a.entries[e]) != std::bit_cast<uint32_t>(b.entries[e]))
                return false;
        }
        return a.left == b.left && a.right == b.right;
    };
    r.twin = -1;
    for (int t = 0; t < kRegions; ++t) {
        if (t != region - 1 && (regionsTaken_ >> t & 1) != 0 && sameColumns(regions_[t], r)) {
            r.twin = t;
            break;
        }
    }
    regionsTaken_ |= 1u << (region - 1);
    r.xBits = 0;
    findColumn(r, 0.0f);
}

// TMF's arithmetic, step by step.
void PenSeries::findColumn(Region& r, float x) {
    const uint32_t xBits = std::bit_cast<uint32_t>(x);
    const uint64_t key = uint64_t{1} << 32 | xBits;
    const size_t column = slotOf(key, kColumnBits);
    if (r.columnKeys[column] != key) {
        const Region* twin = r.twin >= 0 ? &regions_[r.twin] : nullptr;
        if (twin != nullptr && (regionsTaken_ >> r.twin & 1) != 0 &&
            twin->columnKeys[column] == key) {
            r.columns[column] = twin->columns[column];
        } else {
            const int32_t ix = plotdetail::truncToInt(plotdetail::pixelX(r.entries, x));
            r.columns[column] = std::min(std::max(ix, r.left), r.right);
        }
        r.columnKeys[column] = key;
    }
    r.xBits = xBits;
    r.xPixel = r.columns[column];
}

void PenSeries::learnRow(Region& r, size_t row, float y) {
    const int32_t iy = plotdetail::truncToInt(plotdetail::pixelY(r.entries, y));
    r.rowKeys[row] = uint64_t{1} << 32 | std::bit_cast<uint32_t>(y);
    r.rows[row] = std::min(std::max(iy, r.top), r.bottom);
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
