// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/raster_window.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstdint>

namespace trelvan {

RasterWindow::RasterWindow() = default;
RasterWindow::~RasterWindow() = default;

namespace {

constexpr SurfaceRect kWholeSurface{INT16_MIN, INT16_MIN, INT32_MAX, INT32_MAX};

// Shapes gathered by deferred drawing before they are drawn anyway: enough for thousands of
// journal entries, few enough to keep the memory small.
constexpr size_t kMaxDeferredShapes = size_t{1} << 15;

SurfaceRect boxOf(int x1, int y1, int x2, int y2) {
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

}  // namespace

template <class F>
void RasterWindow::draw(const SurfaceRect& area, F&& f) {
    beforeDrawing();
    {
        std::lock_guard lock(surfaceMutex_);
        if (!surface_ || !unitOpen_) return;
        drawDeferred();
        f(*surface_);
        changed_.add(area);
        bumpSurfaceVersion();
    }
    surfaceChanged();
}

void RasterWindow::bumpSurfaceVersion(uint64_t operations) {
    // Only ever changed under surfaceMutex_, or by the one thread that draws while shapes are
    // deferred: no read-modify-write needed.
    surfaceVersion_.store(surfaceVersion_.load(std::memory_order_relaxed) + operations,
                          std::memory_order_release);
}

// Adds a shape to the batch, its area taken in later (boundGathered); a full batch is drawn.
[[gnu::always_inline]] inline void RasterWindow::gather(const RasterShape& shape) {
    deferred_[deferredCount_++] = shape;
    if (deferredCount_ == kMaxDeferredShapes) [[unlikely]] {
        [this]() __attribute__((noinline)) {
            std::lock_guard lock(surfaceMutex_);
            drawDeferred();
        }
        ();
    }
}

// Taken into LINETO and ELLIPSE, which a chart calls for every line and dot: gathering a shape
// is then a few stores, and drawing one at once or drawing a full batch stays out of line.
[[gnu::always_inline]] inline void RasterWindow::drawShape(const RasterShape& shape) {
    beforeDrawing();
    if (deferring_) [[likely]] {
        // Only this thread draws on or reads the surface while shapes are deferred: they are
        // gathered without the lock, which is taken once per batch (drawDeferred's callers).
        assert(std::this_thread::get_id() == deferringThread_);
        if (!surface_ || !unitOpen_) return;
        gather(shape);
        bumpSurfaceVersion();
        surfaceChanged();
        return;
    }
    [this](const RasterShape& now) __attribute__((noinline)) {
        const SurfaceRect area = boxOf(now.x1, now.y1, now.x2, now.y2);
        {
            std::lock_guard lock(surfaceMutex_);
            if (!surface_ || !unitOpen_) return;
            if (now.kind == RasterShape::Kind::filledEllipse) {
                surface_->fillEllipse(now.x1, now.y1, now.x2, now.y2, now.colour);
            } else {
                surface_->line(now.x1, now.y1, now.x2, now.y2, now.colour, 0xFFFF);
            }
            changed_.add(area);
            bumpSurfaceVersion();
        }
        surfaceChanged();
    }
    (shape);
}

void RasterWindow::boundGathered() const {
    // The least and greatest x and y of the shapes' ends.
    int left = gathered_.left, top = gathered_.top, right = gathered_.right,
        bottom = gathered_.bottom;
    const RasterShape* const end = deferred_.data() + deferredCount_;
    for (const RasterShape* shape = deferred_.data() + boundedShapes_; shape != end; ++shape) {
        const auto [xLow, xHigh] = std::minmax(shape->x1, shape->x2);
        const auto [yLow, yHigh] = std::minmax(shape->y1, shape->y2);
        left = std::min(left, xLow);
        right = std::max(right, xHigh);
        top = std::min(top, yLow);
        bottom = std::max(bottom, yHigh);
    }
    gathered_ = SurfaceRect{left, top, right, bottom};
    boundedShapes_ = deferredCount_;
}

void RasterWindow::drawDeferred() const {
    if (deferredCount_ == 0) return;
    if (surface_ && boundedShapes_ == 0) {
        // The batch's area is worked out as it is drawn, where the shapes of one place are
        // passed over.
        Raster::Bounds bounds{gathered_.left, gathered_.top, gathered_.right, gathered_.bottom};
        surface_->drawLastWins(deferred_.data(), deferredCount_, &bounds);
        gathered_ = SurfaceRect{bounds.left, bounds.top, bounds.right, bounds.bottom};
    } else {
        boundGathered();
        if (surface_) surface_->drawLastWins(deferred_.data(), deferredCount_);
    }
    deferredCount_ = 0;
    boundedShapes_ = 0;
}

void RasterWindow::setDeferredDrawing(bool on) {
    std::lock_guard lock(surfaceMutex_);
    deferring_ = on;
    deferringThread_ = std::this_thread::get_id();
    drawDeferred();
    // The room of a whole batch, taken once.
    if (on && deferred_.size() < kMaxDeferredShapes) deferred_.resize(kMaxDeferredShapes);
}

SurfaceRect RasterWindow::takeChanged(uint64_t* version) {
    std::lock_guard lock(surfaceMutex_);
    boundGathered();
    changed_.add(gathered_);
    gathered_ = kNothingGathered;
    SurfaceRect area = changed_;
    changed_ = SurfaceRect{};
    if (version != nullptr) *version = surfaceVersion_.load();
    if (!surface_) return SurfaceRect{};
    area.left = std::max(area.left, 0);
    area.top = std::max(area.top, 0);
    area.right = std::min(area.right, surface_->width() - 1);
    area.bottom = std::min(area.bottom, surface_->height() - 1);
    return area;
}

int32_t RasterWindow::SETEXITMODE(int32_t mode) {
    if (mode < 1 || mode > 3) return -1;
    exitMode_ = mode;
    return 0;
}

int32_t RasterWindow::SETABOUTTEXT(const std::string& text) {
    if (text.size() > 512) return -1;
    std::lock_guard lock(frameMutex_);
    aboutText_ = text;
    return 0;
}

int32_t RasterWindow::SETWSIZEQQ(int32_t unit, const FramePlacement& placement) {
    if (unit != kFrameUnit || placement.type != 4) return 0;
    {
        std::lock_guard lock(frameMutex_);
        placement_ = placement;
    }
    windowChanged();
    return 1;
}

int32_t RasterWindow::APPENDMENUITEM(int32_t position, int32_t flags, const std::string& text,
                                     MenuRoutine routine) {
    (void)flags;
    std::lock_guard lock(frameMutex_);
    // Only items standing directly on the menu bar are supported: a position beyond the
    // items there appends a new one.
    if (position <= static_cast<int32_t>(menu_.size())) return 0;
    menu_.push_back(MenuItem{text, routine, {}});
    return 1;
}

void RasterWindow::confirmFromKeyboard(int32_t position, const std::string& questionUtf8) {
    std::lock_guard lock(frameMutex_);
    if (position >= 1 && position <= static_cast<int32_t>(menu_.size()))
        menu_[position - 1].keyboardQuestion = questionUtf8;
}

int32_t RasterWindow::OPENUSER(int32_t unit, const std::string& title) {
    if (unit != 1) return -1;
    {
        std::lock_guard lock(surfaceMutex_);
        if (!surface_) surface_ = std::make_unique<Raster>(640, 480, 0xFFFFFF);
    }
    {
        std::lock_guard lock(frameMutex_);
        title_ = title;
    }
    unitOpen_ = true;
    windowChanged();
    return 0;
}

void RasterWindow::CLOSEUNIT(int32_t unit) {
    if (unit != 1) return;
    unitOpen_ = false;
    windowChanged();
}

bool RasterWindow::SETWINDOWCONFIG(WindowConfig& config) {
    if (!unitOpen_) return false;
    int w = config.numxpixels > 0 ? config.numxpixels : 640;
    int h = config.numypixels > 0 ? config.numypixels : 480;
    if (w > maxWidth_ || h > maxHeight_) {
        config.numxpixels = static_cast<int16_t>(std::min(w, maxWidth_));
        config.numypixels = static_cast<int16_t>(std::min(h, maxHeight_));
        return false;
    }
    {
        std::lock_guard lock(surfaceMutex_);
        if (!surface_ || surface_->width() != w || surface_->height() != h) {
            deferredCount_ = 0;  // drawn on the surface that goes
            boundedShapes_ = 0;
            surface_ = std::make_unique<Raster>(w, h, bkColour_);
            changed_ = kWholeSurface;
            gathered_ = kNothingGathered;
            bumpSurfaceVersion();
        }
    }
    windowChanged();
    surfaceChanged();
    return true;
}

bool RasterWindow::GETWINDOWCONFIG(WindowConfig& config) {
    if (!unitOpen_) return false;
    std::lock_guard lock(surfaceMutex_);
    config.numxpixels = static_cast<int16_t>(surface_->width());
    config.numypixels = static_cast<int16_t>(surface_->height());
    config.numtextcols = static_cast<int16_t>(surface_->width() / 8);
    config.numtextrows = static_cast<int16_t>(surface_->height() / 16);
    config.numcolors = -1;
    config.fontsize = (8 << 16) | 16;
    config.bitsperpixel = static_cast<int16_t>(bitsPerPixel_);
    std::lock_guard frameLock(frameMutex_);
    config.title = title_;
    return true;
}

int32_t RasterWindow::MENUCOMMAND(int32_t command) {
    if (command == 2) {
        tiled_ = true;
        windowChanged();
    }
    return 0;
}

int32_t RasterWindow::SETACTIVEUNIT(int32_t unit) {
    return (unit == 1 && unitOpen_) ? 1 : 0;
}

int32_t RasterWindow::FOCUSQQ(int32_t unit) {
    return (unit == 1 && unitOpen_) ? 0 : -1;
}

void RasterWindow::CLEARSCREEN(int32_t area) {
    (void)area;
    draw(kWholeSurface, [&](Raster& r) { r.clear(bkColour_); });
}

int32_t RasterWindow::SETBKCOLORRGB(int32_t colour) {
    int32_t previous = static_cast<int32_t>(bkColour_);
    bkColour_ = static_cast<uint32_t>(colour) & 0xFFFFFF;
    return previous;
}

void RasterWindow::SETLINESTYLE(uint16_t mask) {
    lineStyle_ = mask;
}

int16_t RasterWindow::LINETO(int16_t x, int16_t y) {
    if (!unitOpen_) return 0;
    int x1 = curX_, y1 = curY_;
    if (lineStyle_ == 0xFFFF) {
        drawShape(RasterShape{RasterShape::Kind::line, x1, y1, x, y, colour_});
    } else {
        // Dashed, drawn at once, out of line like drawShape's own.
        [&]() __attribute__((noinline)) {
            draw(boxOf(x1, y1, x, y),
                 [&](Raster& r) { r.line(x1, y1, x, y, colour_, lineStyle_); });
        }
        ();
    }
    curX_ = x;
    curY_ = y;
    return 1;
}

void RasterWindow::drawShapes(const PenShape* shapes, size_t count) {
    if (count == 0) return;
    if (deferring_ && lineStyle_ == 0xFFFF && unitOpen_) {
        // Gathered as LINETO and ELLIPSE gather them, a series at a time.
        assert(std::this_thread::get_id() == deferringThread_);
        beforeDrawingRun(count);
        const PenShape& last = shapes[count - 1];
        colour_ = static_cast<uint32_t>(last.colour) & 0xFFFFFF;
        if (const PenShape* line = lastLine(shapes, count)) {
            curX_ = unitOpen_ ? line->x2 : line->x1;
            curY_ = unitOpen_ ? line->y2 : line->y1;
        }
        if (!surface_ || !unitOpen_) return;
        for (const PenShape* s = shapes; s != shapes + count; ++s) {
            gather(RasterShape{s->kind == PenShape::Kind::line ? RasterShape::Kind::line
                                                               : RasterShape::Kind::filledEllipse,
                               s->x1, s->y1, s->x2, s->y2,
                               static_cast<uint32_t>(s->colour) & 0xFFFFFF});
        }
        bumpSurfaceVersion(count);
        surfaceChanged();
        return;
    }
    // LINETO and ELLIPSE as they are, without a call through the interface for every step.
    for (size_t i = 0; i < count; ++i) {
        const PenShape& s = shapes[i];
        RasterWindow::SETCOLORRGB(s.colour);
        if (s.kind == PenShape::Kind::line) {
            curX_ = s.x1;
            curY_ = s.y1;
            RasterWindow::LINETO(s.x2, s.y2);
        } else {
            RasterWindow::ELLIPSE(GFILLINTERIOR, s.x1, s.y1, s.x2, s.y2);
        }
    }
}

int32_t RasterWindow::SETPIXELRGB(int16_t x, int16_t y, int32_t colour) {
    int32_t previous = -1;
    draw(boxOf(x, y, x, y),
         [&](Raster& r) { previous = r.setPixel(x, y, static_cast<uint32_t>(colour) & 0xFFFFFF); });
    return previous;
}

int16_t RasterWindow::RECTANGLE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
    if ((control != GBORDER && control != GFILLINTERIOR) || !unitOpen_) return 0;
    draw(boxOf(x1, y1, x2, y2), [&](Raster& r) {
        if (control == GFILLINTERIOR)
            r.fillRect(x1, y1, x2, y2, colour_);
        else
            r.rectOutline(x1, y1, x2, y2, colour_, lineStyle_);
    });
    return 1;
}

int16_t RasterWindow::ELLIPSE(int16_t control, int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
    if ((control != GBORDER && control != GFILLINTERIOR) || !unitOpen_) return 0;
    if (control == GFILLINTERIOR) {
        drawShape(RasterShape{RasterShape::Kind::filledEllipse, x1, y1, x2, y2, colour_});
    } else {
        [&]() __attribute__((noinline)) {
            draw(boxOf(x1, y1, x2, y2),
                 [&](Raster& r) { r.ellipseOutline(x1, y1, x2, y2, colour_, lineStyle_); });
        }
        ();
    }
    return 1;
}

int16_t RasterWindow::POLYGON(int16_t control, const XYCoord* points, int16_t count) {
    if ((control != GBORDER && control != GFILLINTERIOR) || !unitOpen_) return 0;
    if (count < 3 || count > 16381 || points == nullptr) return 0;
    std::vector<RasterPoint> pts(static_cast<size_t>(count));
    SurfaceRect area;
    for (int i = 0; i < count; ++i) {
        pts[i] = RasterPoint{points[i].xcoord, points[i].ycoord};
        area.add(boxOf(pts[i].x, pts[i].y, pts[i].x, pts[i].y));
    }
    draw(area, [&](Raster& r) {
        if (control == GFILLINTERIOR)
            r.fillPolygon(pts.data(), count, colour_);
        else
            r.polygonOutline(pts.data(), count, colour_, lineStyle_);
    });
    return 1;
}

int32_t RasterWindow::IMAGESIZE(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
    if (!unitOpen_) return -1;
    int64_t size = Raster::imageSize(x1, y1, x2, y2, bitsPerPixel_);
    return size > INT32_MAX ? -1 : static_cast<int32_t>(size);
}

void RasterWindow::GETIMAGE(int16_t x1, int16_t y1, int16_t x2, int16_t y2, uint8_t* buffer) {
    if (buffer == nullptr) return;
    beforeDrawing();
    std::lock_guard lock(surfaceMutex_);
    if (!surface_ || !unitOpen_) return;
    drawDeferred();
    surface_->getImage(x1, y1, x2, y2, bitsPerPixel_, buffer);
}

void RasterWindow::PUTIMAGE(int16_t x, int16_t y, const uint8_t* buffer, int16_t action) {
    if (buffer == nullptr || action != GPSET) return;
    // The image's width and height stand in its header (a header the raster refuses changes
    // nothing, and the rectangle is then only too large).
    SurfaceRect area = kWholeSurface;
    if (buffer[0] == 'B' && buffer[1] == 'M') {
        auto le32 = [](const uint8_t* p) {
            return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 |
                                        uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
        };
        const int32_t w = le32(buffer + 18);
        const int32_t h = le32(buffer + 22);
        if (w > 0 && h > 0 && w <= 65536 && h <= 65536) area = {x, y, x + w - 1, y + h - 1};
    }
    draw(area, [&](Raster& r) { r.putImage(x, y, buffer); });
}

int16_t RasterWindow::INITIALIZEFONTS() {
    if (textRenderer_ == nullptr) return -1;
    int n = textRenderer_->initialize();
    fontsReady_ = n > 0;
    return static_cast<int16_t>(n);
}

int16_t RasterWindow::SETFONT(const std::string& options) {
    if (!fontsReady_ || textRenderer_ == nullptr) return -1;
    auto request = parseFontOptions(options);
    if (!request) return -1;
    int index = textRenderer_->select(*request);
    if (index < 0) return -1;
    fontSelected_ = true;
    return static_cast<int16_t>(index);
}

void RasterWindow::SETGTEXTROTATION(int32_t tenthsOfDegree) {
    int r = tenthsOfDegree % 3600;
    if (r < 0) r += 3600;
    rotation_ = r;
}

void RasterWindow::OUTGTEXT(const std::string& text) {
    if (!fontSelected_ || textRenderer_ == nullptr || !unitOpen_) return;
    RenderedText t = textRenderer_->render(text, rotation_);
    int left = curX_ - t.anchorX;
    int top = curY_ - t.anchorY;
    draw(SurfaceRect{left, top, left + t.width - 1, top + t.height - 1}, [&](Raster& r) {
        if (!t.coverage.empty())
            r.blendMask(left, top, t.coverage.data(), t.width, t.height, colour_);
    });
    curX_ += static_cast<int>(std::lround(t.advanceX));
    curY_ += static_cast<int>(std::lround(t.advanceY));
}

int32_t RasterWindow::REGISTERMOUSEEVENTQQ(int32_t unit, int32_t events, MouseRoutine routine) {
    if (unit != 1 || !unitOpen_) return -2;
    if ((events & 127) == 0) return -1;
    int32_t result = (mouseRoutine_ != nullptr && (mouseEvents_ & events) != 0) ? 1 : 0;
    mouseRoutine_ = routine;
    mouseEvents_.fetch_or(events & 127);
    return result;
}

Raster RasterWindow::snapshot() const {
    std::lock_guard lock(surfaceMutex_);
    if (!surface_) return Raster(0, 0);
    drawDeferred();
    return *surface_;
}

std::string RasterWindow::aboutText() const {
    std::lock_guard lock(frameMutex_);
    return aboutText_;
}

std::vector<MenuItem> RasterWindow::menuItems() const {
    std::lock_guard lock(frameMutex_);
    return menu_;
}

FramePlacement RasterWindow::framePlacement() const {
    std::lock_guard lock(frameMutex_);
    return placement_;
}

std::string RasterWindow::windowTitle() const {
    std::lock_guard lock(frameMutex_);
    return title_;
}

void RasterWindow::bumpInput() {
    inputSeq_.fetch_add(1);
    inputSeq_.notify_all();
    inputDelivered();
}

void RasterWindow::deliverMouse(int32_t event, int32_t keystate, int32_t x, int32_t y) {
    MouseRoutine routine = mouseRoutine_;
    if (routine != nullptr && (mouseEvents_ & event) != 0) routine(1, event, keystate, x, y);
    bumpInput();
}

void RasterWindow::deliverKey(Key key, bool pressed, bool autoRepeat) {
    KeyRoutine routine = keyRoutine_;
    if (routine != nullptr) routine(key, pressed, autoRepeat);
    bumpInput();
}

void RasterWindow::chooseMenu(int position) {
    MenuRoutine routine = nullptr;
    {
        std::lock_guard lock(frameMutex_);
        if (position >= 1 && position <= static_cast<int>(menu_.size()))
            routine = menu_[position - 1].routine;
    }
    if (routine != nullptr) routine(false);
    bumpInput();
}

}  // namespace trelvan
