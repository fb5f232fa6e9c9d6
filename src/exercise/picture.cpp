// SPDX-License-Identifier: GPL-3.0-or-later
#include "exercise/picture.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "platform/colours.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

constexpr auto kHeaderBytes = static_cast<size_t>(kImageHeaderBytes);
constexpr uint8_t kWhitePixel[4] = {255, 255, 255, 0};
constexpr uint8_t kBlackPixel[4] = {0, 0, 0, 0};

// Rows of figure cells up to this element size are copied whole from the runs below: k
// pixels of one colour and k of the other start kLargestRun - k pixels in.
constexpr int kLargestRun = 9;

constexpr size_t kTwoRunsBytes = 8 * size_t{kLargestRun};

constexpr std::array<uint8_t, kTwoRunsBytes> twoRuns(bool whiteFirst) {
    std::array<uint8_t, kTwoRunsBytes> bytes{};
    for (int x = 0; x < 2 * kLargestRun; ++x) {
        const bool white = (x < kLargestRun) == whiteFirst;
        for (int b = 0; b < 3; ++b) bytes[4 * x + b] = white ? 255 : 0;
    }
    return bytes;
}
constexpr auto kWhiteThenBlack = twoRuns(true);
constexpr auto kBlackThenWhite = twoRuns(false);

uint8_t* rowStart(const PictureImage& image, int y) {
    const auto fromBottom = static_cast<size_t>(image.rows - 1 - (y - image.top));
    return image.bytes + kHeaderBytes + 4 * fromBottom * static_cast<size_t>(image.width);
}

// Pixels first to last of a row (clipped to the row) in one colour.
void fillRun(const PictureImage& image, uint8_t* row, int first, int last,
             const uint8_t (&pixel)[4]) {
    first = std::max(first, 0);
    last = std::min(last, image.width - 1);
    for (int x = first; x <= last; ++x) std::memcpy(row + 4 * static_cast<size_t>(x), pixel, 4);
}

}  // namespace

void composeTextureRow(const PictureImage& image, int32_t k, int y) {
    const int index = y - image.top;
    if (index < 0 || index >= image.rows) return;
    uint8_t* row = rowStart(image, y);
    const size_t rowBytes = 4 * static_cast<size_t>(image.width);
    if (index >= 2) {
        std::memcpy(row, rowStart(image, y - 2), rowBytes);
        return;
    }
    std::memset(row, 0, rowBytes);
    const int cells = image.width / k;
    for (int c = 1; c <= cells; ++c) {
        if ((c + y) % 2 == 0) continue;  // black
        fillRun(image, row, (c - 1) * k + 1, c * k, kWhitePixel);
    }
}

void composeFigureCell(const PictureImage& image, int32_t k, int cellLeft, int cellTop) {
    const int first = cellLeft + 1;
    const int last = cellLeft + 2 * k;
    const bool whole = k <= kLargestRun && first >= 0 && last < image.width;
    for (int u = 1; u <= 2 * k; ++u) {
        const int y = cellTop + u;
        if (y < image.top || y >= image.top + image.rows) continue;
        uint8_t* row = rowStart(image, y);
        const bool upper = u <= k;
        if (whole) {
            // A row of a cell is k pixels of one colour and k of the other.
            const uint8_t* from = (upper ? kWhiteThenBlack : kBlackThenWhite).data();
            std::memcpy(row + 4 * static_cast<size_t>(first),
                        from + 4 * static_cast<ptrdiff_t>(kLargestRun - k),
                        8 * static_cast<size_t>(k));
        } else {
            fillRun(image, row, first, cellLeft + k, upper ? kWhitePixel : kBlackPixel);
            fillRun(image, row, cellLeft + k + 1, last, upper ? kBlackPixel : kWhitePixel);
        }
    }
}

void composeFigure(const PictureImage& image, int32_t k, int32_t xoff, int32_t count,
                   const SymbolOffsets& offsets) {
    for (int j = 1; j <= count; ++j)
        composeFigureCell(image, k, offsets(j, 2, k) + xoff, offsets(j, 1, k));
}

bool composesPicture(int32_t imageBytes, int w, int h) {
    return imageBytes == kComposedImageBytes &&
           kImageHeaderBytes + 4 * static_cast<int64_t>(w) * h == kComposedImageBytes;
}

int32_t figureOffset(float position, int32_t k) {
    return static_cast<int32_t>(position / static_cast<float>(k)) * k;
}

int32_t figureOffsetOnSide(bool right, int32_t k) {
    return figureOffset(right ? 450.0f : 20.0f, k);
}

bool drawTexture(const PictureTarget& target, int32_t k, PictureStop stop) {
    const PictureImage& image = target.image;
    const int end = image.top + image.rows;
    if (target.composed) {
        for (int y = image.top; y < end; ++y) {
            composeTextureRow(image, k, y);
            if (stop()) return false;
        }
        return true;
    }
    GraphicsWindow& g = gw();
    const int cells = image.width / k;
    XYCoord previous;
    for (int y = image.top; y < end; ++y) {
        const auto row = static_cast<int16_t>(y);
        for (int c = 1; c <= cells; ++c) {
            const auto first = static_cast<int16_t>((c - 1) * k + 1);
            const auto last = static_cast<int16_t>(c * k);
            g.SETCOLORRGB((c + y) % 2 != 0 ? rgb::kWhite : rgb::kBlack);
            g.MOVETO(first, row, previous);
            g.LINETO(last, row);
            if (target.penToRunEnd) g.MOVETO(last, row, previous);
        }
        if (stop()) return false;
    }
    return true;
}

bool drawFigure(const PictureTarget& target, int32_t k, int32_t xoff, int32_t count,
                const SymbolOffsets& offsets, PictureStop stop) {
    const PictureImage& image = target.image;
    GraphicsWindow& g = gw();
    for (int j = 1; j <= count; ++j) {
        const int left = offsets(j, 2, k) + xoff;
        const int top = offsets(j, 1, k);
        if (target.composed) {
            composeFigureCell(image, k, left, top);
        } else {
            // A 2 by 2 checker of k by k squares, white at the top left and the bottom right.
            for (int t = 1; t <= 2 * k; ++t) {
                for (int u = 1; u <= 2 * k; ++u) {
                    const int x = left + t;
                    const int y = top + u;
                    if (x < 0 || x >= image.width || y < image.top || y >= image.top + image.rows)
                        continue;
                    const bool white = (t <= k && u <= k) || (t > k && u > k);
                    g.SETPIXELRGB(static_cast<int16_t>(x), static_cast<int16_t>(y),
                                  white ? rgb::kWhite : rgb::kBlack);
                }
            }
        }
        if (stop()) return false;
    }
    if (target.composed) g.PUTIMAGE(0, static_cast<int16_t>(image.top), image.bytes, GPSET);
    return true;
}

}  // namespace trelvan
