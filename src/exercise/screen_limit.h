// SPDX-License-Identifier: GPL-3.0-or-later
// What the pixel grid allows: which levels of the vision check are drawn true to size.
//
// A level is true to size when the gap of a straight ring, counted in pixels across the gap
// as the check draws it (the ring's own geometry on the raster), differs from its nominal
// width of 29 units times the scale by at most kTrueToSizeTolerance, and every lower level is
// true to size too.
#pragma once

#include <cstdint>
#include <string>

namespace trelvan {

inline constexpr float kTrueToSizeTolerance = 0.10f;

// The gap of a straight ring at the level, in pixels as drawn, and its nominal width.
struct GapWidth {
    int drawn = 0;
    float nominal = 0;
};
GapWidth gapWidth(float level, float distanceCm, float diagonalInch, int32_t windowWidth,
                  int32_t windowHeight, int32_t pixelsX, int32_t pixelsY);

// The highest level of the table (0.1 to 2.0) whose gap and every lower level's gap are true
// to size; 0 when not even 0.1 is.
float highestTrueLevel(float distanceCm, float diagonalInch, int32_t windowWidth,
                       int32_t windowHeight, int32_t pixelsX, int32_t pixelsY);

// The smallest distance in tenths of a metre, up to kLongestDistanceDm, at which 1.0 and every
// level below it are true to size; 0 when none up to that distance is.
inline constexpr int kLongestDistanceDm = 1000;
int distanceForOneDm(float diagonalInch, int32_t windowWidth, int32_t windowHeight, int32_t pixelsX,
                     int32_t pixelsY);

// A level as the user reads it: 0.2, 1.0, 1.25.
std::string levelText(float level);

// The dialog's lines for the values (UTF-8): "Проверка зрения точна до 0.2; для 1.0 нужно
// расстояние от 12.1 м", then what a training confirms at most, with the smallest element:
// "Тренировка подтвердит не больше 0.83 (элемент 2 — самый мелкий)". Non-positive values give
// a line that asks for them.
std::string accuracyNote(float distanceCm, float diagonalInch, int32_t windowWidth,
                         int32_t windowHeight, int32_t pixelsX, int32_t pixelsY);

}  // namespace trelvan
