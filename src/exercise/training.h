// SPDX-License-Identifier: GPL-3.0-or-later
// The training's own pieces: its counters, the arithmetic of its screens and its summary.
// TEST itself is declared in exercises.h.
#pragma once

#include <cstdint>
#include <string>

namespace trelvan {

// Counters of one training. They start at 0 when TEST is entered and go to the summary.
struct TrainingCounters {
    int32_t rightCount = 0;
    int32_t wrongCount = 0;
    int32_t silentCount = 0;     // every answer is awaited without a limit, so this stays 0
    float answerTimeSum = 0.0f;  // seconds, right and wrong answers alike
};

// Right end of the done part of the progress bar while picture i of volume is awaited:
// (width - 1) * i div volume.
int32_t progressEnd(int32_t windowWidth, int32_t i, int32_t volume);

// Word form that goes with a count n: 1 for a last digit 1, 2 for 2 to 4, 3 for 0 and 5 to 9;
// 11 to 20 always take form 3. Negative counts take form 3.
int countWordForm(int32_t n);

// The three count lines of the summary (Windows-1251): the count in I4, then its word.
std::string attemptsLine(int32_t n);  // trainingVolume, 12 characters shown
std::string errorsLine(int32_t n);    // wrongCount, 11 characters shown
std::string silentLine(int32_t n);    // silentCount, 20 characters shown

// Mean answer time of a training, seconds; 0 when trainingVolume is 0 or less (no answers).
float meanAnswerTime(const TrainingCounters& counters, int32_t trainingVolume);

// The smallest element size the start screen offers: what a training confirms with it is the
// most a training can confirm at the viewing distance.
inline constexpr int32_t kSmallestElement = 2;

// Decimal acuity that an element of p pixels confirms at the viewing distance: the reciprocal
// of its visual angle in minutes of arc.
float confirmedAcuity(int32_t p, float distanceCm, float diagonalInch, int32_t pixelsX,
                      int32_t pixelsY);

// Closes a completed training: draws the summary, appends the journal entry, shows the
// continuation prompt and waits for a click.
void trainingSummary(int32_t p, const TrainingCounters& counters, int16_t windowWidth,
                     int16_t windowHeight);

}  // namespace trelvan
