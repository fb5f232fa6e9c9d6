#include "platform/qt/window_hints.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <cstdlib>

namespace trelvan {

void plainDialogFrame(QWidget& window) {
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
