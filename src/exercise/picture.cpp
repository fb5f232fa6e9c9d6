// SPDX-License-Identifier: GPL-3.0-or-later
#include "exercise/picture.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace trelvan {

namespace {

constexpr size_t kHeaderBytes = 54;
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

}  // namespace trelvan
