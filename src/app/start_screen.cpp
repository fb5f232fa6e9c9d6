// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_screen.h"

#include "app/event_state.h"
#include "app/status_line.h"
#include "app/symbols.h"
#include "exercise/picture.h"
#include "exercise/random.h"
#include "platform/colours.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

using rgb::kBlack;
using rgb::kGrey;
using rgb::kWhite;
constexpr int32_t kComposedImageBytes = 2548054;  // 980 x 650 at 32 bits per pixel
constexpr float kDisplaySeconds = 5.0f;

// The start screen's memory image, kept for the whole run.
uint8_t KADRDIM[2600000];

// Figure cell pixel (t, u), 1 to 2k each: a 2 by 2 checker of k by k squares, white at the
// top left and the bottom right.
bool figurePixelWhite(int t, int u, int k) {
    return (t <= k && u <= k) || (t > k && u > k);
}

}  // namespace

StepOutcome startScreenStep(int32_t k) {
    GraphicsWindow& g = gw();
    const int w = windowWidth;
    const int h = windowHeight;
    const int cells = w / k;
    // A window at fewer bits per pixel whose image happens to have the same size is drawn
    // directly: the composition writes 4 bytes per pixel and would not fit it.
    const bool composed = g.IMAGESIZE(0, 0, w - 1, h - 1) == kComposedImageBytes &&
                          54 + 4 * static_cast<int64_t>(w) * h == kComposedImageBytes;
    const PictureImage image{KADRDIM, w, 0, h};
    statusStartScreen(currentSize);

    if (composed) {
        g.SETCOLORRGB(kGrey);
        g.RECTANGLE(GFILLINTERIOR, 0, 0, w - 1, h - 1);
        g.SLEEPMS(1000);
        g.GETIMAGE(0, 0, w - 1, h - 1, KADRDIM);
        for (int y = 0; y < h; ++y) {
            composeTextureRow(image, k, y);
            exitCheck();
        }
        if (fullCheck() == StepOutcome::toTop) return StepOutcome::toTop;
    } else {
        XYCoord previous;
        for (int y = 0; y < h; ++y) {
            for (int c = 1; c <= cells; ++c) {
                g.SETCOLORRGB((c + y) % 2 != 0 ? kWhite : kBlack);
                g.MOVETO(static_cast<int16_t>((c - 1) * k + 1), static_cast<int16_t>(y), previous);
                g.LINETO(static_cast<int16_t>(c * k), static_cast<int16_t>(y));
            }
            if (fullCheck() == StepOutcome::toTop) return StepOutcome::toTop;
        }
    }

    currentSize = k;
    statusStartScreen(k);
    const float position = RAN11() > 0.5f ? 450.0f : 20.0f;
    const int xoff = static_cast<int>(position / static_cast<float>(k)) * k;
    const int count = symbolTable.NOTDIM[k - 1];

    if (composed) {
        composeFigure(image, k, xoff, count, symbolTable.IJNOT);
        g.PUTIMAGE(0, 0, KADRDIM, GPSET);
        if (figureCheck() == StepOutcome::toTop) return StepOutcome::toTop;
    } else {
        for (int j = 1; j <= count; ++j) {
            const int q = symbolTable.IJNOT(j, 2, k);
            const int r = symbolTable.IJNOT(j, 1, k);
            for (int t = 1; t <= 2 * k; ++t) {
                for (int u = 1; u <= 2 * k; ++u) {
                    const int x = q + xoff + t;
                    const int y = r + u;
                    if (x < 0 || y < 0 || x >= w || y >= h) continue;
                    g.SETPIXELRGB(static_cast<int16_t>(x), static_cast<int16_t>(y),
                                  figurePixelWhite(t, u, k) ? kWhite : kBlack);
                }
            }
            if (figureCheck() == StepOutcome::toTop) return StepOutcome::toTop;
        }
    }

    const double t0 = g.CLOCKSECONDS();
    for (;;) {
        g.SLEEPMS(200);
        const float elapsed = static_cast<float>(g.CLOCKSECONDS() - t0);
        if (fullCheck() == StepOutcome::toTop) return StepOutcome::toTop;
        if (elapsed >= kDisplaySeconds) return StepOutcome::done;
    }
}

}  // namespace trelvan
