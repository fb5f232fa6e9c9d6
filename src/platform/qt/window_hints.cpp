// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/window_hints.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdlib>

namespace trelvan {

namespace {

// Undoes a minimise or maximise the window manager (or a client-side title bar) did anyway: a
// modal window out of sight would leave the program with nothing to click.
class StayInSight : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w != nullptr && event->type() == QEvent::WindowStateChange &&
            (w->windowState() &
             (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
            QTimer::singleShot(0, w, [w] {
                w->showNormal();
                w->raise();
                w->activateWindow();
            });
        }
        return false;
    }
};

}  // namespace

void plainDialogFrame(QWidget& window) {
    window.installEventFilter(new StayInSight(&window));
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) return;
    xcb_connection_t* connection = x11->connection();
    if (connection == nullptr) return;
    static const char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (atom == nullptr) return;
    // Motif hints: flags (functions and decorations given), functions, decorations, input
    // mode, status. Functions: move only. Decorations: border and title.
    constexpr uint32_t hintFunctions = 1, hintDecorations = 2;
    constexpr uint32_t functionMove = 4;
    constexpr uint32_t decorationBorder = 2, decorationTitle = 8;
    const std::array<uint32_t, 5> hints{hintFunctions | hintDecorations, functionMove,
                                        decorationBorder | decorationTitle, 0, 0};
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom->atom, atom->atom, 32,
                        static_cast<uint32_t>(hints.size()), hints.data());
    xcb_flush(connection);
    std::free(atom);
}

}  // namespace trelvan
