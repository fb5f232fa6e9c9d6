// Modal dialogs built from a dialog template.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <map>

#include "platform/dialog.h"
#include "platform/qt/qt_window.h"
#include "platform/qt/window_hints.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

QString fromCp1251(const std::string& bytes) {
    return QString::fromStdString(utf8FromCp1251(bytes));
}

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
            return QRect(int(x * unitX + 0.5), int(y * unitY + 0.5), int(w * unitX + 0.5),
                         int(h * unitY + 0.5));
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
                case ControlKind::staticText:
                    w = new QLabel(fromCp1251(c.text), this);
                    static_cast<QLabel*>(w)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                    break;
                case ControlKind::edit: {
                    auto* e = new QLineEdit(fromCp1251(dialog.texts[c.id]), this);
                    if (c.digitsOnly)
                        e->setValidator(
                            new QRegularExpressionValidator(QRegularExpression("[0-9]*"), e));
                    if (!c.scrolls) {
                        // Holds only as much text as it shows.
                        int visible = int((c.width * unitX - 6) / fm.averageCharWidth());
                        e->setMaxLength(std::max(1, visible));
                    }
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

    // Shows texts a callback changed while the dialog stays open.
    void refresh() {
        bool focused = false;
        for (auto& [id, e] : edits_) {
            QString text = fromCp1251(dialog_.texts[id]);
            if (e->text() != text) e->setText(text);
            bool mark = dialog_.marked[id];
            e->setStyleSheet(mark ? "QLineEdit { background: #ffb0b0; }" : "");
            if (mark && !focused) {
                e->setFocus();
                e->selectAll();
                focused = true;
            }
        }
        for (auto& [id, b] : buttons_) b->setText(fromCp1251(dialog_.texts[id]));
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
    bool closing_ = false;
};

}  // namespace

int32_t QtWindow::runDialogHere(Dialog& dialog) {
    TemplateDialog window(dialog, frame());
    plainDialogFrame(window);
    window.exec();
    window.collect();
    return dialog.exitRequested ? 1 : -1;
}

}  // namespace trelvan
