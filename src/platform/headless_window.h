// SPDX-License-Identifier: GPL-3.0-or-later
// Window services without a screen: the same raster surface, a virtual clock, and an input
// script of mouse events and menu choices.
//
// Sleeps and tones advance the virtual clock at once. Scripted events are delivered on the
// program thread: when the clock passes their time, before the drawing operation they are
// bound to, or when the program waits for input. Whole trainings, checks and the main loop
// therefore run in milliseconds and repeat exactly.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "platform/raster_window.h"

namespace trelvan {

struct ScriptEvent {
    enum class Kind { mouse, menu, key };
    Kind kind = Kind::mouse;
    // Delivered once the virtual clock reaches at (seconds since the headless epoch) or when
    // the drawing-operation counter reaches atOp, whichever comes first; with neither set it
    // is delivered at the next wait for input.
    double at = std::numeric_limits<double>::infinity();
    long atOp = std::numeric_limits<long>::max();
    int32_t event = 0;     // mouse event bit
    int32_t keystate = 0;  // buttons held after the event
    int32_t x = 0, y = 0;
    int menuPosition = 0;
    Key key = Key::left;  // a key event: the key, press or release, and a system repeat
    bool pressed = false;
    bool autoRepeat = false;
};

struct ToneRecord {
    double at;
    int32_t frequency;
    int32_t durationMs;
};

struct TextRecord {
    // Where the last MOVETO put the pen: a text that continues a line without a move of its
    // own carries its line's start.
    int x, y;
    std::string font;  // option string of the last SETFONT
    int32_t colour;
    int rotation;
    std::string text;  // Windows-1251
};

class HeadlessWindow : public RasterWindow {
  public:
    // Virtual time starts at startEpoch (whole seconds since 1970, UTC); local time is taken as
    // UTC.
    explicit HeadlessWindow(double startEpoch = 1362301507.0 /* 2013-03-03 09:05:07 */);

    // --- The script -------------------------------------------------------------------
    void push(const ScriptEvent& event);
    // Mouse helpers keeping track of the held buttons. Button 1 left, 2 right.
    void press(int button, double at = kNext, long atOp = kNever);
    void release(int button, double at = kNext, long atOp = kNever);
    void click(int button, double at = kNext);  // press and release
    void menu(int position, double at = kNext);
    // Key helpers: a press (autoRepeat: one the system repeats while the key is held), a
    // release, and both at once.
    void keyPress(Key key, double at = kNext, long atOp = kNever, bool autoRepeat = false);
    void keyRelease(Key key, double at = kNext, long atOp = kNever);
    void keyTap(Key key, double at = kNext);
    // When the script is empty and the program waits for input (or the clock passes the
    // limit), the run ends with ProgramExit{kScriptEnded}. Without close(), a wait blocks
    // until another thread pushes an event or delivers one itself (deliverMouse, chooseMenu),
    // as the desktop's input thread does.
    void close();
    void setTimeLimit(double seconds) { timeLimit_ = seconds; }

    static constexpr double kNext = std::numeric_limits<double>::infinity();
    static constexpr long kNever = std::numeric_limits<long>::max();
    static constexpr int kScriptEnded = -100;

    // --- What happened ----------------------------------------------------------------
    double elapsed() const { return now_; }
    long drawingOps() const { return ops_; }
    const std::vector<ToneRecord>& tones() const { return tones_; }
    const std::vector<TextRecord>& texts() const { return texts_; }
    int aboutShown() const { return aboutShown_; }
    std::vector<double> sleeps() const { return sleeps_; }
    // For a test that plays the user on another thread: whether the program thread is blocked
    // waiting for input right now, and how many times it has begun to block so far.
    bool waitingForInput() const { return waiting_.load(); }
    uint64_t blockedWaits() const { return blockedWaits_.load(); }
    // Called whenever the program sleeps (after the clock advanced), for tests that watch it.
    std::function<void(HeadlessWindow&)> onSleep;
    // Called when a tone starts (recorded, the clock not yet advanced), for tests that look at
    // the screen while it sounds.
    std::function<void(HeadlessWindow&, int32_t frequency)> onToneStart;
    // Answers a modal dialog: fill texts and states, then press a button with
    // pressDialogButton until it closes. Without one, DLGMODAL returns -1.
    std::function<void(Dialog&)> dialogHandler;
    // The screen the tests pretend to run on (unknown unless set), and the user's answer to
    // the ruler window (cancelled unless set).
    ScreenReport screen;
    std::function<std::optional<RulerReading>()> rulerHandler;

    // --- Services ---------------------------------------------------------------------
    void showAbout() override { ++aboutShown_; }
    void showMessage(const std::string& messageUtf8) override { messages_.push_back(messageUtf8); }
    const std::vector<std::string>& messages() const { return messages_; }
    // The questions of askRetry, in order; retryHandler answers them ("Отмена" without one).
    bool askRetry(const std::string& messageUtf8) override {
        questions_.push_back(messageUtf8);
        return retryHandler ? retryHandler(messageUtf8) : false;
    }
    const std::vector<std::string>& questions() const { return questions_; }
    std::function<bool(const std::string&)> retryHandler;
    // Every text given to the status bar, in order (UTF-8).
    void setStatusText(const std::string& utf8) override { statusTexts_.push_back(utf8); }
    const std::vector<std::string>& statusTexts() const { return statusTexts_; }
    // Whether the services pretend a sound output can be reached.
    bool soundAvailable = true;
    bool soundOutputAvailable() override { return soundAvailable; }
    int32_t runDialog(Dialog& dialog) override;
    ScreenReport screenReport() override { return screen; }
    std::optional<RulerReading> measureWithRuler() override {
        return rulerHandler ? rulerHandler() : std::nullopt;
    }
    int16_t INITIALIZEFONTS() override;
    int16_t SETFONT(const std::string& options) override;
    void OUTGTEXT(const std::string& text) override;
    void MOVETO(int16_t x, int16_t y, XYCoord& previous) override;
    void drawShapes(const PenShape* shapes, size_t count) override;
    void BEEPTONE(int32_t frequency, int32_t durationMs) override;
    void SLEEPMS(int32_t ms) override;
    void READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) override;
    void READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second,
                       int32_t& hundredths) override;
    double CLOCKSECONDS() override { return startEpoch_ + now_; }
    void waitInput(uint32_t seen) override;
    [[noreturn]] void orderlyStop(int status) override;
    [[noreturn]] void fatalStop(const std::string& messageUtf8) override;

  protected:
    void beforeDrawing() override;
    void beforeDrawingRun(size_t count) override;
    void inputDelivered() override;

  private:
    void advance(double seconds);
    // Delivers the events due by time or operation count, in script order.
    void deliverDue();
    void deliver(const ScriptEvent& e);

    double startEpoch_;  // whole seconds since 1970 at the start of the run
    double now_;         // virtual seconds since the start of the run
    double timeLimit_ = std::numeric_limits<double>::infinity();
    long ops_ = 0;
    int held_ = 0;  // buttons held by the script so far
    std::mutex scriptMutex_;
    std::condition_variable scriptCv_;
    std::deque<ScriptEvent> script_;
    // The length of script_, readable without the lock: a drawing operation looks for due
    // events only when there are any.
    std::atomic<size_t> scriptLength_{0};
    bool closed_ = false;
    std::atomic<bool> waiting_{false};
    std::atomic<uint64_t> blockedWaits_{0};
    std::vector<ToneRecord> tones_;
    std::vector<TextRecord> texts_;
    std::vector<double> sleeps_;
    std::vector<std::string> messages_;
    std::vector<std::string> questions_;
    std::vector<std::string> statusTexts_;
    std::string font_;
    XYCoord lineStart_;  // the position of the last MOVETO
    int aboutShown_ = 0;
    bool delivering_ = false;
};

}  // namespace trelvan
