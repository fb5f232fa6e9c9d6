// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter dialog's window as a user edits it, under the offscreen platform.
#include "platform/qt/qt_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstdlib>

#include "platform/dialog.h"
#include "platform/textfile.h"
#include "support/qt_application.h"

namespace trelvan {
namespace {

void ensureApplication() {
    static const bool fontsSubstituted = [] {
        testing::offscreenApplication<QApplication>();
        QFont::insertSubstitutions("MS Sans Serif", {"Liberation Sans", "DejaVu Sans"});
        return true;
    }();
    (void)fontsSubstituted;
}

// The dialog as the program fills it: I4 and F6 texts with their leading blanks.
Dialog filledDialog() {
    Dialog d;
    EXPECT_TRUE(DLGINIT(101, d));
    DLGSET(d, 1, cp1251("Начать работу"));
    DLGSET(d, 2, cp1251("Выйти из программы"));
    DLGSET(d, 1000, " 200.0");
    DLGSET(d, 1001, " 17.70");
    DLGSET(d, 1002, " 768");
    DLGSET(d, 1003, "****");
    DLGSET(d, 1004, " 100");
    return d;
}

struct Window {
    explicit Window(Dialog& d) : window(makeTemplateDialog(d, nullptr)) {
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    QLineEdit* field(int id) { return window->findChild<QLineEdit*>(QString::number(id)); }
    std::unique_ptr<QDialog> window;
};

// Copies the texts into the dialog record the way the start button does, without closing.
void keepOpen(Dialog&, int32_t, int32_t) {}
std::string textAfterPress(Dialog& d, Window& w, int id) {
    DLGSETSUB(d, 1, keepOpen);
    QTest::mouseClick(w.window->findChild<QPushButton*>("1"), Qt::LeftButton);
    std::string t;
    DLGGET(d, id, t);
    return t;
}

GTEST_TEST(QtDialog, NumberFieldsEditLikeAnyOtherField) {
    ensureApplication();
    Dialog d = filledDialog();
    Window w(d);

    // Click at the end of " 100", BackSpace twice, type 5.
    QLineEdit* volume = w.field(1004);
    ASSERT_NE(volume, nullptr);
    QTest::mouseClick(volume, Qt::LeftButton, {},
                      QPoint(volume->width() - 4, volume->height() / 2));
    EXPECT_EQ(volume->cursorPosition(), 4);
    QTest::keyClick(volume, Qt::Key_Backspace);
    QTest::keyClick(volume, Qt::Key_Backspace);
    QTest::keyClicks(volume, "5");
    EXPECT_EQ(volume->text(), " 15");

    // Double-click the number and type over it.
    QLineEdit* ny = w.field(1002);
    QTest::mouseDClick(ny, Qt::LeftButton, {}, QPoint(ny->width() / 3, ny->height() / 2));
    QTest::keyClicks(ny, "50");
    EXPECT_EQ(ny->text().trimmed(), "50");

    // Asterisks go with Delete and BackSpace; letters and blanks are refused.
    QLineEdit* nx = w.field(1003);
    nx->setFocus();
    QTest::keyClick(nx, Qt::Key_Home);
    QTest::keyClick(nx, Qt::Key_Delete);
    QTest::keyClick(nx, Qt::Key_End);
    QTest::keyClick(nx, Qt::Key_Backspace);
    EXPECT_EQ(nx->text(), "**");
    QTest::keyClicks(nx, "1a ");
    EXPECT_EQ(nx->text(), "**1");
    nx->selectAll();
    QTest::keyClicks(nx, "1280");
    EXPECT_EQ(nx->text(), "1280");

    // A pasted text with other characters is refused; one of digits is taken.
    QApplication::clipboard()->setText("12x");
    volume->selectAll();
    volume->paste();
    EXPECT_EQ(volume->text(), " 15");
    QApplication::clipboard()->setText("250");
    volume->selectAll();
    volume->paste();
    EXPECT_EQ(volume->text(), "250");

    EXPECT_EQ(textAfterPress(d, w, 1004), "250");
    EXPECT_EQ(textAfterPress(d, w, 1002), " 50");
    EXPECT_EQ(textAfterPress(d, w, 1003), "1280");
}

GTEST_TEST(QtDialog, NegativeValueCanBeEdited) {
    ensureApplication();
    Dialog d = filledDialog();
    DLGSET(d, 1004, "  -5");
    Window w(d);
    QLineEdit* volume = w.field(1004);
    volume->setFocus();
    QTest::keyClick(volume, Qt::Key_End);
    QTest::keyClick(volume, Qt::Key_Backspace);
    QTest::keyClicks(volume, "7");
    EXPECT_EQ(volume->text(), "  -7");
    QTest::keyClick(volume, Qt::Key_Left);
    QTest::keyClick(volume, Qt::Key_Backspace);
    EXPECT_EQ(volume->text(), "  7");
}

// Marks the diagonal at the first press and clears the mark at the second.
void markDiagonal(Dialog& d, int32_t, int32_t) {
    const bool mark = !d.marked[1001];
    DLGSETMARK(d, 1001, mark);
    DLGSETLABEL(d, 1011, mark ? "Нужно число, например 17.3" : "");
}

GTEST_TEST(QtDialog, MarkedFieldKeepsItsFontAndIsExplained) {
    ensureApplication();
    Dialog d = filledDialog();
    DLGSETSUB(d, 1, markDiagonal);
    Window w(d);
    QTest::mouseClick(w.window->findChild<QPushButton*>("1"), Qt::LeftButton);
    QLineEdit* marked = w.field(1001);
    QLineEdit* plain = w.field(1000);
    EXPECT_NE(marked->palette().color(QPalette::Base), plain->palette().color(QPalette::Base));
    EXPECT_EQ(QFontInfo(marked->font()).pixelSize(), QFontInfo(plain->font()).pixelSize());
    EXPECT_EQ(marked->font(), plain->font());
    EXPECT_EQ(marked->fontMetrics().height(), plain->fontMetrics().height());
    // The same text drawn in both: its glyphs have the same height.
    marked->setText("17.70");
    plain->setText("17.70");
    marked->deselect();
    plain->deselect();
    auto textRows = [](QLineEdit* e) {
        const QImage image = e->grab().toImage();
        int top = image.height(), bottom = -1;
        for (int y = 3; y < image.height() - 3; ++y)
            for (int x = 3; x < image.width() - 3; ++x)
                if (qGray(image.pixel(x, y)) < 96) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return bottom - top + 1;
    };
    EXPECT_EQ(textRows(marked), textRows(plain));
    auto* explanation = w.window->findChild<QLabel*>("1011");
    ASSERT_NE(explanation, nullptr);
    EXPECT_EQ(explanation->text(), "Нужно число, например 17.3");

    // Corrected: the mark and the explanation go, the font stays.
    QTest::mouseClick(w.window->findChild<QPushButton*>("1"), Qt::LeftButton);
    EXPECT_EQ(marked->palette().color(QPalette::Base), plain->palette().color(QPalette::Base));
    EXPECT_EQ(explanation->text(), "");
    EXPECT_EQ(marked->font(), plain->font());
    EXPECT_EQ(textRows(marked), textRows(plain));
}

}  // namespace
}  // namespace trelvan
