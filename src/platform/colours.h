// SPDX-License-Identifier: GPL-3.0-or-later
// The system's named colours, as the window services take them: 0x00BBGGRR, red in the low
// byte, then green, then blue.
#pragma once

#include <cstdint>

namespace trelvan::rgb {

constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kBlack = 0x000000;
constexpr int32_t kGrey = 0x808080;
constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kBlue = 0xFF0000;
constexpr int32_t kCyan = 0xFFFF00;
constexpr int32_t kDarkGreen = 0x007700;
constexpr int32_t kMediumGreen = 0x00AA00;
constexpr int32_t kOlive = 0x009999;
constexpr int32_t kAzure = 0xDDAA00;

}  // namespace trelvan::rgb
