// SPDX-License-Identifier: GPL-3.0-or-later
// The program's start on the desktop (the application, the frame, the program thread) and its
// end.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/qt/desktop.h"
#include "platform/qt/device_pixels.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/qt_window_parts.h"

namespace trelvan {

namespace {

thread_local bool onProgramThread = false;

// What keeps one surface pixel from being one pixel of the screen, as a message for the user,
// or an empty text: a desktop scale the screen shows rescaled (rescalingMessage), or an X
// connection inside a Wayland session, where the compositor may scale the whole window without
// telling the program.
QString scalingWarning(QWidget* frame) {
    const QScreen* screen = frame->screen();
    ScreenFacts facts;
    facts.ratio = facts.shown = frame->devicePixelRatioF();
    facts.exact = std::abs(facts.ratio - std::round(facts.ratio)) < 1e-6;
    if (screen != nullptr) facts = screenFacts(*screen);
    QString message = rescalingMessage(facts);
    if (!message.isEmpty()) return message;
    const bool xwayland =
        QGuiApplication::platformName() == QLatin1String("xcb") &&
        (!qgetenv("WAYLAND_DISPLAY").isEmpty() ||
         (screen != nullptr && screen->name().startsWith(QLatin1String("XWAYLAND"))));
    if (xwayland) {
        return QString::fromUtf8(
            "Программа работает через XWayland. Если экран масштабирован, рабочий стол "
            "растягивает её окно, и тестовые изображения будут размыты: точка изображения "
            "не совпадёт с пикселом экрана, а программа не может это заметить.\n\n"
            "Установите масштаб экрана 100\u00A0% или запустите программу как приложение "
            "Wayland (нужен пакет qt6-wayland; переменная QT_QPA_PLATFORM не должна "
            "требовать xcb).");
    }
    return {};
}

}  // namespace

[[noreturn]] void endProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

void QtWindow::orderlyStop(int status) {
    if (onProgramThread) throw ProgramExit{status, ""};
    endProcess(status);
}

void QtWindow::fatalStop(const std::string& messageUtf8) {
    QString text = QString::fromStdString(messageUtf8);
    runOnInputThread([&] { QMessageBox::critical(frame_, caption(), text); });
    if (onProgramThread) throw ProgramExit{1, messageUtf8};
    endProcess(1);
}

// --- Start --------------------------------------------------------------------------------

int runDesktop(int argc, char** argv, bool (*initialSettings)(), void (*mainProgram)()) {
    // One surface pixel must stay one device pixel under any desktop scaling.
    keepPixelsUnscaled();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    // Lives until the process ends.
    auto* services = new QtWindow;
    setGraphicsWindow(services);
    initialSettings();
    services->createFrame();
    // Said once, before anything is shown in the graphics window; the program goes on.
    const QString warning = scalingWarning(services->frame());
    warnedOfScaling = !warning.isEmpty();
    if (!warning.isEmpty()) QMessageBox::warning(services->frame(), services->caption(), warning);

    std::atomic<int> status{0};
    std::atomic<bool> finished{false};
    std::thread program([&] {
        onProgramThread = true;
        try {
            mainProgram();
        } catch (const ProgramExit& e) {
            status = e.status;
        }
        finished = true;
        QMetaObject::invokeMethod(
            qApp, [&] { QApplication::exit(status); }, Qt::QueuedConnection);
    });
    int result = app.exec();
    if (!finished) endProcess(result);
    program.join();
    return status;
}

}  // namespace trelvan
