// SPDX-License-Identifier: GPL-3.0-or-later
// A window-services stand-in for the plotting tests: records every call with its arguments,
// keeps the drawing state the library changes (pen, colours, line style, font, rotation) and
// a sparse pixel map written by SETPIXELRGB. Stops throw ProgramExit.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics_window.h"

namespace trelvan::plottest {

struct Call {
    std::string name;
    std::vector<int64_t> args;
    std::string text;  // text argument, if any

    bool operator==(const Call&) const = default;
};

// A line drawn by LINETO, with the drawing state in force.
struct Segment {
    int x1, y1, x2, y2;
    int32_t colour;
    uint16_t style;

    bool operator==(const Segment&) const = default;
};

class RecordingWindow : public GraphicsWindow {
  public:
    // --- Scripted results -----------------------------------------------------------------
    // Results handed out one per call, front first; when a queue is empty the default
    // (success) applies.
    std::deque<int32_t> activeUnitResults;  // default 1
    std::deque<int32_t> focusResults;       // default 0
    std::deque<int16_t> fontResults;        // default 1
    std::deque<bool> windowConfigResults;   // default true
    int32_t openResult = 0;                 // of OPENUSER; below 0 refuses the window
    // A test of a bounded loop sets this: one call more throws, so that a loop that runs
    // away fails the test at once instead of filling the memory.
    size_t callLimit = SIZE_MAX;
    // What a refused SETWINDOWCONFIG writes back into the record.
    int16_t adjustedWidth = 800;
    int16_t adjustedHeight = 600;

    // --- Record -----------------------------------------------------------------------------
    std::vector<Call> calls;
    std::vector<Segment> segments;
    std::map<std::pair<int, int>, int32_t> pixels;
    std::vector<WindowConfig> configRequests;  // the records as SETWINDOWCONFIG received them

    // --- Drawing state ----------------------------------------------------------------------
    int penX = 0;
    int penY = 0;
    int32_t colour = 0;
    int32_t textColour = 0;
    int32_t background = 0;
    uint16_t lineStyle = 0xFFFF;
    int32_t rotation = 0;
    std::string font;

    // Calls of one operation, in order.
    std::vector<Call> named(const std::string& name) const {
        std::vector<Call> out;
        for (const Call& call : calls) {
            if (call.name == name) out.push_back(call);
        }
        return out;
    }
    size_t count(const std::string& name) const { return named(name).size(); }
    // Names of all calls, in order (handy for sequence checks).
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const Call& call : calls) out.push_back(call.name);
        return out;
    }
    void clearRecord() {
        calls.clear();
        segments.clear();
        pixels.clear();
        configRequests.clear();
    }

    // --- Frame, windows and menus -----------------------------------------------------------
    int32_t SETEXITMODE(int32_t mode) override { return record("SETEXITMODE", {mode}, 0); }
    int32_t SETABOUTTEXT(const std::string& text) override {
        return record("SETABOUTTEXT", {}, 0, text);
    }
    int32_t SETWSIZEQQ(int32_t unit, const FramePlacement& p) override {
        return record("SETWSIZEQQ", {unit, p.type, p.x, p.y, p.height, p.width}, 1);
    }
    int32_t APPENDMENUITEM(int32_t position, int32_t flags, const std::string& text,
                           MenuRoutine) override {
        return record("APPENDMENUITEM", {position, flags}, 1, text);
    }
    int32_t OPENUSER(int32_t unit, const std::string& title) override {
        return record("OPENUSER", {unit}, openResult, title);
    }
    void CLOSEUNIT(int32_t unit) override { record("CLOSEUNIT", {unit}, 0); }
    bool SETWINDOWCONFIG(WindowConfig& config) override {
        configRequests.push_back(config);
        const bool granted = take(windowConfigResults, true);
        if (!granted) {
            config.numxpixels = adjustedWidth;
            config.numypixels = adjustedHeight;
        }
        record("SETWINDOWCONFIG", {config.numxpixels, config.numypixels, granted ? 1 : 0}, 0);
        return granted;
    }
    bool GETWINDOWCONFIG(WindowConfig& config) override {
        record("GETWINDOWCONFIG", {}, 0);
        config = WindowConfig{};
        return true;
    }
    int32_t MENUCOMMAND(int32_t command) override { return record("MENUCOMMAND", {command}, 0); }
    int32_t SETACTIVEUNIT(int32_t unit) override {
        return record("SETACTIVEUNIT", {unit}, take(activeUnitResults, 1));
    }
    int32_t FOCUSQQ(int32_t unit) override {
        return record("FOCUSQQ", {unit}, take(focusResults, 0));
    }
    void showAbout() override { record("showAbout", {}, 0); }
    int32_t runDialog(Dialog&) override { return -1; }

    // --- Drawing state and primitives -------------------------------------------------------
    void CLEARSCREEN(int32_t area) override {
        record("CLEARSCREEN", {area}, 0);
        pixels.clear();
        segments.clear();
    }
    int32_t SETCOLORRGB(int32_t c) override {
        const int32_t previous = colour;
        colour = c;
        return record("SETCOLORRGB", {c}, previous);
    }
    int32_t SETBKCOLORRGB(int32_t c) override {
        const int32_t previous = background;
        background = c;
        return record("SETBKCOLORRGB", {c}, previous);
    }
    int32_t SETTEXTCOLORRGB(int32_t c) override {
        const int32_t previous = textColour;
        textColour = c;
        return record("SETTEXTCOLORRGB", {c}, previous);
    }
    void SETLINESTYLE(uint16_t mask) override {
        lineStyle = mask;
        record("SETLINESTYLE", {mask}, 0);
    }
    void MOVETO(int16_t x, int16_t y, XYCoord& previous) override {
        previous.xcoord = static_cast<int16_t>(penX);
        previous.ycoord = static_cast<int16_t>(penY);
        penX = x;
        penY = y;
        record("MOVETO", {x, y}, 0);
    }
    int16_t LINETO(int16_t x, int16_t y) override {
        segments.push_back({penX, penY, x, y, colour, lineStyle});
        penX = x;
        penY = y;
        return static_cast<int16_t>(record("LINETO", {x, y}, 1));
    }
    int32_t SETPIXELRGB(int16_t x, int16_t y, int32_t c) override {
        record("SETPIXELRGB", {x, y, c}, 0);
        const auto key = std::make_pair(int{x}, int{y});
        const auto found = pixels.find(key);
        const int32_t previous = found == pixels.end() ? background : found->second;
        pixels[key] = c;
        return previous;
    }
    int16_t RECTANGLE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) override {
        return static_cast<int16_t>(record("RECTANGLE", {control, x1, y1, x2, y2}, 1));
    }
    int16_t ELLIPSE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) override {
        return static_cast<int16_t>(record("ELLIPSE", {control, x1, y1, x2, y2}, 1));
    }
    int16_t POLYGON(int16_t control, const XYCoord*, int16_t count) override {
        return static_cast<int16_t>(record("POLYGON", {control, count}, 1));
    }
    int32_t IMAGESIZE(int16_t x1, int16_t y1, int16_t x2, int16_t y2) override {
        return record("IMAGESIZE", {x1, y1, x2, y2}, 0);
    }
    void GETIMAGE(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t*) override {
        record("GETIMAGE", {x1, y1, x2, y2}, 0);
    }
    void PUTIMAGE(int16_t x, int16_t y, const uint8_t*, int16_t action) override {
        record("PUTIMAGE", {x, y, action}, 0);
    }
    int16_t INITIALIZEFONTS() override {
        return static_cast<int16_t>(record("INITIALIZEFONTS", {}, 1));
    }
    int16_t SETFONT(const std::string& options) override {
        const int16_t result = take(fontResults, int16_t{1});
        if (result != -1) font = options;
        return static_cast<int16_t>(record("SETFONT", {}, result, options));
    }
    void SETGTEXTROTATION(int32_t tenths) override {
        rotation = tenths;
        record("SETGTEXTROTATION", {tenths}, 0);
    }
    void OUTGTEXT(const std::string& text) override {
        // The colour and rotation the text is drawn with travel along as arguments.
        record("OUTGTEXT", {penX, penY, colour, rotation}, 0, text);
    }

    // --- Input, sound and time --------------------------------------------------------------
    int32_t REGISTERMOUSEEVENTQQ(int32_t unit, int32_t events, MouseRoutine) override {
        return record("REGISTERMOUSEEVENTQQ", {unit, events}, 0);
    }
    void BEEPTONE(int32_t frequency, int32_t durationMs) override {
        record("BEEPTONE", {frequency, durationMs}, 0);
    }
    void SLEEPMS(int32_t ms) override { record("SLEEPMS", {ms}, 0); }
    void READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) override {
        year = 2024;
        month = 1;
        day = 1;
        record("READLOCALDATE", {}, 0);
    }
    void READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second,
                       int32_t& hundredths) override {
        hour = minute = second = hundredths = 0;
        record("READLOCALTIME", {}, 0);
    }
    double CLOCKSECONDS() override {
        record("CLOCKSECONDS", {}, 0);
        return 0.0;
    }

    // --- Program control --------------------------------------------------------------------
    uint32_t inputSequence() const override { return 0; }
    void waitInput(uint32_t) override { record("waitInput", {}, 0); }
    [[noreturn]] void orderlyStop(int status) override { throw ProgramExit{status, ""}; }
    [[noreturn]] void fatalStop(const std::string& messageUtf8) override {
        throw ProgramExit{1, messageUtf8};
    }

  private:
    int32_t record(const char* name, std::vector<int64_t> args, int32_t result,
                   std::string text = {}) {
        if (calls.size() >= callLimit) throw std::length_error("more calls than the test allows");
        calls.push_back({name, std::move(args), std::move(text)});
        return result;
    }
    template <typename T>
    static T take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        const T value = queue.front();
        queue.pop_front();
        return value;
    }
};

}  // namespace trelvan::plottest
