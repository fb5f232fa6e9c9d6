// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog window built from a template (the services' modal dialog), for its tests too.
#pragma once

#include <QColor>
#include <QDialog>
#include <cstdint>
#include <memory>

namespace trelvan {

struct Dialog;

// The window of the running dialog: controls placed in dialog units, named by their ids
// (objectName "1000" for control 1000). Pressing a button runs the dialog's callbacks; the
// window closes when one of them exits the dialog.
std::unique_ptr<QDialog> makeTemplateDialog(Dialog& dialog, QWidget* parent);

// Runs the dialog's window modally above parent and copies what the user typed into the
// dialog record: 1 when a callback exited the dialog, -1 otherwise.
int32_t runTemplateDialog(Dialog& dialog, QWidget* parent);

// The background of a field marked for correction and the colour of an alert text, in every
// dialog window.
inline const QColor kMarkedBackground(0xff, 0xb0, 0xb0);
inline const QColor kAlertText(0xb0, 0x00, 0x00);

}  // namespace trelvan
