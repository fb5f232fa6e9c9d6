// SPDX-License-Identifier: GPL-3.0-or-later
// Window, drawing, input, sound and time services.
//
// Everything the program shows, hears and reads from the user goes through this interface.
// Two implementations exist: the desktop one (Qt, src/platform/qt) and a headless one over the
// same raster core with a virtual clock (headless_window.h), used by the tests and by the
// report command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace trelvan {

struct Dialog;

// 16-bit point as the drawing operations take it (x, then y).
struct XYCoord {
    int16_t xcoord = 0;
    int16_t ycoord = 0;
};

// Placement record of SETWSIZEQQ.
struct FramePlacement {
    int16_t type = 4;  // 4: set position and size
    int16_t x = 0;
    int16_t y = 0;
    int16_t height = 0;
    int16_t width = 0;
};

// Window configuration record of SETWINDOWCONFIG / GETWINDOWCONFIG.
struct WindowConfig {
    int16_t numxpixels = -1;
    int16_t numypixels = -1;
    int16_t numtextcols = -1;
    int16_t numtextrows = -1;
    int16_t numcolors = -1;
    int32_t fontsize = -1;
    std::string title;  // at most 80 characters, Windows-1251
    int16_t bitsperpixel = -1;
};

// Unit number that selects the frame window in SETWSIZEQQ.
inline constexpr int32_t kFrameUnit = INT32_MIN;

// Mouse event bits.
inline constexpr int32_t MOUSE_LBUTTONDOWN = 1;
inline constexpr int32_t MOUSE_LBUTTONUP = 2;
inline constexpr int32_t MOUSE_LBUTTONDBLCLK = 4;
inline constexpr int32_t MOUSE_RBUTTONDOWN = 8;
inline constexpr int32_t MOUSE_RBUTTONUP = 16;
inline constexpr int32_t MOUSE_RBUTTONDBLCLK = 32;
inline constexpr int32_t MOUSE_MOVE = 64;
// Key-state bits passed to the mouse routine.
inline constexpr int32_t MOUSE_KS_LBUTTON = 1;
inline constexpr int32_t MOUSE_KS_RBUTTON = 2;
inline constexpr int32_t MOUSE_KS_SHIFT = 4;
inline constexpr int32_t MOUSE_KS_CONTROL = 8;
inline constexpr int32_t MOUSE_KS_MBUTTON = 16;

// Fill controls of RECTANGLE, ELLIPSE and POLYGON.
inline constexpr int16_t GBORDER = 2;
inline constexpr int16_t GFILLINTERIOR = 3;
// PUTIMAGE action that replaces the window's pixels.
inline constexpr int16_t GPSET = 3;
// CLEARSCREEN area: the whole window.
inline constexpr int32_t GCLEARSCREEN = 0;

// What the system reports for the screen that shows the frame.
struct ScreenReport {
    int32_t pixelsX = 0;  // resolution in device pixels; 0 when unknown
    int32_t pixelsY = 0;
    double widthMm = 0;  // physical size as reported; 0 when not reported
    double heightMm = 0;
};

// A ruler measurement: a bar of barPixels device pixels measured millimetres long.
struct RulerReading {
    int32_t barPixels = 0;
    double millimetres = 0;
};

using MouseRoutine = void (*)(int32_t unit, int32_t event, int32_t keystate, int32_t x, int32_t y);

// The keys the program answers to; other keys never reach it.
// The eye keys: П, Л, О (and the Latin keys in their places, G, K, J) or 1, 2, 3 for the right
// eye, the left eye and both; eyeNext is the status bar's eye button (the next of both, right,
// left).
enum class Key : int32_t {
    left = 1,
    right,
    escape,
    space,
    enter,
    eyeRight,
    eyeLeft,
    eyeBoth,
    eyeNext
};
// Called on the input thread for every press and release of one of those keys. A press that
// the system repeats while the key is held comes with autoRepeat set (its releases too).
using KeyRoutine = void (*)(Key key, bool pressed, bool autoRepeat);
using MenuRoutine = void (*)(bool checked);

// Shows the about box; given to APPENDMENUITEM as the routine of an item.
void WINABOUT(bool checked);

// The services fall into four groups; GraphicsWindow is all of them, and the program reaches
// every operation through gw().

// Frame, windows and menus; the about box, messages, the dialog and the screen.
class FrameServices {
  public:
    virtual ~FrameServices() = default;

    virtual int32_t SETEXITMODE(int32_t mode) = 0;
    virtual int32_t SETABOUTTEXT(const std::string& text) = 0;
    virtual int32_t SETWSIZEQQ(int32_t unit, const FramePlacement& placement) = 0;
    virtual int32_t APPENDMENUITEM(int32_t position, int32_t flags, const std::string& text,
                                   MenuRoutine routine) = 0;
    // Opens unit as a graphics child window ("USER") with the title; it becomes active.
    virtual int32_t OPENUSER(int32_t unit, const std::string& title) = 0;
    virtual void CLOSEUNIT(int32_t unit) = 0;
    virtual bool SETWINDOWCONFIG(WindowConfig& config) = 0;
    virtual bool GETWINDOWCONFIG(WindowConfig& config) = 0;
    virtual int32_t MENUCOMMAND(int32_t command) = 0;
    virtual int32_t SETACTIVEUNIT(int32_t unit) = 0;
    virtual int32_t FOCUSQQ(int32_t unit) = 0;
    virtual void showAbout() = 0;
    // Shows a message to the user and returns when it has been acknowledged (the program
    // goes on). The message is UTF-8.
    virtual void showMessage(const std::string& messageUtf8) { (void)messageUtf8; }
    // Asks whether to try again what has just failed (the message, UTF-8, says what and why):
    // true for "Повторить", false for "Отмена". Returns when the user has answered.
    virtual bool askRetry(const std::string& messageUtf8) {
        (void)messageUtf8;
        return false;
    }
    // Shows the dialog modally; returns when a callback has closed it (-1: not shown).
    virtual int32_t runDialog(Dialog& dialog) = 0;
    // The screen that shows the frame, as the system reports it.
    virtual ScreenReport screenReport() { return {}; }
    // Called from a dialog callback: shows, modally over the dialog, a horizontal bar of a
    // known number of device pixels drawn 1:1 and asks for its length measured with a ruler,
    // or (the shorter measure) the outline of a bank card of 85.60 mm the user matches to a
    // card; either way a length in device pixels and in millimetres. Nothing when the user
    // cancels.
    virtual std::optional<RulerReading> measureWithRuler() { return std::nullopt; }
    // Shows the text (UTF-8, one line) in the frame's status bar, below the graphics window;
    // an empty text clears it. Called from the program thread; returns at once.
    virtual void setStatusText(const std::string& utf8) { (void)utf8; }
    // The menu item at position (1-based), chosen from the keyboard rather than with the
    // mouse, first asks the question (UTF-8) and runs only when the user confirms it. For an
    // item that cannot be undone, which the menu bar's keyboard navigation may have
    // highlighted by itself.
    virtual void confirmFromKeyboard(int32_t position, const std::string& questionUtf8) {
        (void)position, (void)questionUtf8;
    }
};

// A line or a filled ellipse of drawShapes. A line runs from (x1, y1) to (x2, y2) in the line
// style in force; an ellipse is inscribed in the box with those corners. The colour is an RGB
// integer as SETCOLORRGB takes it.
struct PenShape {
    enum class Kind : uint8_t { line, filledEllipse };
    Kind kind = Kind::line;
    int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int32_t colour = 0;
};
// The last line among the shapes; nullptr when there is none.
inline const PenShape* lastLine(const PenShape* shapes, size_t count) {
    for (size_t i = count; i-- > 0;)
        if (shapes[i].kind == PenShape::Kind::line) return &shapes[i];
    return nullptr;
}

// Drawing state and primitives; they act on the active graphics window.
class DrawingServices {
  public:
    virtual ~DrawingServices() = default;

    // The shapes in their order, each as SETCOLORRGB(colour) followed by MOVETO(x1, y1) and
    // LINETO(x2, y2), or by ELLIPSE(GFILLINTERIOR, x1, y1, x2, y2): the same pixels and the same
    // colour and pen position afterwards. Services that gather shapes take a whole series of
    // them in one call.
    virtual void drawShapes(const PenShape* shapes, size_t count);

    virtual void CLEARSCREEN(int32_t area) = 0;
    virtual int32_t SETCOLORRGB(int32_t colour) = 0;
    virtual int32_t SETBKCOLORRGB(int32_t colour) = 0;
    virtual int32_t SETTEXTCOLORRGB(int32_t colour) = 0;
    virtual void SETLINESTYLE(uint16_t mask) = 0;
    virtual void MOVETO(int16_t x, int16_t y, XYCoord& previous) = 0;
    virtual int16_t LINETO(int16_t x, int16_t y) = 0;
    virtual int32_t SETPIXELRGB(int16_t x, int16_t y, int32_t colour) = 0;
    virtual int16_t RECTANGLE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) = 0;
    virtual int16_t ELLIPSE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) = 0;
    virtual int16_t POLYGON(int16_t control, const XYCoord* points, int16_t count) = 0;
    virtual int32_t IMAGESIZE(int16_t x1, int16_t y1, int16_t x2, int16_t y2) = 0;
    virtual void GETIMAGE(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t* buffer) = 0;
    virtual void PUTIMAGE(int16_t x, int16_t y, const uint8_t* buffer, int16_t action) = 0;
    virtual int16_t INITIALIZEFONTS() = 0;
    virtual int16_t SETFONT(const std::string& options) = 0;
    virtual void SETGTEXTROTATION(int32_t tenthsOfDegree) = 0;
    virtual void OUTGTEXT(const std::string& text) = 0;
};

// The mouse routine and the program thread's waits for input.
class InputServices {
  public:
    virtual ~InputServices() = default;

    virtual int32_t REGISTERMOUSEEVENTQQ(int32_t unit, int32_t events, MouseRoutine routine) = 0;
    // From now on the keys of Key pressed or released while the graphics window has the
    // keyboard call the routine on the input thread, and wake a waiting program thread.
    virtual void registerKeyRoutine(KeyRoutine routine) { (void)routine; }
    // Number of input callbacks (mouse, key or menu) delivered so far. A waiting program thread
    // reads it, tests its condition, and calls waitInput with the value it read.
    virtual uint32_t inputSequence() const = 0;
    // Blocks the calling (program) thread until inputSequence() differs from seen, without
    // burning CPU. The headless implementation delivers the next scripted event instead.
    virtual void waitInput(uint32_t seen) = 0;
};

// What the services know of a picture the user is to answer, taken when it has been drawn.
struct PictureMark {
    uint64_t drawn = 0;      // the services' count of drawing operations so far
    double requested = 0.0;  // CLOCKSECONDS() when the mark was taken
};

// Sound and time.
class ToneAndClock {
  public:
    virtual ~ToneAndClock() = default;

    virtual void BEEPTONE(int32_t frequency, int32_t durationMs) = 0;
    virtual void SLEEPMS(int32_t ms) = 0;
    virtual void READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) = 0;
    virtual void READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second,
                               int32_t& hundredths) = 0;
    virtual double CLOCKSECONDS() = 0;
    // Whether tones can be heard: false when no sound server or output device can be
    // reached (BEEPTONE then only waits the tone's duration).
    virtual bool soundOutputAvailable() { return true; }
    // Answer times. markPicture() is taken when the picture to be answered has been drawn;
    // answerSeconds(mark), once the answering button press has been seen, gives the seconds
    // from the moment that picture was handed to the screen to the moment of the press.
    // Services that know neither moment count from the mark to the call, on CLOCKSECONDS.
    virtual PictureMark markPicture() { return PictureMark{0, CLOCKSECONDS()}; }
    virtual double answerSeconds(const PictureMark& mark) {
        return CLOCKSECONDS() - mark.requested;
    }
};

class GraphicsWindow : public FrameServices,
                       public DrawingServices,
                       public InputServices,
                       public ToneAndClock {
  public:
    // --- Program control --------------------------------------------------------------
    // Orderly end of the program: the windows close at once and the process ends with the
    // status. Called on the program thread it unwinds it (ProgramExit); called on the input
    // thread it ends the process.
    [[noreturn]] virtual void orderlyStop(int status) = 0;
    // A start-up failure or a programming error: shows the message to the user, then ends
    // the program with a non-zero status. The message is UTF-8.
    [[noreturn]] virtual void fatalStop(const std::string& messageUtf8) = 0;
};

// The services the program runs on; set once at start.
GraphicsWindow& gw();
void setGraphicsWindow(GraphicsWindow* window);

// Thrown on the program thread to end it (orderly stop or fatal stop).
struct ProgramExit {
    int status = 0;
    std::string message;  // empty for an orderly stop
};

// The program's ways out, for callers that need the compiler to know they do not return.
[[noreturn]] void stopProgram(int status);
[[noreturn]] void stopWithMessage(const std::string& messageUtf8);

// Index check of the fixed tables: stops the program with a message naming the table, the
// subscript (its 1-based position among the table's subscripts) and the violated bound when
// index lies outside lo..hi.
// The test is inline: the plotting library makes it several times for every point it draws.
[[noreturn]] void indexOutOfBounds(const char* table, int64_t index, int64_t lo, int64_t hi,
                                   int subscript);
inline void checkIndex(const char* table, int64_t index, int64_t lo, int64_t hi,
                       int subscript = 1) {
    if (index < lo || index > hi) [[unlikely]]
        indexOutOfBounds(table, index, lo, hi, subscript);
}

}  // namespace trelvan
