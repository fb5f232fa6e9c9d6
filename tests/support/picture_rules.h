// SPDX-License-Identifier: GPL-3.0-or-later
// The picture rules worked out pixel by pixel, slowly and plainly, as the reference the start
// screen's and the training's pictures are checked against.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "app/symbols.h"
#include "platform/raster.h"

namespace trelvan::testing {

constexpr uint32_t kRuleWhite = 0xFFFFFF;
constexpr uint32_t kRuleBlack = 0x000000;

// The colour the rules give pixel (x, y) of a picture of element size p: the last figure cell
// covering it (a two by two checker of p-pixel squares, white top left, the figure xoff to the
// right), else the texture run it lies in; nothing for the pixels of neither (column 0 and the
// right margin).
inline std::optional<uint32_t> ruledPixel(const SymbolTable& table, int p, int xoff, int width,
                                          int x, int y) {
    for (int j = table.NOTDIM[p - 1]; j >= 1; --j) {
        const int t = x - xoff - table.IJNOT(j, 2, p);
        const int u = y - table.IJNOT(j, 1, p);
        if (t >= 1 && t <= 2 * p && u >= 1 && u <= 2 * p)
            return (t <= p) == (u <= p) ? kRuleWhite : kRuleBlack;
    }
    const int runs = width / p;
    if (x < 1 || x > runs * p) return std::nullopt;
    return ((x - 1) / p + 1 + y) % 2 != 0 ? kRuleWhite : kRuleBlack;
}

// Checks every pixel of the picture from row firstRow on against the rules; pixels of neither
// texture nor figure must show uncovered.
inline void expectRuledPicture(const Raster& picture, const SymbolTable& table, int p, int xoff,
                               uint32_t uncovered, int firstRow = 0) {
    int wrong = 0;
    std::string first;
    for (int y = firstRow; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const uint32_t expected =
                ruledPixel(table, p, xoff, picture.width(), x, y).value_or(uncovered);
            if (picture.pixel(x, y) != expected && wrong++ == 0)
                first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    }
    EXPECT_EQ(wrong, 0) << "size " << p << ", xoff " << xoff << ", first at " << first;
}

}  // namespace trelvan::testing
