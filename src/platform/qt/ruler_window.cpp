// SPDX-License-Identifier: GPL-3.0-or-later
// The ruler window the parameter dialog may open: a bar to measure with a ruler, or the outline
// of a bank card to match.
#include "platform/qt/ruler_window.h"

#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "platform/qt/device_pixels.h"
#include "platform/qt/qt_dialog.h"
#include "platform/screen_geometry.h"

namespace trelvan {

namespace {

constexpr int kBarMargin = 20;  // device pixels on either side of the bar
constexpr int kBarAreaHeight = 60;

// The bar: exactly barPixels device pixels long, with an end mark on its first and last
// column, drawn 1:1 whatever the device pixel ratio.
class BarWidget : public QWidget {
  public:
    BarWidget(int barPixels, qreal ratio, QWidget* parent)
        : QWidget(parent), bar_(barPixels), ratio_(ratio) {
        setFixedSize(logicalPixels(bar_ + 2 * kBarMargin, ratio_),
                     logicalPixels(kBarAreaHeight, ratio_));
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        const int w = bar_ + 2 * kBarMargin;
        QImage image(w, kBarAreaHeight, QImage::Format_RGB32);
        image.fill(Qt::white);
        auto fill = [&](int x1, int y1, int x2, int y2) {
            for (int y = y1; y <= y2; ++y)
                for (int x = x1; x <= x2; ++x) image.setPixel(x, y, qRgb(0, 0, 0));
        };
        const int left = kBarMargin, right = kBarMargin + bar_ - 1;
        fill(left, 24, right, 35);  // the bar
        fill(left, 6, left, 53);    // its end marks
        fill(right, 6, right, 53);
        QPainter painter(this);
        painter.drawImage(QRectF(0, 0, w / ratio_, kBarAreaHeight / ratio_), image);
    }

  private:
    int bar_;
    qreal ratio_;
};

// A bank card (ISO/IEC 7810 ID-1): its outline is matched on the screen.
constexpr double kCardWidthMm = 85.60;
constexpr double kCardHeightMm = 53.98;
constexpr int kCardMargin = 12;  // device pixels around the outline
constexpr int kSmallestCard = 100;

// The outline of a card, widthPixels device pixels wide, its top-left corner fixed; the arrow
// keys (with Shift by ten pixels) or a drag of the mouse make it wider or narrower.
class CardWidget : public QWidget {
  public:
    CardWidget(int widthPixels, int largest, qreal ratio, QWidget* parent)
        : QWidget(parent), width_(widthPixels), largest_(largest), ratio_(ratio) {
        setFocusPolicy(Qt::StrongFocus);
        setFixedSize(logicalPixels(largest_ + 2 * kCardMargin, ratio_),
                     logicalPixels(heightOf(largest_) + 2 * kCardMargin, ratio_));
        setCursor(Qt::SizeFDiagCursor);
    }

    int cardPixels() const { return width_; }

  protected:
    void paintEvent(QPaintEvent*) override {
        const int w = largest_ + 2 * kCardMargin;
        const int h = heightOf(largest_) + 2 * kCardMargin;
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(hasFocus() ? QColor(0xf4, 0xf8, 0xff) : QColor(Qt::white));
        const int x1 = kCardMargin, y1 = kCardMargin;
        const int x2 = x1 + width_ - 1, y2 = y1 + heightOf(width_) - 1;
        for (int t = 0; t < 2; ++t) {  // two pixels wide, inside the card's size
            for (int x = x1; x <= x2; ++x) {
                image.setPixel(x, y1 + t, qRgb(0, 0, 0));
                image.setPixel(x, y2 - t, qRgb(0, 0, 0));
            }
            for (int y = y1; y <= y2; ++y) {
                image.setPixel(x1 + t, y, qRgb(0, 0, 0));
                image.setPixel(x2 - t, y, qRgb(0, 0, 0));
            }
        }
        QPainter painter(this);
        painter.drawImage(QRectF(0, 0, w / ratio_, h / ratio_), image);
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
        switch (event->key()) {
            case Qt::Key_Right:
            case Qt::Key_Up:
            case Qt::Key_Plus:
                setCard(width_ + step);
                return;
            case Qt::Key_Left:
            case Qt::Key_Down:
            case Qt::Key_Minus:
                setCard(width_ - step);
                return;
            default:
                QWidget::keyPressEvent(event);
        }
    }

    void mousePressEvent(QMouseEvent* event) override { follow(event); }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (event->buttons() & Qt::LeftButton) follow(event);
    }

  private:
    static int heightOf(int widthPixels) {
        return static_cast<int>(std::lround(widthPixels * kCardHeightMm / kCardWidthMm));
    }

    // The pointer marks the outline's right edge (or, nearer the bottom, its bottom edge).
    void follow(QMouseEvent* event) {
        const double x = event->position().x() * ratio_ - kCardMargin + 1;
        const double y = event->position().y() * ratio_ - kCardMargin + 1;
        const double fromHeight = y * kCardWidthMm / kCardHeightMm;
        setCard(static_cast<int>(std::lround(std::max(x, fromHeight))));
    }

    void setCard(int widthPixels) {
        width_ = std::clamp(widthPixels, kSmallestCard, largest_);
        update();
    }

    int width_;
    int largest_;
    qreal ratio_;
};

std::optional<double> millimetres(const QString& text) {
    QString t = text.trimmed();
    t.replace(',', '.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !(v > 0) || !std::isfinite(v)) return std::nullopt;
    return v;
}

class RulerWindow : public QDialog {
  public:
    RulerWindow(QScreen* screen, QWidget* parent) : QDialog(parent) {
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        setWindowTitle("Измерение линейкой");
        const qreal ratio = screen->devicePixelRatio();
        const QSize pixels = devicePixels(*screen);
        bar_ = std::max(500, (pixels.width() - 80) / 100 * 100);

        auto* layout = new QVBoxLayout(this);
        tabs_ = new QTabWidget(this);
        layout->addWidget(tabs_);

        // A bar measured with a ruler.
        auto* rulerPage = new QWidget(tabs_);
        auto* rulerLayout = new QVBoxLayout(rulerPage);
        auto* text = new QLabel(
            QString("Полоса ниже — ровно %1 пикселей экрана. Приложите к ней линейку и измерьте "
                    "её длину в миллиметрах: от внешнего края левой отметки до внешнего края "
                    "правой. Чем точнее измерите, тем точнее будут размеры на экране. Линейка "
                    "короче полосы? Есть вкладка «Банковская карта».")
                .arg(bar_),
            rulerPage);
        text->setWordWrap(true);
        rulerLayout->addWidget(text);
        rulerLayout->addWidget(new BarWidget(bar_, ratio, rulerPage), 0, Qt::AlignLeft);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel("Длина полосы:", rulerPage));
        field_ = new QLineEdit(rulerPage);
        field_->setObjectName("length");
        field_->setFixedWidth(90);
        row->addWidget(field_);
        row->addWidget(new QLabel("мм", rulerPage));
        explanation_ = new QLabel(rulerPage);
        QPalette palette = explanation_->palette();
        palette.setColor(QPalette::WindowText, kAlertText);
        explanation_->setPalette(palette);
        row->addWidget(explanation_, 1);
        rulerLayout->addLayout(row);
        tabs_->addTab(rulerPage, "Линейка");

        // The outline of a bank card matched to a card held against the screen. It starts at
        // the card's size by the reported physical size, or at 96 pixels per inch.
        auto* cardPage = new QWidget(tabs_);
        auto* cardLayout = new QVBoxLayout(cardPage);
        auto* cardText = new QLabel(
            "Приложите к экрану банковскую карту (или другую карту 85.60 × 53.98 мм) так, чтобы "
            "её левый верхний угол совпал с углом рамки, и подгоните рамку под края карты: "
            "стрелками ← → (с Shift — по 10 пикселей) или мышью, ведя правый нижний угол. "
            "Внешний край рамки — край карты.",
            cardPage);
        cardText->setWordWrap(true);
        cardLayout->addWidget(cardText);
        const double mmPerPixel =
            reportedPixelPitch(screen->physicalSize().width(), pixels.width());
        const int guess = static_cast<int>(std::lround(kCardWidthMm / mmPerPixel));
        // Room for twice the guess: a reported size is rarely off by more.
        const int largest =
            std::max(kSmallestCard + 1, std::min({pixels.width() - 120, 1200, 2 * guess}));
        const int start = std::clamp(guess, kSmallestCard, largest);
        card_ = new CardWidget(start, largest, ratio, cardPage);
        card_->setObjectName("card");
        cardLayout->addWidget(card_, 0, Qt::AlignLeft);
        tabs_->addTab(cardPage, "Банковская карта");
        connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
            if (index == 1)
                card_->setFocus();
            else
                field_->setFocus();
        });

        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        auto* done = new QPushButton("Готово", this);
        auto* cancel = new QPushButton("Отмена", this);
        done->setDefault(true);
        buttons->addWidget(done);
        buttons->addWidget(cancel);
        layout->addLayout(buttons);
        connect(done, &QPushButton::clicked, this, [this] { confirm(); });
        connect(cancel, &QPushButton::clicked, this, [this] { QDialog::reject(); });
        connect(field_, &QLineEdit::textEdited, this, [this] { mark(false); });
        field_->setFocus();

        adjustSize();
        const QRect area = screen->availableGeometry();
        move(area.x() + std::max(0, (area.width() - width()) / 2),
             area.y() + std::max(0, (area.height() - height()) / 3));
    }

    RulerReading reading() const { return reading_; }

  private:
    void confirm() {
        if (tabs_->currentIndex() == 1) {
            reading_ = RulerReading{card_->cardPixels(), kCardWidthMm};
            accept();
            return;
        }
        const std::optional<double> v = millimetres(field_->text());
        if (!v) {
            mark(true);
            field_->setFocus();
            field_->selectAll();
            return;
        }
        reading_ = RulerReading{bar_, *v};
        accept();
    }

    void mark(bool bad) {
        QPalette palette = this->palette();
        if (bad) palette.setColor(QPalette::Base, kMarkedBackground);
        field_->setPalette(palette);
        explanation_->setText(bad ? "Нужно число больше нуля, например 304.5" : "");
    }

    int bar_ = 500;
    RulerReading reading_;
    QTabWidget* tabs_ = nullptr;
    QLineEdit* field_ = nullptr;
    QLabel* explanation_ = nullptr;
    CardWidget* card_ = nullptr;
};

}  // namespace

std::optional<RulerReading> measureOnScreen(QScreen& screen, QWidget* parent) {
    RulerWindow window(&screen, parent);
    if (window.exec() != QDialog::Accepted) return std::nullopt;
    return window.reading();
}

}  // namespace trelvan
