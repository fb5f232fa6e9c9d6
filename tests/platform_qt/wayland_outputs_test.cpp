// The scale a Wayland output really shows a window at, from the compositor's description.
#include "platform/qt/wayland_outputs.h"

#include <gtest/gtest.h>

namespace trelvan {
namespace {

WaylandOutput mode(int width, int height, int scale) {
    WaylandOutput o;
    o.width = width;
    o.height = height;
    o.scale = scale;
    return o;
}

GTEST_TEST(ScreenScale, IntegerScalesShowThePaintedRatio) {
    EXPECT_EQ(screenScale(mode(1280, 1024, 1), 1280, 1024, 1.0), 1.0);
    EXPECT_EQ(screenScale(mode(2560, 2048, 2), 1280, 1024, 2.0), 2.0);
    EXPECT_EQ(screenScale(mode(3840, 3072, 3), 1280, 1024, 3.0), 3.0);
    // An odd mode at scale 2: the logical size is rounded.
    EXPECT_EQ(screenScale(mode(1367, 769, 2), 683, 384, 2.0), 2.0);
}

GTEST_TEST(ScreenScale, FractionalDesktopScalesAreSeenBehindAnIntegerRatio) {
    // 150 % and 125 %: the client is told 2 and paints at 2, the compositor shrinks.
    EXPECT_DOUBLE_EQ(screenScale(mode(1920, 1080, 2), 1280, 720, 2.0), 1.5);
    EXPECT_DOUBLE_EQ(screenScale(mode(1920, 1080, 2), 1536, 864, 2.0), 1.25);
    // 175 % on a 4K screen.
    EXPECT_NEAR(screenScale(mode(3840, 2160, 2), 2194, 1234, 2.0), 1.75, 0.001);
}

GTEST_TEST(ScreenScale, NothingKnownLeavesTheRatio) {
    EXPECT_EQ(screenScale(mode(0, 0, 1), 1280, 1024, 2.0), 2.0);
    EXPECT_EQ(screenScale(mode(1920, 1080, 1), 0, 0, 1.0), 1.0);
}

}  // namespace
}  // namespace trelvan
