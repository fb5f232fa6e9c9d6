// SPDX-License-Identifier: GPL-3.0-or-later
// The screen arithmetic of the parameters: the diagonal from a ruler's reading, and whether a
// physical size the system reports can be a real screen's. The pixel pitch and the diagonal
// rules themselves are in platform/screen_geometry.h, where the ruler window uses them too.
#pragma once

#include <cstdint>

#include "platform/screen_geometry.h"

namespace trelvan {

struct RulerReading;
struct ScreenReport;

// The diagonal in inches of a screen of pixelsX by pixelsY pixels on which a bar of the reading's
// pixels measures the reading's millimetres:
// 25.4 x diagonal / sqrt(pixelsX^2 + pixelsY^2) = millimetres / barPixels.
double diagonalFromRuler(const RulerReading& reading, int32_t pixelsX, int32_t pixelsY);

// A physical size the system reports that can be a real screen's: square-ish pixels of a
// pitch between 0.05 and 1.5 mm, and not the size of 96 pixels per inch that systems report
// when they know nothing of the screen.
bool plausibleScreenSize(const ScreenReport& screen);

}  // namespace trelvan
