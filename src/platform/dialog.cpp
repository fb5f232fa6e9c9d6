// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialog.h"

#include <cctype>
#include <sstream>

#include "platform/graphics_window.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

// Splits a template line into words; "quoted text" is one word without its quotes.
std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
        } else if (line[i] == '"') {
            size_t close = line.find('"', i + 1);
            if (close == std::string_view::npos) close = line.size();
            out.emplace_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
        } else {
            size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
            out.emplace_back(line.substr(i, end - i));
            i = end;
        }
    }
    return out;
}

bool toInt(const std::string& s, int& out) {
    try {
        size_t used = 0;
        out = std::stoi(s, &used);
        return used == s.size();
    } catch (...) {
        return false;
    }
}

const char* const kTemplateFiles[] = {"IDD_DIALOG1.dlg"};

}  // namespace

std::optional<DialogTemplate> parseDialogTemplate(std::string_view text) {
    DialogTemplate t;
    bool haveHeader = false;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        auto w = words(line);
        if (w.empty() || w[0][0] == '#') continue;
        const std::string& key = w[0];
        if (key == "DIALOG" && w.size() >= 3) {
            if (!toInt(w[1], t.resourceId)) return std::nullopt;
            t.name = w[2];
            haveHeader = true;
        } else if (key == "TITLE" && w.size() >= 2) {
            t.title = cp1251(w[1]);
        } else if (key == "RECT" && w.size() >= 5) {
            if (!toInt(w[1], t.x) || !toInt(w[2], t.y) || !toInt(w[3], t.width) ||
                !toInt(w[4], t.height))
                return std::nullopt;
        } else if (key == "FONT" && w.size() >= 3) {
            t.fontName = w[1];
            if (!toInt(w[2], t.fontPoints)) return std::nullopt;
        } else if (key == "ACCEPT" && w.size() >= 2) {
            if (!toInt(w[1], t.acceptId)) return std::nullopt;
        } else if (key == "CANCEL" && w.size() >= 2) {
            if (!toInt(w[1], t.cancelId)) return std::nullopt;
        } else if ((key == "PUSHBUTTON" || key == "STATIC" || key == "EDIT" || key == "CHECKBOX") &&
                   w.size() >= 7) {
            DialogControl c;
            c.kind = key == "PUSHBUTTON" ? ControlKind::pushButton
                     : key == "STATIC"   ? ControlKind::staticText
                     : key == "EDIT"     ? ControlKind::edit
                                         : ControlKind::checkBox;
            if (!toInt(w[1], c.id) || !toInt(w[2], c.x) || !toInt(w[3], c.y) ||
                !toInt(w[4], c.width) || !toInt(w[5], c.height))
                return std::nullopt;
            c.text = cp1251(w[6]);
            for (size_t k = 7; k < w.size(); ++k) {
                if (w[k] == "TABSTOP")
                    c.tabStop = true;
                else if (w[k] == "DIGITS")
                    c.digitsOnly = true;
                else if (w[k] == "SCROLL")
                    c.scrolls = true;
                else if (w[k] == "ALERT")
                    c.alert = true;
                else
                    return std::nullopt;
            }
            t.controls.push_back(c);
        } else {
            return std::nullopt;
        }
    }
    if (!haveHeader) return std::nullopt;
    return t;
}

const DialogControl* Dialog::control(int id) const {
    if (id < 0) return nullptr;
    for (const auto& c : tmpl.controls)
        if (c.id == id) return &c;
    return nullptr;
}

bool DLGINIT(int32_t templateId, Dialog& dialog) {
    for (const char* file : kTemplateFiles) {
        auto parsed = parseDialogTemplate(resourceText(file));
        if (!parsed || parsed->resourceId != templateId) continue;
        dialog = Dialog{};
        dialog.tmpl = *parsed;
        for (const auto& c : dialog.tmpl.controls) {
            if (c.kind == ControlKind::checkBox) dialog.states[c.id] = false;
            if (c.kind == ControlKind::edit || c.kind == ControlKind::pushButton)
                dialog.texts[c.id] = c.text;
            if (c.kind == ControlKind::staticText && c.id >= 0)
                dialog.labels[c.id] = utf8FromCp1251(c.text);
        }
        return true;
    }
    return false;
}

bool DLGSET(Dialog& dialog, int32_t controlId, const std::string& text) {
    const DialogControl* c = dialog.control(controlId);
    if (c == nullptr || c->kind == ControlKind::checkBox || c->kind == ControlKind::staticText)
        return false;
    dialog.texts[controlId] = text;
    return true;
}

bool DLGSETLABEL(Dialog& dialog, int32_t controlId, const std::string& textUtf8) {
    const DialogControl* c = dialog.control(controlId);
    if (c == nullptr || c->kind != ControlKind::staticText) return false;
    dialog.labels[controlId] = textUtf8;
    return true;
}

bool DLGSETLOG(Dialog& dialog, int32_t controlId, bool value) {
    const DialogControl* c = dialog.control(controlId);
    if (c == nullptr || c->kind != ControlKind::checkBox) return false;
    dialog.states[controlId] = value;
    return true;
}

bool DLGSETSUB(Dialog& dialog, int32_t controlId, DialogCallback callback) {
    if (dialog.control(controlId) == nullptr) return false;
    dialog.callbacks[controlId] = callback;
    return true;
}

int32_t DLGMODAL(Dialog& dialog) {
    dialog.exitRequested = false;
    dialog.running = true;
    int32_t result = gw().runDialog(dialog);
    dialog.running = false;
    return result;
}

void DLGEXIT(Dialog& dialog) {
    dialog.exitRequested = true;
}

bool DLGGET(Dialog& dialog, int32_t controlId, std::string& text) {
    auto it = dialog.texts.find(controlId);
    if (it == dialog.texts.end()) return false;
    text = it->second;
    return true;
}

bool DLGGETLOG(Dialog& dialog, int32_t controlId, bool& value) {
    auto it = dialog.states.find(controlId);
    if (it == dialog.states.end()) return false;
    value = it->second;
    return true;
}

bool DLGSETMARK(Dialog& dialog, int32_t controlId, bool marked) {
    const DialogControl* c = dialog.control(controlId);
    if (c == nullptr || c->kind != ControlKind::edit) return false;
    dialog.marked[controlId] = marked;
    return true;
}

bool pressDialogButton(Dialog& dialog, int controlId) {
    auto it = dialog.callbacks.find(controlId);
    if (it != dialog.callbacks.end() && it->second != nullptr)
        it->second(dialog, controlId, DLG_CLICKED);
    return dialog.exitRequested;
}

void dialogFieldEdited(Dialog& dialog, int controlId) {
    auto it = dialog.callbacks.find(controlId);
    if (it != dialog.callbacks.end() && it->second != nullptr)
        it->second(dialog, controlId, DLG_CHANGE);
}

}  // namespace trelvan
