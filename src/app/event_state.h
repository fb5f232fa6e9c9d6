// SPDX-License-Identifier: GPL-3.0-or-later
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
    // The eye the next exercises are for, kept for the run: 0 both, 1 right, 2 left (the
    // values of Eye in the journal). Changed by the eye keys while the start screen shows.
    std::atomic<int32_t> eye{0};
};

// Part of the program state (app/program_state.h).
extern EventState eventState;

// All four fields back to 0, no button held by any source (program start; tests).
void resetEventState();

// Where button gestures come from: the mouse, and the keys that stand for its buttons.
enum class ButtonSource { mouse = 0, keys = 1 };

// Input thread: the buttons (1 left, 2 right) a source holds after one of its events. The
// buttons all sources hold together make the event: when any is held, clicked is set and the
// latching rule applies to them; currentMask becomes them in every case.
void buttonsHeld(ButtonSource source, int32_t mask);

// The key routine. Left and Right stand for the left and the right button, Escape for both:
// a press latches like a button press and a release clears currentMask as the mouse does.
// While the program waits for any button (waitClick) each of these keys, Space and Return
// included, is that one click and latches nothing, so Escape there leaves the screen only.
// Space and Return do nothing elsewhere; repeats of a held key are ignored.
void keyInput(Key key, bool pressed, bool autoRepeat);

// Program thread: whether the eye keys change the eye now (on the start screen) or are
// ignored (in an exercise, the chart, a message).
void eyeChoiceOpen(bool open);

// Waits until condition() holds. Polls as a busy loop would, but sleeps between input events
// instead of spinning: the services wake the program thread on every mouse, key or menu event.
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
