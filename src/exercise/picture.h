// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of the start screen and of the training, composed in a memory image: a texture
// of cells k pixels wide and one row high, white where cell + row is odd, with a digit figure
// of checkered 2k by 2k cells over it.
//
// The image has the layout of the window services' memory images: 54 header bytes, then
// 4 bytes per pixel (blue, green, red, 0), rows of exactly 4 * width bytes, bottom row first.
// The header is never touched. The image need not start at the top of the window: the
// training composes only its field, the rows below its bars.
#pragma once

#include <cstdint>

#include "app/symbols.h"

namespace trelvan {

struct PictureImage {
    uint8_t* bytes = nullptr;  // the whole image, header included
    int width = 0;             // pixels per row
    int top = 0;               // window row of the image's top row
    int rows = 0;              // rows in the image: window rows top .. top + rows - 1
};

// Writes window row y of the texture of element size k, the whole row: the cells white or
// black, and black for column 0 and the right margin that no cell covers.
//
// Rows are composed from the top of the image down: from the image's third row on, a row is
// a copy of the row two above it, which has the same cells.
void composeTextureRow(const PictureImage& image, int32_t k, int y);

// Writes one figure cell of element size k over what lies beneath: the pixels
// (left + t, top + u) for t and u from 1 to 2k, a 2 by 2 checker of k by k squares, white at
// the top left and the bottom right. Pixels outside the image are left out.
void composeFigureCell(const PictureImage& image, int32_t k, int left, int top);

// Writes figure cells 1 to count of element size k from offsets, in table order, at the
// horizontal offset xoff: cell j at column IJNOT(j, 2, k) + xoff and row IJNOT(j, 1, k).
void composeFigure(const PictureImage& image, int32_t k, int32_t xoff, int32_t count,
                   const SymbolOffsets& offsets);

}  // namespace trelvan
