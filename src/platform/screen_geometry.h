// SPDX-License-Identifier: GPL-3.0-or-later
// The screen's geometry in one place: the pixels along its diagonal, the size of one pixel, and
// the diagonal of a physical size. Every rule that turns pixels into millimetres uses these
// (the parameters' checks and the exercises through params/screen_geometry.h, the ruler
// window directly).
#pragma once

#include <cmath>
#include <cstdint>

namespace trelvan {

inline constexpr double kMillimetresPerInch = 25.4;

// The pixels per inch systems assume, and report a physical size for, when they know nothing of
// the screen.
inline constexpr double kAssumedPixelsPerInch = 96.0;

// The length of the screen's diagonal in pixels, in Real (float or double): the sum of squares
// is formed in integers, so no resolution overflows it.
template <class Real>
Real diagonalPixels(int32_t pixelsX, int32_t pixelsY) {
    return std::sqrt(static_cast<Real>(int64_t{pixelsX} * pixelsX + int64_t{pixelsY} * pixelsY));
}

// Size of one screen pixel in millimetres: 25.4 * diagonal / sqrt(pixelsX^2 + pixelsY^2).
inline float pixelPitch(float diagonalInch, int32_t pixelsX, int32_t pixelsY) {
    return static_cast<float>(kMillimetresPerInch) * diagonalInch /
           diagonalPixels<float>(pixelsX, pixelsY);
}

// The diagonal in inches of a screen of this physical size.
inline double diagonalInches(double widthMm, double heightMm) {
    return std::hypot(widthMm, heightMm) / kMillimetresPerInch;
}

// Size of one pixel in millimetres by a reported physical width of widthPixels pixels; without
// one (a width of 0), that of a screen of the assumed pixels per inch.
inline double reportedPixelPitch(double widthMm, int32_t widthPixels) {
    return widthMm > 0 && widthPixels > 0 ? widthMm / widthPixels
                                          : kMillimetresPerInch / kAssumedPixelsPerInch;
}

}  // namespace trelvan
