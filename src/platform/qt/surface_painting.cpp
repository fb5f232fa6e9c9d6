// SPDX-License-Identifier: GPL-3.0-or-later
// The surface painted 1:1 in device pixels: only what changed, and when it reached the display
// server.
#include <QApplication>
#include <QPainter>
#include <cmath>
#include <mutex>

#include "platform/qt/qt_window.h"

namespace trelvan {

void QtWindow::surfaceChanged() {
    // The program thread draws: frame_ was set before that thread started, while the widget
    // pointer is the input thread's and only read there, in the queued call.
    if (frame_ == nullptr) return;
    if (repaintPending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        qApp,
        [this] {
            repaintPending_ = false;
            repaintChanged();
        },
        Qt::QueuedConnection);
}

void QtWindow::repaintChanged() {
    if (surfaceWidget_ == nullptr) return;
    const SurfaceRect area = takeChanged();
    if (area.empty() || !surfaceWidget_->isVisible()) {
        surfaceWidget_->update();
        return;
    }
    // Only the changed pixels, in logical pixels rounded outwards. repaint() paints and
    // flushes the window's buffer to the display server before it returns.
    const qreal ratio = deviceRatio();
    const int left = static_cast<int>(std::floor(area.left / ratio));
    const int top = static_cast<int>(std::floor(area.top / ratio));
    const int right = static_cast<int>(std::ceil((area.right + 1) / ratio));
    const int bottom = static_cast<int>(std::ceil((area.bottom + 1) / ratio));
    const uint64_t before = paintedVersion_;
    surfaceWidget_->repaint(QRect(left, top, right - left, bottom - top));
    if (paintedVersion_ == before) return;  // nothing was painted (not exposed)
    const double handedOver = CLOCKSECONDS();
    std::lock_guard lock(presentedMutex_);
    presented_.emplace_back(paintedVersion_, handedOver);
    if (presented_.size() > 256) presented_.pop_front();
}

void QtWindow::paintSurface(QWidget& widget, const QRect& area) {
    QPainter painter(&widget);
    // The scale of the buffer painted into. Qt 6.4 on Wayland may change it (a window moved
    // onto an output of another scale) without changing the widget's device pixel ratio.
    const qreal ratio = painter.deviceTransform().m11();
    paintRatio_ = ratio;
    if (ratio != ratio_ && !syncPending_.exchange(true)) {
        // Moved to another screen or the scale changed: size the windows anew.
        QMetaObject::invokeMethod(
            frame_, [this] { syncWindows(); }, Qt::QueuedConnection);
    }
    // The device pixels to paint: the paint event's area rounded outwards.
    const QRect device(QPoint(static_cast<int>(std::floor(area.left() * ratio)),
                              static_cast<int>(std::floor(area.top() * ratio))),
                       QPoint(static_cast<int>(std::ceil((area.right() + 1) * ratio)) - 1,
                              static_cast<int>(std::ceil((area.bottom() + 1) * ratio)) - 1));
    QRect copy;
    const bool copied = withSurface([&](const Raster& surface) {
        // The surface's 0x00BBGGRR pixels are the bytes R, G, B, 0 in memory; shown opaque,
        // since a compositor keeps the fourth byte as alpha. Only the rows and columns to be
        // painted are copied; the rest of the image stays as last painted.
        const int w = surface.width(), h = surface.height();
        if (shown_.width() != w || shown_.height() != h)
            shown_ = QImage(w, h, QImage::Format_RGBX8888);
        copy = device.intersected(QRect(0, 0, w, h));
        paintedVersion_ = surfaceVersion();
        for (int y = copy.top(); y <= copy.bottom(); ++y) {
            const uint32_t* from = surface.data() + size_t(y) * w;
            auto* to = reinterpret_cast<uint32_t*>(shown_.scanLine(y));
            for (int x = copy.left(); x <= copy.right(); ++x) to[x] = from[x] | 0xFF000000u;
        }
    });
    if (!copied) return;
    // Painted in device pixels: one surface pixel to one pixel of the window's buffer.
    painter.scale(1 / ratio, 1 / ratio);
    if (!copy.isEmpty()) painter.drawImage(copy.topLeft(), shown_, copy);
    // Beyond the surface, within the widget: grey.
    const QColor grey(0xAB, 0xAB, 0xAB);
    const QSize whole(static_cast<int>(std::ceil(widget.width() * ratio - 1e-9)),
                      static_cast<int>(std::ceil(widget.height() * ratio - 1e-9)));
    if (whole.width() > shown_.width())
        painter.fillRect(shown_.width(), 0, whole.width() - shown_.width(), whole.height(), grey);
    if (whole.height() > shown_.height())
        painter.fillRect(0, shown_.height(), shown_.width(), whole.height() - shown_.height(),
                         grey);
}

}  // namespace trelvan
