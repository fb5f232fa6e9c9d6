// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/png_image.h"

#include <zlib.h>

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>

namespace trelvan {

namespace {

void appendBigEndian(std::string& out, uint32_t value) {
    out += static_cast<char>(value >> 24);
    out += static_cast<char>(value >> 16);
    out += static_cast<char>(value >> 8);
    out += static_cast<char>(value);
}

// One chunk: length, type, data, and the CRC of type and data.
void appendChunk(std::string& out, const char type[4], std::string_view data) {
    appendBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.append(type, 4);
    out.append(data);
    const auto* crcFrom = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    appendBigEndian(out, static_cast<uint32_t>(crc32(crc32(0L, Z_NULL, 0), crcFrom,
                                                     static_cast<uInt>(4 + data.size()))));
}

}  // namespace

std::string encodePng(const Raster& raster) {
    const int width = raster.width();
    const int height = raster.height();
    if (width <= 0 || height <= 0) return std::string();

    // The rows as the image data holds them: each a filter byte, then red, green, blue. Each
    // row but the first is given as its difference from the row above (filter "up"): a
    // chart's grid and bars run down the page, so most rows become runs of zeros, which
    // deflate's fastest level packs well.
    const size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
    std::string rows(rowBytes * static_cast<size_t>(height), '\0');
    for (int y = 0; y < height; ++y) {
        const uint32_t* pixels = raster.data() + static_cast<size_t>(y) * width;
        auto* row = reinterpret_cast<uint8_t*>(rows.data()) + rowBytes * static_cast<size_t>(y);
        if (y == 0) {
            row[0] = 0;  // none
            for (int x = 0; x < width; ++x) {
                const uint32_t p = pixels[x];
                row[1 + 3 * x] = static_cast<uint8_t>(p);        // red
                row[2 + 3 * x] = static_cast<uint8_t>(p >> 8);   // green
                row[3 + 3 * x] = static_cast<uint8_t>(p >> 16);  // blue
            }
            continue;
        }
        row[0] = 2;  // up: each byte less the one above it (the rows start as zeros)
        const uint32_t* above = pixels - width;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixels[x];
            const uint32_t q = above[x];
            if (p == q) continue;
            row[1 + 3 * x] = static_cast<uint8_t>(p - q);
            row[2 + 3 * x] = static_cast<uint8_t>((p >> 8) - (q >> 8));
            row[3 + 3 * x] = static_cast<uint8_t>((p >> 16) - (q >> 16));
        }
    }

    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(rows.data()), static_cast<uLong>(rows.size()),
                  Z_BEST_SPEED) != Z_OK) {
        return std::string();
    }
    packed.resize(packedSize);

    std::string header;
    appendBigEndian(header, static_cast<uint32_t>(width));
    appendBigEndian(header, static_cast<uint32_t>(height));
    header += '\x08';                // 8 bits per channel
    header += '\x02';                // truecolour
    header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", packed);
    appendChunk(png, "IEND", std::string_view());
    return png;
}

Raster readPng(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path), "PNG")) return Raster(0, 0);
    image = image.convertToFormat(QImage::Format_RGB888);
    Raster raster(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            const uchar* rgb = line + 3 * static_cast<ptrdiff_t>(x);
            raster.setPixel(x, y,
                            uint32_t{rgb[0]} | uint32_t{rgb[1]} << 8 | uint32_t{rgb[2]} << 16);
        }
    }
    return raster;
}

}  // namespace trelvan
