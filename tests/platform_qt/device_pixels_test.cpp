// SPDX-License-Identifier: GPL-3.0-or-later
// What the program makes of a screen: the user's warning of a rescaled picture, and no
// physical size but the one a screen reports.
#include "platform/qt/device_pixels.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "support/qt_application.h"

namespace trelvan {
namespace {

ScreenFacts screen(int width, int height, double shown, bool exact) {
    ScreenFacts facts;
    facts.pixels = QSize(width, height);
    facts.ratio = 2;
    facts.shown = shown;
    facts.exact = exact;
    return facts;
}

GTEST_TEST(RescalingMessage, ExactScreensAreNotMentioned) {
    EXPECT_TRUE(rescalingMessage(screen(1920, 1080, 2, true)).isEmpty());
    EXPECT_TRUE(rescalingMessage(screen(1280, 1024, 1, true)).isEmpty());
}

GTEST_TEST(RescalingMessage, NamesTheScaleAndKeepsThePerCentSignWithItsNumber) {
    const QString fractional = rescalingMessage(screen(1280, 1024, 1280.0 / 853, false));
    EXPECT_TRUE(fractional.startsWith(
        QString::fromUtf8("Экран масштабирован с дробным коэффициентом 150\u00A0%:")))
        << fractional.toStdString();
    EXPECT_TRUE(
        fractional.contains(QString::fromUtf8("масштаб экрана 100\u00A0% (или целый: "
                                              "200\u00A0%, 300\u00A0%)")));
    EXPECT_FALSE(fractional.contains(QString::fromUtf8(" %")));

    // An integer scale is no fraction: what smooths the picture is the resolution.
    const QString indivisible = rescalingMessage(screen(1280, 1024, 1280.0 / 427, false));
    EXPECT_TRUE(indivisible.startsWith(QString::fromUtf8(
        "Экран масштабирован на 300\u00A0%, но его разрешение 1280\u00A0×\u00A01024 не "
        "делится на 3:")))
        << indivisible.toStdString();
    EXPECT_FALSE(indivisible.contains(QString::fromUtf8(" %")));
}

GTEST_TEST(ScreenFacts, NoPhysicalSizeButTheOneTheScreenReports) {
    testing::offscreenApplication<QApplication>();
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    // Qt fills in a size of its own for a screen that reports none.
    ASSERT_GT(primary->physicalSize().width(), 0);
    const ScreenFacts facts = screenFacts(*primary);
    EXPECT_EQ(facts.millimetres, QSizeF(0, 0));
    EXPECT_EQ(facts.pixels, primary->geometry().size() * primary->devicePixelRatio());
    EXPECT_TRUE(facts.exact);
}

}  // namespace
}  // namespace trelvan
