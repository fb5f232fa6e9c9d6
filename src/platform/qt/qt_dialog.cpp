// SPDX-License-Identifier: GPL-3.0-or-later
// Modal dialogs built from a dialog template, and the ruler window they may open: a bar to
// measure with a ruler, or the outline of a bank card to match.
#include "platform/qt/qt_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
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
#include <fstream>
#include <map>

#include "platform/dialog.h"
#include "platform/qt/device_pixels.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/window_hints.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

const QColor kMarkedBackground(0xff, 0xb0, 0xb0);
const QColor kAlertText(0xb0, 0x00, 0x00);

// The characters an edit put in: what stands between the text's unchanged start and end.
QString inserted(const QString& before, const QString& after) {
    qsizetype start = 0;
    while (start < before.size() && start < after.size() && before[start] == after[start]) ++start;
    qsizetype end = 0;
    while (end < before.size() - start && end < after.size() - start &&
           before[before.size() - 1 - end] == after[after.size() - 1 - end])
        ++end;
    return after.mid(start, after.size() - start - end);
}

// A field that refuses typed or pasted characters other than digits. What it already holds
// (a leading blank, a minus sign, asterisks) can still be edited every ordinary way: only an
// edit that puts in a character other than a digit is undone.
class DigitsField : public QLineEdit {
  public:
    DigitsField(const QString& text, QWidget* parent) : QLineEdit(text, parent), accepted_(text) {
        // textEdited comes first for an edit by the user; textChanged follows it and also
        // reports texts the program sets.
        connect(this, &QLineEdit::textEdited, this, [this](const QString& edited) {
            const QString added = inserted(accepted_, edited);
            if (std::all_of(added.begin(), added.end(), [](QChar c) { return c.isDigit(); })) {
                accepted_ = edited;
                return;
            }
            const int cursor = cursorPosition() - int(edited.size() - accepted_.size());
            setText(accepted_);
            setCursorPosition(std::clamp(cursor, 0, int(accepted_.size())));
        });
        connect(this, &QLineEdit::textChanged, this, [this] { accepted_ = this->text(); });
    }

  private:
    QString accepted_;
};

class TemplateDialog : public QDialog {
  public:
    TemplateDialog(Dialog& dialog, QWidget* parent) : QDialog(parent), dialog_(dialog) {
        const DialogTemplate& t = dialog.tmpl;
        // No system menu and therefore no close box.
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        setWindowTitle(fromCp1251(t.title));
        QFont font(QString::fromStdString(t.fontName));
        font.setPointSize(t.fontPoints);
        setFont(font);
        // Dialog units: a quarter of the average character width, an eighth of the height.
        QFontMetrics fm(font);
        const double unitX =
            fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0 /
            4.0;
        const double unitY = fm.height() / 8.0;
        auto rect = [&](int x, int y, int w, int h) {
            return QRect(int(std::lround(x * unitX)), int(std::lround(y * unitY)),
                         int(std::lround(w * unitX)), int(std::lround(h * unitY)));
        };
        setFixedSize(rect(0, 0, t.width, t.height).size());
        move(rect(t.x, t.y, 0, 0).topLeft());

        QWidget* previous = nullptr;
        for (const DialogControl& c : t.controls) {
            QWidget* w = nullptr;
            switch (c.kind) {
                case ControlKind::pushButton: {
                    auto* b = new QPushButton(fromCp1251(dialog.texts[c.id]), this);
                    b->setAutoDefault(false);
                    b->setDefault(false);
                    int id = c.id;
                    connect(b, &QPushButton::clicked, this, [this, id] { press(id); });
                    buttons_[c.id] = b;
                    w = b;
                    break;
                }
                case ControlKind::staticText: {
                    auto* label = new QLabel(fromCp1251(c.text), this);
                    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                    if (c.alert) {
                        QPalette palette = label->palette();
                        palette.setColor(QPalette::WindowText, kAlertText);
                        label->setPalette(palette);
                    }
                    if (c.id >= 0) labels_[c.id] = label;
                    w = label;
                    break;
                }
                case ControlKind::edit: {
                    const QString text = fromCp1251(dialog.texts[c.id]);
                    QLineEdit* e =
                        c.digitsOnly ? new DigitsField(text, this) : new QLineEdit(text, this);
                    if (!c.scrolls) {
                        // Holds only as much text as it shows.
                        int visible = int((c.width * unitX - 6) / fm.averageCharWidth());
                        e->setMaxLength(std::max(1, visible));
                    }
                    int id = c.id;
                    connect(e, &QLineEdit::textEdited, this, [this, id] { edited(id); });
                    edits_[c.id] = e;
                    w = e;
                    break;
                }
                case ControlKind::checkBox: {
                    auto* box = new QCheckBox(fromCp1251(c.text), this);
                    box->setChecked(dialog.states[c.id]);
                    checks_[c.id] = box;
                    w = box;
                    break;
                }
            }
            if (c.id >= 0) w->setObjectName(QString::number(c.id));
            w->setGeometry(rect(c.x, c.y, c.width, c.height));
            if (c.kind == ControlKind::staticText) {
                w->setFocusPolicy(Qt::NoFocus);
            } else if (c.tabStop) {
                w->setFocusPolicy(Qt::StrongFocus);
                if (previous != nullptr) QWidget::setTabOrder(previous, w);
                previous = w;
            } else {
                w->setFocusPolicy(Qt::ClickFocus);
            }
        }
        showState();
        dialog_.focusRequest = 0;
        auto first = buttons_.find(t.acceptId);
        if (first != buttons_.end()) first->second->setFocus();
    }

    // Copies what the user typed into the dialog record.
    void collect() {
        for (auto& [id, e] : edits_) dialog_.texts[id] = cp1251(e->text().toStdString());
        for (auto& [id, b] : checks_) dialog_.states[id] = b->isChecked();
    }

    void press(int id) {
        collect();
        if (pressDialogButton(dialog_, id)) {
            closing_ = true;
            accept();
        } else {
            refresh();
        }
    }

    void edited(int id) {
        collect();
        dialogFieldEdited(dialog_, id);
        showState();
    }

    // Shows texts a callback changed while the dialog stays open.
    void refresh() {
        for (auto& [id, e] : edits_) {
            QString text = fromCp1251(dialog_.texts[id]);
            if (e->text() != text) e->setText(text);
        }
        for (auto& [id, b] : buttons_) b->setText(fromCp1251(dialog_.texts[id]));
        showState();
        auto focus = edits_.find(dialog_.focusRequest);
        if (focus != edits_.end()) {
            focus->second->setFocus();
            focus->second->selectAll();
        }
        dialog_.focusRequest = 0;
    }

    // Marks and static texts. A mark changes the background only: the field keeps its font.
    void showState() {
        for (auto& [id, e] : edits_) {
            QPalette palette = this->palette();
            if (dialog_.marked[id]) palette.setColor(QPalette::Base, kMarkedBackground);
            e->setPalette(palette);
        }
        for (auto& [id, label] : labels_) {
            auto text = dialog_.labels.find(id);
            if (text != dialog_.labels.end()) label->setText(QString::fromStdString(text->second));
        }
        logState();
    }

    // For the end-to-end tests (TRELVAN_DIALOG_LOG=file): the static texts that have an id and
    // the marked fields, rewritten whenever they may have changed.
    void logState() {
        const QByteArray path = qgetenv("TRELVAN_DIALOG_LOG");
        if (path.isEmpty()) return;
        std::ofstream out(path.toStdString(), std::ios::trunc);
        for (auto& [id, label] : labels_) {
            QString text = label->text();
            text.replace('\n', "\\n");
            out << "label " << id << ' ' << text.toStdString() << '\n';
        }
        for (auto& [id, e] : edits_)
            if (dialog_.marked[id]) out << "marked " << id << '\n';
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        const DialogTemplate& t = dialog_.tmpl;
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            for (auto& [id, b] : buttons_) {
                if (b->hasFocus()) {
                    press(id);
                    return;
                }
            }
            press(t.acceptId);
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            press(t.cancelId);
            return;
        }
        QDialog::keyPressEvent(event);
    }

    void reject() override {
        // Only a callback closes the dialog. A window manager that insists on a close box
        // of its own gets the cancel control's answer, as Escape does.
        if (closing_) {
            QDialog::reject();
        } else {
            press(dialog_.tmpl.cancelId);
        }
    }

  private:
    Dialog& dialog_;
    std::map<int, QPushButton*> buttons_;
    std::map<int, QLineEdit*> edits_;
    std::map<int, QCheckBox*> checks_;
    std::map<int, QLabel*> labels_;
    bool closing_ = false;
};

// --- The ruler window ---------------------------------------------------------------------

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
        const double mmPerPixel = screen->physicalSize().width() > 0 && pixels.width() > 0
                                      ? screen->physicalSize().width() / pixels.width()
                                      : 25.4 / 96.0;
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

std::unique_ptr<QDialog> makeTemplateDialog(Dialog& dialog, QWidget* parent) {
    return std::make_unique<TemplateDialog>(dialog, parent);
}

int32_t QtWindow::runDialogHere(Dialog& dialog) {
    TemplateDialog window(dialog, frame());
    plainDialogFrame(window);
    window.exec();
    window.collect();
    return dialog.exitRequested ? 1 : -1;
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
        RulerWindow window(screen, parent);
        if (window.exec() == QDialog::Accepted) reading = window.reading();
    });
    return reading;
}

}  // namespace trelvan
