// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop window services: a frame window with a menu bar, one graphics child window
// showing the raster surface 1:1, the mouse, the about box, dialogs, tones and the clock.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QWidget>
#include <atomic>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/qt/qt_text.h"
#include "platform/qt/tone.h"
#include "platform/raster_window.h"

class QLabel;
class QMdiArea;
class QTimer;
class QMdiSubWindow;

namespace trelvan {

class QtWindow;

// The drawing surface on screen: the raster image painted 1:1, mouse events passed on.
class SurfaceWidget : public QWidget {
    Q_OBJECT
  public:
    explicit SurfaceWidget(QtWindow& services);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void pass(QMouseEvent* event, bool press);
    bool passKey(QKeyEvent* event, bool press);
    QtWindow& services_;
};

class FrameWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit FrameWindow(QtWindow& services);
    QMdiArea* area() const { return area_; }
    QLabel* statusLabel() const { return status_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QtWindow& services_;
    QMdiArea* area_;
    QLabel* status_;
};

class QtWindow : public RasterWindow {
  public:
    QtWindow();
    ~QtWindow() override;

    // Input thread: builds the frame from what the start-up hook recorded and shows it.
    void createFrame();
    FrameWindow* frame() const { return frame_; }
    QString caption() const;

    void showAbout() override;
    void showMessage(const std::string& messageUtf8) override;
    bool askRetry(const std::string& messageUtf8) override;
    int32_t runDialog(Dialog& dialog) override;
    ScreenReport screenReport() override;
    void setStatusText(const std::string& utf8) override;
    bool soundOutputAvailable() override;
    std::optional<RulerReading> measureWithRuler() override;
    void BEEPTONE(int32_t frequency, int32_t durationMs) override;
    void SLEEPMS(int32_t ms) override;
    void READLOCALDATE(int32_t& year, int32_t& month, int32_t& day) override;
    void READLOCALTIME(int32_t& hour, int32_t& minute, int32_t& second,
                       int32_t& hundredths) override;
    double CLOCKSECONDS() override;
    double answerSeconds(const PictureMark& mark) override;
    void waitInput(uint32_t seen) override;
    [[noreturn]] void orderlyStop(int status) override;
    [[noreturn]] void fatalStop(const std::string& messageUtf8) override;

    // Input thread: applies the recorded frame and window state to the real windows.
    void syncWindows();
    void reportGeometry();
    // Paints the part area (logical pixels) of the surface into the widget.
    void paintSurface(QWidget& widget, const QRect& area);
    void mouse(int32_t event, int32_t keystate, int32_t x, int32_t y);
    // Input thread: one key of Key pressed or released; releaseKeys lets go of every key held
    // (the surface lost the keyboard, so their releases will not come).
    void key(Key key, bool pressed, bool autoRepeat);
    void releaseKeys();
    // Input thread: an event of the menu bar, before the bar handles it (a choice from the
    // keyboard or with the mouse is told apart), and a menu item chosen.
    void menuInput(QEvent* event);
    void menuChosen(int position);
    // A button press, by the display server's time stamp of it (milliseconds).
    void notePress(quint64 serverMilliseconds);
    bool onInputThread() const;
    // Device pixels per logical pixel of the surface's window, as last painted.
    qreal deviceRatio() const;

  protected:
    void surfaceChanged() override;
    void windowChanged() override;

  private:
    int32_t runDialogHere(Dialog& dialog);
    // Repaints what the program changed since the last repaint, at once, and notes when the
    // picture was handed to the display server.
    void repaintChanged();
    // Device pixels to logical pixels at the frame's current ratio, rounded up.
    int logical(int devicePixels) const;
    void placeFrame(bool restart);
    void keepPlacement();

    QtTextRenderer text_;
    ToneGenerator tones_;
    FrameWindow* frame_ = nullptr;
    QMdiSubWindow* child_ = nullptr;
    SurfaceWidget* surfaceWidget_ = nullptr;
    std::atomic<bool> repaintPending_{false};
    std::atomic<bool> syncPending_{false};
    bool frameShown_ = false;
    FramePlacement appliedPlacement_{0, 0, 0, 0, 0};
    // Input thread only.
    bool clientPlacement_ = false;
    qreal ratio_ = 1;
    qreal paintRatio_ = 0;
    QImage shown_;
    uint64_t paintedVersion_ = 0;  // the surface version the last paint copied
    // When pictures were handed to the display server: (surface version, CLOCKSECONDS), the
    // latest last. Written by the input thread, read by the program thread.
    std::mutex presentedMutex_;
    std::deque<std::pair<uint64_t, double>> presented_;
    // The latest button press on the CLOCKSECONDS clock (negative before the first).
    std::atomic<double> pressSeconds_{-1.0};
    QTimer* placeTimer_ = nullptr;
    int placeChecks_ = 0;
    int keysDown_ = 0;             // input thread: one bit per Key held
    bool keyboardChoice_ = false;  // input thread: the menu bar is handling a choosing key
};

}  // namespace trelvan
