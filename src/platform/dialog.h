// SPDX-License-Identifier: GPL-3.0-or-later
// Modal dialogs driven by a dialog template kept among the program's resources.
//
// A Dialog holds the texts and check states of its controls; DLGMODAL shows it through the
// window services, which copy what the user typed back into the Dialog and call the
// registered callbacks; a callback closes the dialog with DLGEXIT.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvan {

enum class ControlKind { pushButton, staticText, edit, checkBox };

struct DialogControl {
    ControlKind kind = ControlKind::staticText;
    int id = -1;                              // -1 for static texts
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    std::string text;                         // Windows-1251
    bool tabStop = false;
    bool digitsOnly = false;  // refuses typed characters other than digits
    bool scrolls = false;     // the text may grow beyond the visible width
    bool alert = false;       // a static text that explains what is wrong, drawn to stand out
};

struct DialogTemplate {
    int resourceId = 0;
    std::string name;
    std::string title;  // Windows-1251
    int x = 0, y = 0, width = 0, height = 0;
    std::string fontName;
    int fontPoints = 8;
    int acceptId = 1;  // control that Enter presses from controls other than push buttons
    int cancelId = 2;  // control that Escape presses
    std::vector<DialogControl> controls;
};

// Parses the template format of resources/*.dlg (UTF-8 text; texts become Windows-1251).
std::optional<DialogTemplate> parseDialogTemplate(std::string_view text);

struct Dialog;
using DialogCallback = void (*)(Dialog& dialog, int32_t controlId, int32_t callbackType);

struct Dialog {
    DialogTemplate tmpl;
    std::map<int, std::string> texts;  // push buttons, edit fields (Windows-1251)
    std::map<int, bool> states;        // check boxes
    std::map<int, DialogCallback> callbacks;
    std::map<int, bool> marked;  // edit fields shown as needing correction
    // Static texts that have an id, changed while the dialog runs (UTF-8: they may hold
    // characters the code page lacks).
    std::map<int, std::string> labels;
    // An edit field to give the focus, with its text selected, when a callback has left the
    // dialog open (0: none); the services clear it once done.
    int focusRequest = 0;
    bool running = false;
    bool exitRequested = false;

    const DialogControl* control(int id) const;
};

// Callback kinds: a push button was pressed; an edit field's text was changed by the user.
inline constexpr int32_t DLG_CLICKED = 1;
inline constexpr int32_t DLG_CHANGE = 2;

bool DLGINIT(int32_t templateId, Dialog& dialog);
bool DLGSET(Dialog& dialog, int32_t controlId, const std::string& text);
bool DLGSETLOG(Dialog& dialog, int32_t controlId, bool value);
// A callback of a push button is called when it is pressed; of an edit field, whenever the
// user changes its text (DLG_CHANGE).
bool DLGSETSUB(Dialog& dialog, int32_t controlId, DialogCallback callback);
// Sets the text of a static text that has an id (UTF-8).
bool DLGSETLABEL(Dialog& dialog, int32_t controlId, const std::string& textUtf8);
// Runs the dialog modally until a callback closes it. Returns -1 when it could not be shown.
int32_t DLGMODAL(Dialog& dialog);
void DLGEXIT(Dialog& dialog);
bool DLGGET(Dialog& dialog, int32_t controlId, std::string& text);
bool DLGGETLOG(Dialog& dialog, int32_t controlId, bool& value);
// Marks an edit field as needing correction (or clears the mark).
bool DLGSETMARK(Dialog& dialog, int32_t controlId, bool marked);

// Used by the services while the dialog runs: a push button was pressed (by click, Enter or
// Escape). Calls its callback; returns true when the dialog is to close.
bool pressDialogButton(Dialog& dialog, int controlId);
// Used by the services while the dialog runs: the user changed the text of an edit field (the
// new text is in dialog.texts). Calls its callback, if any.
void dialogFieldEdited(Dialog& dialog, int controlId);

// A resource file of the program, compiled in ("IDD_DIALOG1.dlg", "about.txt"); empty when
// there is none.
std::string_view resourceText(const char* name);

}  // namespace trelvan
