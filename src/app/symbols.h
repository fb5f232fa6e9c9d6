// SPDX-License-Identifier: GPL-3.0-or-later
// The digit figures, one per element size 1 to 9, read from trelvan.sym.
#pragma once

#include <cstdint>
#include <string>

namespace trelvan {

inline constexpr int kMaxCells = 10000;

// IJNOT(j, k, s): row (k = 1) and column (k = 2) offset of cell j of figure s.
struct SymbolOffsets {
    int32_t data[9][kMaxCells][2] = {};
    int32_t operator()(int j, int k, int s) const { return data[s - 1][j - 1][k - 1]; }
    int32_t& operator()(int j, int k, int s) { return data[s - 1][j - 1][k - 1]; }
};

struct SymbolTable {
    int32_t NOTDIM[9] = {};  // NOTDIM[s - 1]: cell count of figure s
    SymbolOffsets IJNOT;
};

// Part of the program state (app/program_state.h).
extern SymbolTable symbolTable;

// Loads trelvan.sym of the working directory into symbolTable; stops the program on failure.
void loadSymbolTable();

// Loads the symbol file at path into table, with the same rules and the same stops. The file
// is opened as unit 14; a missing file is created empty (and then stops the program, since it
// ends before the first figure).
void loadSymbolTable(const std::string& path, SymbolTable& table = symbolTable);

}  // namespace trelvan
