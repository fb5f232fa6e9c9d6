// SPDX-License-Identifier: GPL-3.0-or-later
// The program's mutable state, all of it named in one record. Each library keeps its part
// beside its code (the event state under the exercises and the chart, the plotting tables in
// the plot library, the parameter set in the parameter library, RAN11's state with RAN11);
// the record refers to those parts and holds the main program's own fields. Every field says
// which thread writes it.
#pragma once

#include <cstdint>

#include "app/event_state.h"
#include "app/symbols.h"
#include "exercise/random.h"
#include "params/parameters.h"
#include "plot/plot.h"

namespace trelvan {

// The main program's own fields; all written by the program thread.
struct MainProgramState {
    // Once after the window is opened: the size of the drawing surface.
    int16_t windowWidth = 980;
    int16_t windowHeight = 650;
    // Element size of the figure shown last; the size a training starts with.
    int32_t currentSize = 2;
    // The start screen's sweep over the element sizes, first to last by step.
    int32_t sweepFrom = 2;
    int32_t sweepTo = 9;
    int32_t sweepStep = 1;
};

struct ProgramState : MainProgramState {
    // Input thread: TYPXY, the keys and the menu routines set the gesture, the click, the
    // requests and the eye. Program thread: clears them and serves the requests. Atomic
    // fields; the buttons each source holds and the status bar's memory go with them
    // (event_state.cpp, status_line.cpp).
    EventState& eventState;
    // Program thread, once, in VVDALND; read-only afterwards.
    ParameterSet& parameterSet;
    // Program thread, at start-up (NOTDIM, IJNOT from trelvan.sym); read-only afterwards.
    SymbolTable& symbolTable;
    // Program thread: the page, region and colour tables (GR1, GR2, COLDIM) of the plotting.
    PlotState& plotState;
    // Program thread: RAN11's generator.
    Ran11State& ran11State;
};

extern ProgramState programState;

// Every part of the program state back to what the program starts with: the event state and
// the status bar's memory, the parameter set, an empty symbol table, the plotting tables,
// RAN11 at its first value and the main program's own fields (tests).
void resetProgramState();

}  // namespace trelvan
