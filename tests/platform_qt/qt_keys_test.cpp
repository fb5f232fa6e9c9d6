// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services' keyboard and status bar on the offscreen platform: which keys reach the
// key routine, with their repeats marked, held keys let go of when the graphics window loses
// the keyboard, and the status bar showing the program's line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>
#include <vector>

#include "platform/qt/qt_window.h"
#include "support/qt_application.h"

namespace trelvan {
namespace {

struct KeyEvent {
    Key key;
    bool pressed;
    bool autoRepeat;
    bool operator==(const KeyEvent&) const = default;
};
std::vector<KeyEvent> received;

void recordKey(Key key, bool pressed, bool autoRepeat) {
    received.push_back(KeyEvent{key, pressed, autoRepeat});
}
void noMenu(bool) {}

void send(QWidget* to, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
          bool autoRepeat = false) {
    QKeyEvent event(type, key, modifiers, QString(), autoRepeat);
    QApplication::sendEvent(to, &event);
}

GTEST_TEST(QtKeys, TheKeysOfTheButtonsReachTheKeyRoutineAndHeldOnesAreLetGo) {
    testing::offscreenApplication<QApplication>();
    QtWindow window;
    setGraphicsWindow(&window);
    window.APPENDMENUITEM(1, 4, "x", noMenu);
    window.createFrame();
    window.OPENUSER(1, "keys");
    window.registerKeyRoutine(recordKey);
    QApplication::processEvents();
    auto* surface = window.frame()->findChild<SurfaceWidget*>();
    ASSERT_NE(surface, nullptr);
    received.clear();

    send(surface, QEvent::KeyPress, Qt::Key_Left);
    send(surface, QEvent::KeyRelease, Qt::Key_Left);
    send(surface, QEvent::KeyPress, Qt::Key_Right);
    send(surface, QEvent::KeyRelease, Qt::Key_Right, {}, true);  // the system's repeat
    send(surface, QEvent::KeyPress, Qt::Key_Right, {}, true);
    send(surface, QEvent::KeyRelease, Qt::Key_Right);
    send(surface, QEvent::KeyPress, Qt::Key_Escape);
    send(surface, QEvent::KeyRelease, Qt::Key_Escape);
    send(surface, QEvent::KeyPress, Qt::Key_Space);
    send(surface, QEvent::KeyPress, Qt::Key_Return);
    send(surface, QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
    // Not the program's: other keys, and keys with Alt or Control (the menu's, shortcuts).
    send(surface, QEvent::KeyPress, Qt::Key_A);
    send(surface, QEvent::KeyPress, Qt::Key_F1);
    send(surface, QEvent::KeyPress, Qt::Key_Left, Qt::AltModifier);
    send(surface, QEvent::KeyPress, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(received, (std::vector<KeyEvent>{{Key::left, true, false},
                                               {Key::left, false, false},
                                               {Key::right, true, false},
                                               {Key::right, false, true},
                                               {Key::right, true, true},
                                               {Key::right, false, false},
                                               {Key::escape, true, false},
                                               {Key::escape, false, false},
                                               {Key::space, true, false},
                                               {Key::enter, true, false},
                                               {Key::enter, true, false}}));

    // Left held when the keyboard goes elsewhere: its release will not come, so it is let go.
    received.clear();
    send(surface, QEvent::KeyPress, Qt::Key_Left);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(surface, &focusOut);
    EXPECT_EQ(received, (std::vector<KeyEvent>{{Key::left, true, false},
                                               {Key::left, false, false},
                                               {Key::space, false, false},
                                               {Key::enter, false, false}}));

    // The bar keeps its height when its first text comes: the frame around the graphics
    // window does not change size under the window manager.
    const int height = window.frame()->statusLabel()->sizeHint().height();
    window.setStatusText("Размер элемента: 3 пикс.");
    QApplication::processEvents();
    EXPECT_EQ(window.frame()->statusLabel()->sizeHint().height(), height);
    EXPECT_EQ(window.frame()->statusLabel()->text(), QString::fromUtf8("Размер элемента: 3 пикс."));
    setGraphicsWindow(nullptr);
}

}  // namespace
}  // namespace trelvan
