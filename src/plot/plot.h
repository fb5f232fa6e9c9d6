// SPDX-License-Identifier: GPL-3.0-or-later
// Plotting library: the graphics page with its colour table and line styles, regions with
// linear user coordinates, pen moves, points, markers, text symbols and axes.
//
// All arithmetic is single precision, operation by operation in the written order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/graphics_window.h"
#include "plot/plot_arith.h"
#include "plot/transform_memo.h"

namespace trelvan {

struct PlotState {
    float GR1[100][4] = {};       // page table, [unit-1][entry-1]
    float GR2[100][20][12] = {};  // region table, [unit-1][region-1][entry-1]
    int32_t currentColour = 0;
    float COLDIM[106][3] = {};  // colour table, [colour][component]
    int32_t pageOpenCount = 0;
    WindowConfig windowRequest;
    bool windowRequestResult = false;
};

// Indices of the default colour table (installed by the first PAGE) that the program uses.
namespace colourIndex {
constexpr int32_t kRed = 1;
constexpr int32_t kGreen = 3;
constexpr int32_t kBlue = 5;
constexpr int32_t kBlack = 7;
}  // namespace colourIndex

// Part of the program state (app/program_state.h).
extern PlotState plotState;
// Back to the zero-filled state of program start (tests).
void resetPlotState();

// --- Page and colour table ------------------------------------------------------------
// Stops the program with a message when the unit's window cannot be opened.
void PAGE(int32_t unit, int32_t height, int32_t width, const std::string& title);
void SETCOL(int32_t colour);
void COLOR(int32_t colour, float red, float green, float blue);
void SETLIN(int32_t style);
void ACTIV(int32_t unit, int32_t focusUnit);

// --- Regions and transforms -----------------------------------------------------------
void LIMITS(int32_t unit, int32_t region, float xmin, float xmax, float ymin, float ymax);
void REGION(int32_t unit, int32_t region, float x0, float y0, float width, float height);
void TMF(int32_t unit, int32_t region, float x, float y, int32_t& ix, int32_t& iy);
void TFM(int32_t unit, int32_t region, int32_t ix, int32_t iy, float& x, float& y);
void MOVE(int32_t unit, int32_t region, float x, float y, int32_t pen);
void PIXMOVE(int32_t unit, int32_t ix, int32_t iy, int32_t pen);
void CONSTX(int32_t unit, int32_t region, float x, float y1, float y2);
void CONSTY(int32_t unit, int32_t region, float x1, float x2, float y);
void POINT(int32_t unit, int32_t region, float x, float y);

// --- Symbols, markers, axes -----------------------------------------------------------
void SYMBOL(int32_t unit, float x, float y, float height, float angle, const std::string& text);
void MARKER(int32_t unit, int32_t region, float x, float y, int32_t kind, float size);
// Each of its four stages (x labels, y labels, x grid with sub-ticks, y grid with sub-ticks)
// draws at most 10000 labels, sub-ticks or grid lines of each kind, however small the step.
void AXES(int32_t unit, int32_t region, float xLabelStep, float xGridStep, int32_t xSub,
          float yLabelStep, float yGridStep, int32_t ySub);

// --- Shapes in series -----------------------------------------------------------------
// SETCOL, MOVE and MARKER of one unit as a chart calls them entry after entry, gathered and
// handed to the services a series at a time (drawShapes): the same pixels, colours and pen
// position as the routines called one by one, without a call through the services for every
// step. Between flushes nothing else may draw on the unit or change the page, region or colour
// tables; shapes not handed over when the series ends are dropped. A MOVE with the pen down
// before the series knows where the pen is, a marker or line before its first SETCOL, and
// markers of other kinds than 4 are handed on to the routines themselves.
class PenSeries {
  public:
    explicit PenSeries(int32_t unit);
    ~PenSeries();
    PenSeries(const PenSeries&) = delete;
    PenSeries& operator=(const PenSeries&) = delete;

    void SETCOL(int32_t colour) {
        const auto index = static_cast<uint32_t>(colour);
        if (index >= kColours || !colours_[index].known) [[unlikely]] {
            learnColour(colour);
            return;
        }
        rgb_ = colours_[index].rgb;
        colour_ = colour;
        plotState.currentColour = colour;
        colourKnown_ = colourPending_ = true;
    }
    void MOVE(int32_t region, float x, float y, int32_t pen) {
        int32_t ix = 0, iy = 0;
        if (!pixel(region, x, y, ix, iy) || (pen == 1 && !(penKnown_ && colourKnown_)))
            [[unlikely]] {
            moveSlowly(region, x, y, pen);
            return;
        }
        const auto px = static_cast<int16_t>(ix);
        const auto py = static_cast<int16_t>(iy);
        if (pen == 1) add(PenShape{PenShape::Kind::line, penX_, penY_, px, py, rgb_});
        penKnown_ = penPending_ = true;
        penX_ = px;
        penY_ = py;
    }
    void MARKER(int32_t region, float x, float y, int32_t kind, float size) {
        int32_t ix = 0, iy = 0;
        if (kind != 4 || !colourKnown_ || !markerKnown_ ||
            std::bit_cast<uint32_t>(size) != markerSizeBits_ || !pixel(region, x, y, ix, iy))
            [[unlikely]] {
            markerSlowly(region, x, y, kind, size);
            return;
        }
        const plotdetail::MarkerBox b = plotdetail::filledMarkerBox(ix, iy, markerExtent_);
        add(PenShape{PenShape::Kind::filledEllipse, static_cast<int16_t>(b.x1),
                     static_cast<int16_t>(b.y1), static_cast<int16_t>(b.x2),
                     static_cast<int16_t>(b.y2), rgb_});
    }
    // Hands everything over, leaving the services as the routines would have; the series then
    // starts afresh, as if new.
    void flush();

  private:
    static constexpr int kRegions = 20;
    static constexpr int kColours = 106;
    static constexpr size_t kRoom = 1024;

    // A region the series has taken: TMF's memo of it, and the pixel column of the x met last
    // (all the shapes of an entry stand at its x).
    struct Region {
        plotdetail::TransformMemo memo;
        uint32_t xBits = 0;
        int32_t xPixel = 0;
    };
    struct Colour {
        bool known = false;
        int32_t rgb = 0;
    };

    // TMF of (x, y) in a region the series has taken; false for any other.
    bool pixel(int32_t region, float x, float y, int32_t& ix, int32_t& iy) {
        const auto slot = static_cast<uint32_t>(region - 1);
        if (slot >= kRegions || (regionsTaken_ >> slot & 1) == 0) [[unlikely]]
            return false;
        Region& r = regions_[slot];
        if (const uint32_t xBits = std::bit_cast<uint32_t>(x); xBits != r.xBits) [[unlikely]] {
            r.xBits = xBits;
            r.xPixel = r.memo.x(x);
        }
        ix = r.xPixel;
        iy = r.memo.y(y);
        return true;
    }
    void add(const PenShape& shape) {
        shapes_[count_++] = shape;
        if (count_ == kRoom) [[unlikely]]
            handOver();
    }
    void learnColour(int32_t colour);
    void takeRegion(int32_t region);
    void moveSlowly(int32_t region, float x, float y, int32_t pen);
    void markerSlowly(int32_t region, float x, float y, int32_t kind, float size);
    void handOver();

    int32_t unit_;
    PenShape shapes_[kRoom];
    size_t count_ = 0;
    bool colourKnown_ = false;    // SETCOL was called in the series
    bool colourPending_ = false;  // ... and not yet passed on
    int32_t colour_ = 0;
    int32_t rgb_ = 0;
    bool penKnown_ = false;    // where the pen is
    bool penPending_ = false;  // ... and the services do not know yet
    int16_t penX_ = 0, penY_ = 0;
    uint32_t regionsTaken_ = 0;  // bit region - 1
    std::unique_ptr<Region[]> regions_;
    Colour colours_[kColours];
    // The marker size met last and its width and height in pixels.
    bool markerKnown_ = false;
    uint32_t markerSizeBits_ = 0;
    plotdetail::MarkerExtent markerExtent_{0, 0};
};

}  // namespace trelvan
