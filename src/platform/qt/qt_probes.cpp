// SPDX-License-Identifier: GPL-3.0-or-later
// What benchmarks and end-to-end tests read from the running program, each switched on by an
// environment variable: input and answer time logs, and where things are on the screen.
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <chrono>
#include <cmath>
#include <fstream>

#include "platform/qt/device_pixels.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/qt_window_parts.h"

namespace trelvan {

std::FILE* const wakeLog = [] {
    const QByteArray path = qgetenv("TRELVAN_WAKE_LOG");
    return path.isEmpty() ? nullptr : std::fopen(path.constData(), "w");
}();
std::atomic<int64_t> inputStamp{0};

std::FILE* const answerLog = [] {
    const QByteArray path = qgetenv("TRELVAN_ANSWER_LOG");
    return path.isEmpty() ? nullptr : std::fopen(path.constData(), "w");
}();

int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void stampInput() {
    if (wakeLog != nullptr) inputStamp.store(steadyNanoseconds(), std::memory_order_release);
}

std::atomic<bool> warnedOfScaling{false};

// For end-to-end tests: where the menu items and the drawing surface are on the screen.
void QtWindow::reportGeometry() {
    QByteArray path = qgetenv("TRELVAN_GEOMETRY_FILE");
    if (path.isEmpty() || frame_ == nullptr) return;
    std::ofstream out(path.toStdString(), std::ios::trunc);
    QMenuBar* bar = frame_->menuBar();
    const auto actions = bar->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QRect r = bar->actionGeometry(actions[i]);
        QPoint p = bar->mapToGlobal(r.topLeft());
        out << "menu " << i + 1 << ' ' << p.x() << ' ' << p.y() << ' ' << r.width() << ' '
            << r.height() << '\n';
    }
    out << "percent " << std::lround(deviceRatio() * 100) << '\n';
    // The screen as the program sees it: resolution, reported millimetres (0: none), device
    // pixels per logical pixel of a window in per cent, 1 when shown 1:1, Qt's logical size.
    if (const QScreen* screen = frame_->screen()) {
        const ScreenFacts f = screenFacts(*screen);
        out << "screen " << f.pixels.width() << ' ' << f.pixels.height() << ' '
            << std::lround(f.millimetres.width()) << ' ' << std::lround(f.millimetres.height())
            << ' ' << std::lround(f.shown * 100) << ' ' << int(f.exact) << ' '
            << screen->geometry().width() << ' ' << screen->geometry().height() << '\n';
    }
    out << "warning " << int(warnedOfScaling) << '\n';
    QWidget* client = frame_->centralWidget();
    QPoint c = client->mapToGlobal(QPoint(0, 0));
    out << "client " << c.x() << ' ' << c.y() << ' ' << client->width() << ' ' << client->height()
        << '\n';
    if (auto* eye = frame_->findChild<QPushButton*>(QStringLiteral("eyeButton"))) {
        QPoint e = eye->mapToGlobal(QPoint(0, 0));
        out << "eye " << e.x() << ' ' << e.y() << ' ' << eye->width() << ' ' << eye->height()
            << '\n';
    }
    if (surfaceWidget_ != nullptr && child_ != nullptr && child_->isVisible()) {
        QPoint s = surfaceWidget_->mapToGlobal(QPoint(0, 0));
        withSurface([&](const Raster& surface) {
            out << "surface " << s.x() << ' ' << s.y() << ' ' << surface.width() << ' '
                << surface.height() << '\n';
        });
    }
}

}  // namespace trelvan
