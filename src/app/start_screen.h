// SPDX-License-Identifier: GPL-3.0-or-later
// The start screen: one picture per element size, shown for five seconds, with the checks
// of the main program at fixed points.
#pragma once

#include <cstdint>

namespace trelvan {

// Where a check sends the main loop.
enum class StepOutcome { done, toTop };

// Size of the drawing surface, read once after the window is opened.
extern int16_t windowWidth;
extern int16_t windowHeight;
// Element size of the figure shown last; the size a training starts with.
extern int32_t currentSize;

// One start-screen step with element size k.
StepOutcome startScreenStep(int32_t k);

// The checks of the main program, each running its tests in order; the first that holds acts.
StepOutcome fullCheck();
StepOutcome figureCheck();
StepOutcome exitCheck();

}  // namespace trelvan
