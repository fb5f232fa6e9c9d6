// SPDX-License-Identifier: GPL-3.0-or-later
// The window services' contract, on the headless implementation.
#include "platform/headless_window.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/dialog.h"
#include "platform/textfile.h"

namespace trelvan {
namespace {

std::vector<int> mouseLog;
void recordMouse(int32_t, int32_t event, int32_t keystate, int32_t, int32_t) {
    mouseLog.push_back(event * 100 + keystate);
}
int menuCalls = 0;
void countMenu(bool) {
    ++menuCalls;
}

struct Opened {
    HeadlessWindow w;
    Opened() {
        setGraphicsWindow(&w);
        w.OPENUSER(1, "t");
        WindowConfig c;
        c.numxpixels = 980;
        c.numypixels = 650;
        w.SETWINDOWCONFIG(c);
    }
    ~Opened() { setGraphicsWindow(nullptr); }
};

GTEST_TEST(WindowServices, FrameRecordsAndRefusals) {
    HeadlessWindow w;
    EXPECT_EQ(w.SETEXITMODE(5), -1);
    EXPECT_EQ(w.SETEXITMODE(2), 0);
    EXPECT_EQ(w.exitMode(), 2);
    EXPECT_EQ(w.SETABOUTTEXT("first"), 0);
    EXPECT_EQ(w.SETABOUTTEXT(std::string(513, 'x')), -1);
    EXPECT_EQ(w.aboutText(), "first");
    EXPECT_EQ(w.SETABOUTTEXT(std::string(512, 'y')), 0);
    EXPECT_EQ(w.IMAGESIZE(0, 0, 979, 649), -1) << "no window open";
    WindowConfig c;
    EXPECT_FALSE(w.GETWINDOWCONFIG(c));
    EXPECT_EQ(w.REGISTERMOUSEEVENTQQ(1, 27, recordMouse), -2);

    EXPECT_NE(w.APPENDMENUITEM(1, 4, "a", countMenu), 0);
    EXPECT_NE(w.APPENDMENUITEM(2, 4, "b", countMenu), 0);
    EXPECT_EQ(w.APPENDMENUITEM(1, 4, "drop-down", countMenu), 0) << "only items on the bar itself";
    EXPECT_EQ(w.menuItems().size(), 2u);
}

GTEST_TEST(WindowServices, WindowSizeAndImageSizes) {
    Opened o;
    WindowConfig c;
    ASSERT_TRUE(o.w.GETWINDOWCONFIG(c));
    EXPECT_EQ(c.numxpixels, 980);
    EXPECT_EQ(c.numypixels, 650);
    EXPECT_EQ(c.bitsperpixel, 32);
    EXPECT_EQ(o.w.IMAGESIZE(0, 0, 979, 649), 2548054);
    o.w.setBitsPerPixel(24);
    EXPECT_EQ(o.w.IMAGESIZE(0, 0, 979, 649), 54 + 2940 * 650);

    // A request beyond what can be granted is adjusted; the repeat succeeds.
    o.w.setMaximumSurface(800, 600);
    WindowConfig big;
    big.numxpixels = 980;
    big.numypixels = 650;
    EXPECT_FALSE(o.w.SETWINDOWCONFIG(big));
    EXPECT_EQ(big.numxpixels, 800);
    EXPECT_TRUE(o.w.SETWINDOWCONFIG(big));
}

GTEST_TEST(WindowServices, DrawingStateAndPrimitives) {
    Opened o;
    HeadlessWindow& w = o.w;
    w.SETBKCOLORRGB(0xFFFFFF);
    w.CLEARSCREEN(GCLEARSCREEN);
    EXPECT_EQ(w.SETCOLORRGB(0x0000FF), 0xFFFFFF) << "initial colour";
    XYCoord prev;
    w.MOVETO(1, 0, prev);
    EXPECT_NE(w.LINETO(4, 0), 0);
    Raster r = w.snapshot();
    EXPECT_EQ(r.pixel(0, 0), 0xFFFFFFu);
    for (int x = 1; x <= 4; ++x) EXPECT_EQ(r.pixel(x, 0), 0x0000FFu);
    EXPECT_EQ(r.pixel(5, 0), 0xFFFFFFu);
    w.MOVETO(10, 10, prev);
    EXPECT_EQ(prev.xcoord, 4) << "LINETO leaves the position at its end";
    EXPECT_EQ(w.SETPIXELRGB(-1, 5, 0), -1);
    EXPECT_EQ(w.SETPIXELRGB(980, 5, 0), -1);
    EXPECT_EQ(w.SETPIXELRGB(3, 3, 0x123456), 0xFFFFFF);
    EXPECT_EQ(w.RECTANGLE(4, 0, 0, 5, 5), 0) << "controls other than 2 and 3 are refused";
    EXPECT_EQ(w.ELLIPSE(1, 0, 0, 5, 5), 0);
    XYCoord pts[3] = {{0, 0}, {5, 0}, {0, 5}};
    EXPECT_EQ(w.POLYGON(0, pts, 3), 0);
    EXPECT_NE(w.POLYGON(GFILLINTERIOR, pts, 3), 0);
    w.SETCOLORRGB(0x00FF00);
    EXPECT_NE(w.RECTANGLE(GFILLINTERIOR, 979, 649, 0, 0), 0);
    r = w.snapshot();
    for (int y = 0; y < 650; y += 13)
        for (int x = 0; x < 980; x += 7) ASSERT_EQ(r.pixel(x, y), 0x00FF00u);
}

GTEST_TEST(WindowServices, MemoryImageRoundTrip) {
    Opened o;
    HeadlessWindow& w = o.w;
    w.SETCOLORRGB(0x010203);
    w.RECTANGLE(GFILLINTERIOR, 0, 0, 9, 9);
    std::vector<uint8_t> image(static_cast<size_t>(w.IMAGESIZE(0, 0, 9, 9)));
    w.GETIMAGE(0, 0, 9, 9, image.data());
    EXPECT_EQ(image[0], 'B');
    EXPECT_EQ(image[1], 'M');
    EXPECT_EQ(image[54], 0x01) << "blue first";
    EXPECT_EQ(image[55], 0x02);
    EXPECT_EQ(image[56], 0x03);
    w.PUTIMAGE(100, 100, image.data(), GPSET);
    EXPECT_EQ(w.snapshot().pixel(109, 109), 0x010203u);
}

// The same drawing with and without deferred drawing: more shapes than one batch holds,
// mixed with operations that draw at once and with memory images taken in between.
GTEST_TEST(WindowServices, DeferredDrawingGivesTheSamePixelsAndImages) {
    auto draw = [](bool deferred) {
        HeadlessWindow w;
        w.OPENUSER(1, "t");
        WindowConfig c;
        c.numxpixels = 980;
        c.numypixels = 650;
        w.SETWINDOWCONFIG(c);
        w.setDeferredDrawing(deferred);
        std::vector<std::vector<uint8_t>> images;
        XYCoord prev;
        for (int i = 0; i < 50000; ++i) {
            const int16_t x = static_cast<int16_t>(100 + i / 300);
            const int16_t y = static_cast<int16_t>(100 + (i * 37) % 400);
            w.SETCOLORRGB(i % 3 == 0 ? 0xFF0000 : (i % 3 == 1 ? 0x00FF00 : 0x0000FF));
            w.MOVETO(x, 600, prev);
            w.LINETO(x, y);
            w.LINETO(static_cast<int16_t>(x - 1), static_cast<int16_t>(y + 5));
            w.ELLIPSE(GFILLINTERIOR, static_cast<int16_t>(x - 4), static_cast<int16_t>(y - 3),
                      static_cast<int16_t>(x + 4), static_cast<int16_t>(y + 3));
            if (i % 7919 == 0) {
                w.SETLINESTYLE(0xF0F0);
                w.LINETO(static_cast<int16_t>(x + 200), y);
                w.SETLINESTYLE(0xFFFF);
                w.ELLIPSE(GBORDER, x, y, static_cast<int16_t>(x + 20), static_cast<int16_t>(y + 9));
                w.RECTANGLE(GFILLINTERIOR, x, 50, static_cast<int16_t>(x + 3), 90);
                w.SETPIXELRGB(x, y, 0x123456);
                std::vector<uint8_t> image(static_cast<size_t>(w.IMAGESIZE(0, 0, 979, 649)));
                w.GETIMAGE(0, 0, 979, 649, image.data());
                images.push_back(std::move(image));
            }
        }
        return std::make_pair(w.snapshot(), images);
    };
    const auto [inTurn, inTurnImages] = draw(false);
    const auto [deferred, deferredImages] = draw(true);
    ASSERT_EQ(deferred.width(), inTurn.width());
    ASSERT_EQ(deferred.height(), inTurn.height());
    int differing = 0;
    for (int y = 0; y < inTurn.height(); ++y) {
        for (int x = 0; x < inTurn.width(); ++x)
            differing += deferred.pixel(x, y) != inTurn.pixel(x, y);
    }
    EXPECT_EQ(differing, 0);
    EXPECT_TRUE(deferredImages == inTurnImages) << "memory images taken between the shapes";
}

GTEST_TEST(WindowServices, MouseRegistrationAndDelivery) {
    Opened o;
    HeadlessWindow& w = o.w;
    mouseLog.clear();
    EXPECT_EQ(w.REGISTERMOUSEEVENTQQ(1, 0, recordMouse), -1);
    EXPECT_EQ(w.REGISTERMOUSEEVENTQQ(1, 27, recordMouse), 0);
    EXPECT_EQ(w.REGISTERMOUSEEVENTQQ(1, 1, recordMouse), 1) << "replaces a routine";
    w.press(1, 1.0);
    w.press(2, 1.5);
    w.release(1, 2.0);
    w.release(2, 2.5);
    uint32_t seq = w.inputSequence();
    w.SLEEPMS(1200);
    EXPECT_EQ(mouseLog, (std::vector<int>{100 + 1}));
    EXPECT_NE(w.inputSequence(), seq) << "every event wakes the program";
    w.SLEEPMS(2000);
    EXPECT_EQ(mouseLog, (std::vector<int>{101, 800 + 3, 200 + 2, 1600 + 0}));
    EXPECT_NEAR(w.elapsed(), 3.2, 1e-9);
}

GTEST_TEST(WindowServices, WaitForInputTakesTheNextEventAndItsTime) {
    Opened o;
    HeadlessWindow& w = o.w;
    mouseLog.clear();
    w.REGISTERMOUSEEVENTQQ(1, 27, recordMouse);
    w.click(2, 7.5);
    w.click(1);  // at the next wait
    w.close();
    w.waitInput(w.inputSequence());
    EXPECT_NEAR(w.elapsed(), 7.5, 1e-9) << "the clock moves to the event";
    w.waitInput(w.inputSequence());
    w.waitInput(w.inputSequence());
    EXPECT_EQ(mouseLog.size(), 3u);
    w.waitInput(w.inputSequence());
    EXPECT_EQ(mouseLog.size(), 4u);
    EXPECT_NEAR(w.elapsed(), 7.5, 1e-9);
    try {
        w.waitInput(w.inputSequence());
        FAIL() << "an empty, closed script ends the run";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    }
}

GTEST_TEST(WindowServices, TonesAndSleepsTakeTheirTime) {
    HeadlessWindow w;
    w.BEEPTONE(1000, 200);
    w.SLEEPMS(3000);
    w.SLEEPMS(-5);
    EXPECT_NEAR(w.elapsed(), 3.2, 1e-9);
    ASSERT_EQ(w.tones().size(), 1u);
    EXPECT_EQ(w.tones()[0].frequency, 1000);
    int32_t y, mo, d, h, mi, s, hu;
    w.READLOCALDATE(y, mo, d);
    w.READLOCALTIME(h, mi, s, hu);
    EXPECT_EQ(y, 2013);
    EXPECT_EQ(mo, 3);
    EXPECT_EQ(d, 3);
    EXPECT_EQ(h, 9);
    EXPECT_EQ(mi, 5);
    EXPECT_EQ(s, 10);
    EXPECT_EQ(hu, 20);
}

GTEST_TEST(WindowServices, MenuChoicesAndStops) {
    HeadlessWindow w;
    setGraphicsWindow(&w);
    menuCalls = 0;
    w.APPENDMENUITEM(1, 4, "a", countMenu);
    w.APPENDMENUITEM(2, 4, "about", WINABOUT);
    w.menu(1, 0.5);
    w.menu(2, 0.5);
    w.SLEEPMS(1000);
    EXPECT_EQ(menuCalls, 1);
    EXPECT_EQ(w.aboutShown(), 1);
    try {
        stopProgram(0);
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, 0);
    }
    try {
        checkIndex("GR1", 101, 1, 100);
        FAIL();
    } catch (const ProgramExit& e) {
        EXPECT_NE(e.status, 0);
        EXPECT_NE(e.message.find("GR1"), std::string::npos);
        EXPECT_NE(e.message.find("101"), std::string::npos);
        EXPECT_NE(e.message.find("100"), std::string::npos);
    }
    setGraphicsWindow(nullptr);
}

GTEST_TEST(DialogFacility, TemplateOfTheParameterDialog) {
    Dialog d;
    ASSERT_TRUE(DLGINIT(101, d));
    EXPECT_FALSE(DLGINIT(102, d));
    ASSERT_TRUE(DLGINIT(101, d));
    EXPECT_EQ(d.tmpl.title, cp1251("Ввод параметров.    Если надо, измените!"));
    // The 21 controls of the parameters, the ruler button, five explanations and two lines
    // about the screen.
    EXPECT_EQ(d.tmpl.controls.size(), 30u);
    EXPECT_EQ(d.tmpl.width, 334);
    EXPECT_EQ(d.tmpl.height, 248);
    EXPECT_TRUE(d.control(1010)->alert);
    EXPECT_TRUE(DLGSETLABEL(d, 1020, "Экран"));
    EXPECT_EQ(d.labels[1020], "Экран");
    EXPECT_FALSE(DLGSETLABEL(d, 1000, "x")) << "only static texts";
    const DialogControl* box = d.control(1007);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->kind, ControlKind::checkBox);
    EXPECT_FALSE(box->tabStop);
    EXPECT_TRUE(d.control(1002)->digitsOnly);
    EXPECT_FALSE(d.control(1000)->scrolls);
    EXPECT_TRUE(d.control(1001)->scrolls);
    // Tab order is template order: the buttons first.
    EXPECT_EQ(d.tmpl.controls[0].id, 1);
    EXPECT_EQ(d.tmpl.controls[1].id, 2);

    EXPECT_TRUE(DLGSET(d, 1000, " 200.0"));
    EXPECT_FALSE(DLGSET(d, 1007, "x"));
    EXPECT_TRUE(DLGSETLOG(d, 1007, true));
    std::string text;
    EXPECT_TRUE(DLGGET(d, 1000, text));
    EXPECT_EQ(text, " 200.0");
    bool state = false;
    EXPECT_TRUE(DLGGETLOG(d, 1007, state));
    EXPECT_TRUE(state);
}

}  // namespace
}  // namespace trelvan
