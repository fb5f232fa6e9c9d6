#include "app/event_state.h"

#include "params/parameters.h"

namespace trelvan {

EventState eventState;

void resetEventState() {
    eventState.latchedMask = 0;
    eventState.clicked = 0;
    eventState.currentMask = 0;
    eventState.menuRequest = 0;
}

void waitButtonsUp() {
    waitFor([] { return eventState.currentMask.load() == 0; });
}

void waitClick() {
    eventState.clicked = 0;
    waitFor([] { return eventState.clicked.load() == 1; });
    eventState.clicked = 0;
}

void BEEPQQSK(int32_t frequency, int32_t durationMs) {
    if (parameterSet.soundOn) gw().BEEPTONE(frequency, durationMs);
}

}  // namespace trelvan
