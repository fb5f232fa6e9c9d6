// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/event_state.h"

#include "app/status_line.h"
#include "params/parameters.h"

namespace trelvan {

EventState eventState;

namespace {

// The buttons each source holds (input thread; atomic for the tests' user threads).
std::atomic<int32_t> heldBy[2];
// The keys held, one bit per Key.
std::atomic<int32_t> keysHeld{0};
// Set while the program thread waits for any button.
std::atomic<bool> anyButtonWait{false};
// Set while the start screen takes the eye keys.
std::atomic<bool> eyeKeysOpen{false};

// The value of EventState::eye an eye key chooses, or -1 for other keys.
int32_t eyeOf(Key key) {
    switch (key) {
        case Key::eyeBoth:
            return 0;
        case Key::eyeRight:
            return 1;
        case Key::eyeLeft:
            return 2;
        case Key::eyeNext:
            return 3;
        default:
            return -1;
    }
}

int32_t buttonsOf(Key key) {
    switch (key) {
        case Key::left:
            return MOUSE_KS_LBUTTON;
        case Key::right:
            return MOUSE_KS_RBUTTON;
        case Key::escape:
            return MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON;
        default:
            return 0;
    }
}

}  // namespace

void resetEventState() {
    eventState.latchedMask = 0;
    eventState.clicked = 0;
    eventState.currentMask = 0;
    eventState.menuRequest = 0;
    heldBy[0] = 0;
    heldBy[1] = 0;
    keysHeld = 0;
    anyButtonWait = false;
    eyeKeysOpen = false;
    eventState.eye = 0;
    resetStatus();
}

void buttonsHeld(ButtonSource source, int32_t mask) {
    heldBy[static_cast<int>(source)] = mask;
    const int32_t held = heldBy[0] | heldBy[1];
    if (held != 0) {
        eventState.clicked = 1;
        if (eventState.latchedMask < 3) eventState.latchedMask = held;
    }
    eventState.currentMask = held;
}

void keyInput(Key key, bool pressed, bool autoRepeat) {
    if (autoRepeat) return;
    // An eye key is never a button: it chooses on the start screen and does nothing elsewhere.
    if (const int32_t eye = eyeOf(key); eye >= 0) {
        if (pressed && eyeKeysOpen) eventState.eye = eye == 3 ? (eventState.eye + 1) % 3 : eye;
        return;
    }
    if (pressed && anyButtonWait) {
        eventState.clicked = 1;
        return;
    }
    if (buttonsOf(key) == 0) return;
    const int32_t bit = 1 << static_cast<int32_t>(key);
    // A press of a key held already is a repeat however it comes; the release of a key not
    // held (its press went elsewhere) is none of the program's business.
    if (pressed == ((keysHeld & bit) != 0)) return;
    keysHeld = pressed ? (keysHeld | bit) : (keysHeld & ~bit);
    // The buttons the keys held now stand for: Left and Right together are both, as Escape is.
    int32_t buttons = 0;
    for (Key k : {Key::left, Key::right, Key::escape})
        if (keysHeld & (1 << static_cast<int32_t>(k))) buttons |= buttonsOf(k);
    buttonsHeld(ButtonSource::keys, buttons);
}

void eyeChoiceOpen(bool open) {
    eyeKeysOpen = open;
}

void waitButtonsUp() {
    waitFor([] { return eventState.currentMask.load() == 0; });
}

void waitClick() {
    eventState.clicked = 0;
    anyButtonWait = true;
    waitFor([] { return eventState.clicked.load() == 1; });
    anyButtonWait = false;
    eventState.clicked = 0;
}

void BEEPQQSK(int32_t frequency, int32_t durationMs) {
    if (parameterSet.soundOn) gw().BEEPTONE(frequency, durationMs);
}

}  // namespace trelvan
