// SPDX-License-Identifier: GPL-3.0-or-later
// How a Wayland output really shows a window, from the compositor's description: the numbers
// are those mutter 43, KWin 5.27 and sway 1.7 report.
#include "platform/qt/wayland_outputs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace trelvan {
namespace {

WaylandOutput mode(int width, int height, int scale) {
    WaylandOutput o;
    o.width = width;
    o.height = height;
    o.scale = scale;
    return o;
}

void expectExact(const OutputScaling& s, double shown) {
    EXPECT_TRUE(s.exact);
    EXPECT_EQ(s.shown, shown);
}

GTEST_TEST(OutputScaling, LayoutInLogicalPixelsAtIntegerScalesIsExact) {
    // wlroots, KWin, mutter with scale-monitor-framebuffer: logical size = mode / scale.
    expectExact(outputScaling(mode(1280, 1024, 1), 1280, 1024, 1.0), 1.0);
    expectExact(outputScaling(mode(2560, 2048, 2), 1280, 1024, 2.0), 2.0);
    expectExact(outputScaling(mode(3840, 3072, 3), 1280, 1024, 3.0), 3.0);
    expectExact(outputScaling(mode(1920, 1080, 2), 960, 540, 2.0), 2.0);
}

GTEST_TEST(OutputScaling, LayoutInDevicePixelsIsExactAtTheOutputsScale) {
    // mutter's default: the logical size is the mode, wl_output's scale enlarges surfaces.
    expectExact(outputScaling(mode(1920, 1080, 1), 1920, 1080, 1.0), 1.0);
    expectExact(outputScaling(mode(1920, 1080, 2), 1920, 1080, 2.0), 2.0);
    expectExact(outputScaling(mode(2880, 1620, 3), 2880, 1620, 3.0), 3.0);
    // A ratio other than the output's scale is enlarged or shrunk by the compositor.
    const OutputScaling other = outputScaling(mode(1920, 1080, 2), 1920, 1080, 1.0);
    EXPECT_FALSE(other.exact);
    EXPECT_EQ(other.shown, 2.0);
}

GTEST_TEST(OutputScaling, FractionalDesktopScalesAreSeenBehindAnIntegerRatio) {
    // 150 % on sway (1280x1024 shown as 853x682 logical) and KWin, 125 %, 175 % on a 4K screen:
    // Qt is told 2 and paints at 2, the compositor shrinks.
    OutputScaling s = outputScaling(mode(1280, 1024, 2), 853, 682, 2.0);
    EXPECT_FALSE(s.exact);
    EXPECT_NEAR(s.shown, 1.5, 0.001);
    s = outputScaling(mode(1920, 1536, 2), 1280, 1024, 2.0);
    EXPECT_FALSE(s.exact);
    EXPECT_DOUBLE_EQ(s.shown, 1.5);
    EXPECT_DOUBLE_EQ(outputScaling(mode(1920, 1080, 2), 1536, 864, 2.0).shown, 1.25);
    EXPECT_NEAR(outputScaling(mode(3840, 2160, 2), 2194, 1234, 2.0).shown, 1.75, 0.001);
}

GTEST_TEST(OutputScaling, IntegerScaleThatDoesNotDivideTheModeIsRescaled) {
    // Less than one logical pixel off, and yet the compositor smooths the whole output.
    for (const auto& [output, w, h] :
         {std::tuple{mode(1280, 1024, 3), 427, 341}, std::tuple{mode(1280, 1024, 3), 426, 341},
          std::tuple{mode(1281, 1025, 2), 640, 512}, std::tuple{mode(1281, 1025, 2), 641, 513},
          std::tuple{mode(1367, 769, 2), 683, 384}}) {
        const OutputScaling s = outputScaling(output, w, h, output.scale);
        EXPECT_FALSE(s.exact) << output.width << "x" << output.height << " as " << w << "x" << h;
        EXPECT_EQ(std::lround(s.shown * 100), output.scale * 100);
    }
}

GTEST_TEST(OutputScaling, NothingKnownLeavesTheRatio) {
    expectExact(outputScaling(mode(0, 0, 1), 1280, 1024, 2.0), 2.0);
    expectExact(outputScaling(mode(1920, 1080, 1), 0, 0, 1.0), 1.0);
    EXPECT_FALSE(outputScaling(mode(0, 0, 1), 1280, 1024, 1.5).exact);
}

GTEST_TEST(FindOutput, ByNameThenPositionThenTheOnlyOne) {
    WaylandOutput a = mode(1920, 1080, 1), b = mode(1280, 1024, 2);
    a.name = "DP-1";
    b.name = "HDMI-A-1";
    b.x = 1920;
    const std::vector<WaylandOutput> both{a, b};
    EXPECT_EQ(findOutput(both, "HDMI-A-1", 0, 0)->width, 1280);
    EXPECT_EQ(findOutput(both, "", 1920, 0)->width, 1280);
    EXPECT_EQ(findOutput(both, "XWAYLAND0", 0, 0)->width, 1920);
    EXPECT_EQ(findOutput(both, "other", 5, 5), nullptr);
    EXPECT_EQ(findOutput({a}, "other", 5, 5)->width, 1920);
    EXPECT_EQ(findOutput({}, "DP-1", 0, 0), nullptr);
}

}  // namespace
}  // namespace trelvan
