// SPDX-License-Identifier: GPL-3.0-or-later
// What the files of the desktop services share besides QtWindow itself: the end of the process,
// and the probes that benchmarks and end-to-end tests switch on.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>

namespace trelvan {

// Ends the process at once with status, output flushed.
[[noreturn]] void endProcess(int status);

// For benchmarks (TRELVAN_WAKE_LOG=file): the input thread stamps every mouse event and menu
// choice before it wakes the program thread; each wait for input that had to block writes the
// nanoseconds from the last stamp to its waking, one a line. wakeLog is null when not asked for.
extern std::FILE* const wakeLog;
extern std::atomic<int64_t> inputStamp;
int64_t steadyNanoseconds();
void stampInput();

// For benchmarks (TRELVAN_ANSWER_LOG=file): every answer time of a training in seconds, one a
// line; null when not asked for.
extern std::FILE* const answerLog;

// For end-to-end tests: whether the user was warned of a rescaled picture.
extern std::atomic<bool> warnedOfScaling;

}  // namespace trelvan
