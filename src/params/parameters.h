// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter set: viewing distance, screen size and resolution, training volume, sound;
// and the parameter file trelvan.vvd that keeps it.
#pragma once

#include <cstdint>
#include <string>

// The dialog that fills the set and the screen arithmetic it uses, for the callers that include
// this header for the whole of the parameters.
#include "params/parameter_dialog.h"
#include "params/screen_geometry.h"

namespace trelvan {

struct ParameterSet {
    float distanceCm = 200.0f;
    float diagonalInch = 17.7f;
    int32_t pixelsY = 768;
    int32_t pixelsX = 1024;
    int32_t trainingVolume = 100;
    float answerTimeSec = 600.0f;
    bool soundOn = true;
};

// Filled once at start-up by VVDALND, read-only afterwards. Part of the program state
// (app/program_state.h).
extern ParameterSet parameterSet;

inline constexpr const char* kParameterFile = "trelvan.vvd";

// Where the reading of the parameter file stopped before its seventh line: the 1-based line
// that was missing or could not be converted (0: read whole, or no file).
struct ParameterFileStop {
    int line = 0;
    bool missing = false;  // the file ended before this line
};

// Reads the parameter file at path into p: the first seven columns of each of its seven lines.
// The first missing or unconvertible line ends the reading, that field and the later ones
// keeping the values p had; stop (if given) tells which line that was. A missing file changes
// nothing. Returns 0, or the error (an errno or notRegularFile) of a file that is there but
// could not be read, which ended the reading like a missing line.
int readParameterFile(const std::string& path, ParameterSet& p, ParameterFileStop* stop = nullptr);

// The dialog's line on a parameter file that was not read to its end (UTF-8), or empty.
std::string parameterFileNote(const ParameterFileStop& stop);

// The seven lines of the parameter file for the values, with CR LF line ends.
std::string parameterFileText(const ParameterSet& p);

}  // namespace trelvan
