// Pixel-exact software raster: the drawing surface of a graphics window.
//
// Pixels are stored as 0x00BBGGRR colours (red in the low byte), origin at the top-left,
// x to the right, y downwards. Every primitive takes 16-bit coordinates (as ints), clips to the
// surface and never touches memory outside it. Rectangles include both corners.
#pragma once

#include <cstdint>
#include <vector>

namespace trelvan {

struct RasterPoint {
    int x = 0;
    int y = 0;
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
    void line(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask);
    // Corners in any order. Outline: the four edges as lines with the style mask.
    void fillRect(int x1, int y1, int x2, int y2, uint32_t colour);
    void rectOutline(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask);
    // The ellipse inscribed in the rectangle (corners in any order): the filled ellipse
    // touches all four sides of the rectangle and is symmetric about both of its axes.
    void fillEllipse(int x1, int y1, int x2, int y2, uint32_t colour);
    void ellipseOutline(int x1, int y1, int x2, int y2, uint32_t colour, uint16_t mask);
    // Closed polygon. Filled: every pixel whose centre lies inside (even-odd rule), plus the
    // outline drawn solid, so that thin shapes keep their edges.
    void fillPolygon(const RasterPoint* points, int count, uint32_t colour);
    void polygonOutline(const RasterPoint* points, int count, uint32_t colour, uint16_t mask);

    // Blends a coverage mask (0..255 per pixel, w by h, row-major) with its top-left at
    // (x, y) in the colour; coverage 255 replaces the pixel, 0 leaves it.
    void blendMask(int x, int y, const uint8_t* coverage, int w, int h, uint32_t colour);

    // --- Memory images in the BMP layout ----------------------------------------------
    // Bytes of an image of the rectangle at bitsPerPixel 16, 24 or 32 (others: colour
    // tables as for 8, 4, 1 bits are not supported and give -1).
    static int64_t imageSize(int x1, int y1, int x2, int y2, int bitsPerPixel);
    // Writes the BMP-layout image of the rectangle (corners in any order) into buffer, which
    // holds imageSize bytes. Pixels outside the surface read as 0 (black).
    void getImage(int x1, int y1, int x2, int y2, int bitsPerPixel, uint8_t* buffer) const;
    // Replaces the surface pixels by the image's, its top-left pixel at (x, y), clipped.
    // Reads the width, height and bits per pixel (24 or 32) from the image's header; an
    // image with another layout is ignored. Returns false when ignored.
    bool putImage(int x, int y, const uint8_t* buffer);

private:
    int width_;
    int height_;
    std::vector<uint32_t> pixels_;
};

}  // namespace trelvan
