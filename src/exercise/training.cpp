// SPDX-License-Identifier: GPL-3.0-or-later
// The training: picture after picture of a fine texture with a digit hidden on the left or
// the right, answered with the mouse, until trainingVolume answers in a row are right.
#include "exercise/training.h"

#include <cstddef>

#include "app/event_state.h"
#include "app/status_line.h"
#include "exercise/exercises.h"
#include "exercise/picture.h"
#include "exercise/random.h"
#include "params/parameters.h"
#include "platform/colours.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

using rgb::kBlue;
using rgb::kCyan;
using rgb::kDarkGreen;
using rgb::kGreen;
using rgb::kGrey;
using rgb::kRed;

// Rows 0-9 progress bar, 10-19 status bar, the field from row 20 down.
constexpr int kStatusTop = 10;
constexpr int kFieldTop = 20;

// The training's memory image of the field; separate from the start screen's.
uint8_t KADRDIM[2600000];

// What the window looks like and how pictures reach it, fixed when the training starts.
struct Screen {
    int w = 0;
    int h = 0;
    bool composed = false;
};

void fillRect(int32_t colour, int x1, int y1, int x2, int y2) {
    GraphicsWindow& g = gw();
    g.SETCOLORRGB(colour);
    g.RECTANGLE(GFILLINTERIOR, static_cast<int16_t>(x1), static_cast<int16_t>(y1),
                static_cast<int16_t>(x2), static_cast<int16_t>(y2));
}

bool bothButtons() {
    return eventState.latchedMask.load() == 3;
}

// Draws one picture at element size p and returns the side of its figure (true: right).
// False in abandoned when both buttons were pressed before the picture was complete.
bool drawPicture(const Screen& s, int32_t p, int32_t cellCount, const SymbolOffsets& offsets,
                 bool& abandoned) {
    abandoned = false;
    PictureTarget field;
    field.image = PictureImage{KADRDIM, s.w, kFieldTop, s.h - kFieldTop};
    field.composed = s.composed;
    field.penToRunEnd = true;

    // Texture: runs of p pixels, one row high, white where run + row is odd.
    if (s.composed) {
        fillRect(kGrey, 0, kFieldTop + 1, s.w - 1, s.h - 1);
        gw().SLEEPMS(1000);
    }
    if (!drawTexture(field, p, bothButtons)) {
        abandoned = true;
        return false;
    }

    const bool right = RAN11() > 0.5f;
    const int xoff = figureOffsetOnSide(right, p);

    // Figure: 2p by 2p checkered cells in table order, each over what lies beneath it.
    if (!drawFigure(field, p, xoff, cellCount, offsets, bothButtons)) abandoned = true;
    return right;
}

}  // namespace

int32_t progressEnd(int32_t windowWidth, int32_t i, int32_t volume) {
    // The product is formed wide: a long training on a wide window exceeds 32 bits.
    return static_cast<int32_t>(static_cast<int64_t>(windowWidth - 1) * i / volume);
}

void TEST(int32_t p, const int32_t (&cellCounts)[9], const SymbolOffsets& cellOffsets,
          int16_t windowWidth, int16_t windowHeight) {
    checkIndex("NOTDIM", p, 1, 9);
    const int32_t cellCount = cellCounts[p - 1];
    if (cellCount > 0) checkIndex("IJNOT", cellCount, 1, kMaxCells);

    GraphicsWindow& g = gw();
    Screen s;
    s.w = windowWidth;
    s.h = windowHeight;

    fillRect(kDarkGreen, 0, 0, s.w - 1, s.h - 1);
    TrainingCounters counters;
    fillRect(kBlue, 0, 0, s.w - 1, kStatusTop - 1);
    fillRect(kRed, 0, kStatusTop, s.w - 1, kFieldTop - 1);

    // The size of the whole window's image decides the drawing path.
    const int32_t imageBytes =
        g.IMAGESIZE(0, 0, static_cast<int16_t>(s.w - 1), static_cast<int16_t>(s.h - 1));
    s.composed = composesPicture(imageBytes, s.w, s.h);
    // The field's image: width w, height h - 20, with the header the composition keeps.
    const int32_t fieldBytes =
        g.IMAGESIZE(0, 0, static_cast<int16_t>(s.w - 1), static_cast<int16_t>(s.h - 1 - kFieldTop));
    if (fieldBytes > 0 && static_cast<size_t>(fieldBytes) <= sizeof(KADRDIM)) {
        g.GETIMAGE(0, 0, static_cast<int16_t>(s.w - 1), static_cast<int16_t>(s.h - 1 - kFieldTop),
                   KADRDIM);
    }

    const int32_t volume = parameterSet.trainingVolume;
    if (volume > 0) statusTraining(1, volume);
    for (;;) {  // restart point: the count starts again at the first picture
        int32_t i = 1;
        if (volume <= 0) {
            trainingSummary(p, counters, windowWidth, windowHeight);
            return;
        }
        bool wrong = false;
        while (!wrong) {
            bool abandoned = false;
            const bool right = drawPicture(s, p, cellCount, cellOffsets, abandoned);
            if (abandoned) return;

            const PictureMark picture = g.markPicture();
            eventState.clicked = 0;
            fillRect(kGreen, 0, kStatusTop, s.w - 1, kFieldTop - 1);
            const int xi = progressEnd(s.w, i, volume);
            fillRect(kBlue, xi, 0, s.w - 1, kStatusTop - 1);
            fillRect(kCyan, 0, 0, xi, kStatusTop - 1);
            statusTraining(i, volume);
            BEEPQQSK(1000, 200);

            // No time limit: the wait ends with a click, both buttons or a menu request. The
            // answer time runs from the moment the picture reached the screen to the press,
            // so it includes the start tone.
            waitFor([] {
                return eventState.menuRequest.load() != 0 || eventState.latchedMask.load() == 3 ||
                       eventState.clicked.load() == 1;
            });
            const auto elapsed = static_cast<float>(g.answerSeconds(picture));
            if (eventState.menuRequest.load() != 0) return;
            const int32_t mask = eventState.latchedMask.load();
            if (mask == 3) return;

            counters.answerTimeSum += elapsed;
            if ((!right && mask == 1) || (right && mask == 2)) {
                ++counters.rightCount;
                BEEPQQSK(800, 200);
                fillRect(kRed, 0, kStatusTop, s.w - 1, kFieldTop - 1);
                ++i;
                if (i > volume) {
                    trainingSummary(p, counters, windowWidth, windowHeight);
                    return;
                }
            } else {
                // Red through the pause and until the next picture is ready: no answer is
                // taken meanwhile, and the screen must not look as if one were awaited.
                ++counters.wrongCount;
                fillRect(kRed, 0, kStatusTop, s.w - 1, kFieldTop - 1);
                statusTrainingWrong(volume);
                BEEPQQSK(200, 300);
                g.SLEEPMS(3000);
                wrong = true;
            }
        }
    }
}

}  // namespace trelvan
