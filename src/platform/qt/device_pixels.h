// Device pixels and Qt's logical pixels. A window that shows an image 1:1 is sized in logical
// pixels, rounded up, and paints the image into a target of its size divided by the ratio.
#pragma once

#include <QScreen>
#include <QSize>
#include <cmath>

namespace trelvan {

// The logical pixels that hold devicePixels at this device pixel ratio, rounded up.
inline int logicalPixels(int devicePixels, qreal ratio) {
    return static_cast<int>(std::ceil(devicePixels / ratio - 1e-9));
}

// The screen's resolution in device pixels.
inline QSize devicePixels(const QScreen& screen) {
    const qreal ratio = screen.devicePixelRatio();
    return QSize(static_cast<int>(std::lround(screen.geometry().width() * ratio)),
                 static_cast<int>(std::lround(screen.geometry().height() * ratio)));
}

}  // namespace trelvan
