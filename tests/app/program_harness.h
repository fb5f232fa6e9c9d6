// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the whole program on the headless services with a scripted user.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/event_state.h"
#include "app/main_program.h"
#include "app/program_state.h"
#include "app/start_screen.h"
#include "platform/dialog.h"
#include "platform/headless_window.h"
#include "support/fresh_program.h"

namespace trelvan::testing {

// Presses the start button of the parameter dialog.
inline void confirmDialog(Dialog& dialog) {
    pressDialogButton(dialog, 1);
}

class ProgramRun {
  public:
    // In the working directory of the fresh program, which gets the shipped figures.
    explicit ProgramRun(const FreshProgram& fresh) {
        fresh.addShippedFigures();
        setGraphicsWindow(&window);
        window.dialogHandler = confirmDialog;
        INITIALSETTINGS();
    }
    ~ProgramRun() { setGraphicsWindow(nullptr); }

    // Runs the main program until it stops, the script ends or the time limit passes.
    ProgramExit run(double timeLimit = 600.0) {
        window.setTimeLimit(timeLimit);
        window.close();
        try {
            MAIN__();
        } catch (const ProgramExit& e) {
            return e;
        }
        return ProgramExit{-999, "returned"};
    }

    HeadlessWindow window;
};

}  // namespace trelvan::testing
