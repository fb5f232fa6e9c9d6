// SPDX-License-Identifier: GPL-3.0-or-later
// A window that does nothing: every operation succeeds without effect. Tests derive from it and
// override what they watch. Both ways of stopping throw ProgramExit, so a test can catch a stop.
#pragma once

#include <string>

#include "platform/graphics_window.h"

namespace trelvan::fakes {

class NullWindow : public GraphicsWindow {
  public:
    int32_t SETEXITMODE(int32_t) override { return 0; }
    int32_t SETABOUTTEXT(const std::string&) override { return 0; }
    int32_t SETWSIZEQQ(int32_t, const FramePlacement&) override { return 1; }
    int32_t APPENDMENUITEM(int32_t, int32_t, const std::string&, MenuRoutine) override { return 1; }
    int32_t OPENUSER(int32_t, const std::string&) override { return 0; }
    void CLOSEUNIT(int32_t) override {}
    bool SETWINDOWCONFIG(WindowConfig&) override { return true; }
    bool GETWINDOWCONFIG(WindowConfig&) override { return true; }
    int32_t MENUCOMMAND(int32_t) override { return 0; }
    int32_t SETACTIVEUNIT(int32_t) override { return 0; }
    int32_t FOCUSQQ(int32_t) override { return 0; }
    void showAbout() override {}
    int32_t runDialog(Dialog&) override { return -1; }

    void CLEARSCREEN(int32_t) override {}
    int32_t SETCOLORRGB(int32_t) override { return 0; }
    int32_t SETBKCOLORRGB(int32_t) override { return 0; }
    int32_t SETTEXTCOLORRGB(int32_t) override { return 0; }
    void SETLINESTYLE(uint16_t) override {}
    void MOVETO(int16_t, int16_t, XYCoord&) override {}
    int16_t LINETO(int16_t, int16_t) override { return 1; }
    int32_t SETPIXELRGB(int16_t, int16_t, int32_t) override { return 0; }
    int16_t RECTANGLE(int16_t, int16_t, int16_t, int16_t, int16_t) override { return 1; }
    int16_t ELLIPSE(int16_t, int16_t, int16_t, int16_t, int16_t) override { return 1; }
    int16_t POLYGON(int16_t, const XYCoord*, int16_t) override { return 1; }
    int32_t IMAGESIZE(int16_t, int16_t, int16_t, int16_t) override { return 0; }
    void GETIMAGE(int16_t, int16_t, int16_t, int16_t, uint8_t*) override {}
    void PUTIMAGE(int16_t, int16_t, const uint8_t*, int16_t) override {}
    int16_t INITIALIZEFONTS() override { return 1; }
    int16_t SETFONT(const std::string&) override { return 0; }
    void SETGTEXTROTATION(int32_t) override {}
    void OUTGTEXT(const std::string&) override {}

    int32_t REGISTERMOUSEEVENTQQ(int32_t, int32_t, MouseRoutine) override { return 0; }

    void BEEPTONE(int32_t, int32_t) override {}
    void SLEEPMS(int32_t) override {}
    void READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) override {
        year = 2000;
        month = 1;
        day = 1;
    }
    void READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second,
                       int32_t& hundredths) override {
        hour = minute = second = hundredths = 0;
    }
    double CLOCKSECONDS() override { return 0.0; }

    uint32_t inputSequence() const override { return 0; }
    void waitInput(uint32_t) override { throw ProgramExit{99, "waited for input in a test"}; }
    [[noreturn]] void orderlyStop(int status) override { throw ProgramExit{status, ""}; }
    [[noreturn]] void fatalStop(const std::string& messageUtf8) override {
        throw ProgramExit{1, messageUtf8};
    }
};

// Installs a window for the lifetime of the guard and removes it afterwards.
class WindowGuard {
  public:
    explicit WindowGuard(GraphicsWindow& window) { setGraphicsWindow(&window); }
    ~WindowGuard() { setGraphicsWindow(nullptr); }
    WindowGuard(const WindowGuard&) = delete;
    WindowGuard& operator=(const WindowGuard&) = delete;
};

}  // namespace trelvan::fakes
