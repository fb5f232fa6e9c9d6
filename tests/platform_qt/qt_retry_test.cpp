// SPDX-License-Identifier: GPL-3.0-or-later
// The question of the desktop services whether to try again: its buttons and its answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

#include "platform/qt/qt_window.h"
#include "support/qt_application.h"

namespace trelvan {
namespace {

struct Seen {
    QString text;
    QStringList buttons;
    QString defaultButton;
};

// Acts on the question box once it is up: records what it shows, then answers with act.
void whenAsked(Seen& seen, const std::function<void(QMessageBox&)>& act) {
    QTimer::singleShot(10, [&seen, act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            whenAsked(seen, act);
            return;
        }
        seen.text = box->text();
        for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
        if (box->defaultButton() != nullptr) seen.defaultButton = box->defaultButton()->text();
        act(*box);
    });
}

QAbstractButton* buttonNamed(QMessageBox& box, const QString& name) {
    for (QAbstractButton* button : box.buttons())
        if (button->text() == name) return button;
    return nullptr;
}

GTEST_TEST(QtRetryQuestion, RetryOrCancelWithTheMouseOrTheKeys) {
    testing::offscreenApplication<QApplication>();
    QtWindow window;
    const std::string message = "Журнал занят другой программой: файл trelvan.rez заблокирован.";
    struct Case {
        const char* name;
        std::function<void(QMessageBox&)> act;
        bool retry;
    };
    const Case cases[] = {
        {"Повторить clicked", [](QMessageBox& b) { buttonNamed(b, "Повторить")->click(); }, true},
        {"Отмена clicked", [](QMessageBox& b) { buttonNamed(b, "Отмена")->click(); }, false},
        {"Return", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }, true},
        {"Escape", [](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seen seen;
        whenAsked(seen, c.act);
        EXPECT_EQ(window.askRetry(message), c.retry);
        EXPECT_EQ(seen.text.toStdString(), message);
        EXPECT_EQ(seen.buttons.size(), 2);
        EXPECT_TRUE(seen.buttons.contains("Повторить"));
        EXPECT_TRUE(seen.buttons.contains("Отмена"));
        EXPECT_EQ(seen.defaultButton.toStdString(), "Повторить");
    }
}

}  // namespace
}  // namespace trelvan
