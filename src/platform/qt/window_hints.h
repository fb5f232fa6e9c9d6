// SPDX-License-Identifier: GPL-3.0-or-later
// Decorations asked of an X window manager.
#pragma once

class QWidget;

namespace trelvan {

// A title bar and a border, and nothing the user could minimise, maximise or close the window
// with. Qt's own window flags cannot say this to an X window manager: without any of the three
// buttons it asks for all functions. Some window managers keep their buttons whatever the hints
// say: a minimised window is then shown again at once.
void plainDialogFrame(QWidget& window);

}  // namespace trelvan
