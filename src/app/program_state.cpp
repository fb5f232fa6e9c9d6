// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/program_state.h"

namespace trelvan {

ProgramState programState{{}, eventState, parameterSet, symbolTable, plotState, ran11State};

void resetProgramState() {
    static const SymbolTable emptyTable;  // too large for a temporary on the stack
    resetEventState();
    parameterSet = ParameterSet{};
    symbolTable = emptyTable;
    resetPlotState();
    resetRan11();
    static_cast<MainProgramState&>(programState) = MainProgramState{};
}

}  // namespace trelvan
