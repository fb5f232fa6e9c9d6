// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/status_line.h"

#include <cmath>
#include <cstdio>

#include "app/event_state.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

std::string lastShown;
std::string pendingNote;

std::string number(int32_t value) {
    return std::to_string(value);
}

// An acuity level as the table writes it: 0.1, 0.7, 1.25.
std::string levelText(float level) {
    char text[16];
    const double tenths = static_cast<double>(level) * 10.0;
    const bool oneDecimal = std::abs(tenths - std::round(tenths)) < 1e-3;
    std::snprintf(text, sizeof text, oneDecimal ? "%.1f" : "%.2f", static_cast<double>(level));
    return text;
}

constexpr const char* kGap = "   ";
constexpr const char* kLeaveKeys = "Esc/обе кнопки — в начало";
// The eye chosen, as the status bar names it.
std::string eyeText(int32_t eye) {
    switch (eye) {
        case 1:
            return "Глаз: правый";
        case 2:
            return "Глаз: левый";
        default:
            return "Глаз: оба";
    }
}

constexpr const char* kAnyButton = "любую кнопку мыши, пробел или Enter";

}  // namespace

std::string statusText(const StatusLine& line) {
    using Screen = StatusLine::Screen;
    switch (line.screen) {
        case Screen::startScreen: {
            std::string text = line.note.empty() ? "" : line.note + kGap;
            return text + eyeText(line.eye) + " (П/Л/О)" + kGap +
                   "Размер элемента: " + number(line.size) + " пикс." + kGap +
                   "←/левая кнопка — тренировка, →/правая — проверка зрения, Esc/обе — выход";
        }
        case Screen::training:
            return "Тренировка: картинка " + number(line.picture) + " из " + number(line.volume) +
                   kGap + "Цифра слева — ←/левая кнопка, справа — →/правая" + kGap + kLeaveKeys +
                   kGap + eyeText(line.eye);
        case Screen::trainingWrong:
            return "Тренировка: ошибка — пауза 3 с, ответы не принимаются, счёт картинок "
                   "начнётся заново" +
                   std::string(kGap) + kLeaveKeys;
        case Screen::check:
            return "Проверка зрения: уровень " + levelText(line.level) + ", верно подряд " +
                   number(line.run) + " из 10" + kGap +
                   "Ответ за 2 с: зазор слева — ←/левая кнопка, справа — →/правая" + kGap +
                   kLeaveKeys + kGap + eyeText(line.eye);
        case Screen::anyButton:
            return std::string("Для продолжения нажмите ") + kAnyButton;
        case Screen::chart:
            return std::string("Итоги тренировок") + kGap + "Для возврата в начало нажмите " +
                   kAnyButton;
    }
    return {};
}

void showStatus(const StatusLine& line) {
    std::string text = statusText(line);
    if (text == lastShown) return;
    lastShown = text;
    gw().setStatusText(text);
}

void statusStartScreen(int32_t size) {
    StatusLine line;
    line.size = size;
    line.note = pendingNote;
    line.eye = eventState.eye;
    showStatus(line);
}

void statusTraining(int32_t picture, int32_t volume) {
    pendingNote.clear();
    StatusLine line;
    line.screen = StatusLine::Screen::training;
    line.picture = picture;
    line.volume = volume;
    line.eye = eventState.eye;
    showStatus(line);
}

void statusTrainingWrong(int32_t volume) {
    StatusLine line;
    line.screen = StatusLine::Screen::trainingWrong;
    line.volume = volume;
    showStatus(line);
}

void statusCheck(float level, int32_t run) {
    pendingNote.clear();
    StatusLine line;
    line.screen = StatusLine::Screen::check;
    line.level = level;
    line.run = run;
    line.eye = eventState.eye;
    showStatus(line);
}

void statusAnyButton() {
    StatusLine line;
    line.screen = StatusLine::Screen::anyButton;
    showStatus(line);
}

void statusChart() {
    pendingNote.clear();
    StatusLine line;
    line.screen = StatusLine::Screen::chart;
    showStatus(line);
}

void statusNote(const std::string& utf8) {
    pendingNote = utf8;
}

void resetStatus() {
    lastShown.clear();
    pendingNote.clear();
}

}  // namespace trelvan
