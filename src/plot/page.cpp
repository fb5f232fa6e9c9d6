// SPDX-License-Identifier: GPL-3.0-or-later
// The graphics page, the colour table, line styles and window activation.
#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "platform/colours.h"
#include "plot/plot.h"
#include "plot/plot_internal.h"

namespace trelvan {

PlotState plotState;

void resetPlotState() {
    plotState = PlotState{};
}

namespace {

// Default colours installed by the first PAGE call: red, green, blue of colours 0 to 15.
constexpr float COL0[16][3] = {
    {1.0f, 1.0f, 1.0f},    {1.0f, 0.0f, 0.0f}, {0.9f, 0.7f, 0.0f}, {0.0f, 1.0f, 0.0f},
    {0.0f, 1.0f, 1.0f},    {0.0f, 0.0f, 1.0f}, {0.0f, 0.8f, 0.9f}, {0.0f, 0.0f, 0.0f},
    {0.35f, 0.35f, 0.35f}, {1.0f, 0.0f, 0.0f}, {0.5f, 0.5f, 0.0f}, {0.0f, 0.5f, 0.0f},
    {0.0f, 0.5f, 0.5f},    {0.0f, 0.0f, 1.0f}, {1.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f},
};

constexpr float kPageWidth = 240.0f;
constexpr float kPageHeight = 180.0f;
constexpr int32_t kTileCommand = 2;

// Line style masks of SETLIN styles 1 to 4.
constexpr uint16_t kLineMasks[4] = {0xFFFF, 0xFF00, 0xF0F0, 0xCCCC};

// A unit that never takes the focus would otherwise keep ACTIV asking for ever; after this
// many refused requests it gives up and carries on (activateUnit does the same).
constexpr int kActivationAttempts = 5;

// Into [0, 1]; NaN becomes 0 as well, so the table only ever holds proper fractions.
float clampFraction(float value) {
    if (!(value >= 0.0f)) return 0.0f;
    if (value > 1.0f) return 1.0f;
    return value;
}

}  // namespace

namespace plotdetail {

int32_t colourRgb(int32_t colour) {
    checkIndex("COLDIM", int64_t{colour} + 1, 1, 106, 2);  // COLDIM(component, colour + 1)
    const float* rgb = plotState.COLDIM[colour];
    // A chart changes between a few colours all the time: each colour's value is kept with the
    // components it came from, bit for bit.
    struct Known {
        uint32_t components[3] = {};
        int32_t value = 0;
        bool valid = false;
    };
    thread_local Known known[std::extent_v<decltype(PlotState::COLDIM), 0>];
    uint32_t components[3];
    std::memcpy(components, rgb, sizeof components);
    Known& k = known[colour];
    if (k.valid && components[0] == k.components[0] && components[1] == k.components[1] &&
        components[2] == k.components[2])
        return k.value;
    uint8_t CI[4] = {0, 0, 0, 0};
    for (int component = 0; component < 3; ++component) {
        CI[component] = static_cast<uint8_t>(truncToInt(rgb[component] * 255.0f));
    }
    std::copy(components, components + 3, k.components);
    k.value = int32_t{CI[0]} | int32_t{CI[1]} << 8 | int32_t{CI[2]} << 16 | int32_t{CI[3]} << 24;
    k.valid = true;
    return k.value;
}

}  // namespace plotdetail

void PAGE(int32_t unit, int32_t height, int32_t width, const std::string& title) {
    float* page = plotdetail::pageEntries(unit);
    GraphicsWindow& window = gw();
    if (window.OPENUSER(unit, title) < 0) {
        stopWithMessage("Не удалось открыть графическое окно (unit " + std::to_string(unit) + ")");
    }

    WindowConfig& request = plotState.windowRequest;
    request = WindowConfig{};
    request.numxpixels = static_cast<int16_t>(width);
    request.numypixels = static_cast<int16_t>(height);
    request.numtextcols = -1;
    request.numtextrows = -1;
    request.numcolors = -1;
    request.fontsize = 0;
    request.title.clear();
    request.bitsperpixel = 0;
    plotState.windowRequestResult = window.SETWINDOWCONFIG(request);
    // Refused: the services have adjusted the record to what they can give; ask once more.
    if (!plotState.windowRequestResult) {
        plotState.windowRequestResult = window.SETWINDOWCONFIG(request);
    }

    // The page table keeps the requested size, whatever was granted.
    page[0] = kPageWidth;
    page[1] = kPageHeight;
    page[2] = static_cast<float>(width);
    page[3] = static_cast<float>(height);

    ++plotState.pageOpenCount;
    if (plotState.pageOpenCount == 1) {
        for (int colour = 0; colour < 16; ++colour) {
            for (int component = 0; component < 3; ++component) {
                plotState.COLDIM[colour][component] = COL0[colour][component];
            }
        }
    }

    if (unit == 1) window.MENUCOMMAND(kTileCommand);
    window.SETBKCOLORRGB(rgb::kWhite);
    window.CLEARSCREEN(GCLEARSCREEN);
}

void SETCOL(int32_t colour) {
    const int32_t rgb = plotdetail::colourRgb(colour);
    GraphicsWindow& window = gw();
    window.SETCOLORRGB(rgb);
    window.SETTEXTCOLORRGB(rgb);
    plotState.currentColour = colour;
}

void COLOR(int32_t colour, float red, float green, float blue) {
    checkIndex("COLDIM", int64_t{colour} + 1, 1, 106, 2);
    float* rgb = plotState.COLDIM[colour];
    rgb[0] = clampFraction(red);
    rgb[1] = clampFraction(green);
    rgb[2] = clampFraction(blue);
}

void SETLIN(int32_t style) {
    gw().SETLINESTYLE(kLineMasks[0]);
    if (style >= 1 && style <= 4) gw().SETLINESTYLE(kLineMasks[style - 1]);
}

void ACTIV(int32_t unit, int32_t focusUnit) {
    plotdetail::activateUnit(gw(), unit);
    if (focusUnit != 0) {
        for (int attempt = 0; attempt < kActivationAttempts; ++attempt) {
            if (gw().FOCUSQQ(focusUnit) == 0) break;
        }
    }
}

}  // namespace trelvan
