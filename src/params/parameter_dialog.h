// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter dialog VVDALND: the values of parameterSet from the parameter file, shown for
// correction and checked, then kept in the file when the user starts the work.
#pragma once

#include <cstdint>
#include <string>

namespace trelvan {

struct Dialog;
struct ScreenReport;

// Parameter file and dialog; returns only when the user started the work.
void VVDALND();

// The dialog's button callback.
void OBROK(Dialog& dialog, int32_t controlId, int32_t callbackType);

// Whether the dialog accepts value in the field (1000 distance, 1001 diagonal, 1002 and 1003
// resolution, 1004 training volume): distance and diagonal above 0 and held by F7.3 of the
// file, resolutions 1 to 9999 (I4 of the dialog), training volumes 1 to 999999 (I6 of the
// journal).
bool acceptableValue(int32_t fieldId, double value);

// The dialog's line on what the screen's pixels allow the vision check at these values
// (UTF-8). The program gives it before VVDALND runs (the ring belongs to the check); without
// one the dialog shows no such line.
using AccuracyNote = std::string (*)(float distanceCm, float diagonalInch, int32_t windowWidth,
                                     int32_t windowHeight, int32_t pixelsX, int32_t pixelsY);
void setAccuracyNote(AccuracyNote note);

// The dialog's line on the screen as the system reports it (UTF-8), for example
// "Экран по данным системы: 1280 × 1024 пикселей, 325 × 260 мм, 16.4″"; with a second line
// when the resolution in the fields differs. Empty when the resolution is unknown.
std::string screenLine(const ScreenReport& screen, bool fieldsDiffer);

}  // namespace trelvan
