// SPDX-License-Identifier: GPL-3.0-or-later
// Main program, start-up hook, mouse and menu routines.
#pragma once

#include <cstdint>

namespace trelvan {

// The whole life of the program thread; ends only by stopping the program.
[[noreturn]] void MAIN__();  // NOLINT(bugprone-reserved-identifier): the routine's name

// Called by the services on the input thread before the frame exists.
bool INITIALSETTINGS();

// Mouse routine: updates the event state from the key state.
void TYPXY(int32_t unit, int32_t event, int32_t keystate, int32_t x, int32_t y);

// Menu routines.
void TRITOUT_S(bool checked);
void PROGEXIT(bool checked);

}  // namespace trelvan
