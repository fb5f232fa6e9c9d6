// SPDX-License-Identifier: GPL-3.0-or-later
// Pixel-exact software raster: the drawing surface of a graphics window.
//
// Pixels are stored as 0x00BBGGRR colours (red in the low byte), origin at the top-left,
// x to the right, y downwards. Every primitive takes 16-bit coordinates (as ints, each within
// -32768..32767), clips to the surface and never touches memory outside it. Rectangles include
// both corners. Only the low 24 bits of a colour are stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace trelvan {

// Bytes before the pixels of a memory image: the BMP file header and its information header.
inline constexpr int64_t kImageHeaderBytes = 54;

struct RasterPoint {
    int x = 0;
    int y = 0;
};

// A solid line or a filled ellipse, to be drawn later by Raster::drawLastWins.
struct RasterShape {
    enum class Kind : uint8_t { line, filledEllipse };
    Kind kind = Kind::line;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    uint32_t colour = 0;
};

class Raster {
  public:
    Raster(int width, int height, uint32_t fill = 0xFFFFFF);

    int width() const { return width_; }
    int height() const { return height_; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    // Precondition: inside(x, y).
    uint32_t pixel(int x, int y) const { return pixels_[size_t(y) * width_ + x]; }
    const uint32_t* data() const { return pixels_.data(); }
    uint32_t* data() { return pixels_.data(); }

    void clear(uint32_t colour);
    // Returns the previous colour, or -1 (nothing changed) outside the surface.
    int32_t setPixel(int x, int y, uint32_t colour);

    // Line from (x1, y1) to (x2, y2), both end pixels included. The 16-bit style mask runs
    // along the line from its first pixel: pixel number k (0 at (x1, y1)) is drawn when bit
    // 15 - (k mod 16) of mask is set; 0xFFFF is solid. The pattern position of a pixel does
    // not depend on clipping.
    // Pixels: a Bresenham line along the major axis (the one with the larger extent; x when
    // both are equal). Each step of the major axis takes the pixel nearest the ideal line on the
    // minor axis; an exact tie goes to the smaller minor coordinate (up for mostly horizontal
    // lines, left for mostly vertical ones), so a line covers the same pixels in both directions.
    void line(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask);
    // Corners in any order. Outline: the four edges as lines with the style mask, each edge
    // starting the pattern afresh: top left to right, right side downwards, bottom right to
    // left, left side upwards.
    void fillRect(int x1, int y1, int x2, int y2, uint32_t colour);
    void rectOutline(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask);
    // The ellipse inscribed in the rectangle (corners in any order): the filled ellipse
    // touches all four sides of the rectangle and is symmetric about both of its axes.
    // For a box of w by h pixels a pixel is filled when its centre lies in the ellipse with
    // semi-axes w/2 and h/2 about the box centre; in addition the middle row (two rows when h
    // is even) spans the full width and every row holds at least the middle column (two when w
    // is even), so thin boxes give a line or a small block and never nothing.
    // Outline: the pixels of the filled ellipse with a 4-neighbour outside it, each once. The
    // style mask runs clockwise from the left end of the top row, from pixel to touching
    // pixel, except where a single middle row sticks out beyond its neighbours (flat ellipses
    // of odd height): each pixel is visited once, so the walk jumps back from that tip.
    void fillEllipse(int x1, int y1, int x2, int y2, uint32_t colour);
    void ellipseOutline(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask);
    // Closed polygon. Filled: every pixel whose centre lies inside (even-odd rule), plus the
    // outline drawn solid, so that thin shapes keep their edges. Vertices are pixel centres.
    // Outline: the edges as lines from each point to the next and from the last back to the
    // first, each starting the style pattern afresh. Fewer than 3 or more than 16381 points
    // draw nothing.
    void fillPolygon(const RasterPoint* points, int count, uint32_t colour);
    void polygonOutline(const RasterPoint* points, int count, uint32_t colour, uint16_t mask);

    // The same pixels as drawing the shapes one after another (line with the solid mask
    // 0xFFFF, fillEllipse), but each pixel is painted once: the shapes are taken from the last
    // to the first, and a pixel keeps the colour of the last shape that covers it. Shapes that
    // cover one another (a long journal squeezed into a few hundred pixel columns) then cost
    // little more than the pixels that stay visible.
    // With bounds, also widens them to take in both ends (the bounding box of an ellipse) of
    // every shape, on the surface or not.
    struct Bounds {
        int left, top, right, bottom;
    };
    void drawLastWins(const RasterShape* shapes, size_t count, Bounds* bounds = nullptr);

    // Blends a coverage mask (0..255 per pixel, w by h, row-major) with its top-left at
    // (x, y) in the colour; coverage 255 replaces the pixel, 0 leaves it. In between each
    // channel becomes round((background * (255 - a) + colour * a) / 255).
    void blendMask(int x, int y, const uint8_t* coverage, int w, int h, uint32_t colour);

    // --- Memory images in the BMP layout ----------------------------------------------
    // Bytes of an image of the rectangle at bitsPerPixel 16, 24 or 32 (others: colour
    // tables as for 8, 4, 1 bits are not supported and give -1). Pixel formats: 32 bits are
    // blue, green, red, 0; 24 bits blue, green, red; 16 bits a little-endian word with 5 bits
    // each of red (bits 10-14), green (5-9) and blue (0-4).
    static int64_t imageSize(int x1, int y1, int x2, int y2, int bitsPerPixel);
    // Writes the BMP-layout image of the rectangle (corners in any order) into buffer, which
    // holds imageSize bytes. Pixels outside the surface read as 0 (black). Writes nothing for
    // an unsupported bitsPerPixel.
    void getImage(int x1, int y1, int x2, int y2, int bitsPerPixel, uint8_t* buffer) const;
    // Replaces the surface pixels by the image's, its top-left pixel at (x, y), clipped.
    // Reads the width, height and bits per pixel (16, 24 or 32) from the image's header; an
    // image with another layout (or a total size that does not match) is ignored. Returns
    // false when ignored.
    bool putImage(int x, int y, const uint8_t* buffer);

  private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

}  // namespace trelvan
