// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of the start screen and of the training, composed in a memory image: a texture
// of cells k pixels wide and one row high, white where cell + row is odd, with a digit figure
// of checkered 2k by 2k cells over it.
//
// The image has the layout of the window services' memory images: 54 header bytes, then
// 4 bytes per pixel (blue, green, red, 0), rows of exactly 4 * width bytes, bottom row first.
// The header is never touched. The image need not start at the top of the window: the
// training composes only its field, the rows below its bars.
//
// Both draw a picture through the same routines here, each into its own memory image: composed
// when the window is the one the composition is made for, else drawn directly in the window
// with a line per texture run and a pixel per figure pixel.
#pragma once

#include <cstdint>

#include "app/symbols.h"
#include "platform/raster.h"

namespace trelvan {

// The image of a 980 x 650 window at 32 bits per pixel: the one window the composition is made
// for (4 bytes per pixel, rows of exactly 4 * width bytes, bottom row first).
inline constexpr auto kComposedImageBytes =
    static_cast<int32_t>(kImageHeaderBytes + int64_t{4} * 980 * 650);  // 2548054

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

// --- Drawing a picture in the window -------------------------------------------------------

// Whether a window of w by h pixels whose whole image has imageBytes is composed. A window at
// fewer bits per pixel whose image happens to have that size too is drawn directly: the
// composition writes 4 bytes per pixel and would not fit it.
bool composesPicture(int32_t imageBytes, int w, int h);

// Horizontal offset of a figure placed at position (20.0 left, 450.0 right), reduced to a
// multiple of the element size k: trunc(position / k) * k.
int32_t figureOffset(float position, int32_t k);

// The figure's offset on its side: at 450.0 on the right, 20.0 on the left.
int32_t figureOffsetOnSide(bool right, int32_t k);

// Where a picture goes: the rows of the window it covers (the memory image's), and how.
struct PictureTarget {
    PictureImage image;     // the caller's memory image, its header already written
    bool composed = false;  // composed in the image and put whole, or drawn directly
    // Drawn directly, the pen moves back to each texture run's end after its line (the
    // training's way; the start screen leaves it there by the line alone).
    bool penToRunEnd = false;
};

// Returns true to stop a picture before it is complete.
using PictureStop = bool (*)();

// The texture of element size k over the target's rows, from the top down, in the memory
// image or directly: cells of k pixels, white where cell + row is odd; drawn directly, the
// pixels that belong to no cell keep what the window showed. After each row stop is asked;
// returns false when it stopped the texture.
bool drawTexture(const PictureTarget& target, int32_t k, PictureStop stop);

// Figure cells 1 to count of element size k from offsets, in table order, at the horizontal
// offset xoff, each over what lies beneath it; pixels outside the target's rows are left out.
// After each cell stop is asked; when it stops the figure, returns false. Composed, the whole
// image is put in the window once the last cell is in it.
bool drawFigure(const PictureTarget& target, int32_t k, int32_t xoff, int32_t count,
                const SymbolOffsets& offsets, PictureStop stop);

}  // namespace trelvan
