// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the whole program on the headless services with a scripted user.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "app/event_state.h"
#include "app/main_program.h"
#include "app/start_screen.h"
#include "exercise/random.h"
#include "params/parameters.h"
#include "platform/dialog.h"
#include "platform/headless_window.h"
#include "plot/plot.h"

namespace trelvan::testing {

// A fresh working directory holding the supplied trelvan.sym, made current for the test.
class WorkDir {
  public:
    WorkDir() {
        old_ = std::filesystem::current_path();
        path_ = std::filesystem::temp_directory_path() /
                ("trelvan-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        std::filesystem::copy_file(
            std::filesystem::path(TRELVAN_SOURCE_DIR) / "resources/trelvan.sym",
            path_ / "trelvan.sym");
        std::filesystem::current_path(path_);
    }
    ~WorkDir() {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(path_);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string read(const std::string& name) const {
        std::ifstream in(path_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    static int& counter() {
        static int n = 0;
        return n;
    }
    std::filesystem::path old_;
    std::filesystem::path path_;
};

// Presses the start button of the parameter dialog.
inline void confirmDialog(Dialog& dialog) {
    pressDialogButton(dialog, 1);
}

class ProgramRun {
  public:
    ProgramRun() {
        resetEventState();
        resetPlotState();
        resetRan11();
        parameterSet = ParameterSet{};
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
