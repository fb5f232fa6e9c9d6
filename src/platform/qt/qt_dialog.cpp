// SPDX-License-Identifier: GPL-3.0-or-later
// Modal dialogs built from a dialog template.
#include "platform/qt/qt_dialog.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

#include "platform/dialog.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/window_hints.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

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

}  // namespace

std::unique_ptr<QDialog> makeTemplateDialog(Dialog& dialog, QWidget* parent) {
    return std::make_unique<TemplateDialog>(dialog, parent);
}

int32_t runTemplateDialog(Dialog& dialog, QWidget* parent) {
    TemplateDialog window(dialog, parent);
    plainDialogFrame(window);
    window.exec();
    window.collect();
    return dialog.exitRequested ? 1 : -1;
}

}  // namespace trelvan
