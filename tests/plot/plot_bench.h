// SPDX-License-Identifier: GPL-3.0-or-later
// Common set-up of the plotting tests: a recording window installed as the window services
// and the plotting state back at program start; undone when the bench goes out of scope.
#pragma once

#include <string>

#include "platform/graphics_window.h"
#include "plot/plot.h"
#include "recording_window.h"
#include "support/fresh_program.h"

namespace trelvan::plottest {

// The title the main program gives its window ("Тренажер для глаз" in Windows-1251).
inline const std::string kTitle = "\xD2\xF0\xE5\xED\xE0\xE6\xE5\xF0 \xE4\xEB\xFF \xE3\xEB\xE0\xE7";

struct PlotBench {
    testing::FreshProgram fresh;
    RecordingWindow window;

    PlotBench() { setGraphicsWindow(&window); }
    ~PlotBench() { setGraphicsWindow(nullptr); }
    PlotBench(const PlotBench&) = delete;
    PlotBench& operator=(const PlotBench&) = delete;

    // The main program's start-up: the 980 x 650 page of unit 1 in black; the record starts
    // empty afterwards.
    void startUp() {
        PAGE(1, 650, 980, kTitle);
        SETCOL(7);
        window.clearRecord();
    }

    // Runs a call that must stop the program; returns the stop message ("" when the call
    // returned normally).
    template <typename F>
    std::string stopMessage(F&& call) {
        try {
            call();
        } catch (const ProgramExit& exit) {
            return exit.message.empty() ? std::string("(orderly stop)") : exit.message;
        }
        return {};
    }
};

}  // namespace trelvan::plottest
