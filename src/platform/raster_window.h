// SPDX-License-Identifier: GPL-3.0-or-later
// The drawing half of the window services, shared by the desktop and the headless services:
// one graphics window (unit 1) whose surface is a Raster, the drawing state, fonts, memory
// images and the records of the frame (about text, menu items, placement).
#pragma once

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/graphics_window.h"
#include "platform/raster.h"
#include "platform/text_renderer.h"

namespace trelvan {

// A rectangle of surface pixels, both corners included; empty when left > right.
struct SurfaceRect {
    int left = 0, top = 0, right = -1, bottom = -1;
    bool empty() const { return left > right || top > bottom; }
    void add(const SurfaceRect& other) {
        if (other.empty()) return;
        if (empty()) {
            *this = other;
            return;
        }
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
    }
};

struct MenuItem {
    std::string text;  // Windows-1251
    MenuRoutine routine = nullptr;
    std::string keyboardQuestion;  // UTF-8; asked before a choice from the keyboard
};

class RasterWindow : public GraphicsWindow {
  public:
    RasterWindow();
    ~RasterWindow() override;

    // Frame records; the desktop services apply them to real windows.
    int32_t SETEXITMODE(int32_t mode) override;
    int32_t SETABOUTTEXT(const std::string& text) override;
    int32_t SETWSIZEQQ(int32_t unit, const FramePlacement& placement) override;
    int32_t APPENDMENUITEM(int32_t position, int32_t flags, const std::string& text,
                           MenuRoutine routine) override;
    void confirmFromKeyboard(int32_t position, const std::string& questionUtf8) override;
    int32_t OPENUSER(int32_t unit, const std::string& title) override;
    void CLOSEUNIT(int32_t unit) override;
    bool SETWINDOWCONFIG(WindowConfig& config) override;
    bool GETWINDOWCONFIG(WindowConfig& config) override;
    int32_t MENUCOMMAND(int32_t command) override;
    int32_t SETACTIVEUNIT(int32_t unit) override;
    int32_t FOCUSQQ(int32_t unit) override;

    void CLEARSCREEN(int32_t area) override;
    // The drawing state: called for every shape of a chart, so defined here.
    int32_t SETCOLORRGB(int32_t colour) override {
        const auto previous = static_cast<int32_t>(colour_);
        colour_ = static_cast<uint32_t>(colour) & 0xFFFFFF;
        return previous;
    }
    int32_t SETBKCOLORRGB(int32_t colour) override;
    int32_t SETTEXTCOLORRGB(int32_t colour) override {
        const auto previous = static_cast<int32_t>(textColour_);
        textColour_ = static_cast<uint32_t>(colour) & 0xFFFFFF;
        return previous;
    }
    void SETLINESTYLE(uint16_t mask) override;
    void MOVETO(int16_t x, int16_t y, XYCoord& previous) override {
        previous.xcoord = static_cast<int16_t>(curX_);
        previous.ycoord = static_cast<int16_t>(curY_);
        curX_ = x;
        curY_ = y;
    }
    int16_t LINETO(int16_t x, int16_t y) override;
    void drawShapes(const PenShape* shapes, size_t count) override;
    int32_t SETPIXELRGB(int16_t x, int16_t y, int32_t colour) override;
    int16_t RECTANGLE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) override;
    int16_t ELLIPSE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) override;
    int16_t POLYGON(int16_t control, const XYCoord* points, int16_t count) override;
    int32_t IMAGESIZE(int16_t x1, int16_t y1, int16_t x2, int16_t y2) override;
    void GETIMAGE(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t* buffer) override;
    void PUTIMAGE(int16_t x, int16_t y, const uint8_t* buffer, int16_t action) override;
    int16_t INITIALIZEFONTS() override;
    int16_t SETFONT(const std::string& options) override;
    void SETGTEXTROTATION(int32_t tenthsOfDegree) override;
    void OUTGTEXT(const std::string& text) override;

    int32_t REGISTERMOUSEEVENTQQ(int32_t unit, int32_t events, MouseRoutine routine) override;
    void registerKeyRoutine(KeyRoutine routine) override { keyRoutine_ = routine; }

    uint32_t inputSequence() const override { return inputSeq_.load(); }
    PictureMark markPicture() override { return PictureMark{surfaceVersion(), CLOCKSECONDS()}; }

    // --- For the implementations and the tests ----------------------------------------
    // Copy of the surface (empty raster 0 x 0 when no window is open).
    Raster snapshot() const;
    bool unitOpen() const { return unitOpen_; }
    std::string aboutText() const;
    std::vector<MenuItem> menuItems() const;
    FramePlacement framePlacement() const;
    int32_t exitMode() const { return exitMode_; }
    std::string windowTitle() const;
    bool tiled() const { return tiled_; }
    // Delivers one mouse event to the registered routine (when its event bit is registered)
    // and wakes a waiting program thread.
    void deliverMouse(int32_t event, int32_t keystate, int32_t x, int32_t y);
    // Delivers one key event to the registered key routine and wakes a waiting program thread.
    void deliverKey(Key key, bool pressed, bool autoRepeat);
    // Chooses the menu item at the position (1-based) and wakes a waiting program thread.
    void chooseMenu(int position);
    // Largest surface the services grant; requests above it are cut down.
    void setMaximumSurface(int width, int height) { maxWidth_ = width, maxHeight_ = height; }
    void setBitsPerPixel(int bits) { bitsPerPixel_ = bits; }
    void setTextRenderer(TextRenderer* renderer) { textRenderer_ = renderer; }
    // With deferred drawing, solid lines and filled ellipses are gathered and drawn together
    // (Raster::drawLastWins) just before anything else draws on or reads the surface: the
    // surface then shows the end result, never the steps between. For pictures that are only
    // looked at when finished, such as the report's chart. Switching it off draws what is
    // gathered. While it is on, the thread that switched it on must be the only one that draws
    // on or reads the surface (the shapes are gathered without the drawing lock); the desktop
    // services, whose input thread paints the surface, never use it.
    void setDeferredDrawing(bool on);

  protected:
    // Called after every change of the surface (outside the lock); the desktop services
    // schedule a repaint.
    virtual void surfaceChanged() {}
    // Called when a unit's window is opened, closed or resized.
    virtual void windowChanged() {}
    // Called for every drawing operation before it runs (the headless services count them).
    virtual void beforeDrawing() {}
    // Called once for a run of that many drawing operations gathered together, before them.
    virtual void beforeDrawingRun(size_t count) {
        for (size_t i = 0; i < count; ++i) beforeDrawing();
    }
    // Called after every input event has been handled and counted, on the thread that
    // delivered it (the headless services wake a wait that is blocked on their script).
    virtual void inputDelivered() {}

    // Runs f(const Raster&) on the surface under the drawing lock, as one operation; returns
    // false (and does not call f) when there is no surface yet. f copies what it needs and
    // must not call back into the services.
    template <class F>
    bool withSurface(F&& f) const {
        std::lock_guard lock(surfaceMutex_);
        if (!surface_) return false;
        drawDeferred();
        f(static_cast<const Raster&>(*surface_));
        return true;
    }
    // The number of drawing operations that changed the surface so far; read it inside
    // withSurface to know which of them a copy holds.
    uint64_t surfaceVersion() const { return surfaceVersion_.load(); }
    // The part of the surface changed since the last call (clipped to the surface), and
    // the surface version it reaches.
    SurfaceRect takeChanged(uint64_t* version = nullptr);
    // Blocks the calling thread until inputSequence() differs from seen.
    void blockUntilInput(uint32_t seen) const { inputSeq_.wait(seen); }
    // The drawing state as the program set it last.
    XYCoord penPosition() const {
        return XYCoord{static_cast<int16_t>(curX_), static_cast<int16_t>(curY_)};
    }
    int32_t colour() const { return static_cast<int32_t>(colour_); }
    int rotation() const { return rotation_; }
    bool hasTextRenderer() const { return textRenderer_ != nullptr; }

  private:
    // Runs f on the surface as one drawing operation that may change the pixels of area.
    template <class F>
    void draw(const SurfaceRect& area, F&& f);
    // Gathers a shape with deferred drawing, draws it at once otherwise.
    void drawShape(const RasterShape& shape);
    // Adds a shape to the deferred batch (deferred drawing on, surfaceMutex_ not held).
    void gather(const RasterShape& shape);
    // That many more operations changed the surface; surfaceMutex_ held, or shapes deferred.
    void bumpSurfaceVersion(uint64_t operations = 1);
    // Draws the gathered shapes; surfaceMutex_ held.
    void drawDeferred() const;
    void bumpInput();

    // The surface is shared by the program thread, which draws, and the input thread, which
    // paints it: every access holds surfaceMutex_ for one operation.
    mutable std::mutex surfaceMutex_;
    std::unique_ptr<Raster> surface_;
    std::atomic<uint64_t> surfaceVersion_{0};
    SurfaceRect changed_;  // under surfaceMutex_
    // The area of the shapes gathered by deferred drawing that changed_ has not taken in yet
    // (its sides start beyond each other, as an empty area's): that of the shapes drawn or
    // asked for since, and of the gathered shapes from boundedShapes_ on, which are taken
    // in when the batch is drawn or the changed area is asked for.
    static constexpr SurfaceRect kNothingGathered{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    mutable SurfaceRect gathered_ = kNothingGathered;
    mutable size_t boundedShapes_ = 0;
    // Takes the gathered shapes not yet taken into gathered_ in.
    void boundGathered() const;
    // Deferred drawing: whether it is on, the shapes gathered, and the one thread that draws
    // meanwhile. Changed under surfaceMutex_; while it is on only that thread touches them.
    bool deferring_ = false;
    // The first deferredCount_ of the slots of deferred_ (a batch's room, made when deferred
    // drawing is first switched on) hold the shapes gathered.
    mutable std::vector<RasterShape> deferred_;
    mutable size_t deferredCount_ = 0;
    std::thread::id deferringThread_;
    std::atomic<bool> unitOpen_{false};
    std::atomic<bool> tiled_{false};
    std::atomic<uint32_t> inputSeq_{0};
    std::atomic<int32_t> exitMode_{0};
    std::atomic<MouseRoutine> mouseRoutine_{nullptr};
    std::atomic<int32_t> mouseEvents_{0};
    std::atomic<KeyRoutine> keyRoutine_{nullptr};
    TextRenderer* textRenderer_ = nullptr;
    int maxWidth_ = 4096;
    int maxHeight_ = 4096;
    int bitsPerPixel_ = 32;

    mutable std::mutex frameMutex_;
    std::string aboutText_;
    std::string title_;
    std::vector<MenuItem> menu_;
    FramePlacement placement_{4, 50, 50, 400, 650};

    // The program thread's drawing state.
    uint32_t colour_ = 0xFFFFFF;
    uint32_t bkColour_ = 0;
    uint32_t textColour_ = 0xFFFFFF;
    uint16_t lineStyle_ = 0xFFFF;
    int rotation_ = 0;
    int curX_ = 0;
    int curY_ = 0;
    bool fontsReady_ = false;
    bool fontSelected_ = false;
};

}  // namespace trelvan
