// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_text.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QTransform>
#include <cmath>

#include "platform/qt/qt_support.h"

namespace trelvan {

namespace {

void installSubstitutions() {
    static bool done = false;
    if (done) return;
    done = true;
    const QStringList serif{"Times New Roman", "Liberation Serif", "DejaVu Serif"};
    QFont::insertSubstitutions("Times New Roman Cyr", serif);
    QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans"});
}

}  // namespace

int QtTextRenderer::initialize() {
    installSubstitutions();
    return static_cast<int>(QFontDatabase::families().size());
}

QFont QtTextRenderer::fontFor(const FontRequest& request) {
    installSubstitutions();
    QFont font(
        fromCp1251(request.face.empty() ? std::string("Times New Roman Cyr") : request.face));
    font.setItalic(request.italic);
    font.setBold(request.bold);
    font.setUnderline(request.underline);
    if (request.fixedPitch) font.setFixedPitch(true);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    // The height is the character cell (ascent + descent); the width is the average
    // character width, reached by stretching the font horizontally.
    if (request.height > 0) {
        QFont probe = font;
        probe.setPixelSize(100);
        QFontMetricsF pm(probe);
        double cell = pm.ascent() + pm.descent();
        int pixelSize = std::max(1, static_cast<int>(std::lround(request.height * 100.0 / cell)));
        font.setPixelSize(pixelSize);
    } else {
        font.setPixelSize(16);
    }
    if (request.width > 0) {
        QFontMetricsF fm(font);
        double average = fm.averageCharWidth();
        if (average > 0) {
            int stretch = static_cast<int>(std::lround(100.0 * request.width / average));
            font.setStretch(std::clamp(stretch, 1, 4000));
        }
    }
    return font;
}

int QtTextRenderer::select(const FontRequest& request) {
    for (size_t i = 0; i < fonts_.size(); ++i) {
        if (fonts_[i].request == request) {
            current_ = static_cast<int>(i);
            return current_;
        }
    }
    fonts_.push_back(Entry{request, fontFor(request)});
    current_ = static_cast<int>(fonts_.size() - 1);
    return current_;
}

RenderedText QtTextRenderer::render(const std::string& text, int angleTenths) {
    RenderedText out;
    if (current_ < 0 || text.empty()) return out;
    const QFont& font = fonts_[current_].font;
    const QString s = fromCp1251(text);
    QFontMetricsF fm(font);
    const double advance = fm.horizontalAdvance(s);
    const double angle = angleTenths / 10.0;
    const double rad = angle * M_PI / 180.0;

    // Text drawn with its top-left corner at the origin, then turned counter-clockwise.
    QTransform turn;
    turn.rotate(-angle);
    QRectF ink = fm.boundingRect(s).translated(0, fm.ascent());
    QRectF box(0, 0, advance, fm.ascent() + fm.descent());
    QRectF bounds = turn.mapRect(ink.united(box)).adjusted(-2, -2, 2, 2);
    int left = static_cast<int>(std::floor(bounds.left()));
    int top = static_cast<int>(std::floor(bounds.top()));
    int right = static_cast<int>(std::ceil(bounds.right()));
    int bottom = static_cast<int>(std::ceil(bounds.bottom()));
    out.width = right - left;
    out.height = bottom - top;
    out.anchorX = -left;
    out.anchorY = -top;
    out.advanceX = advance * std::cos(rad);
    out.advanceY = -advance * std::sin(rad);
    if (out.width <= 0 || out.height <= 0) return out;

    QImage image(out.width, out.height, QImage::Format_Alpha8);
    image.fill(0);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(font);
        painter.setPen(QColor(0, 0, 0, 255));
        painter.translate(out.anchorX, out.anchorY);
        painter.rotate(-angle);
        painter.drawText(QPointF(0, fm.ascent()), s);
    }
    out.coverage.resize(static_cast<size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const uchar* line = image.constScanLine(y);
        std::copy(line, line + out.width,
                  out.coverage.begin() + static_cast<size_t>(y) * out.width);
    }
    return out;
}

}  // namespace trelvan
