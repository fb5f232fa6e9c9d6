// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop services' own members: messages, the dialogs and the ruler, tones, the status
// bar, the menu, and the mouse and keys as the input thread hands them on.
#include "platform/qt/qt_window.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <fstream>

#include "platform/qt/device_pixels.h"
#include "platform/qt/qt_dialog.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window_parts.h"
#include "platform/qt/ruler_window.h"

namespace trelvan {

QtWindow::QtWindow() {
    setTextRenderer(&text_);
}

QtWindow::~QtWindow() = default;

bool QtWindow::onInputThread() const {
    return QThread::currentThread() == qApp->thread();
}

QString QtWindow::caption() const {
    return QStringLiteral("TRELVAN");
}

qreal QtWindow::deviceRatio() const {
    if (paintRatio_ > 0) return paintRatio_;
    return frame_ != nullptr ? frame_->devicePixelRatioF() : 1;
}

int QtWindow::logical(int devicePixels) const {
    return logicalPixels(devicePixels, ratio_);
}

void QtWindow::mouse(int32_t event, int32_t keystate, int32_t x, int32_t y) {
    // For end-to-end tests: every mouse event as the program receives it.
    static const QByteArray log = qgetenv("TRELVAN_INPUT_LOG");
    if (!log.isEmpty()) {
        std::ofstream out(log.toStdString(), std::ios::app);
        out << event << ' ' << keystate << ' ' << x << ' ' << y << '\n';
    }
    stampInput();
    deliverMouse(event, keystate, x, y);
}

void QtWindow::key(Key key, bool pressed, bool autoRepeat) {
    const int bit = 1 << static_cast<int>(key);
    if (!autoRepeat) keysDown_ = pressed ? (keysDown_ | bit) : (keysDown_ & ~bit);
    stampInput();
    deliverKey(key, pressed, autoRepeat);
}

void QtWindow::releaseKeys() {
    for (Key k : {Key::left, Key::right, Key::escape, Key::space, Key::enter})
        if (keysDown_ & (1 << static_cast<int>(k))) key(k, false, false);
}

void QtWindow::setStatusText(const std::string& utf8) {
    if (frame_ == nullptr) return;
    const QString text = QString::fromStdString(utf8);
    QMetaObject::invokeMethod(
        frame_,
        [this, text] {
            frame_->statusLabel()->setText(text);
            // For end-to-end tests: every text the status bar has shown, one a line.
            static const QByteArray log = qgetenv("TRELVAN_STATUS_LOG");
            if (!log.isEmpty()) {
                std::ofstream out(log.toStdString(), std::ios::app);
                out << frame_->statusLabel()->text().toStdString() << '\n';
            }
        },
        Qt::QueuedConnection);
}

void QtWindow::menuInput(QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // The menu bar triggers its highlighted item on these keys, within this event.
        const int k = static_cast<QKeyEvent*>(event)->key();
        keyboardChoice_ = k == Qt::Key_Return || k == Qt::Key_Enter || k == Qt::Key_Space;
    } else if (event->type() == QEvent::MouseButtonPress) {
        keyboardChoice_ = false;
    }
}

// A menu item chosen: at once, or, when it was chosen from the keyboard and must be
// confirmed, after the question.
void QtWindow::menuChosen(int position) {
    const bool fromKeyboard = keyboardChoice_;
    keyboardChoice_ = false;
    const auto items = menuItems();
    const QString question =
        position >= 1 && position <= static_cast<int>(items.size())
            ? QString::fromStdString(items[static_cast<size_t>(position) - 1].keyboardQuestion)
            : QString();
    if (!fromKeyboard || question.isEmpty()) {
        stampInput();
        chooseMenu(position);
        return;
    }
    const QString choice = frame_->menuBar()->actions().value(position - 1)->text();
    // Asked once the menu bar has left its keyboard navigation.
    QMetaObject::invokeMethod(
        frame_,
        [this, position, question, choice] {
            QMessageBox box(QMessageBox::Question, caption(), question, QMessageBox::NoButton,
                            frame_);
            QPushButton* yes = box.addButton(choice, QMessageBox::AcceptRole);
            QPushButton* no = box.addButton(QString::fromUtf8("Отмена"), QMessageBox::RejectRole);
            box.setDefaultButton(no);
            box.setEscapeButton(no);
            box.exec();
            if (box.clickedButton() == yes) {
                stampInput();
                chooseMenu(position);
            }
            // The keyboard back to the graphics window, also where no window manager
            // gives the frame its focus back.
            frame_->activateWindow();
            if (surfaceWidget_ != nullptr) surfaceWidget_->setFocus();
        },
        Qt::QueuedConnection);
}

bool QtWindow::soundOutputAvailable() {
    return ToneGenerator::available();
}

void QtWindow::showAbout() {
    QString text = fromCp1251(aboutText());
    text.replace(QChar('\r'), QChar('\n'));
    runOnInputThread([&] { QMessageBox::information(frame_, caption(), text); });
}

void QtWindow::showMessage(const std::string& messageUtf8) {
    QString text = QString::fromStdString(messageUtf8);
    runOnInputThread([&] { QMessageBox::warning(frame_, caption(), text); });
}

bool QtWindow::askRetry(const std::string& messageUtf8) {
    const QString text = QString::fromStdString(messageUtf8);
    bool retry = false;
    runOnInputThread([&] {
        QMessageBox box(QMessageBox::Warning, caption(), text, QMessageBox::NoButton, frame_);
        QPushButton* again = box.addButton(QStringLiteral("Повторить"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
        box.setDefaultButton(again);
        box.setEscapeButton(cancel);
        box.exec();
        retry = box.clickedButton() == again;
    });
    return retry;
}

void QtWindow::BEEPTONE(int32_t frequency, int32_t durationMs) {
    tones_.play(frequency, durationMs);
}

int32_t QtWindow::runDialog(Dialog& dialog) {
    int32_t result = -1;
    runOnInputThread([&] { result = runDialogHere(dialog); });
    return result;
}

int32_t QtWindow::runDialogHere(Dialog& dialog) {
    return runTemplateDialog(dialog, frame());
}

ScreenReport QtWindow::screenReport() {
    ScreenReport report;
    runOnInputThread([&] {
        QScreen* screen = frame() != nullptr ? frame()->screen() : nullptr;
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) return;
        const ScreenFacts facts = screenFacts(*screen);
        report.pixelsX = facts.pixels.width();
        report.pixelsY = facts.pixels.height();
        report.widthMm = facts.millimetres.width();
        report.heightMm = facts.millimetres.height();
    });
    return report;
}

std::optional<RulerReading> QtWindow::measureWithRuler() {
    std::optional<RulerReading> reading;
    runOnInputThread([&] {
        QWidget* parent = QApplication::activeModalWidget();
        if (parent == nullptr) parent = frame();
        QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
        if (screen == nullptr) return;
        reading = measureOnScreen(*screen, parent);
    });
    return reading;
}

}  // namespace trelvan
