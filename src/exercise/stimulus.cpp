// SPDX-License-Identifier: GPL-3.0-or-later
// One acuity level of the vision check: Landolt rings of physical size, answers judged within
// two seconds.

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "app/event_state.h"
#include "app/status_line.h"
#include "exercise/random.h"
#include "exercise/vision.h"
#include "params/parameters.h"
#include "params/screen_geometry.h"
#include "platform/colours.h"
#include "platform/fields.h"

namespace trelvan {

namespace {

using rgb::kBlack;
using rgb::kWhite;

// Figure units of the ring: outer and inner diameter, gap width, reach of the gap cutter.
constexpr float kOuterUnits = 72.5f;
constexpr float kInnerUnits = 43.5f;
constexpr float kGapUnits = 14.5f;
constexpr float kCutterUnits = 76.5f;

constexpr double kAnswerWindowSec = 2.0;
constexpr double kPauseSec = 1.0;
constexpr int32_t kPollMs = 200;
constexpr int32_t kWrongPauseMs = 3000;

constexpr int kWrongToFail = 3;
constexpr int kSilentToFail = 5;
constexpr int kRunToPass = 10;

// The sign of each answer that needs no sound: a band along the window's top edge, away from
// the ring, in the answer's colour for the tone's duration.
constexpr int kSignRows = 10;
constexpr int32_t kSignRight = rgb::kGreen;
constexpr int32_t kSignWrong = rgb::kRed;
constexpr int32_t kSignMissed = 0x00FFFF;  // yellow

// The quadrilateral of the current figure, as POLYGON takes it.
XYCoord figureVertices[4];

bool bothButtons() {
    return eventState.latchedMask.load() == 3;
}

// Sine and cosine of an angle in degrees, in single precision.
float sinDeg(float degrees) {
    return static_cast<float>(std::sin(static_cast<double>(degrees) * (std::numbers::pi / 180.0)));
}
float cosDeg(float degrees) {
    return static_cast<float>(std::cos(static_cast<double>(degrees) * (std::numbers::pi / 180.0)));
}

// Shows the band with the tone, then puts back what the band covered. Without sound the band
// stays as long as the tone would have sounded.
void answerSign(int32_t colour, int32_t frequency, int32_t durationMs, int32_t windowWidth) {
    GraphicsWindow& g = gw();
    const auto right = static_cast<int16_t>(windowWidth - 1);
    const int32_t bytes = g.IMAGESIZE(0, 0, right, kSignRows - 1);
    std::vector<uint8_t> under(bytes > 0 ? static_cast<size_t>(bytes) : 0);
    if (!under.empty()) g.GETIMAGE(0, 0, right, kSignRows - 1, under.data());
    g.SETCOLORRGB(colour);
    g.RECTANGLE(GFILLINTERIOR, 0, 0, right, kSignRows - 1);
    if (parameterSet.soundOn)
        BEEPQQSK(frequency, durationMs);
    else
        g.SLEEPMS(durationMs);
    if (!under.empty()) g.PUTIMAGE(0, 0, under.data(), GPSET);
}

void fillField(int32_t pixelsX, int32_t pixelsY) {
    gw().SETCOLORRGB(kWhite);
    gw().RECTANGLE(GFILLINTERIOR, 0, 0, static_cast<int16_t>(pixelsX - 1),
                   static_cast<int16_t>(pixelsY - 1));
}

// Draws one ring with a gap on a random side; returns the side (+1 right, -1 left).
int drawFigure(const RingGeometry& ring, int32_t pixelsX, int32_t pixelsY) {
    GraphicsWindow& g = gw();
    fillField(pixelsX, pixelsY);
    g.SETCOLORRGB(kBlack);
    g.ELLIPSE(GFILLINTERIOR, ring.outer[0], ring.outer[1], ring.outer[2], ring.outer[3]);
    g.SETCOLORRGB(kWhite);
    g.ELLIPSE(GFILLINTERIOR, ring.inner[0], ring.inner[1], ring.inner[2], ring.inner[3]);

    const int side = gapSide(RAN11());
    const float tilt = gapTilt(RAN11());
    const std::array<XYCoord, 4> cut = gapVertices(ring, side, tilt);
    for (int i = 0; i < 4; ++i) figureVertices[i] = cut[i];
    g.SETCOLORRGB(kWhite);
    g.POLYGON(GFILLINTERIOR, figureVertices, 4);
    return side;
}

}  // namespace

int16_t pixelCoordinate(float value) {
    double rounded = fields::roundHalfAway(static_cast<double>(value));
    constexpr double lo = std::numeric_limits<int16_t>::min();
    constexpr double hi = std::numeric_limits<int16_t>::max();
    if (!(rounded >= lo)) rounded = lo;  // NaN too
    if (rounded > hi) rounded = hi;
    return static_cast<int16_t>(rounded);
}

RingGeometry ringGeometry(float level, float distanceCm, float diagonalInch, int32_t windowWidth,
                          int32_t windowHeight, int32_t pixelsX, int32_t pixelsY) {
    RingGeometry ring;
    ring.pitch = pixelPitch(diagonalInch, pixelsX, pixelsY);
    ring.scale = (0.1f / level) * (distanceCm / 500.0f) * 0.5f / ring.pitch;
    ring.xc = static_cast<float>(windowWidth) * 0.5f;
    ring.yc = static_cast<float>(windowHeight) * 0.5f;
    ring.outerRadius = kOuterUnits * ring.scale;
    ring.innerRadius = kInnerUnits * ring.scale;
    ring.halfGap = kGapUnits * ring.scale;
    ring.cutter = kCutterUnits * ring.scale;

    const float xc = ring.xc, yc = ring.yc, R = ring.outerRadius, r = ring.innerRadius;
    ring.outer = {pixelCoordinate(xc - R), pixelCoordinate(yc - R), pixelCoordinate(xc + R),
                  pixelCoordinate(yc + R)};
    ring.inner = {pixelCoordinate(xc - r + 0.5f), pixelCoordinate(yc - r + 0.5f),
                  pixelCoordinate(xc + r - 0.5f), pixelCoordinate(yc + r - 0.5f)};
    return ring;
}

std::array<XYCoord, 4> gapVertices(const RingGeometry& ring, int side, float tiltDegrees) {
    const float s = sinDeg(tiltDegrees);
    const float c = cosDeg(tiltDegrees);
    const float f = ring.halfGap;
    const float L = static_cast<float>(side) * ring.cutter;
    const float xc = ring.xc, yc = ring.yc;
    auto point = [](float x, float y) { return XYCoord{pixelCoordinate(x), pixelCoordinate(y)}; };
    return {point(xc + f * s, yc - f * c), point(xc - f * s, yc + f * c),
            point(xc + L * c - f * s, yc + L * s + f * c),
            point(xc + L * c + f * s, yc + L * s - f * c)};
}

int gapSide(float sideValue) {
    return sideValue > 0.5f ? 1 : -1;
}

float gapTilt(float tiltValue) {
    if (tiltValue < 0.333f) return -45.0f;
    if (tiltValue >= 0.667f) return 45.0f;
    return 0.0f;
}

void TESTSTR(float level, float distanceCm, float diagonalInch, int32_t windowWidth,
             int32_t windowHeight, int32_t pixelsX, int32_t pixelsY, int32_t& passed) {
    GraphicsWindow& g = gw();
    const RingGeometry ring =
        ringGeometry(level, distanceCm, diagonalInch, windowWidth, windowHeight, pixelsX, pixelsY);
    int wrong = 0;   // wrong answers at this level
    int silent = 0;  // answers missed since the last correct one
    int run = 0;     // correct answers in a row

    for (;;) {
        const int side = drawFigure(ring, pixelsX, pixelsY);
        double t0 = g.CLOCKSECONDS();
        if (bothButtons()) return;
        eventState.clicked = 0;
        statusCheck(level, run);
        BEEPQQSK(1000, 150);

        // Wait for the answer, two seconds on the clock, looking at the buttons between sleeps.
        bool answered = false;
        for (;;) {
            g.SLEEPMS(kPollMs);
            const double elapsed = g.CLOCKSECONDS() - t0;
            if (eventState.menuRequest.load() != 0) return;
            if (bothButtons()) return;
            if (eventState.clicked.load() == 1) {
                answered = true;
                break;
            }
            if (elapsed >= kAnswerWindowSec) break;
        }

        if (answered) {
            const int32_t mask = eventState.latchedMask.load();
            const bool correct = (side == -1 && mask == 1) || (side == 1 && mask == 2);
            if (correct) {
                ++run;
                silent = 0;
                if (bothButtons()) return;
                answerSign(kSignRight, 800, 200, windowWidth);
            } else {
                ++wrong;
                run = 0;
                if (bothButtons()) return;
                answerSign(kSignWrong, 200, 300, windowWidth);
                g.SLEEPMS(kWrongPauseMs);  // the ring stays on the screen meanwhile
            }
        } else if (wrong == 0 && run == 0 && level == 0.1f) {
            // The first level waits without penalty until the user starts to answer.
        } else {
            ++silent;
            if (bothButtons()) return;
            answerSign(kSignMissed, 400, 200, windowWidth);
        }

        if (wrong >= kWrongToFail || silent >= kSilentToFail) {
            passed = 0;
            return;
        }
        if (run >= kRunToPass) {
            passed = 1;
            return;
        }

        // White pause of at least one second before the next figure.
        fillField(pixelsX, pixelsY);
        if (bothButtons()) return;
        t0 = g.CLOCKSECONDS();
        do {
            g.SLEEPMS(kPollMs);
            if (bothButtons()) return;
        } while (g.CLOCKSECONDS() - t0 < kPauseSec);
    }
}

}  // namespace trelvan
