// SPDX-License-Identifier: GPL-3.0-or-later
// The diagonal from a ruler's reading, and the test of a reported physical size.
#include "params/screen_geometry.h"

#include <cmath>

#include "platform/graphics_window.h"

namespace trelvan {

double diagonalFromRuler(const RulerReading& reading, int32_t pixelsX, int32_t pixelsY) {
    return reading.millimetres / reading.barPixels * diagonalPixels<double>(pixelsX, pixelsY) /
           kMillimetresPerInch;
}

bool plausibleScreenSize(const ScreenReport& s) {
    if (s.pixelsX <= 0 || s.pixelsY <= 0 || !(s.widthMm > 0) || !(s.heightMm > 0)) return false;
    const double pitchX = s.widthMm / s.pixelsX;
    const double pitchY = s.heightMm / s.pixelsY;
    auto pitchOk = [](double pitch) { return pitch >= 0.05 && pitch <= 1.5; };
    // Systems that know nothing of the screen report the size of 96 pixels per inch, and Qt
    // makes up 100 for an output that reports none.
    auto atDpi = [&](double dpi) {
        return std::fabs(s.widthMm - s.pixelsX * kMillimetresPerInch / dpi) < 1.0 &&
               std::fabs(s.heightMm - s.pixelsY * kMillimetresPerInch / dpi) < 1.0;
    };
    const bool assumed = atDpi(kAssumedPixelsPerInch) || atDpi(100.0);
    return !assumed && pitchOk(pitchX) && pitchOk(pitchY) && pitchX / pitchY >= 0.87 &&
           pitchX / pitchY <= 1.15;
}

}  // namespace trelvan
