// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/qt_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <mutex>

#include "platform/interval_clock.h"
#include "platform/qt/desktop.h"
#include "platform/qt/device_pixels.h"
#include "platform/qt/input_time.h"
#include "platform/qt/qt_support.h"

namespace trelvan {

namespace {

thread_local bool onProgramThread = false;

[[noreturn]] void endProcess(int status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

// For benchmarks (TRELVAN_WAKE_LOG=file): the input thread stamps every mouse event and menu
// choice before it wakes the program thread; each wait for input that had to block writes the
// nanoseconds from the last stamp to its waking, one a line.
std::FILE* const wakeLog = [] {
    const QByteArray path = qgetenv("TRELVAN_WAKE_LOG");
    return path.isEmpty() ? nullptr : std::fopen(path.constData(), "w");
}();
std::atomic<int64_t> inputStamp{0};

// For benchmarks (TRELVAN_ANSWER_LOG=file): every answer time of a training in seconds, one a
// line.
std::FILE* const answerLog = [] {
    const QByteArray path = qgetenv("TRELVAN_ANSWER_LOG");
    return path.isEmpty() ? nullptr : std::fopen(path.constData(), "w");
}();

int64_t steadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void stampInput() {
    if (wakeLog != nullptr) inputStamp.store(steadyNanoseconds(), std::memory_order_release);
}

// For end-to-end tests: whether the user was warned of a rescaled picture.
std::atomic<bool> warnedOfScaling{false};

// What keeps one surface pixel from being one pixel of the screen, as a message for the user,
// or an empty text: a desktop scale the screen shows rescaled (rescalingMessage), or an X
// connection inside a Wayland session, where the compositor may scale the whole window without
// telling the program.
QString scalingWarning(QWidget* frame) {
    const QScreen* screen = frame->screen();
    ScreenFacts facts;
    facts.ratio = facts.shown = frame->devicePixelRatioF();
    facts.exact = std::abs(facts.ratio - std::round(facts.ratio)) < 1e-6;
    if (screen != nullptr) facts = screenFacts(*screen);
    QString message = rescalingMessage(facts);
    if (!message.isEmpty()) return message;
    const bool xwayland =
        QGuiApplication::platformName() == QLatin1String("xcb") &&
        (!qgetenv("WAYLAND_DISPLAY").isEmpty() ||
         (screen != nullptr && screen->name().startsWith(QLatin1String("XWAYLAND"))));
    if (xwayland) {
        return QString::fromUtf8(
            "Программа работает через XWayland. Если экран масштабирован, рабочий стол "
            "растягивает её окно, и тестовые изображения будут размыты: точка изображения "
            "не совпадёт с пикселом экрана, а программа не может это заметить.\n\n"
            "Установите масштаб экрана 100\u00A0% или запустите программу как приложение "
            "Wayland (нужен пакет qt6-wayland; переменная QT_QPA_PLATFORM не должна "
            "требовать xcb).");
    }
    return {};
}

}  // namespace

// --- SurfaceWidget ----------------------------------------------------------------------

SurfaceWidget::SurfaceWidget(QtWindow& services) : services_(services) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void SurfaceWidget::paintEvent(QPaintEvent* event) {
    services_.paintSurface(*this, event->rect());
}

void SurfaceWidget::pass(QMouseEvent* event, bool press) {
    int32_t bit = 0;
    if (event->button() == Qt::LeftButton) bit = press ? MOUSE_LBUTTONDOWN : MOUSE_LBUTTONUP;
    if (event->button() == Qt::RightButton) bit = press ? MOUSE_RBUTTONDOWN : MOUSE_RBUTTONUP;
    if (bit == 0) return;
    int32_t keys = 0;
    Qt::MouseButtons buttons = event->buttons();
    if (buttons & Qt::LeftButton) keys |= MOUSE_KS_LBUTTON;
    if (buttons & Qt::RightButton) keys |= MOUSE_KS_RBUTTON;
    if (buttons & Qt::MiddleButton) keys |= MOUSE_KS_MBUTTON;
    if (event->modifiers() & Qt::ShiftModifier) keys |= MOUSE_KS_SHIFT;
    if (event->modifiers() & Qt::ControlModifier) keys |= MOUSE_KS_CONTROL;
    if (press) services_.notePress(event->timestamp());
    // Positions arrive in logical pixels, and position() is rounded to whole ones: the
    // position in the native window the event came from keeps the fraction that tells the
    // device pixel (that window is the frame's, or on X the native one of its client area).
    const QWidget* native = nativeParentWidget();
    const QPointF offset = native != nullptr ? QPointF(mapTo(native, QPoint(0, 0))) : QPointF();
    const QPointF p = (event->scenePosition() - offset) * services_.deviceRatio();
    services_.mouse(bit, keys, static_cast<int32_t>(std::floor(p.x())),
                    static_cast<int32_t>(std::floor(p.y())));
}

void SurfaceWidget::mousePressEvent(QMouseEvent* event) {
    pass(event, true);
}
void SurfaceWidget::mouseReleaseEvent(QMouseEvent* event) {
    pass(event, false);
}
// A quick second click is a click like any other.
void SurfaceWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    pass(event, true);
}

// The keys that stand for the buttons. With Alt, Control or Meta held a key belongs to the
// menu bar or a shortcut.
bool SurfaceWidget::passKey(QKeyEvent* event, bool press) {
    if (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        return false;
    Key key;
    switch (event->key()) {
        case Qt::Key_Left:
            key = Key::left;
            break;
        case Qt::Key_Right:
            key = Key::right;
            break;
        case Qt::Key_Escape:
            key = Key::escape;
            break;
        case Qt::Key_Space:
            key = Key::space;
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            key = Key::enter;
            break;
        // The eye: П, Л, О in the Russian layout, the same keys in the Latin one, or 1, 2, 3.
        case 0x041F:  // П
        case Qt::Key_G:
        case Qt::Key_1:
            key = Key::eyeRight;
            break;
        case 0x041B:  // Л
        case Qt::Key_K:
        case Qt::Key_2:
            key = Key::eyeLeft;
            break;
        case 0x041E:  // О
        case Qt::Key_J:
        case Qt::Key_3:
            key = Key::eyeBoth;
            break;
        default:
            return false;
    }
    // A key that answers is timed like a button press, by the server's time stamp.
    if (press && !event->isAutoRepeat() &&
        (key == Key::left || key == Key::right || key == Key::escape))
        services_.notePress(event->timestamp());
    services_.key(key, press, event->isAutoRepeat());
    return true;
}

void SurfaceWidget::keyPressEvent(QKeyEvent* event) {
    if (passKey(event, true))
        event->accept();
    else
        QWidget::keyPressEvent(event);
}

void SurfaceWidget::keyReleaseEvent(QKeyEvent* event) {
    if (passKey(event, false))
        event->accept();
    else
        QWidget::keyReleaseEvent(event);
}

// Keys held when the keyboard goes elsewhere (a menu, a message box, another window) are let
// go of: their releases will not come here.
void SurfaceWidget::focusOutEvent(QFocusEvent* event) {
    services_.releaseKeys();
    QWidget::focusOutEvent(event);
}

// --- FrameWindow ------------------------------------------------------------------------

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

// --- QtWindow ---------------------------------------------------------------------------

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

qreal QtWindow::deviceRatio() const {
    if (paintRatio_ > 0) return paintRatio_;
    return frame_ != nullptr ? frame_->devicePixelRatioF() : 1;
}

int QtWindow::logical(int devicePixels) const {
    return logicalPixels(devicePixels, ratio_);
}

// Window managers place a new or resized frame as they see fit, sometimes after the request
// and sometimes with the title bar off the screen: for a while after each placement the
// frame is put back where the program asked for it.
void QtWindow::placeFrame(bool restart) {
    if (frame_ == nullptr) return;
    const FramePlacement& p = appliedPlacement_;
    QWidget* client = frame_->centralWidget();
    if (clientPlacement_) {
        if (frame_->windowState() &
            (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
            frame_->showNormal();
        const QSize wanted(logical(p.width), logical(p.height));
        if (client->size() != wanted) frame_->resize(wanted + (frame_->size() - client->size()));
    } else {
        const QSize wanted(logical(p.width), logical(p.height));
        if (frame_->size() != wanted) frame_->resize(wanted);
    }
    // The decorated frame, title bar included, stands at the position. A compositor that
    // places windows itself ignores this.
    const QPoint at(logical(p.x), logical(p.y));
    if (frame_->frameGeometry().topLeft() != at) frame_->move(at);
    if (restart) {
        placeChecks_ = 0;
        placeTimer_->start();
    }
}

void QtWindow::keepPlacement() {
    if (frame_ == nullptr) return;
    const FramePlacement& p = appliedPlacement_;
    QWidget* client = frame_->centralWidget();
    const QSize wanted(logical(p.width), logical(p.height));
    const bool sized = (clientPlacement_ ? client->size() : frame_->size()) == wanted;
    const bool placed = QGuiApplication::platformName() == QLatin1String("wayland") ||
                        frame_->frameGeometry().topLeft() == QPoint(logical(p.x), logical(p.y));
    const bool mapped = frame_->windowHandle() != nullptr && frame_->windowHandle()->isExposed();
    ++placeChecks_;
    if (!sized || !placed) placeFrame(false);
    // Settled once it has stood right for a while on the screen; given up after some seconds.
    if ((mapped && sized && placed && placeChecks_ >= 10) || placeChecks_ >= 80) {
        placeTimer_->stop();
    }
}

void QtWindow::syncWindows() {
    syncPending_ = false;
    if (frame_ == nullptr) return;
    // Sizes are given to Qt in logical pixels: with an integer device pixel ratio the
    // surface's buffer then holds exactly its own pixels.
    const qreal ratio = deviceRatio();
    const bool rescaled = ratio != ratio_;
    ratio_ = ratio;
    FramePlacement p = framePlacement();
    if (frameShown_ &&
        (p.x != appliedPlacement_.x || p.y != appliedPlacement_.y ||
         p.width != appliedPlacement_.width || p.height != appliedPlacement_.height)) {
        // While the frame exists the placement gives the client area.
        appliedPlacement_ = p;
        clientPlacement_ = true;
        placeFrame(true);
    } else if (frameShown_ && rescaled) {
        placeFrame(true);
    }
    if (unitOpen()) {
        if (child_ == nullptr) {
            surfaceWidget_ = new SurfaceWidget(*this);
            child_ = frame_->area()->addSubWindow(surfaceWidget_);
            child_->setAttribute(Qt::WA_DeleteOnClose, false);
            // The graphics window closes only with its unit: no buttons of its own.
            child_->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
            child_->installEventFilter(frame_);
        }
        child_->setWindowTitle(fromCp1251(windowTitle()));
        int w = 0, h = 0;
        withSurface([&](const Raster& surface) {
            w = surface.width();
            h = surface.height();
        });
        // The surface stands at the top-left of the child window, never scaled or centred.
        surfaceWidget_->setMinimumSize(logical(w), logical(h));
        child_->show();
        surfaceWidget_->setFocus();
        if (tiled()) frame_->area()->tileSubWindows();
        surfaceWidget_->update();
    } else if (child_ != nullptr) {
        child_->hide();
    }
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

// For end-to-end tests: where the menu items and the drawing surface are on the screen.
void QtWindow::reportGeometry() {
    QByteArray path = qgetenv("TRELVAN_GEOMETRY_FILE");
    if (path.isEmpty() || frame_ == nullptr) return;
    std::ofstream out(path.toStdString(), std::ios::trunc);
    QMenuBar* bar = frame_->menuBar();
    const auto actions = bar->actions();
    for (int i = 0; i < actions.size(); ++i) {
        QRect r = bar->actionGeometry(actions[i]);
        QPoint p = bar->mapToGlobal(r.topLeft());
        out << "menu " << i + 1 << ' ' << p.x() << ' ' << p.y() << ' ' << r.width() << ' '
            << r.height() << '\n';
    }
    out << "percent " << std::lround(deviceRatio() * 100) << '\n';
    // The screen as the program sees it: resolution, reported millimetres (0: none), device
    // pixels per logical pixel of a window in per cent, 1 when shown 1:1, Qt's logical size.
    if (const QScreen* screen = frame_->screen()) {
        const ScreenFacts f = screenFacts(*screen);
        out << "screen " << f.pixels.width() << ' ' << f.pixels.height() << ' '
            << std::lround(f.millimetres.width()) << ' ' << std::lround(f.millimetres.height())
            << ' ' << std::lround(f.shown * 100) << ' ' << int(f.exact) << ' '
            << screen->geometry().width() << ' ' << screen->geometry().height() << '\n';
    }
    out << "warning " << int(warnedOfScaling) << '\n';
    QWidget* client = frame_->centralWidget();
    QPoint c = client->mapToGlobal(QPoint(0, 0));
    out << "client " << c.x() << ' ' << c.y() << ' ' << client->width() << ' ' << client->height()
        << '\n';
    if (auto* eye = frame_->findChild<QPushButton*>(QStringLiteral("eyeButton"))) {
        QPoint e = eye->mapToGlobal(QPoint(0, 0));
        out << "eye " << e.x() << ' ' << e.y() << ' ' << eye->width() << ' ' << eye->height()
            << '\n';
    }
    if (surfaceWidget_ != nullptr && child_ != nullptr && child_->isVisible()) {
        QPoint s = surfaceWidget_->mapToGlobal(QPoint(0, 0));
        withSurface([&](const Raster& surface) {
            out << "surface " << s.x() << ' ' << s.y() << ' ' << surface.width() << ' '
                << surface.height() << '\n';
        });
    }
}

void QtWindow::windowChanged() {
    if (frame_ == nullptr) return;
    if (onInputThread()) {
        syncWindows();
    } else if (!syncPending_.exchange(true)) {
        QMetaObject::invokeMethod(
            frame_, [this] { syncWindows(); }, Qt::QueuedConnection);
    }
}

void QtWindow::surfaceChanged() {
    // The program thread draws: frame_ was set before that thread started, while the widget
    // pointer is the input thread's and only read there, in the queued call.
    if (frame_ == nullptr) return;
    if (repaintPending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        qApp,
        [this] {
            repaintPending_ = false;
            repaintChanged();
        },
        Qt::QueuedConnection);
}

void QtWindow::repaintChanged() {
    if (surfaceWidget_ == nullptr) return;
    const SurfaceRect area = takeChanged();
    if (area.empty() || !surfaceWidget_->isVisible()) {
        surfaceWidget_->update();
        return;
    }
    // Only the changed pixels, in logical pixels rounded outwards. repaint() paints and
    // flushes the window's buffer to the display server before it returns.
    const qreal ratio = deviceRatio();
    const int left = static_cast<int>(std::floor(area.left / ratio));
    const int top = static_cast<int>(std::floor(area.top / ratio));
    const int right = static_cast<int>(std::ceil((area.right + 1) / ratio));
    const int bottom = static_cast<int>(std::ceil((area.bottom + 1) / ratio));
    const uint64_t before = paintedVersion_;
    surfaceWidget_->repaint(QRect(left, top, right - left, bottom - top));
    if (paintedVersion_ == before) return;  // nothing was painted (not exposed)
    const double handedOver = CLOCKSECONDS();
    std::lock_guard lock(presentedMutex_);
    presented_.emplace_back(paintedVersion_, handedOver);
    if (presented_.size() > 256) presented_.pop_front();
}

void QtWindow::notePress(quint64 serverMilliseconds) {
    const double now = CLOCKSECONDS();
    double at = now;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        // The X server stamps events with its monotonic clock in whole milliseconds: the
        // clock steady_clock reads here when server and program share the machine. It takes
        // the coarse clock only where that ticks at least every millisecond.
        static const double stampLag = [] {
            timespec resolution{};
            const bool coarse = clock_getres(CLOCK_MONOTONIC_COARSE, &resolution) == 0 &&
                                resolution.tv_sec == 0 && resolution.tv_nsec <= 1000000;
            return coarse ? (1e-3 + resolution.tv_nsec * 1e-9) / 2 : 0.5e-3;
        }();
        const int64_t monotonicNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count();
        at = eventMoment(serverMilliseconds, monotonicNs, now, stampLag);
    }
    pressSeconds_.store(at);
}

double QtWindow::answerSeconds(const PictureMark& mark) {
    // The picture's start: the first repaint that held it, else the mark itself.
    double shown = mark.requested;
    {
        std::lock_guard lock(presentedMutex_);
        for (const auto& [version, seconds] : presented_) {
            if (version >= mark.drawn) {
                shown = seconds;
                break;
            }
        }
    }
    // The press, when one came after the mark; else this moment, as without time stamps.
    double pressed = pressSeconds_.load();
    if (pressed < mark.requested) pressed = CLOCKSECONDS();
    const double answer = std::max(0.0, pressed - shown);
    if (answerLog != nullptr) {
        std::fprintf(answerLog, "%.6f\n", answer);
        std::fflush(answerLog);
    }
    return answer;
}

void QtWindow::paintSurface(QWidget& widget, const QRect& area) {
    QPainter painter(&widget);
    // The scale of the buffer painted into. Qt 6.4 on Wayland may change it (a window moved
    // onto an output of another scale) without changing the widget's device pixel ratio.
    const qreal ratio = painter.deviceTransform().m11();
    paintRatio_ = ratio;
    if (ratio != ratio_ && !syncPending_.exchange(true)) {
        // Moved to another screen or the scale changed: size the windows anew.
        QMetaObject::invokeMethod(
            frame_, [this] { syncWindows(); }, Qt::QueuedConnection);
    }
    // The device pixels to paint: the paint event's area rounded outwards.
    const QRect device(QPoint(static_cast<int>(std::floor(area.left() * ratio)),
                              static_cast<int>(std::floor(area.top() * ratio))),
                       QPoint(static_cast<int>(std::ceil((area.right() + 1) * ratio)) - 1,
                              static_cast<int>(std::ceil((area.bottom() + 1) * ratio)) - 1));
    QRect copy;
    const bool copied = withSurface([&](const Raster& surface) {
        // The surface's 0x00BBGGRR pixels are the bytes R, G, B, 0 in memory; shown opaque,
        // since a compositor keeps the fourth byte as alpha. Only the rows and columns to be
        // painted are copied; the rest of the image stays as last painted.
        const int w = surface.width(), h = surface.height();
        if (shown_.width() != w || shown_.height() != h)
            shown_ = QImage(w, h, QImage::Format_RGBX8888);
        copy = device.intersected(QRect(0, 0, w, h));
        paintedVersion_ = surfaceVersion();
        for (int y = copy.top(); y <= copy.bottom(); ++y) {
            const uint32_t* from = surface.data() + size_t(y) * w;
            auto* to = reinterpret_cast<uint32_t*>(shown_.scanLine(y));
            for (int x = copy.left(); x <= copy.right(); ++x) to[x] = from[x] | 0xFF000000u;
        }
    });
    if (!copied) return;
    // Painted in device pixels: one surface pixel to one pixel of the window's buffer.
    painter.scale(1 / ratio, 1 / ratio);
    if (!copy.isEmpty()) painter.drawImage(copy.topLeft(), shown_, copy);
    // Beyond the surface, within the widget: grey.
    const QColor grey(0xAB, 0xAB, 0xAB);
    const QSize whole(static_cast<int>(std::ceil(widget.width() * ratio - 1e-9)),
                      static_cast<int>(std::ceil(widget.height() * ratio - 1e-9)));
    if (whole.width() > shown_.width())
        painter.fillRect(shown_.width(), 0, whole.width() - shown_.width(), whole.height(), grey);
    if (whole.height() > shown_.height())
        painter.fillRect(0, shown_.height(), shown_.width(), whole.height() - shown_.height(),
                         grey);
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

void QtWindow::SLEEPMS(int32_t ms) {
    if (ms <= 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void QtWindow::READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    year = tm.tm_year + 1900;
    month = tm.tm_mon + 1;
    day = tm.tm_mday;
}

void QtWindow::READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second, int32_t& hundredths) {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    hour = tm.tm_hour;
    minute = tm.tm_min;
    second = tm.tm_sec;
    hundredths = static_cast<int32_t>(ms.count() / 10);
}

double QtWindow::CLOCKSECONDS() {
    return intervalSeconds();
}

void QtWindow::waitInput(uint32_t seen) {
    if (wakeLog == nullptr) {
        blockUntilInput(seen);
        return;
    }
    const bool blocks = inputSequence() == seen;
    blockUntilInput(seen);
    if (!blocks) return;
    const int64_t woken = steadyNanoseconds();
    std::fprintf(wakeLog, "%lld\n",
                 static_cast<long long>(woken - inputStamp.load(std::memory_order_acquire)));
    std::fflush(wakeLog);
}

void QtWindow::orderlyStop(int status) {
    if (onProgramThread) throw ProgramExit{status, ""};
    endProcess(status);
}

void QtWindow::fatalStop(const std::string& messageUtf8) {
    QString text = QString::fromStdString(messageUtf8);
    runOnInputThread([&] { QMessageBox::critical(frame_, caption(), text); });
    if (onProgramThread) throw ProgramExit{1, messageUtf8};
    endProcess(1);
}

int32_t QtWindow::runDialog(Dialog& dialog) {
    int32_t result = -1;
    runOnInputThread([&] { result = runDialogHere(dialog); });
    return result;
}

// --- Start --------------------------------------------------------------------------------

int runDesktop(int argc, char** argv, bool (*initialSettings)(), void (*mainProgram)()) {
    // One surface pixel must stay one device pixel under any desktop scaling.
    keepPixelsUnscaled();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    // Lives until the process ends.
    auto* services = new QtWindow;
    setGraphicsWindow(services);
    initialSettings();
    services->createFrame();
    // Said once, before anything is shown in the graphics window; the program goes on.
    const QString warning = scalingWarning(services->frame());
    warnedOfScaling = !warning.isEmpty();
    if (!warning.isEmpty()) QMessageBox::warning(services->frame(), services->caption(), warning);

    std::atomic<int> status{0};
    std::atomic<bool> finished{false};
    std::thread program([&] {
        onProgramThread = true;
        try {
            mainProgram();
        } catch (const ProgramExit& e) {
            status = e.status;
        }
        finished = true;
        QMetaObject::invokeMethod(
            qApp, [&] { QApplication::exit(status); }, Qt::QueuedConnection);
    });
    int result = app.exec();
    if (!finished) endProcess(result);
    program.join();
    return status;
}

}  // namespace trelvan
