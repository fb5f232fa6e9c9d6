// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing surface's widget: it paints through the services and hands the mouse buttons and
// the answering keys on to them.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <cmath>

#include "platform/qt/qt_window.h"

namespace trelvan {

SurfaceWidget::SurfaceWidget(QtWindow& services) : services_(services) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
    services_.paintSurface(*this, event->rect());
}

void SurfaceWidget::pass(QMouseEvent* event, bool press) {
    int32_t bit = 0;
    if (event->button() == Qt::LeftButton) bit = press ? MOUSE_LBUTTONDOWN : MOUSE_LBUTTONUP;
    if (event->button() == Qt::RightButton) bit = press ? MOUSE_RBUTTONDOWN : MOUSE_RBUTTONUP;
    if (bit == 0) return;
    int32_t keys = 0;
    Qt::MouseButtons buttons = event->buttons();
    if (buttons & Qt::LeftButton) keys |= MOUSE_KS_LBUTTON;
    if (buttons & Qt::RightButton) keys |= MOUSE_KS_RBUTTON;
    if (buttons & Qt::MiddleButton) keys |= MOUSE_KS_MBUTTON;
    if (event->modifiers() & Qt::ShiftModifier) keys |= MOUSE_KS_SHIFT;
    if (event->modifiers() & Qt::ControlModifier) keys |= MOUSE_KS_CONTROL;
    if (press) services_.notePress(event->timestamp());
    // Positions arrive in logical pixels, and position() is rounded to whole ones: the
    // position in the native window the event came from keeps the fraction that tells the
    // device pixel (that window is the frame's, or on X the native one of its client area).
    const QWidget* native = nativeParentWidget();
    const QPointF offset = native != nullptr ? QPointF(mapTo(native, QPoint(0, 0))) : QPointF();
    const QPointF p = (event->scenePosition() - offset) * services_.deviceRatio();
    services_.mouse(bit, keys, static_cast<int32_t>(std::floor(p.x())),
                    static_cast<int32_t>(std::floor(p.y())));
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
    pass(event, true);
}
void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    pass(event, false);
}
// A quick second click is a click like any other.
void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    pass(event, true);
}

// The keys that stand for the buttons. With Alt, Control or Meta held a key belongs to the
// menu bar or a shortcut.
bool SurfaceWidget::passKey(QKeyEvent* event, bool press) {
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        return false;
    Key key;
    switch (event->key()) {
        case Qt::Key_Left:
            key = Key::left;
            break;
        case Qt::Key_Right:
            key = Key::right;
            break;
        case Qt::Key_Escape:
            key = Key::escape;
            break;
        case Qt::Key_Space:
            key = Key::space;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = Key::enter;
            break;
        // The eye: П, Л, О in the Russian layout, the same keys in the Latin one, or 1, 2, 3.
        case 0x041F:  // П
        case Qt::Key_G:
        case Qt::Key_1:
            key = Key::eyeRight;
            break;
        case 0x041B:  // Л
        case Qt::Key_K:
        case Qt::Key_2:
            key = Key::eyeLeft;
            break;
        case 0x041E:  // О
        case Qt::Key_J:
        case Qt::Key_3:
            key = Key::eyeBoth;
            break;
        default:
            return false;
    }
    // A key that answers is timed like a button press, by the server's time stamp.
    if (press && !event->isAutoRepeat() &&
        (key == Key::left || key == Key::right || key == Key::escape))
        services_.notePress(event->timestamp());
    services_.key(key, press, event->isAutoRepeat());
    return true;
}

void SurfaceWidget::keyPressEvent(QKeyEvent* event) {
    if (passKey(event, true))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void SurfaceWidget::keyReleaseEvent(QKeyEvent* event) {
    if (passKey(event, false))
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

// Keys held when the keyboard goes elsewhere (a menu, a message box, another window) are let
// go of: their releases will not come here.
void SurfaceWidget::focusOutEvent(QFocusEvent* event) {
    services_.releaseKeys();
    QWidget::focusOutEvent(event);
}

}  // namespace trelvan
