// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the desktop window services: the frame with its menu bar, the program thread that
// runs mainProgram, and the input thread (the caller's), which handles the windows.
#pragma once

namespace trelvan {

// initialSettings is called on the input thread before the frame exists; mainProgram runs on
// the program thread until it stops the program. Returns the process exit status.
int runDesktop(int argc, char** argv, bool (*initialSettings)(), void (*mainProgram)());

}  // namespace trelvan
