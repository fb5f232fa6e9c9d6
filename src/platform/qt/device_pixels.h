// SPDX-License-Identifier: GPL-3.0-or-later
// Device pixels and Qt's logical pixels. A window that shows an image 1:1 is sized in logical
// pixels, rounded up, and paints the image into a target of its size divided by the ratio.
#pragma once

#include <QScreen>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <cmath>

namespace trelvan {

// The logical pixels that hold devicePixels at this device pixel ratio, rounded up.
inline int logicalPixels(int devicePixels, qreal ratio) {
    return static_cast<int>(std::ceil(devicePixels / ratio - 1e-9));
}

// What the system says of one screen.
struct ScreenFacts {
    QSize pixels{0, 0};        // resolution in device pixels; 0 when not known
    QSizeF millimetres{0, 0};  // physical size as the screen itself reports it; 0 when it does not
    qreal ratio = 1;           // device pixels per logical pixel Qt paints at
    qreal shown = 1;           // device pixels of the screen per logical pixel of a window
    bool exact = true;         // one painted pixel is one pixel of the screen
};

// On Wayland the resolution is the current mode of the screen's output as the compositor
// describes it; Qt's logical size times its ratio is not (mutter lays its outputs out in device
// pixels, wlroots and KWin in pixels of a desktop scale Qt 6.4 rounds up to an integer). On X
// it is the screen's geometry (Qt paints at ratio 1 there). Qt fills an unknown physical size
// with one of 100 pixels per inch, so the millimetres come from the output itself: wl_output
// on Wayland, RandR's monitor or output on X.
ScreenFacts screenFacts(const QScreen& screen);

// What keeps one painted pixel from being one pixel of the screen, told to the user; empty
// when nothing does.
QString rescalingMessage(const ScreenFacts& facts);

// The screen's resolution in device pixels.
inline QSize devicePixels(const QScreen& screen) {
    return screenFacts(screen).pixels;
}

}  // namespace trelvan
