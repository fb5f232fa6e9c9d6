// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/headless_window.h"

#include <cmath>
#include <ctime>

#include "platform/dialog.h"

namespace trelvan {

HeadlessWindow::HeadlessWindow(double startEpoch) : startEpoch_(startEpoch), now_(0.0) {}

void HeadlessWindow::push(const ScriptEvent& event) {
    ScriptEvent e = event;
    {
        std::lock_guard lock(scriptMutex_);
        script_.push_back(e);
        scriptLength_ = script_.size();
    }
    scriptCv_.notify_all();
}

void HeadlessWindow::press(int button, double at, long atOp) {
    int bit = button == 1 ? MOUSE_KS_LBUTTON : MOUSE_KS_RBUTTON;
    held_ |= bit;
    ScriptEvent e;
    e.at = at;
    e.atOp = atOp;
    e.event = button == 1 ? MOUSE_LBUTTONDOWN : MOUSE_RBUTTONDOWN;
    e.keystate = held_;
    e.x = 100;
    e.y = 100;
    push(e);
}

void HeadlessWindow::release(int button, double at, long atOp) {
    int bit = button == 1 ? MOUSE_KS_LBUTTON : MOUSE_KS_RBUTTON;
    held_ &= ~bit;
    ScriptEvent e;
    e.at = at;
    e.atOp = atOp;
    e.event = button == 1 ? MOUSE_LBUTTONUP : MOUSE_RBUTTONUP;
    e.keystate = held_;
    e.x = 100;
    e.y = 100;
    push(e);
}

void HeadlessWindow::click(int button, double at) {
    press(button, at);
    release(button, at);
}

void HeadlessWindow::menu(int position, double at) {
    ScriptEvent e;
    e.kind = ScriptEvent::Kind::menu;
    e.at = at;
    e.menuPosition = position;
    push(e);
}

void HeadlessWindow::keyPress(Key key, double at, long atOp, bool autoRepeat) {
    ScriptEvent e;
    e.kind = ScriptEvent::Kind::key;
    e.at = at;
    e.atOp = atOp;
    e.key = key;
    e.pressed = true;
    e.autoRepeat = autoRepeat;
    push(e);
}

void HeadlessWindow::keyRelease(Key key, double at, long atOp) {
    ScriptEvent e;
    e.kind = ScriptEvent::Kind::key;
    e.at = at;
    e.atOp = atOp;
    e.key = key;
    push(e);
}

void HeadlessWindow::keyTap(Key key, double at) {
    keyPress(key, at);
    keyRelease(key, at);
}

void HeadlessWindow::close() {
    {
        std::lock_guard lock(scriptMutex_);
        closed_ = true;
    }
    scriptCv_.notify_all();
}

void HeadlessWindow::deliver(const ScriptEvent& e) {
    delivering_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{delivering_};
    if (e.kind == ScriptEvent::Kind::menu)
        chooseMenu(e.menuPosition);
    else if (e.kind == ScriptEvent::Kind::key)
        deliverKey(e.key, e.pressed, e.autoRepeat);
    else
        deliverMouse(e.event, e.keystate, e.x, e.y);
}

void HeadlessWindow::deliverDue() {
    if (delivering_ || scriptLength_.load() == 0) return;
    for (;;) {
        ScriptEvent e;
        {
            std::lock_guard lock(scriptMutex_);
            if (script_.empty()) return;
            const ScriptEvent& front = script_.front();
            if (!(front.at <= now_) && !(front.atOp <= ops_)) return;
            e = front;
            script_.pop_front();
            scriptLength_ = script_.size();
        }
        deliver(e);
    }
}

void HeadlessWindow::advance(double seconds) {
    double target = now_ + std::max(0.0, seconds);
    if (!delivering_) {
        for (;;) {
            ScriptEvent e;
            {
                std::lock_guard lock(scriptMutex_);
                if (script_.empty() || !(script_.front().at <= target)) break;
                e = script_.front();
                script_.pop_front();
                scriptLength_ = script_.size();
            }
            if (e.at > now_) now_ = e.at;
            if (now_ > timeLimit_) throw ProgramExit{kScriptEnded, "time limit"};
            deliver(e);
        }
    }
    now_ = target;
    if (now_ > timeLimit_) throw ProgramExit{kScriptEnded, "time limit"};
}

void HeadlessWindow::beforeDrawing() {
    ++ops_;
    if (!delivering_ && scriptLength_.load() != 0) deliverDue();
}

void HeadlessWindow::beforeDrawingRun(size_t count) {
    ops_ += static_cast<long>(count);
    if (!delivering_ && scriptLength_.load() != 0) deliverDue();
}

void HeadlessWindow::inputDelivered() {
    // The lock orders this wake-up after a waiter's test of the sequence, or before it.
    { std::lock_guard lock(scriptMutex_); }
    scriptCv_.notify_all();
}

void HeadlessWindow::BEEPTONE(int32_t frequency, int32_t durationMs) {
    tones_.push_back(ToneRecord{now_, frequency, durationMs});
    if (onToneStart) onToneStart(*this, frequency);
    advance(std::max(0, durationMs) / 1000.0);
}

void HeadlessWindow::SLEEPMS(int32_t ms) {
    sleeps_.push_back(ms / 1000.0);
    advance(std::max(0, ms) / 1000.0);
    if (onSleep) onSleep(*this);
}

void HeadlessWindow::READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) {
    std::time_t t = static_cast<std::time_t>(std::floor(startEpoch_ + now_));
    std::tm tm{};
    gmtime_r(&t, &tm);
    year = tm.tm_year + 1900;
    month = tm.tm_mon + 1;
    day = tm.tm_mday;
}

void HeadlessWindow::READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second,
                                   int32_t& hundredths) {
    double whole = std::floor(now_);
    std::time_t t = static_cast<std::time_t>(startEpoch_) + static_cast<std::time_t>(whole);
    std::tm tm{};
    gmtime_r(&t, &tm);
    hour = tm.tm_hour;
    minute = tm.tm_min;
    second = tm.tm_sec;
    hundredths = static_cast<int32_t>((now_ - whole) * 100.0);
}

void HeadlessWindow::waitInput(uint32_t seen) {
    if (inputSequence() != seen) return;
    deliverDue();
    if (inputSequence() != seen) return;
    ScriptEvent e;
    {
        std::unique_lock lock(scriptMutex_);
        // Another thread may push to the script or deliver an event itself.
        const auto ready = [&] { return !script_.empty() || closed_ || inputSequence() != seen; };
        if (!ready()) {
            waiting_ = true;
            ++blockedWaits_;
            scriptCv_.wait(lock, ready);
            waiting_ = false;
        }
        if (inputSequence() != seen) return;
        if (script_.empty()) throw ProgramExit{kScriptEnded, "script ended"};
        e = script_.front();
        script_.pop_front();
        scriptLength_ = script_.size();
    }
    if (std::isfinite(e.at) && e.at > now_) now_ = e.at;
    if (now_ > timeLimit_) throw ProgramExit{kScriptEnded, "time limit"};
    deliver(e);
}

void HeadlessWindow::orderlyStop(int status) {
    throw ProgramExit{status, ""};
}

void HeadlessWindow::fatalStop(const std::string& messageUtf8) {
    throw ProgramExit{1, messageUtf8};
}

int32_t HeadlessWindow::runDialog(Dialog& dialog) {
    if (!dialogHandler) return -1;
    dialogHandler(dialog);
    return dialog.exitRequested ? 1 : -1;
}

int16_t HeadlessWindow::INITIALIZEFONTS() {
    if (hasTextRenderer()) return RasterWindow::INITIALIZEFONTS();
    return 1;
}

int16_t HeadlessWindow::SETFONT(const std::string& options) {
    int16_t result = 0;
    if (hasTextRenderer())
        result = RasterWindow::SETFONT(options);
    else if (!parseFontOptions(options))
        result = -1;
    if (result >= 0) font_ = options;
    return result;
}

void HeadlessWindow::MOVETO(int16_t x, int16_t y, XYCoord& previous) {
    RasterWindow::MOVETO(x, y, previous);
    lineStart_ = penPosition();
}

void HeadlessWindow::drawShapes(const PenShape* shapes, size_t count) {
    RasterWindow::drawShapes(shapes, count);
    if (const PenShape* line = lastLine(shapes, count)) lineStart_ = XYCoord{line->x1, line->y1};
}

void HeadlessWindow::OUTGTEXT(const std::string& text) {
    if (font_.empty()) return;
    texts_.push_back(
        TextRecord{lineStart_.xcoord, lineStart_.ycoord, font_, colour(), rotation(), text});
    if (hasTextRenderer()) RasterWindow::OUTGTEXT(text);
}

}  // namespace trelvan
