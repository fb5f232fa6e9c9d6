// Event state shared by the input routines (input thread) and the program thread, and the
// tone routine every exercise uses.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/graphics_window.h"

namespace trelvan {

struct EventState {
    std::atomic<int32_t> latchedMask{0};  // gesture to act on: 1 left, 2 right, 3 both
    std::atomic<int32_t> clicked{0};      // a button event happened since the last clearing
    std::atomic<int32_t> currentMask{0};  // buttons held now, 0 when all are up
    std::atomic<int32_t> menuRequest{0};  // 0 none, 1 vision check, 3 progress chart
};

extern EventState eventState;

// All four fields back to 0 (program start; tests).
void resetEventState();

// Waits until condition() holds. Polls as a busy loop would, but sleeps between input events
// instead of spinning: the services wake the program thread on every mouse or menu event.
template <class Condition>
void waitFor(Condition condition) {
    for (;;) {
        uint32_t seen = gw().inputSequence();
        if (condition()) return;
        gw().waitInput(seen);
    }
}

// Waits until all buttons are released.
void waitButtonsUp();
// Clears clicked, waits for the next click, clears it again.
void waitClick();

// Every tone of the program: sounds only while sound is switched on.
void BEEPQQSK(int32_t frequency, int32_t durationMs);

}  // namespace trelvan
