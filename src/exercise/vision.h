// SPDX-License-Identifier: GPL-3.0-or-later
// Vision check: Landolt rings of physical size at the acuity levels of TOZ, searched by
// bisection.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/graphics_window.h"

namespace trelvan {

// Acuity levels of the search, 1-based: TOZ(1) = 0.0 and TOZ(15) = 10.0 are the ends of the
// search and are never shown.
inline constexpr int kTozSize = 15;
float TOZ(int index);

// Size and place of one Landolt ring in the graphics window. Reals are single precision, as
// the drawing takes them; the corners are rounded pixel coordinates.
struct RingGeometry {
    float pitch = 0;        // size of a screen pixel, mm
    float scale = 0;        // pixels per figure unit, halved
    float xc = 0, yc = 0;   // centre of the window
    float outerRadius = 0;  // R: 72.5 units across
    float innerRadius = 0;  // r: 43.5 units across
    float halfGap = 0;      // f: the gap is 14.5 units wide
    float cutter = 0;       // 76.5 units: length of the gap cutter, before its side sign
    // Corners (x1, y1, x2, y2) of the black outer and the white inner ellipse.
    std::array<int16_t, 4> outer{};
    std::array<int16_t, 4> inner{};
};

RingGeometry ringGeometry(float level, float distanceCm, float diagonalInch, int32_t windowWidth,
                          int32_t windowHeight, int32_t pixelsX, int32_t pixelsY);

// A pixel coordinate: rounded half away from zero, then held to the 16-bit range.
int16_t pixelCoordinate(float value);

// The quadrilateral P1..P4 that cuts the gap: side +1 right, -1 left; tilt in degrees, +45
// turning the gap downwards on the right side.
std::array<XYCoord, 4> gapVertices(const RingGeometry& ring, int side, float tiltDegrees);

// Side (+1 right, -1 left) and tilt of a figure from two successive RAN11 values.
int gapSide(float sideValue);
float gapTilt(float tiltValue);

// One acuity level: shows rings and judges answers until the level is passed (passed = 1) or
// failed (passed = 0). Returns early, leaving passed as it was, on both buttons or a pending
// menu request.
void TESTSTR(float level, float distanceCm, float diagonalInch, int32_t windowWidth,
             int32_t windowHeight, int32_t pixelsX, int32_t pixelsY, int32_t& passed);

// The bisection over TOZ, starting at 0.1. runLevel runs one level and tells whether it was
// passed, or gives nothing when the check was abandoned. Returns the measured acuity, or
// nothing when abandoned.
std::optional<float> searchAcuity(const std::function<std::optional<bool>(float level)>& runLevel);

}  // namespace trelvan
