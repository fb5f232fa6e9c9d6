// SPDX-License-Identifier: GPL-3.0-or-later
// Which levels of the vision check the pixel grid draws true to size.
#include "exercise/screen_limit.h"

#include <gtest/gtest.h>

#include "exercise/vision.h"
#include "platform/headless_window.h"

namespace trelvan {
namespace {

constexpr int kWidth = 980;
constexpr int kHeight = 650;

struct Screen {
    float distanceCm;
    float diagonalInch;
    int32_t pixelsX, pixelsY;
};

constexpr Screen kDefault{200.0f, 17.7f, 1024, 768};
constexpr Screen kFarLarge{500.0f, 24.0f, 1920, 1080};
constexpr Screen kNearDense{60.0f, 13.3f, 2560, 1600};

GapWidth gap(const Screen& s, float level) {
    return gapWidth(level, s.distanceCm, s.diagonalInch, kWidth, kHeight, s.pixelsX, s.pixelsY);
}

float highest(const Screen& s) {
    return highestTrueLevel(s.distanceCm, s.diagonalInch, kWidth, kHeight, s.pixelsX, s.pixelsY);
}

int metresForOne(const Screen& s) {
    return distanceForOneDm(s.diagonalInch, kWidth, kHeight, s.pixelsX, s.pixelsY);
}

GTEST_TEST(ScreenLimit, DefaultScreenIsTrueUpToPointTwo) {
    // The gap comes out about one pixel wider than nominal: 17, 9, 7 pixels for 16.5, 8.3, 5.5.
    EXPECT_EQ(gap(kDefault, 0.1f).drawn, 17);
    EXPECT_NEAR(gap(kDefault, 0.1f).nominal, 16.51f, 0.01f);
    EXPECT_EQ(gap(kDefault, 0.2f).drawn, 9);
    EXPECT_EQ(gap(kDefault, 0.3f).drawn, 7);
    EXPECT_NEAR(gap(kDefault, 0.3f).nominal, 5.50f, 0.01f);
    for (float level : {0.6f, 0.9f, 1.25f, 1.5f}) EXPECT_EQ(gap(kDefault, level).drawn, 3) << level;
    EXPECT_EQ(highest(kDefault), 0.2f);
    EXPECT_EQ(metresForOne(kDefault), 133);
    EXPECT_EQ(accuracyNote(200.0f, 17.7f, kWidth, kHeight, 1024, 768),
              "Проверка зрения точна до 0.2; для 1.0 нужно расстояние от 13.3 м\n"
              "Тренировка подтвердит не больше 0.83 (элемент 2 — самый мелкий)");
    // At 65.5 cm before a 24" screen of 1920 x 1080 no training confirms more than 0.34.
    EXPECT_NE(accuracyNote(65.5f, 24.0f, kWidth, kHeight, 1920, 1080)
                  .find("\nТренировка подтвердит не больше 0.34 (элемент 2"),
              std::string::npos)
        << accuracyNote(65.5f, 24.0f, kWidth, kHeight, 1920, 1080);
}

GTEST_TEST(ScreenLimit, TwoOtherScreens) {
    // 500 cm before a 24" screen of 1920 x 1080: 0.3 is 19 pixels for 17.5, 0.4 15 for 13.1.
    EXPECT_EQ(highest(kFarLarge), 0.3f);
    EXPECT_EQ(gap(kFarLarge, 0.4f).drawn, 15);
    EXPECT_EQ(metresForOne(kFarLarge), 118);
    // 60 cm before a 13.3" screen of 2560 x 1600: 0.2 is 9 pixels for 7.8.
    EXPECT_EQ(highest(kNearDense), 0.1f);
    EXPECT_EQ(gap(kNearDense, 0.2f).drawn, 9);
    EXPECT_EQ(metresForOne(kNearDense), 48);
}

GTEST_TEST(ScreenLimit, DistanceForOneIsTheSmallestThatHolds) {
    for (const Screen& s : {kDefault, kFarLarge, kNearDense}) {
        const int dm = metresForOne(s);
        ASSERT_GT(dm, 1);
        auto at = [&](int d) {
            return highestTrueLevel(float(d) * 10.0f, s.diagonalInch, kWidth, kHeight, s.pixelsX,
                                    s.pixelsY);
        };
        EXPECT_GE(at(dm), 1.0f) << dm;
        for (int d = 1; d < dm; ++d) EXPECT_LT(at(d), 1.0f) << d;
    }
}

GTEST_TEST(ScreenLimit, UnusableValuesAndNoTrueLevel) {
    EXPECT_EQ(highestTrueLevel(0.0f, 17.7f, kWidth, kHeight, 1024, 768), 0.0f);
    EXPECT_EQ(highestTrueLevel(200.0f, 17.7f, kWidth, kHeight, 0, 768), 0.0f);
    EXPECT_EQ(accuracyNote(200.0f, -1.0f, kWidth, kHeight, 1024, 768),
              "Точность проверки зрения: нужны дальность, диагональ и разрешение больше нуля");
    // 30 cm before the default screen: even 0.1 is drawn too wide.
    EXPECT_EQ(highestTrueLevel(30.0f, 17.7f, kWidth, kHeight, 1024, 768), 0.0f);
    EXPECT_EQ(accuracyNote(30.0f, 17.7f, kWidth, kHeight, 1024, 768)
                  .rfind("Проверка зрения неточна уже на 0.1; для 1.0 нужно расстояние от ", 0),
              0u);
    EXPECT_EQ(levelText(1.25f), "1.25");
    EXPECT_EQ(levelText(1.0f), "1.0");
}

// The rule counts the gap as the check draws it: the same count on the window after the
// check's own drawing operations, for a straight ring at several sizes.
GTEST_TEST(ScreenLimit, GapCountAgreesWithTheDrawnRing) {
    HeadlessWindow window;
    setGraphicsWindow(&window);
    window.OPENUSER(1, "t");
    for (float distance : {200.0f, 350.0f, 500.0f, 730.0f}) {
        for (float level : {0.1f, 0.3f, 0.7f, 1.0f, 2.0f}) {
            const RingGeometry ring =
                ringGeometry(level, distance, 17.7f, kWidth, kHeight, 1024, 768);
            window.SETCOLORRGB(0xFFFFFF);
            window.RECTANGLE(GFILLINTERIOR, 0, 0, kWidth - 1, kHeight - 1);
            window.SETCOLORRGB(0);
            window.ELLIPSE(GFILLINTERIOR, ring.outer[0], ring.outer[1], ring.outer[2],
                           ring.outer[3]);
            window.SETCOLORRGB(0xFFFFFF);
            window.ELLIPSE(GFILLINTERIOR, ring.inner[0], ring.inner[1], ring.inner[2],
                           ring.inner[3]);
            const std::array<XYCoord, 4> cut = gapVertices(ring, 1, 0.0f);
            window.POLYGON(GFILLINTERIOR, cut.data(), 4);
            const Raster r = window.snapshot();
            const int x = (ring.inner[2] + ring.outer[2]) / 2;
            // The white run through the centre row, between the black of the stroke.
            int top = kHeight / 2, bottom = kHeight / 2;
            while (r.pixel(x, top - 1) == 0xFFFFFF) --top;
            while (r.pixel(x, bottom + 1) == 0xFFFFFF) ++bottom;
            const int white = bottom - top + 1;
            EXPECT_EQ(white, gapWidth(level, distance, 17.7f, kWidth, kHeight, 1024, 768).drawn)
                << distance << " cm, level " << level;
        }
    }
    setGraphicsWindow(nullptr);
}

}  // namespace
}  // namespace trelvan
