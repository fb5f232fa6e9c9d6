// SPDX-License-Identifier: GPL-3.0-or-later
// Software raster: lines, rectangles, ellipses, polygons, coverage masks and BMP-layout
// memory images on a 32-bit surface. All geometry is exact integer arithmetic, so the pixels
// do not depend on the compiler or on how much of a figure lies outside the surface.
#include "platform/raster.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace trelvan {

namespace {

constexpr uint32_t kColourBits = 0xFFFFFF;
constexpr int kMaxPolygonPoints = 16381;
constexpr int64_t kHeaderBytes = kImageHeaderBytes;
constexpr int64_t kInfoHeaderBytes = 40;
// Largest image side: a rectangle of 16-bit coordinates.
constexpr int64_t kMaxImageSide = 65536;

// Division rounding towards minus infinity; b > 0.
int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if (a % b != 0 && a < 0) --q;
    return q;
}

// Division rounding towards plus infinity; b > 0.
int64_t ceilDiv(int64_t a, int64_t b) {
    return -floorDiv(-a, b);
}

bool patternBit(uint16_t mask, int64_t k) {
    return ((mask >> (15 - (k & 15))) & 1) != 0;
}

bool supportedDepth(int bitsPerPixel) {
    return bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

int64_t rowBytes(int64_t width, int bitsPerPixel) {
    return (width * bitsPerPixel / 8 + 3) / 4 * 4;
}

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

uint32_t get16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t get32(const uint8_t* p) {
    return get16(p) | get16(p + 2) << 16;
}

// Converts n surface pixels to image bytes.
void encodePixels(const uint32_t* src, int64_t n, int bitsPerPixel, uint8_t* dst) {
    switch (bitsPerPixel) {
        case 32:
            for (int64_t i = 0; i < n; ++i, dst += 4) {
                const uint32_t c = src[i];
                dst[0] = uint8_t(c >> 16);
                dst[1] = uint8_t(c >> 8);
                dst[2] = uint8_t(c);
                dst[3] = 0;
            }
            break;
        case 24:
            for (int64_t i = 0; i < n; ++i, dst += 3) {
                const uint32_t c = src[i];
                dst[0] = uint8_t(c >> 16);
                dst[1] = uint8_t(c >> 8);
                dst[2] = uint8_t(c);
            }
            break;
        case 16:
            for (int64_t i = 0; i < n; ++i, dst += 2) {
                const uint32_t c = src[i];
                const uint32_t r = (c >> 3) & 0x1F;
                const uint32_t g = (c >> 11) & 0x1F;
                const uint32_t b = (c >> 19) & 0x1F;
                put16(dst, r << 10 | g << 5 | b);
            }
            break;
    }
}

// Widens a 5-bit channel to 8 bits so that 0 stays 0 and 31 becomes 255.
uint32_t widen5(uint32_t v) {
    return v << 3 | v >> 2;
}

// Converts n image pixels to surface colours.
void decodePixels(const uint8_t* src, int64_t n, int bitsPerPixel, uint32_t* dst) {
    switch (bitsPerPixel) {
        case 32:
            for (int64_t i = 0; i < n; ++i, src += 4) {
                dst[i] = uint32_t(src[2]) | uint32_t(src[1]) << 8 | uint32_t(src[0]) << 16;
            }
            break;
        case 24:
            for (int64_t i = 0; i < n; ++i, src += 3) {
                dst[i] = uint32_t(src[2]) | uint32_t(src[1]) << 8 | uint32_t(src[0]) << 16;
            }
            break;
        case 16:
            for (int64_t i = 0; i < n; ++i, src += 2) {
                const uint32_t v = get16(src);
                dst[i] = widen5((v >> 10) & 0x1F) | widen5((v >> 5) & 0x1F) << 8 |
                         widen5(v & 0x1F) << 16;
            }
            break;
    }
}

// Inset of row i of the ellipse inscribed in a box of w by h pixels: the row covers the
// columns from inset to w - 1 - inset of the box. Works in doubled coordinates about the box
// centre, where a pixel centre lies at u (column) and v (row), both of the parity of w - 1 and
// h - 1; the pixel is in the ellipse when u^2 h^2 + v^2 w^2 <= w^2 h^2.
int64_t ellipseInset(int64_t w, int64_t h, int64_t i) {
    const int64_t v = 2 * i - (h - 1);
    if (v >= -1 && v <= 1) return 0;  // the middle row(s) span the whole width
    using Wide = unsigned __int128;
    const Wide hh = Wide(h) * Wide(h);
    const Wide limit = Wide(w) * Wide(w) * (hh - Wide(v * v));
    auto fits = [&](int64_t u) { return Wide(u) * Wide(u) * hh <= limit; };
    int64_t u = int64_t(std::sqrt(static_cast<long double>(limit)) / static_cast<long double>(h));
    while (u > 0 && !fits(u)) --u;
    while (fits(u + 1)) ++u;
    const int64_t parity = (w - 1) & 1;
    if (((u - parity) & 1) != 0) --u;
    u = std::max(u, parity);  // at least the middle column(s)
    return (w - 1 - u) / 2;
}

// The rows of the ellipse in a box of w by h pixels: the inset of every row, and for each
// distance d of a column from the nearer side (0 to (w - 1) / 2) the first row whose inset is
// at most d (the column's top run row). The last size asked for is kept (per thread): a chart
// draws thousands of markers of one size.
struct EllipseRows {
    int64_t w = -1, h = -1;
    std::vector<int64_t> insets;
    std::vector<int64_t> columnTops;
};

const EllipseRows& ellipseRows(int64_t w, int64_t h) {
    thread_local EllipseRows table;
    if (table.w != w || table.h != h) {
        table.insets.resize(size_t(h));
        for (int64_t i = 0; i < h; ++i) table.insets[size_t(i)] = ellipseInset(w, h, i);
        // The middle row's inset is 0, so every distance finds its row there at the latest.
        table.columnTops.resize(size_t((w - 1) / 2 + 1));
        int64_t i = 0;
        for (int64_t d = (w - 1) / 2; d >= 0; --d) {
            while (table.insets[size_t(i)] > d) ++i;
            table.columnTops[size_t(d)] = i;
        }
        table.w = w;
        table.h = h;
    }
    return table;
}

const std::vector<int64_t>& ellipseInsets(int64_t w, int64_t h) {
    return ellipseRows(w, h).insets;
}

// Boxes up to this height take their insets from the table; taller ones, which are mostly
// off the surface, work out only the rows they draw.
constexpr int64_t kMaxTabledHeight = 4096;

struct Box {
    int64_t left, top, right, bottom;
    int64_t width() const { return right - left + 1; }
    int64_t height() const { return bottom - top + 1; }
};

inline Box orderedBox(int x1, int y1, int x2, int y2) {
    return {std::min<int64_t>(x1, x2), std::min<int64_t>(y1, y2), std::max<int64_t>(x1, x2),
            std::max<int64_t>(y1, y2)};
}

}  // namespace

Raster::Raster(int width, int height, uint32_t fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(size_t(width_) * size_t(height_), fill & kColourBits) {}

void Raster::clear(uint32_t colour) {
    std::fill(pixels_.begin(), pixels_.end(), colour & kColourBits);
}

int32_t Raster::setPixel(int x, int y, uint32_t colour) {
    if (!inside(x, y)) return -1;
    uint32_t& p = pixels_[size_t(y) * width_ + x];
    const uint32_t previous = p;
    p = colour & kColourBits;
    return int32_t(previous);
}

namespace {

// The pixels of a line on a surface of aSize by bSize along its major and minor axes. Pixel k
// lies at a0 + sa k on the major axis and at b0 + sb m(k) on the minor one,
// m(k) = floor((2 k d + n - bias) / 2n): the rounded ideal offset k d / n, where bias 1 rounds
// exact halves down and 0 rounds them up. Halves go towards the smaller minor coordinate, so
// the bias depends on the minor direction. The steps kLo..kHi are those on the surface.
struct LinePlan {
    bool xMajor = true;
    int64_t n = 0, d = 0, a0 = 0, b0 = 0, sa = 1, sb = 0, bias = 0;
    int64_t kLo = 0, kHi = -1;  // empty when kLo > kHi
};

// Precondition: the two ends differ.
LinePlan planLine(int x1, int y1, int x2, int y2, int64_t width, int64_t height) {
    LinePlan p;
    const int64_t adx = std::abs(int64_t(x2) - x1);
    const int64_t ady = std::abs(int64_t(y2) - y1);
    p.xMajor = adx >= ady;
    p.n = p.xMajor ? adx : ady;
    p.d = p.xMajor ? ady : adx;
    p.a0 = p.xMajor ? x1 : y1;
    p.b0 = p.xMajor ? y1 : x1;
    const int64_t aEnd = p.xMajor ? x2 : y2;
    const int64_t bEnd = p.xMajor ? y2 : x2;
    p.sa = aEnd > p.a0 ? 1 : -1;
    p.sb = bEnd > p.b0 ? 1 : (bEnd < p.b0 ? -1 : 0);
    const int64_t aSize = p.xMajor ? width : height;
    const int64_t bSize = p.xMajor ? height : width;
    p.bias = p.sb > 0 ? 1 : 0;

    // The steps k whose pixel lies on the surface form one interval: the major coordinate
    // is monotonic in k and so is m(k).
    int64_t kLo = 0;
    int64_t kHi = p.n;
    if (p.sa > 0) {
        kLo = std::max(kLo, -p.a0);
        kHi = std::min(kHi, aSize - 1 - p.a0);
    } else {
        kLo = std::max(kLo, p.a0 - (aSize - 1));
        kHi = std::min(kHi, p.a0);
    }
    if (p.sb == 0) {
        if (p.b0 < 0 || p.b0 >= bSize) return p;
    } else {
        const int64_t mLo = p.sb > 0 ? -p.b0 : p.b0 - (bSize - 1);
        const int64_t mHi = p.sb > 0 ? bSize - 1 - p.b0 : p.b0;
        // m(k) >= mLo  <=>  2 k d >= 2 n mLo - n + bias
        kLo = std::max(kLo, ceilDiv(2 * p.n * mLo - p.n + p.bias, 2 * p.d));
        // m(k) <= mHi  <=>  2 k d <= 2 n (mHi + 1) - n + bias - 1
        kHi = std::min(kHi, floorDiv(2 * p.n * (mHi + 1) - p.n + p.bias - 1, 2 * p.d));
    }
    p.kLo = kLo;
    p.kHi = kHi;
    return p;
}

// Calls visit(index) for the pixel index of every step k of the plan with a minor offset
// (d > 0), in order.
template <class Visit>
void walkSlantedLine(const LinePlan& p, int64_t width, Visit&& visit) {
    const int64_t twoN = 2 * p.n;
    const int64_t num = 2 * p.kLo * p.d + p.n - p.bias;
    const int64_t m = floorDiv(num, twoN);
    int64_t rem = num - m * twoN;
    const int64_t a = p.a0 + p.sa * p.kLo;
    const int64_t b = p.b0 + p.sb * m;
    int64_t index = p.xMajor ? b * width + a : a * width + b;
    const int64_t majorStep = p.xMajor ? p.sa : p.sa * width;
    const int64_t minorStep = p.xMajor ? p.sb * width : p.sb;
    for (int64_t k = p.kLo; k <= p.kHi; ++k) {
        visit(k, index);
        index += majorStep;
        rem += 2 * p.d;
        if (rem >= twoN) {
            rem -= twoN;
            index += minorStep;
        }
    }
}

// Calls visit(x, y) for the pixel of every step k of the plan with a minor offset (d > 0), in
// order: walkSlantedLine's pixels as coordinates.
template <class Visit>
void walkSlantedPoints(const LinePlan& p, Visit&& visit) {
    const int64_t twoN = 2 * p.n;
    const int64_t num = 2 * p.kLo * p.d + p.n - p.bias;
    const int64_t m = floorDiv(num, twoN);
    int64_t rem = num - m * twoN;
    int64_t a = p.a0 + p.sa * p.kLo;
    int64_t b = p.b0 + p.sb * m;
    for (int64_t k = p.kLo; k <= p.kHi; ++k) {
        if (p.xMajor) {
            visit(a, b);
        } else {
            visit(b, a);
        }
        a += p.sa;
        rem += 2 * p.d;
        if (rem >= twoN) {
            rem -= twoN;
            b += p.sb;
        }
    }
}

}  // namespace

void Raster::line(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask) {
    colour &= kColourBits;
    if (x1 == x2 && y1 == y2) {
        if (inside(x1, y1) && patternBit(mask, 0)) setPixel(x1, y1, colour);
        return;
    }
    const LinePlan p = planLine(x1, y1, x2, y2, width_, height_);
    const int64_t kLo = p.kLo;
    const int64_t kHi = p.kHi;
    if (kLo > kHi) return;
    uint32_t* const pixels = pixels_.data();

    if (p.d == 0) {
        // Horizontal or vertical: no minor steps.
        const int64_t first = p.xMajor ? p.b0 * width_ + p.a0 : p.a0 * width_ + p.b0;
        const int64_t step = p.xMajor ? p.sa : p.sa * width_;
        if (mask == 0xFFFF && p.xMajor) {
            const int64_t from = first + std::min(kLo * p.sa, kHi * p.sa);
            std::fill(pixels + from, pixels + from + (kHi - kLo + 1), colour);
        } else if (mask == 0xFFFF) {
            uint32_t* q = pixels + first + kLo * step;
            for (int64_t k = kLo; k <= kHi; ++k, q += step) *q = colour;
        } else {
            for (int64_t k = kLo; k <= kHi; ++k) {
                if (patternBit(mask, k)) pixels[size_t(first + k * step)] = colour;
            }
        }
        return;
    }

    if (mask == 0xFFFF) {
        walkSlantedLine(p, width_, [&](int64_t, int64_t index) { pixels[index] = colour; });
    } else {
        walkSlantedLine(p, width_, [&](int64_t k, int64_t index) {
            if (patternBit(mask, k)) pixels[index] = colour;
        });
    }
}

void Raster::fillRect(int x1, int y1, int x2, int y2, uint32_t colour) {
    colour &= kColourBits;
    const Box box = orderedBox(x1, y1, x2, y2);
    const int64_t left = std::max<int64_t>(box.left, 0);
    const int64_t right = std::min<int64_t>(box.right, width_ - 1);
    const int64_t top = std::max<int64_t>(box.top, 0);
    const int64_t bottom = std::min<int64_t>(box.bottom, height_ - 1);
    if (left > right || top > bottom) return;
    for (int64_t y = top; y <= bottom; ++y) {
        uint32_t* row = pixels_.data() + y * width_;
        std::fill(row + left, row + right + 1, colour);
    }
}

void Raster::rectOutline(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask) {
    const int left = std::min(x1, x2);
    const int right = std::max(x1, x2);
    const int top = std::min(y1, y2);
    const int bottom = std::max(y1, y2);
    line(left, top, right, top, colour, mask);
    line(right, top, right, bottom, colour, mask);
    line(right, bottom, left, bottom, colour, mask);
    line(left, bottom, left, top, colour, mask);
}

void Raster::fillEllipse(int x1, int y1, int x2, int y2, uint32_t colour) {
    colour &= kColourBits;
    const Box box = orderedBox(x1, y1, x2, y2);
    const int64_t w = box.width();
    const int64_t h = box.height();
    const int64_t first = std::max<int64_t>(0, -box.top);
    const int64_t last = std::min<int64_t>(h - 1, height_ - 1 - box.top);
    const std::vector<int64_t>* table = h <= kMaxTabledHeight ? &ellipseInsets(w, h) : nullptr;
    for (int64_t i = first; i <= last; ++i) {
        const int64_t inset = table != nullptr ? (*table)[size_t(i)] : ellipseInset(w, h, i);
        const int64_t left = std::max<int64_t>(box.left + inset, 0);
        const int64_t right = std::min<int64_t>(box.right - inset, width_ - 1);
        if (left > right) continue;
        // Rows of markers are a few pixels long: a plain loop beats fill's setup.
        uint32_t* const row = pixels_.data() + (box.top + i) * width_;
        for (int64_t x = left; x <= right; ++x) row[x] = colour;
    }
}

void Raster::ellipseOutline(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask) {
    colour &= kColourBits;
    const Box box = orderedBox(x1, y1, x2, y2);
    const int64_t w = box.width();
    const int64_t h = box.height();
    std::vector<int64_t> inset;
    if (h <= kMaxTabledHeight) {
        inset = ellipseInsets(w, h);
    } else {
        inset.resize(size_t(h));
        for (int64_t i = 0; i < h; ++i) inset[size_t(i)] = ellipseInset(w, h, i);
    }

    // Walks the outline pixel by pixel with k counting every pixel, drawn or not, so the
    // pattern does not depend on clipping. A run lies in one row, from column `from` to
    // column `to` inclusive, in either direction.
    int64_t k = 0;
    auto run = [&](int64_t row, int64_t from, int64_t to) {
        const int64_t step = to >= from ? 1 : -1;
        const int64_t count = (to - from) * step + 1;
        const int64_t y = box.top + row;
        if (y < 0 || y >= height_) {
            k += count;
            return;
        }
        uint32_t* rowPixels = pixels_.data() + y * width_;
        for (int64_t x = from; x != to + step; x += step, ++k) {
            if (x >= 0 && x < width_ && patternBit(mask, k)) rowPixels[x] = colour;
        }
    };
    // A row of the upper half (middle row included) meets the outside above it, one of the
    // lower half below it; its outline pixels at either end reach from its end to one past
    // the end of that neighbour row, and always include the end pixel itself.
    auto upper = [&](int64_t i) { return 2 * i <= h - 1; };
    auto neighbourInset = [&](int64_t i) { return inset[size_t(upper(i) ? i - 1 : i + 1)]; };

    run(0, box.left + inset[0], box.right - inset[0]);  // top row, left to right
    if (h == 1) return;
    for (int64_t i = 1; i <= h - 2; ++i) {  // right side, downwards
        const int64_t end = box.right - inset[size_t(i)];
        const int64_t inner = std::min(box.right - neighbourInset(i) + 1, end);
        if (upper(i)) {
            run(i, inner, end);
        } else {
            run(i, end, inner);
        }
    }
    run(h - 1, box.right - inset[size_t(h - 1)], box.left + inset[size_t(h - 1)]);
    for (int64_t i = h - 2; i >= 1; --i) {            // left side, upwards
        if (w - 2 * inset[size_t(i)] == 1) continue;  // its one pixel came with the right side
        const int64_t end = box.left + inset[size_t(i)];
        const int64_t inner = std::max(box.left + neighbourInset(i) - 1, end);
        if (upper(i)) {
            run(i, end, inner);
        } else {
            run(i, inner, end);
        }
    }
}

namespace {

// The pixels that later shapes of a batch have painted, one bit each, column by column:
// column x holds the bits of its rows in words[x * wordsPerColumn ...], row y in bit y % 64 of
// word y / 64.
struct Coverage {
    int64_t wordsPerColumn = 0;
    std::vector<uint64_t> words;
};

// The shapes of a batch seen so far, by their place on the surface (open addressing; a slot
// belongs to the current batch when it carries its generation, so the table is never cleared).
struct SeenShapes {
    struct Slot {
        uint64_t key = 0;
        uint32_t generation = 0;
        uint32_t kind = 0;
    };
    std::vector<Slot> slots;
    uint32_t generation = 0;

    // Starts a batch of at most count shapes.
    void start(size_t count) {
        size_t size = 1024;
        while (size < 2 * count) size *= 2;
        if (slots.size() < size || ++generation == 0) {
            slots.assign(std::max(size, slots.size()), Slot{});
            generation = 1;
        }
    }
    // Whether the shape was seen before in this batch; remembers it when not.
    bool seen(uint64_t key, uint32_t kind) {
        const size_t mask = slots.size() - 1;
        size_t i = size_t((key ^ kind) * 0x9E3779B97F4A7C15u >> 20) & mask;
        for (;; i = (i + 1) & mask) {
            Slot& slot = slots[i];
            if (slot.generation != generation) {
                slot = Slot{key, generation, kind};
                return false;
            }
            if (slot.key == key && slot.kind == kind) return true;
        }
    }
};

// Scratch of drawLastWins, kept per thread so that its storage is reused from batch to batch.
struct LastWinsScratch {
    Coverage coverage;
    SeenShapes seen;
};

// The place of a shape as a key of SeenShapes, and whether it has one: coordinates beyond 16
// bits have none.
bool hasKey(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    const auto fits = [](int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; };
    return fits(x1) && fits(y1) && fits(x2) && fits(y2);
}

uint64_t shapeKey(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    return uint64_t(uint16_t(x1)) << 48 | uint64_t(uint16_t(y1)) << 32 |
           uint64_t(uint16_t(x2)) << 16 | uint64_t(uint16_t(y2));
}

}  // namespace

void Raster::drawLastWins(const RasterShape* shapes, size_t count, Bounds* bounds) {
    if (shapes == nullptr || count == 0) return;
    if (width_ == 0 || height_ == 0) {
        if (bounds != nullptr) {
            for (size_t s = 0; s < count; ++s) {
                const Box box = orderedBox(shapes[s].x1, shapes[s].y1, shapes[s].x2, shapes[s].y2);
                bounds->left = int(std::min<int64_t>(bounds->left, box.left));
                bounds->top = int(std::min<int64_t>(bounds->top, box.top));
                bounds->right = int(std::max<int64_t>(bounds->right, box.right));
                bounds->bottom = int(std::max<int64_t>(bounds->bottom, box.bottom));
            }
        }
        return;
    }
    // The bounds, kept here while the batch is drawn. A shape passed over because a later one
    // has the same place has that one's bounds.
    Bounds area = bounds != nullptr ? *bounds : Bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    auto widen = [&](int64_t left, int64_t top, int64_t right, int64_t bottom) {
        area.left = int(std::min<int64_t>(area.left, left));
        area.top = int(std::min<int64_t>(area.top, top));
        area.right = int(std::max<int64_t>(area.right, right));
        area.bottom = int(std::max<int64_t>(area.bottom, bottom));
    };
    thread_local LastWinsScratch scratch;
    Coverage& coverage = scratch.coverage;
    coverage.wordsPerColumn = (int64_t(height_) + 63) / 64;
    coverage.words.assign(size_t(coverage.wordsPerColumn * width_), 0);
    scratch.seen.start(count);
    uint32_t* const pixels = pixels_.data();
    uint32_t colour = 0;
    // Paints the rows top..bottom of column x (all on the surface) that are not covered yet,
    // and covers them.
    auto cover = [&](int64_t x, int64_t top, int64_t bottom) {
        uint64_t* const column = coverage.words.data() + x * coverage.wordsPerColumn;
        const int64_t lastWord = bottom >> 6;
        for (int64_t word = top >> 6; word <= lastWord; ++word) {
            uint64_t mask = ~uint64_t{0};
            if (word == top >> 6) mask &= ~uint64_t{0} << (top & 63);
            if (word == lastWord) mask &= ~uint64_t{0} >> (63 - (bottom & 63));
            uint64_t fresh = mask & ~column[word];
            if (fresh == 0) continue;
            column[word] |= fresh;
            uint32_t* const rows = pixels + word * 64 * width_ + x;
            for (; fresh != 0; fresh &= fresh - 1)
                rows[static_cast<std::ptrdiff_t>(std::countr_zero(fresh)) * width_] = colour;
        }
    };

    // A shape whose pixels a later shape of the batch covers as well changes nothing: one of
    // the same place, whatever its colour, is passed over at once.
    for (size_t s = count; s-- > 0;) {
        const RasterShape& shape = shapes[s];
        colour = shape.colour & kColourBits;
        if (shape.kind == RasterShape::Kind::filledEllipse) {
            const Box box = orderedBox(shape.x1, shape.y1, shape.x2, shape.y2);
            if (hasKey(box.left, box.top, box.right, box.bottom) &&
                scratch.seen.seen(shapeKey(box.left, box.top, box.right, box.bottom), 1))
                continue;
            widen(box.left, box.top, box.right, box.bottom);
            const int64_t w = box.width();
            const int64_t h = box.height();
            std::vector<int64_t> tall;
            if (h > kMaxTabledHeight) {
                tall.resize(size_t(h));
                for (int64_t i = 0; i < h; ++i) tall[size_t(i)] = ellipseInset(w, h, i);
            }
            const std::vector<int64_t>* tops =
                h > kMaxTabledHeight ? nullptr : &ellipseRows(w, h).columnTops;
            // The insets shrink towards the middle row(s), where they are 0, and the rows are
            // symmetric about it: column j holds the rows whose inset is at most its distance
            // from the nearer side, one run from i0 to h - 1 - i0.
            const int64_t jFirst = std::max<int64_t>(0, -box.left);
            const int64_t jLast = std::min<int64_t>(w - 1, width_ - 1 - box.left);
            for (int64_t j = jFirst; j <= jLast; ++j) {
                const int64_t distance = std::min(j, w - 1 - j);
                int64_t i0 = 0;
                if (tops != nullptr) {
                    i0 = (*tops)[size_t(distance)];
                } else {
                    while (tall[size_t(i0)] > distance) ++i0;
                }
                const int64_t top = std::max<int64_t>(box.top + i0, 0);
                const int64_t bottom = std::min<int64_t>(box.bottom - i0, height_ - 1);
                if (top <= bottom) cover(box.left + j, top, bottom);
            }
            continue;
        }
        if (hasKey(shape.x1, shape.y1, shape.x2, shape.y2) &&
            scratch.seen.seen(shapeKey(shape.x1, shape.y1, shape.x2, shape.y2), 0))
            continue;
        widen(std::min(shape.x1, shape.x2), std::min(shape.y1, shape.y2),
              std::max(shape.x1, shape.x2), std::max(shape.y1, shape.y2));
        if (shape.x1 == shape.x2) {  // vertical, or a single point: one run
            if (shape.x1 < 0 || shape.x1 >= width_) continue;
            const int top = std::max(std::min(shape.y1, shape.y2), 0);
            const int bottom = std::min(std::max(shape.y1, shape.y2), height_ - 1);
            if (top <= bottom) cover(shape.x1, top, bottom);
            continue;
        }
        const LinePlan p = planLine(shape.x1, shape.y1, shape.x2, shape.y2, width_, height_);
        if (p.kLo > p.kHi) continue;
        if (p.d == 0) {  // horizontal: one pixel in each column
            for (int64_t k = p.kLo; k <= p.kHi; ++k) cover(p.a0 + p.sa * k, p.b0, p.b0);
        } else if (!p.xMajor) {
            // Mostly vertical: the steps k that share the minor offset m, m(k) = floor((2 k d +
            // n - bias) / 2n), form one run of a column; they are worked out column by column.
            const int64_t twoN = 2 * p.n;
            const int64_t twoD = 2 * p.d;
            const int64_t mLast = floorDiv(2 * p.kHi * p.d + p.n - p.bias, twoN);
            for (int64_t m = floorDiv(2 * p.kLo * p.d + p.n - p.bias, twoN);; ++m) {
                const int64_t k0 = std::max(p.kLo, ceilDiv(twoN * m - p.n + p.bias, twoD));
                const int64_t k1 =
                    std::min(p.kHi, floorDiv(twoN * (m + 1) - 1 - p.n + p.bias, twoD));
                if (k0 <= k1) {
                    const int64_t y0 = p.a0 + p.sa * k0;
                    const int64_t y1 = p.a0 + p.sa * k1;
                    cover(p.b0 + p.sb * m, std::min(y0, y1), std::max(y0, y1));
                }
                if (m >= mLast) break;
            }
        } else {
            // Runs of pixels that follow one another down or up one column.
            int64_t runX = -1, runTop = 0, runBottom = -1;
            walkSlantedPoints(p, [&](int64_t x, int64_t y) {
                if (x == runX && y == runBottom + 1) {
                    runBottom = y;
                } else if (x == runX && y == runTop - 1) {
                    runTop = y;
                } else {
                    if (runX >= 0) cover(runX, runTop, runBottom);
                    runX = x;
                    runTop = runBottom = y;
                }
            });
            if (runX >= 0) cover(runX, runTop, runBottom);
        }
    }
    if (bounds != nullptr) *bounds = area;
}

void Raster::fillPolygon(const RasterPoint* points, int count, uint32_t colour) {
    if (points == nullptr || count < 3 || count > kMaxPolygonPoints) return;
    colour &= kColourBits;

    // Edges that cross rows: edge e covers the rows top <= y < bottom (half-open, so a vertex
    // shared by two edges is counted once or twice consistently and horizontal edges never).
    struct Edge {
        int64_t top, bottom;  // rows covered: top <= y < bottom
        int64_t xa, ya, dx, dy;
    };
    std::vector<Edge> edges;
    edges.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const RasterPoint& p = points[i];
        const RasterPoint& q = points[(i + 1) % count];
        if (p.y == q.y) continue;
        edges.push_back({std::min(p.y, q.y), std::max(p.y, q.y), p.x, p.y, int64_t(q.x) - p.x,
                         int64_t(q.y) - p.y});
    }
    std::sort(edges.begin(), edges.end(),
              [](const Edge& a, const Edge& b) { return a.top < b.top; });

    if (!edges.empty()) {
        int64_t yFirst = edges.front().top;
        int64_t yEnd = 0;
        for (const Edge& e : edges) yEnd = std::max(yEnd, e.bottom);
        yFirst = std::max<int64_t>(yFirst, 0);
        yEnd = std::min<int64_t>(yEnd, height_);

        // A pixel centre (x, y) is inside when an odd number of edges cross row y strictly to
        // its right. Edge crossing at c: x < c  <=>  x < ceil(c), so only ceil(c) matters.
        std::vector<const Edge*> active;
        std::vector<int64_t> crossings;
        size_t next = 0;
        for (int64_t y = yFirst; y < yEnd; ++y) {
            while (next < edges.size() && edges[next].top <= y) active.push_back(&edges[next++]);
            std::erase_if(active, [y](const Edge* e) { return e->bottom <= y; });
            crossings.clear();
            for (const Edge* e : active) {
                // c = xa + (y - ya) dx / dy
                int64_t numer = e->xa * e->dy + (y - e->ya) * e->dx;
                int64_t denom = e->dy;
                if (denom < 0) {
                    numer = -numer;
                    denom = -denom;
                }
                crossings.push_back(ceilDiv(numer, denom));
            }
            std::sort(crossings.begin(), crossings.end());
            uint32_t* row = pixels_.data() + y * width_;
            for (size_t j = 0; j + 1 < crossings.size(); j += 2) {
                const int64_t left = std::max<int64_t>(crossings[j], 0);
                const int64_t right = std::min<int64_t>(crossings[j + 1] - 1, width_ - 1);
                if (left <= right) std::fill(row + left, row + right + 1, colour);
            }
        }
    }
    polygonOutline(points, count, colour, 0xFFFF);
}

void Raster::polygonOutline(const RasterPoint* points, int count, uint32_t colour, uint16_t mask) {
    if (points == nullptr || count < 3 || count > kMaxPolygonPoints) return;
    for (int i = 0; i < count; ++i) {
        const RasterPoint& p = points[i];
        const RasterPoint& q = points[(i + 1) % count];
        line(p.x, p.y, q.x, q.y, colour, mask);
    }
}

void Raster::blendMask(int x, int y, const uint8_t* coverage, int w, int h, uint32_t colour) {
    if (coverage == nullptr || w <= 0 || h <= 0) return;
    colour &= kColourBits;
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min<int64_t>(int64_t(x) + w, width_);  // exclusive
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t bottom = std::min<int64_t>(int64_t(y) + h, height_);  // exclusive
    for (int64_t py = top; py < bottom; ++py) {
        const uint8_t* cov = coverage + (py - y) * w - x;
        uint32_t* row = pixels_.data() + py * width_;
        for (int64_t px = left; px < right; ++px) {
            const uint32_t a = cov[px];
            if (a == 0) continue;
            if (a == 255) {
                row[px] = colour;
                continue;
            }
            const uint32_t bg = row[px];
            uint32_t out = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const uint32_t mixed =
                    ((bg >> shift) & 0xFF) * (255 - a) + ((colour >> shift) & 0xFF) * a;
                out |= ((mixed + 127) / 255) << shift;  // a sum of 255ths is never a half
            }
            row[px] = out;
        }
    }
}

int64_t Raster::imageSize(int x1, int y1, int x2, int y2, int bitsPerPixel) {
    if (!supportedDepth(bitsPerPixel)) return -1;
    const Box box = orderedBox(x1, y1, x2, y2);
    return kHeaderBytes + rowBytes(box.width(), bitsPerPixel) * box.height();
}

void Raster::getImage(int x1, int y1, int x2, int y2, int bitsPerPixel, uint8_t* buffer) const {
    if (buffer == nullptr || !supportedDepth(bitsPerPixel)) return;
    const Box box = orderedBox(x1, y1, x2, y2);
    const int64_t w = box.width();
    const int64_t h = box.height();
    const int64_t stride = rowBytes(w, bitsPerPixel);
    const int64_t bytesPerPixel = bitsPerPixel / 8;

    std::memset(buffer, 0, size_t(kHeaderBytes));
    buffer[0] = 'B';
    buffer[1] = 'M';
    put32(buffer + 2, uint32_t(kHeaderBytes + stride * h));
    put32(buffer + 10, uint32_t(kHeaderBytes));
    put32(buffer + 14, uint32_t(kInfoHeaderBytes));
    put32(buffer + 18, uint32_t(w));
    put32(buffer + 22, uint32_t(h));
    put16(buffer + 26, 1);
    put16(buffer + 28, uint32_t(bitsPerPixel));
    put32(buffer + 34, uint32_t(stride * h));

    // The columns of the rectangle that lie on the surface: [inLeft, inRight).
    const int64_t inLeft = std::clamp<int64_t>(box.left, 0, width_);
    const int64_t inRight = std::clamp<int64_t>(box.right + 1, inLeft, width_);
    for (int64_t r = 0; r < h; ++r) {
        uint8_t* dst = buffer + kHeaderBytes + r * stride;
        const int64_t y = box.bottom - r;  // bottom row first
        if (y < 0 || y >= height_ || inLeft >= inRight) {
            std::memset(dst, 0, size_t(stride));
            continue;
        }
        const int64_t before = (inLeft - box.left) * bytesPerPixel;
        const int64_t middle = (inRight - inLeft) * bytesPerPixel;
        std::memset(dst, 0, size_t(before));
        encodePixels(pixels_.data() + y * width_ + inLeft, inRight - inLeft, bitsPerPixel,
                     dst + before);
        std::memset(dst + before + middle, 0, size_t(stride - before - middle));
    }
}

bool Raster::putImage(int x, int y, const uint8_t* buffer) {
    if (buffer == nullptr || buffer[0] != 'B' || buffer[1] != 'M') return false;
    const int64_t w = int32_t(get32(buffer + 18));
    const int64_t h = int32_t(get32(buffer + 22));
    const int bitsPerPixel = int(get16(buffer + 28));
    if (get32(buffer + 10) != kHeaderBytes || get32(buffer + 14) != kInfoHeaderBytes ||
        get16(buffer + 26) != 1 || get32(buffer + 30) != 0 || !supportedDepth(bitsPerPixel) ||
        w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) {
        return false;
    }
    const int64_t stride = rowBytes(w, bitsPerPixel);
    if (get32(buffer + 2) != uint64_t(kHeaderBytes + stride * h)) return false;
    const int64_t bytesPerPixel = bitsPerPixel / 8;

    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min<int64_t>(int64_t(x) + w, width_);  // exclusive
    if (left >= right) return true;
    for (int64_t t = 0; t < h; ++t) {  // t counts rows from the top of the image
        const int64_t sy = int64_t(y) + t;
        if (sy < 0 || sy >= height_) continue;
        const uint8_t* src =
            buffer + kHeaderBytes + (h - 1 - t) * stride + (left - x) * bytesPerPixel;
        decodePixels(src, right - left, bitsPerPixel, pixels_.data() + sy * width_ + left);
    }
    return true;
}

}  // namespace trelvan
