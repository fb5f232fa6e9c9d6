// SPDX-License-Identifier: GPL-3.0-or-later
// Texts at page positions in ten font sizes, and markers centred on points of a region.
#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

using plotdetail::truncToInt;

namespace {

// Font options by the scaled size s = 1.5 x height: the first entry whose bound s does not
// exceed; larger sizes take the last entry.
struct FontChoice {
    float upTo;
    const char* options;
};
constexpr FontChoice kFonts[] = {
    {4.0f, "t'Times New Roman Cyr'h4w3b"},    {6.0f, "t'Times New Roman Cyr'h12w4b"},
    {8.0f, "t'Times New Roman Cyr'h16w5b"},   {10.0f, "t'Times New Roman Cyr'h20w6b"},
    {12.0f, "t'Times New Roman Cyr'h24w7b"},  {15.0f, "t'Times New Roman Cyr'h28w8b"},
    {20.0f, "t'Times New Roman Cyr'h36w10b"}, {30.0f, "t'Times New Roman Cyr'h52w18b"},
    {50.0f, "t'Times New Roman Cyr'h96w30b"},
};
constexpr const char* kLargestFont = "t'Times New Roman Cyr'h120w40b";

// SETFONT fails only when no font at all can be set; after this many refusals the text is
// drawn with whatever font is in force.
constexpr int kFontAttempts = 5;

const char* fontFor(float s) {
    for (const FontChoice& choice : kFonts) {
        if (s <= choice.upTo) return choice.options;
    }
    return kLargestFont;
}

}  // namespace

void SYMBOL(int32_t unit, float x, float y, float height, float angle, const std::string& text) {
    const auto [pageWidth, pageHeight, windowWidth, windowHeight] = plotdetail::pageSize(unit);
    ACTIV(unit, 0);
    GraphicsWindow& window = gw();
    const int32_t ix = truncToInt(x * windowWidth / pageWidth);
    const int32_t iy = truncToInt(windowHeight - y * windowHeight / pageHeight);

    const float s = 1.5f * height;
    const char* font = fontFor(s);
    for (int attempt = 0; attempt < kFontAttempts; ++attempt) {
        if (window.SETFONT(font) != -1) break;
        window.SETGTEXTROTATION(900);
    }

    window.SETGTEXTROTATION(truncToInt(10.0f * angle));
    XYCoord previous;
    window.MOVETO(static_cast<int16_t>(ix), static_cast<int16_t>(iy), previous);
    SETCOL(plotState.currentColour);
    window.OUTGTEXT(text);
    window.SETGTEXTROTATION(0);
}

void MARKER(int32_t unit, int32_t region, float x, float y, int32_t kind, float size) {
    int32_t ix = 0;
    int32_t iy = 0;
    plotdetail::transform(unit, region, x, y, ix, iy);
    const plotdetail::MarkerExtent extent = plotdetail::markerExtent(unit, size);
    const int32_t w = extent.w;
    const int32_t h = extent.h;

    switch (kind) {
        case 2:
        case 3: {
            const int32_t a = truncToInt(static_cast<float>(w) * 0.5f);
            const int32_t b = truncToInt(static_cast<float>(h) * 0.5f);
            PIXMOVE(unit, ix - a, iy, 0);
            PIXMOVE(unit, ix + a, iy, 1);
            PIXMOVE(unit, ix, iy - b, 0);
            PIXMOVE(unit, ix, iy + b, 1);
            if (kind == 3) {
                const int32_t c = truncToInt(static_cast<float>(w) / 2.8f);
                const int32_t d = truncToInt(static_cast<float>(h) / 2.8f);
                PIXMOVE(unit, ix - c, iy - d, 0);
                PIXMOVE(unit, ix + c, iy + d, 1);
                PIXMOVE(unit, ix - c, iy + d, 0);
                PIXMOVE(unit, ix + c, iy - d, 1);
            }
            break;
        }
        case 4: {
            const plotdetail::MarkerBox b = plotdetail::filledMarkerBox(ix, iy, extent);
            gw().ELLIPSE(GFILLINTERIOR, static_cast<int16_t>(b.x1), static_cast<int16_t>(b.y1),
                         static_cast<int16_t>(b.x2), static_cast<int16_t>(b.y2));
            break;
        }
        case 5:
        case 6:
            break;
        default:
            POINT(unit, region, x, y);
            break;
    }
}

}  // namespace trelvan
