// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts and text on the desktop services, under the offscreen platform.
#include "platform/qt/qt_text.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QStringDecoder>
#include <cstdlib>

#include "platform/textfile.h"
#include "support/qt_application.h"

namespace trelvan {
namespace {

void ensureApplication() {
    testing::offscreenApplication<QApplication>();
}

GTEST_TEST(QtText, Windows1251TableAgreesWithQt) {
    ensureApplication();
    QStringDecoder decoder("windows-1251");
    ASSERT_TRUE(decoder.isValid());
    for (int b = 0x20; b <= 0xFF; ++b) {
        if (b == 0x7F || b == 0x98) continue;  // no character there
        std::string byte(1, static_cast<char>(b));
        QString ours = QString::fromStdString(utf8FromCp1251(byte));
        QString theirs = decoder.decode(QByteArray(byte.data(), 1));
        EXPECT_EQ(ours, theirs) << "byte " << b;
    }
}

GTEST_TEST(QtText, TimesNewRomanCyrIsASerifWithCyrillic) {
    ensureApplication();
    QtTextRenderer renderer;
    ASSERT_GT(renderer.initialize(), 0);
    FontRequest request = *parseFontOptions("t'Times New Roman Cyr'h38w17ib");
    QFont font = QtTextRenderer::fontFor(request);
    QFontInfo info(font);
    EXPECT_EQ(info.family(), "Liberation Serif");
    EXPECT_TRUE(info.italic());
    QFontMetricsF fm(font);
    EXPECT_NEAR(fm.ascent() + fm.descent(), 38.0, 1.0) << "height is the character cell";
    EXPECT_NEAR(fm.averageCharWidth(), 17.0, 1.0) << "width is the average character width";
    EXPECT_TRUE(fm.inFontUcs4(0x0416)) << "Cyrillic";
}

GTEST_TEST(QtText, RenderedTextAnchorsAtItsTopLeftAndAdvances) {
    ensureApplication();
    QtTextRenderer renderer;
    renderer.initialize();
    ASSERT_GE(renderer.select(*parseFontOptions("t'Times New Roman Cyr'h38w17ib")), 0);
    RenderedText t = renderer.render(cp1251("Острота зрения"), 0);
    ASSERT_GT(t.width, 0);
    EXPECT_GT(t.advanceX, 14 * 10.0);
    EXPECT_NEAR(t.advanceY, 0.0, 1e-9);
    // Ink lies below and to the right of the anchor, within the cell height.
    int top = t.height, bottom = -1;
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x)
            if (t.coverage[size_t(y) * t.width + x] > 128) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GE(top, t.anchorY);
    EXPECT_LE(bottom, t.anchorY + 40);

    RenderedText up = renderer.render(cp1251("Острота зрения"), 900);
    EXPECT_NEAR(up.advanceX, 0.0, 1e-6);
    EXPECT_NEAR(up.advanceY, -t.advanceX, 1e-6) << "900 tenths write upwards";
    EXPECT_GT(up.height, up.width);
}

GTEST_TEST(QtText, FontOptionsParse) {
    auto r = parseFontOptions("t'Times New Roman Cyr'h120w40ib");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->face, "Times New Roman Cyr");
    EXPECT_EQ(r->height, 120);
    EXPECT_EQ(r->width, 40);
    EXPECT_TRUE(r->italic);
    EXPECT_TRUE(r->bestFit);
    EXPECT_FALSE(r->bold);
    auto upper = parseFontOptions("T'Arial'H16W5B");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->height, 16);
    EXPECT_FALSE(parseFontOptions("t'unclosed"));
    EXPECT_FALSE(parseFontOptions("h12z"));
}

}  // namespace
}  // namespace trelvan
