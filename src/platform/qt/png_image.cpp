#include "platform/qt/png_image.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace trelvan {

std::string encodePng(const Raster& raster) {
    QImage image(raster.width(), raster.height(), QImage::Format_RGB888);
    for (int y = 0; y < raster.height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < raster.width(); ++x) {
            const uint32_t p = raster.pixel(x, y);
            line[3 * x] = static_cast<uchar>(p & 0xFF);              // red
            line[3 * x + 1] = static_cast<uchar>((p >> 8) & 0xFF);   // green
            line[3 * x + 2] = static_cast<uchar>((p >> 16) & 0xFF);  // blue
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return std::string();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

Raster readPng(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path), "PNG")) return Raster(0, 0);
    image = image.convertToFormat(QImage::Format_RGB888);
    Raster raster(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            raster.setPixel(x, y,
                            uint32_t{line[3 * x]} | uint32_t{line[3 * x + 1]} << 8 |
                                uint32_t{line[3 * x + 2]} << 16);
        }
    }
    return raster;
}

}  // namespace trelvan
