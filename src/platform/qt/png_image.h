// SPDX-License-Identifier: GPL-3.0-or-later
// Surfaces as PNG images: 8-bit RGB, one pixel per surface pixel.
#pragma once

#include <string>

#include "platform/raster.h"

namespace trelvan {

// The bytes of a PNG file of the raster; empty when it cannot be encoded.
std::string encodePng(const Raster& raster);

// The pixels of a PNG file (colours 0x00BBGGRR); a 0 x 0 raster when it cannot be read.
Raster readPng(const std::string& path);

}  // namespace trelvan
