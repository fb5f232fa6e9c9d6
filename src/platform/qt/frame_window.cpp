// SPDX-License-Identifier: GPL-3.0-or-later
// The frame window: the menu bar, the area that holds the graphics window, the status bar; and
// the frame made and shown from what the start-up hook recorded.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/qt_window_parts.h"

namespace trelvan {

FrameWindow::FrameWindow(QtWindow& services)
    : services_(services), area_(new QMdiArea), status_(new QLabel) {
    setCentralWidget(area_);
    // Below the graphics window: where the user is and what the buttons and keys do.
    // A long text is cut, never widening the frame.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(status_, 1);
    // The eye by a click: the next of both, right and left (the start screen takes it).
    auto* eye = new QPushButton(QStringLiteral("Глаз…"));
    eye->setFlat(true);
    eye->setFocusPolicy(Qt::NoFocus);
    eye->setObjectName(QStringLiteral("eyeButton"));
    statusBar()->addPermanentWidget(eye);
    connect(eye, &QPushButton::clicked, this, [this] {
        services_.key(Key::eyeNext, true, false);
        services_.key(Key::eyeNext, false, false);
    });
    area_->setBackground(QBrush(QColor(0xAB, 0xAB, 0xAB)));
    area_->installEventFilter(this);
}

void FrameWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    endProcess(0);
}

bool FrameWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == menuWidget()) services_.menuInput(event);
    // The graphics window goes only when the program closes its unit (a keyboard shortcut
    // or the window menu must not take it away while the program runs).
    if (watched != area_ && event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    // Tiling is not kept by the area on resize: tile again.
    if (watched == area_ && event->type() == QEvent::Resize && services_.tiled())
        QMetaObject::invokeMethod(
            area_, [this] { area_->tileSubWindows(); }, Qt::QueuedConnection);
    return QMainWindow::eventFilter(watched, event);
}

void QtWindow::createFrame() {
    frame_ = new FrameWindow(*this);
    frame_->setWindowTitle(caption());
    const auto items = menuItems();
    if (!items.empty()) {
        QMenuBar* bar = frame_->menuBar();
        for (size_t i = 0; i < items.size(); ++i) {
            QAction* action = bar->addAction(fromCp1251(items[i].text));
            int position = static_cast<int>(i) + 1;
            QObject::connect(action, &QAction::triggered, frame_,
                             [this, position] { menuChosen(position); });
        }
        bar->installEventFilter(frame_);
    } else {
        frame_->setMenuBar(nullptr);
    }
    // Before the frame existed the placement is its outer size.
    FramePlacement p = framePlacement();
    ratio_ = frame_->devicePixelRatioF();
    frame_->move(logical(p.x), logical(p.y));
    frame_->resize(logical(p.width), logical(p.height));
    frame_->show();
    frameShown_ = true;
    if (!qgetenv("TRELVAN_GEOMETRY_FILE").isEmpty()) {
        auto* timer = new QTimer(frame_);
        QObject::connect(timer, &QTimer::timeout, frame_, [this] { reportGeometry(); });
        timer->start(100);
    }
    appliedPlacement_ = p;
    placeTimer_ = new QTimer(frame_);
    placeTimer_->setInterval(50);
    QObject::connect(placeTimer_, &QTimer::timeout, frame_, [this] { keepPlacement(); });
    QObject::connect(frame_->windowHandle(), &QWindow::screenChanged, frame_,
                     [this] { windowChanged(); });
    syncWindows();
}

}  // namespace trelvan
