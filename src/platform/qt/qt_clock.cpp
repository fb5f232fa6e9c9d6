// SPDX-License-Identifier: GPL-3.0-or-later
// The clocks: the interval clock, local date and time, the moment of a press and the time an
// answer took, and the wait for input.
#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "platform/interval_clock.h"
#include "platform/qt/input_time.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/qt_window_parts.h"

namespace trelvan {

void QtWindow::notePress(quint64 serverMilliseconds) {
    const double now = CLOCKSECONDS();
    double at = now;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The X server stamps events with its monotonic clock in whole milliseconds: the
        // clock steady_clock reads here when server and program share the machine. It takes
        // the coarse clock only where that ticks at least every millisecond.
        static const double stampLag = [] {
            timespec resolution{};
            const bool coarse = clock_getres(CLOCK_MONOTONIC_COARSE, &resolution) == 0 &&
                                resolution.tv_sec == 0 && resolution.tv_nsec <= 1000000;
            return coarse ? (1e-3 + static_cast<double>(resolution.tv_nsec) * 1e-9) / 2 : 0.5e-3;
        }();
        const int64_t monotonicNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count();
        at = eventMoment(serverMilliseconds, monotonicNs, now, stampLag);
    }
    pressSeconds_.store(at);
}

double QtWindow::answerSeconds(const PictureMark& mark) {
    // The picture's start: the first repaint that held it, else the mark itself.
    double shown = mark.requested;
    {
        std::lock_guard lock(presentedMutex_);
        for (const auto& [version, seconds] : presented_) {
            if (version >= mark.drawn) {
                shown = seconds;
                break;
            }
        }
    }
    // The press, when one came after the mark; else this moment, as without time stamps.
    double pressed = pressSeconds_.load();
    if (pressed < mark.requested) pressed = CLOCKSECONDS();
    const double answer = std::max(0.0, pressed - shown);
    if (answerLog != nullptr) {
        std::fprintf(answerLog, "%.6f\n", answer);
        std::fflush(answerLog);
    }
    return answer;
}

void QtWindow::SLEEPMS(int32_t ms) {
    if (ms <= 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtWindow::READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    year = tm.tm_year + 1900;
    month = tm.tm_mon + 1;
    day = tm.tm_mday;
}

void QtWindow::READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second, int32_t& hundredths) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    hour = tm.tm_hour;
    minute = tm.tm_min;
    second = tm.tm_sec;
    hundredths = static_cast<int32_t>(ms.count() / 10);
}

double QtWindow::CLOCKSECONDS() {
    return intervalSeconds();
}

void QtWindow::waitInput(uint32_t seen) {
    if (wakeLog == nullptr) {
        blockUntilInput(seen);
        return;
    }
    const bool blocks = inputSequence() == seen;
    blockUntilInput(seen);
    if (!blocks) return;
    const int64_t woken = steadyNanoseconds();
    std::fprintf(wakeLog, "%lld\n",
                 static_cast<long long>(woken - inputStamp.load(std::memory_order_acquire)));
    std::fflush(wakeLog);
}

}  // namespace trelvan
