// SPDX-License-Identifier: GPL-3.0-or-later
// The frame and the graphics window kept where and as large as the program asks, in device
// pixels, against window managers that place them otherwise.
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <QWindow>

#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window.h"

namespace trelvan {

// Window managers place a new or resized frame as they see fit, sometimes after the request
// and sometimes with the title bar off the screen: for a while after each placement the
// frame is put back where the program asked for it.
void QtWindow::placeFrame(bool restart) {
    if (frame_ == nullptr) return;
    const FramePlacement& p = appliedPlacement_;
    QWidget* client = frame_->centralWidget();
    if (clientPlacement_) {
        if (frame_->windowState() &
            (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            frame_->showNormal();
        const QSize wanted(logical(p.width), logical(p.height));
        if (client->size() != wanted) frame_->resize(wanted + (frame_->size() - client->size()));
    } else {
        const QSize wanted(logical(p.width), logical(p.height));
        if (frame_->size() != wanted) frame_->resize(wanted);
    }
    // The decorated frame, title bar included, stands at the position. A compositor that
    // places windows itself ignores this.
    const QPoint at(logical(p.x), logical(p.y));
    if (frame_->frameGeometry().topLeft() != at) frame_->move(at);
    if (restart) {
        placeChecks_ = 0;
        placeTimer_->start();
    }
}

void QtWindow::keepPlacement() {
    if (frame_ == nullptr) return;
    const FramePlacement& p = appliedPlacement_;
    QWidget* client = frame_->centralWidget();
    const QSize wanted(logical(p.width), logical(p.height));
    const bool sized = (clientPlacement_ ? client->size() : frame_->size()) == wanted;
    const bool placed = QGuiApplication::platformName() == QLatin1String("wayland") ||
                        frame_->frameGeometry().topLeft() == QPoint(logical(p.x), logical(p.y));
    const bool mapped = frame_->windowHandle() != nullptr && frame_->windowHandle()->isExposed();
    ++placeChecks_;
    if (!sized || !placed) placeFrame(false);
    // Settled once it has stood right for a while on the screen; given up after some seconds.
    if ((mapped && sized && placed && placeChecks_ >= 10) || placeChecks_ >= 80) {
        placeTimer_->stop();
    }
}

void QtWindow::syncWindows() {
    syncPending_ = false;
    if (frame_ == nullptr) return;
    // Sizes are given to Qt in logical pixels: with an integer device pixel ratio the
    // surface's buffer then holds exactly its own pixels.
    const qreal ratio = deviceRatio();
    const bool rescaled = ratio != ratio_;
    ratio_ = ratio;
    FramePlacement p = framePlacement();
    if (frameShown_ &&
        (p.x != appliedPlacement_.x || p.y != appliedPlacement_.y ||
         p.width != appliedPlacement_.width || p.height != appliedPlacement_.height)) {
        // While the frame exists the placement gives the client area.
        appliedPlacement_ = p;
        clientPlacement_ = true;
        placeFrame(true);
    } else if (frameShown_ && rescaled) {
        placeFrame(true);
    }
    if (unitOpen()) {
        if (child_ == nullptr) {
            surfaceWidget_ = new SurfaceWidget(*this);
            child_ = frame_->area()->addSubWindow(surfaceWidget_);
            child_->setAttribute(Qt::WA_DeleteOnClose, false);
            // The graphics window closes only with its unit: no buttons of its own.
            child_->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
            child_->installEventFilter(frame_);
        }
        child_->setWindowTitle(fromCp1251(windowTitle()));
        int w = 0, h = 0;
        withSurface([&](const Raster& surface) {
            w = surface.width();
            h = surface.height();
        });
        // The surface stands at the top-left of the child window, never scaled or centred.
        surfaceWidget_->setMinimumSize(logical(w), logical(h));
        child_->show();
        surfaceWidget_->setFocus();
        if (tiled()) frame_->area()->tileSubWindows();
        surfaceWidget_->update();
    } else if (child_ != nullptr) {
        child_->hide();
    }
}

void QtWindow::windowChanged() {
    if (frame_ == nullptr) return;
    if (onInputThread()) {
        syncWindows();
    } else if (!syncPending_.exchange(true)) {
        QMetaObject::invokeMethod(
            frame_, [this] { syncWindows(); }, Qt::QueuedConnection);
    }
}

}  // namespace trelvan
