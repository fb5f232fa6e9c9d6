// SPDX-License-Identifier: GPL-3.0-or-later
// The dialog window built from a template (the services' modal dialog), for its tests too.
#pragma once

#include <QDialog>
#include <memory>

namespace trelvan {

struct Dialog;

// The window of the running dialog: controls placed in dialog units, named by their ids
// (objectName "1000" for control 1000). Pressing a button runs the dialog's callbacks; the
// window closes when one of them exits the dialog.
std::unique_ptr<QDialog> makeTemplateDialog(Dialog& dialog, QWidget* parent);

}  // namespace trelvan
