// SPDX-License-Identifier: GPL-3.0-or-later
// Small pieces every Qt file of the program shares: Windows-1251 text as a QString, a call run
// on the input thread, and the environment that keeps one surface pixel one device pixel.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QString>
#include <QThread>
#include <string>
#include <utility>

#include "platform/textfile.h"

namespace trelvan {

// Windows-1251 bytes as Qt text.
inline QString fromCp1251(const std::string& bytes) {
    return QString::fromStdString(utf8FromCp1251(bytes));
}

// Runs f on the input thread (the application's) and waits for it; directly when called there.
template <class F>
void runOnInputThread(F&& f) {
    if (QThread::currentThread() == qApp->thread())
        f();
    else
        QMetaObject::invokeMethod(qApp, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

// Turns Qt's high-DPI scaling off before the application is made, whatever the desktop's
// environment asks: one surface pixel must stay one device pixel.
inline void keepPixelsUnscaled() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_AUTO_SCREEN_SCALE_FACTOR");
}

}  // namespace trelvan
