// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_program.h"

#include "app/event_state.h"
#include "app/program_state.h"
#include "app/start_screen.h"
#include "app/status_line.h"
#include "app/symbols.h"
#include "exercise/exercises.h"
#include "exercise/screen_limit.h"
#include "journal/chart.h"
#include "params/parameters.h"
#include "platform/dialog.h"
#include "platform/textfile.h"
#include "plot/plot.h"

namespace trelvan {

namespace {

constexpr int kSmallestSize = 2;
constexpr int kLargestSize = 9;

// The instruction text of the about box: lines separated by single carriage returns.
std::string aboutText() {
    std::string text(resourceText("about.txt"));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text)
        if (c == '\n') c = '\r';
    return cp1251(text);
}

// Step 1 of the main loop: a pending vision check, then a pending progress chart.
void serveRequests() {
    eyeChoiceOpen(false);
    if (eventState.menuRequest == 1) {
        eventState.menuRequest = 0;
        EVETEST(programState.windowWidth, programState.windowHeight);
        waitButtonsUp();
        eventState.clicked = 0;
    }
    if (eventState.menuRequest == 3) {
        eventState.menuRequest = 0;
        TRITOUT();
        eventState.clicked = 0;
    }
}

bool requestTest() {
    return eventState.menuRequest != 0;
}

void exitTest() {
    if (eventState.latchedMask != 3) return;
    waitButtonsUp();
    gw().CLOSEUNIT(1);
    stopProgram(0);
}

bool visionCheckTest() {
    if (eventState.clicked == 1 && eventState.latchedMask == 2 && eventState.currentMask == 0) {
        eventState.menuRequest = 1;
        return true;
    }
    return false;
}

bool trainingTest() {
    if (eventState.clicked == 1 && eventState.latchedMask == 1 && eventState.currentMask == 0) {
        eyeChoiceOpen(false);
        TEST(programState.currentSize, symbolTable.NOTDIM, symbolTable.IJNOT,
             programState.windowWidth, programState.windowHeight);
        waitButtonsUp();
        eventState.latchedMask = 0;
        return true;
    }
    return false;
}

// The start screen takes the eye keys; the status bar follows a change at every check.
void eyeTest() {
    eyeChoiceOpen(true);
    statusStartScreen(programState.currentSize);
}

}  // namespace

StepOutcome fullCheck() {
    eyeTest();
    if (requestTest()) return StepOutcome::toTop;
    exitTest();
    if (visionCheckTest()) return StepOutcome::toTop;
    if (trainingTest()) return StepOutcome::toTop;
    return StepOutcome::done;
}

StepOutcome figureCheck() {
    eyeTest();
    exitTest();
    if (requestTest()) return StepOutcome::toTop;
    if (visionCheckTest()) return StepOutcome::toTop;
    return StepOutcome::done;
}

StepOutcome exitCheck() {
    eyeTest();
    exitTest();
    return StepOutcome::done;
}

bool INITIALSETTINGS() {
    gw().SETWSIZEQQ(kFrameUnit, FramePlacement{4, 50, 50, 400, 650});
    gw().APPENDMENUITEM(1, 4, cp1251("Выход"), PROGEXIT);
    gw().APPENDMENUITEM(2, 4, cp1251("Итоги_тренировок"), TRITOUT_S);
    gw().APPENDMENUITEM(3, 4, cp1251("Инструкция"), WINABOUT);
    // Alt highlights the first item: Alt and Return alone must not end the program.
    gw().confirmFromKeyboard(1, "Завершить работу программы?");
    return true;
}

// Only the two button bits make the gesture: a click with Shift or Control held still counts.
// Keys that stand for buttons and are held meanwhile count with the mouse's buttons.
void TYPXY(int32_t, int32_t, int32_t keystate, int32_t, int32_t) {
    buttonsHeld(ButtonSource::mouse, keystate & (MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON));
}

void TRITOUT_S(bool) {
    eventState.menuRequest = 3;
}

void PROGEXIT(bool) {
    gw().CLOSEUNIT(1);
    BEEPQQSK(0, 350);
    stopProgram(0);
}

void MAIN__() {
    GraphicsWindow& g = gw();
    ProgramState& state = programState;
    eventState.menuRequest = 0;
    g.SETEXITMODE(2);
    g.SETABOUTTEXT(aboutText());
    g.SETWSIZEQQ(kFrameUnit, FramePlacement{4, 0, 0, 768, 1024});
    PAGE(1, 650, 980, cp1251("Тренажер для глаз"));
    SETCOL(colourIndex::kBlack);
    WindowConfig config;
    g.GETWINDOWCONFIG(config);
    state.windowWidth = config.numxpixels;
    state.windowHeight = config.numypixels;
    g.INITIALIZEFONTS();
    setAccuracyNote(accuracyNote);
    VVDALND();
    if (parameterSet.soundOn && !g.soundOutputAvailable())
        statusNote("Звук включен, но устройство вывода недоступно");
    g.REGISTERMOUSEEVENTQQ(
        1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP | MOUSE_RBUTTONDOWN | MOUSE_RBUTTONUP, TYPXY);
    g.registerKeyRoutine(keyInput);
    eventState.clicked = 0;
    state.sweepFrom = kSmallestSize;
    state.sweepTo = kLargestSize;
    state.sweepStep = 1;
    loadSymbolTable();
    state.currentSize = state.sweepFrom;

    for (;;) {  // the top of the main loop
        serveRequests();
        eyeChoiceOpen(true);
        state.sweepFrom = state.sweepStep == -1 ? kLargestSize : kSmallestSize;
        bool toTop = false;
        while (!toTop) {
            int32_t steps = (state.sweepTo - state.sweepFrom + state.sweepStep) / state.sweepStep;
            int32_t k = state.sweepFrom;
            for (int32_t n = 0; n < steps; ++n, k += state.sweepStep) {
                if (startScreenStep(k) == StepOutcome::toTop) {
                    toTop = true;
                    break;
                }
            }
            if (toTop) break;
            if (state.sweepStep == 1) {
                state.sweepFrom = kLargestSize - 1;
                state.sweepTo = kSmallestSize;
            } else {
                state.sweepFrom = kSmallestSize + 1;
                state.sweepTo = kLargestSize;
            }
            state.sweepStep = -state.sweepStep;
            if (eventState.menuRequest != 0) {
                serveRequests();
                eyeChoiceOpen(true);
            }
        }
    }
}

}  // namespace trelvan
