// SPDX-License-Identifier: GPL-3.0-or-later
// The start screen: one picture per element size, shown for five seconds, with the checks
// of the main program at fixed points.
#pragma once

#include <cstdint>

namespace trelvan {

// Where a check sends the main loop.
enum class StepOutcome { done, toTop };

// One start-screen step with element size k, on the window size of programState; it sets
// programState.currentSize once the texture is drawn.
StepOutcome startScreenStep(int32_t k);

// The checks of the main program, each running its tests in order; the first that holds acts.
StepOutcome fullCheck();
StepOutcome figureCheck();
StepOutcome exitCheck();

}  // namespace trelvan
