// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/start_screen.h"

#include "app/event_state.h"
#include "app/program_state.h"
#include "app/status_line.h"
#include "app/symbols.h"
#include "exercise/picture.h"
#include "exercise/random.h"
#include "platform/colours.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

using rgb::kGrey;
constexpr float kDisplaySeconds = 5.0f;

// The start screen's memory image, kept for the whole run.
uint8_t KADRDIM[2600000];

bool toTopAfterFullCheck() {
    return fullCheck() == StepOutcome::toTop;
}

bool toTopAfterFigureCheck() {
    return figureCheck() == StepOutcome::toTop;
}

}  // namespace

StepOutcome startScreenStep(int32_t k) {
    GraphicsWindow& g = gw();
    const int w = programState.windowWidth;
    const int h = programState.windowHeight;
    const auto right = static_cast<int16_t>(w - 1);
    const auto bottom = static_cast<int16_t>(h - 1);
    PictureTarget picture;
    picture.image = PictureImage{KADRDIM, w, 0, h};
    picture.composed = composesPicture(g.IMAGESIZE(0, 0, right, bottom), w, h);
    statusStartScreen(programState.currentSize);

    if (picture.composed) {
        g.SETCOLORRGB(kGrey);
        g.RECTANGLE(GFILLINTERIOR, 0, 0, right, bottom);
        g.SLEEPMS(1000);
        g.GETIMAGE(0, 0, right, bottom, KADRDIM);
        // Composing, only the exit check runs after a row; the full check once it is done.
        drawTexture(picture, k, [] {
            exitCheck();
            return false;
        });
        if (fullCheck() == StepOutcome::toTop) return StepOutcome::toTop;
    } else if (!drawTexture(picture, k, toTopAfterFullCheck)) {
        return StepOutcome::toTop;
    }

    programState.currentSize = k;
    statusStartScreen(k);
    const int xoff = figureOffsetOnSide(RAN11() > 0.5f, k);
    const int count = symbolTable.NOTDIM[k - 1];

    if (picture.composed) {
        // The figure is put whole, then checked once.
        drawFigure(picture, k, xoff, count, symbolTable.IJNOT, [] { return false; });
        if (figureCheck() == StepOutcome::toTop) return StepOutcome::toTop;
    } else if (!drawFigure(picture, k, xoff, count, symbolTable.IJNOT, toTopAfterFigureCheck)) {
        return StepOutcome::toTop;
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
