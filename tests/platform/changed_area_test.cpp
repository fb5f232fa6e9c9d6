// SPDX-License-Identifier: GPL-3.0-or-later
// What a drawing operation changed, as the desktop services repaint it: the rectangle of
// every operation since the last repaint, clipped to the surface, and the count of
// operations that a picture mark holds.
#include <gtest/gtest.h>

#include <vector>

#include "platform/headless_window.h"

namespace trelvan {
namespace {

class Watched : public HeadlessWindow {
  public:
    Watched() {
        OPENUSER(1, "t");
        WindowConfig c;
        c.numxpixels = 980;
        c.numypixels = 650;
        SETWINDOWCONFIG(c);
    }
    using RasterWindow::surfaceVersion;
    using RasterWindow::takeChanged;
};

void expectArea(const SurfaceRect& a, int left, int top, int right, int bottom) {
    EXPECT_EQ(a.left, left);
    EXPECT_EQ(a.top, top);
    EXPECT_EQ(a.right, right);
    EXPECT_EQ(a.bottom, bottom);
}

GTEST_TEST(ChangedArea, EachOperationAddsItsOwnRectangleOnly) {
    Watched w;
    expectArea(w.takeChanged(), 0, 0, 979, 649);  // the new surface, whole
    EXPECT_TRUE(w.takeChanged().empty());         // nothing since

    XYCoord previous;
    w.MOVETO(30, 20, previous);
    w.LINETO(10, 25);
    expectArea(w.takeChanged(), 10, 20, 30, 25);

    // A status bar and a dot: the union of both, not the surface.
    w.RECTANGLE(GFILLINTERIOR, 0, 0, 979, 19);
    w.ELLIPSE(GFILLINTERIOR, 500, 300, 507, 306);
    expectArea(w.takeChanged(), 0, 0, 979, 306);

    // A picture of the field (980 by 630 at row 20), through a memory image.
    std::vector<uint8_t> image(static_cast<size_t>(w.IMAGESIZE(0, 0, 979, 629)));
    w.GETIMAGE(0, 0, 979, 629, image.data());
    w.takeChanged();
    w.PUTIMAGE(0, 20, image.data(), GPSET);
    expectArea(w.takeChanged(), 0, 20, 979, 649);

    // Clipped to the surface; all of it after a clear.
    w.SETPIXELRGB(-5, 700, 0);
    EXPECT_TRUE(w.takeChanged().empty());
    w.MOVETO(-100, 640, previous);
    w.LINETO(2000, 660);
    expectArea(w.takeChanged(), 0, 640, 979, 649);
    w.CLEARSCREEN(GCLEARSCREEN);
    expectArea(w.takeChanged(), 0, 0, 979, 649);
}

// Shapes gathered by deferred drawing count as changed when they are gathered, drawn or not.
GTEST_TEST(ChangedArea, DeferredShapesCountWhenGathered) {
    Watched w;
    w.takeChanged();
    w.setDeferredDrawing(true);
    XYCoord previous;
    w.MOVETO(300, 200, previous);
    w.LINETO(310, 100);
    w.ELLIPSE(GFILLINTERIOR, 296, 196, 304, 203);
    expectArea(w.takeChanged(), 296, 100, 310, 203);
    EXPECT_TRUE(w.takeChanged().empty());
    // With an operation drawn at once, and clipped to the surface.
    w.LINETO(-50, 700);
    w.SETPIXELRGB(900, 10, 0);
    expectArea(w.takeChanged(), 0, 10, 900, 649);
    // A new surface takes in the shapes gathered on the old one.
    w.LINETO(20, 30);
    WindowConfig c;
    c.numxpixels = 100;
    c.numypixels = 80;
    w.SETWINDOWCONFIG(c);
    expectArea(w.takeChanged(), 0, 0, 99, 79);
    EXPECT_TRUE(w.takeChanged().empty());
    w.setDeferredDrawing(false);
}

// Batches drawn because they are full, and shapes of one place drawn again, count with the
// shapes gathered after them.
GTEST_TEST(ChangedArea, DeferredBatchesCountWhenDrawn) {
    Watched w;
    w.takeChanged();
    w.setDeferredDrawing(true);
    XYCoord previous;
    for (int i = 0; i < 100000; ++i) {
        // The same few bars over and over, and one dot far off at the start.
        w.MOVETO(static_cast<int16_t>(400 + i % 7), 600, previous);
        w.LINETO(static_cast<int16_t>(400 + i % 7), static_cast<int16_t>(500 - i % 5));
        if (i == 3) w.ELLIPSE(GFILLINTERIOR, 900, 10, 1100, 20);
    }
    w.LINETO(380, 590);
    expectArea(w.takeChanged(), 380, 10, 979, 600);
    EXPECT_TRUE(w.takeChanged().empty());
    for (int i = 0; i < 70000; ++i) w.LINETO(static_cast<int16_t>(100 + i % 3), 100);
    expectArea(w.takeChanged(), 100, 100, 380, 590);
    w.setDeferredDrawing(false);
}

GTEST_TEST(ChangedArea, APictureMarkCountsTheOperationsDrawnBeforeIt) {
    Watched w;
    const PictureMark before = w.markPicture();
    EXPECT_EQ(before.drawn, w.surfaceVersion());
    EXPECT_EQ(before.requested, w.CLOCKSECONDS());
    w.RECTANGLE(GFILLINTERIOR, 0, 0, 9, 9);
    w.RECTANGLE(GFILLINTERIOR, 0, 0, 9, 9);
    EXPECT_EQ(w.markPicture().drawn, before.drawn + 2);
    // Without a screen the answer counts from the mark to the call.
    w.SLEEPMS(1250);
    EXPECT_DOUBLE_EQ(w.answerSeconds(before), 1.25);
}

}  // namespace
}  // namespace trelvan
