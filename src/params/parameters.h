// SPDX-License-Identifier: GPL-3.0-or-later
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

// Filled once at start-up by VVDALND, read-only afterwards. Part of the program state
// (app/program_state.h).
extern ParameterSet parameterSet;

inline constexpr const char* kParameterFile = "trelvan.vvd";

struct Dialog;
struct RulerReading;
struct ScreenReport;

// Parameter file and dialog; returns only when the user started the work.
void VVDALND();

// The dialog's button callback.
void OBROK(Dialog& dialog, int32_t controlId, int32_t callbackType);

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

// Whether the dialog accepts value in the field (1000 distance, 1001 diagonal, 1002 and 1003
// resolution, 1004 training volume): distance and diagonal above 0 and held by F7.3 of the
// file, resolutions 1 to 9999 (I4 of the dialog), training volumes 1 to 999999 (I6 of the
// journal).
bool acceptableValue(int32_t fieldId, double value);

// The seven lines of the parameter file for the values, with CR LF line ends.
std::string parameterFileText(const ParameterSet& p);

// The dialog's line on what the screen's pixels allow the vision check at these values
// (UTF-8). The program gives it before VVDALND runs (the ring belongs to the check); without
// one the dialog shows no such line.
using AccuracyNote = std::string (*)(float distanceCm, float diagonalInch, int32_t windowWidth,
                                     int32_t windowHeight, int32_t pixelsX, int32_t pixelsY);
void setAccuracyNote(AccuracyNote note);

// The diagonal in inches of a screen of pixelsX by pixelsY pixels on which a bar of the reading's
// pixels measures the reading's millimetres:
// 25.4 x diagonal / sqrt(pixelsX^2 + pixelsY^2) = millimetres / barPixels.
double diagonalFromRuler(const RulerReading& reading, int32_t pixelsX, int32_t pixelsY);

// A physical size the system reports that can be a real screen's: square-ish pixels of a
// pitch between 0.05 and 1.5 mm, and not the size of 96 pixels per inch that systems report
// when they know nothing of the screen.
bool plausibleScreenSize(const ScreenReport& screen);

// The dialog's line on the screen as the system reports it (UTF-8), for example
// "Экран по данным системы: 1280 × 1024 пикселей, 325 × 260 мм, 16.4″"; with a second line
// when the resolution in the fields differs. Empty when the resolution is unknown.
std::string screenLine(const ScreenReport& screen, bool fieldsDiffer);

}  // namespace trelvan
