// The parameter set: viewing distance, screen size and resolution, training volume, sound.
#pragma once

#include <cstdint>
#include <string>

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

// Filled once at start-up by VVDALND, read-only afterwards.
extern ParameterSet parameterSet;

inline constexpr const char* kParameterFile = "trelvan.vvd";

struct Dialog;

// Parameter file and dialog; returns only when the user started the work.
void VVDALND();

// The dialog's button callback.
void OBROK(Dialog& dialog, int32_t controlId, int32_t callbackType);

// Reads the parameter file at path into p: the first seven columns of each of its seven lines.
// The first missing or unconvertible line ends the reading, that field and the later ones
// keeping the values p had. A missing file changes nothing. Returns 0, or the error (an errno
// or notRegularFile) of a file that is there but could not be read, which ended the reading
// like a missing line.
int readParameterFile(const std::string& path, ParameterSet& p);

// The seven lines of the parameter file for the values, with CR LF line ends.
std::string parameterFileText(const ParameterSet& p);

}  // namespace trelvan
