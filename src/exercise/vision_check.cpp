// SPDX-License-Identifier: GPL-3.0-or-later
// The vision check: bisection over the acuity levels, the journal line and the result screen.

#include <optional>
#include <string>

#include "app/event_state.h"
#include "app/status_line.h"
#include "exercise/exercises.h"
#include "exercise/random.h"
#include "exercise/screen_limit.h"
#include "exercise/vision.h"
#include "journal/journal.h"
#include "params/parameters.h"
#include "platform/colours.h"
#include "platform/fields.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

constexpr float kLevels[kTozSize] = {0.0f, 0.1f, 0.2f, 0.3f,  0.4f, 0.5f, 0.6f, 0.7f,
                                     0.8f, 0.9f, 1.0f, 1.25f, 1.5f, 2.0f, 10.0f};

using rgb::kBlue;
constexpr const char* kTitleFont = "t'Times New Roman Cyr'h38w17ib";
constexpr const char* kDigitsFont = "t'Times New Roman Cyr'h120w40ib";

// The check's own text buffer: screen texts are formatted into it, then drawn in part.
constexpr size_t kTextBufferSize = 80;

void putText(std::string& TM, const std::string& text) {
    TM = text.substr(0, kTextBufferSize);
    TM.resize(kTextBufferSize, ' ');
}

void drawText(const std::string& TM, int16_t x, int16_t y, size_t count) {
    XYCoord previous;
    gw().MOVETO(x, y, previous);
    gw().OUTGTEXT(TM.substr(0, count));
}

// Where no ring reaches: under the prompt, in its font. Rings drawn less than true to size are
// a few dozen pixels across at most, around the middle of the window.
constexpr int16_t kLimitX = 60;
constexpr int16_t kLimitY = 600;

// The level up to which the screen drew the rings true to size, for a result above it.
std::optional<float> limitOf(float acuity, float highestTrue) {
    if (!(acuity > highestTrue)) return std::nullopt;
    return highestTrue;
}

// When the result lies above the highest level the screen draws true to size at this
// distance, one line under the prompt says so.
void showLimit(std::string& TM, std::optional<float> trueTo) {
    if (!trueTo) return;
    const std::string text =
        *trueTo > 0 ? "Экран точен лишь до " + levelText(*trueTo) + " — результат выше не измерен"
                    : std::string("Экран неточен уже на 0.1 — результат не измерен");
    gw().SETFONT(kTitleFont);
    putText(TM, cp1251(text));
    drawText(TM, kLimitX, kLimitY, cp1251(text).size());
}

void showResult(float acuity, std::optional<float> trueTo) {
    GraphicsWindow& g = gw();
    std::string TM(kTextBufferSize, ' ');
    g.SETCOLORRGB(kBlue);

    g.SETFONT(kTitleFont);
    putText(TM, cp1251("Острота зрения"));
    drawText(TM, 200, 250, 14);

    g.SETFONT(kDigitsFont);
    putText(TM, fields::F(acuity, 4, 1));
    drawText(TM, 500, 185, 4);

    g.SETFONT(kTitleFont);
    putText(TM, cp1251("Для продолжения нажмите любую кнопку мыши"));
    drawText(TM, 60, 550, 41);

    showLimit(TM, trueTo);
}

void journalResult(float acuity, std::optional<float> trueTo) {
    int32_t day, month, year, hour, minute, second;
    DATETIMEWR(day, month, year, hour, minute, second);
    std::string error;
    if (!appendCheckEntry(day, month, year, hour, minute, second, acuity, parameterSet.distanceCm,
                          journalFileName, &error, trueTo,
                          static_cast<Eye>(eventState.eye.load()))) {
        gw().showMessage("Результат проверки зрения не записан в журнал " +
                         std::string(journalFileName) + ".\n" + error);
    }
}

}  // namespace

float TOZ(int index) {
    checkIndex("TOZ", index, 1, kTozSize);
    return kLevels[index - 1];
}

std::optional<float> searchAcuity(const std::function<std::optional<bool>(float level)>& runLevel) {
    int lo = 1;         // highest level known to be passed
    int hi = kTozSize;  // lowest level known to be failed
    int mid = 2;        // the level to run next: the search starts at 0.1
    for (;;) {
        const std::optional<bool> passed = runLevel(TOZ(mid));
        if (!passed) return std::nullopt;
        if (!*passed) {
            if (mid <= lo + 1) return TOZ(lo);
            hi = mid;
        } else {
            if (mid >= hi - 1) return TOZ(mid);
            lo = mid;
        }
        mid = lo + (hi - lo) / 2;
    }
}

void EVETEST(int32_t windowWidth, int32_t windowHeight) {
    const ParameterSet& p = parameterSet;
    int32_t passed = 0;
    auto runLevel = [&](float level) -> std::optional<bool> {
        TESTSTR(level, p.distanceCm, p.diagonalInch, windowWidth, windowHeight, p.pixelsX,
                p.pixelsY, passed);
        if (eventState.latchedMask.load() == 3) {
            // Both buttons: leave once they are released, with the gesture used up.
            waitButtonsUp();
            eventState.latchedMask = 0;
            eventState.clicked = 0;
            eventState.currentMask = 0;
            return std::nullopt;
        }
        // A menu request stays for the main program to serve.
        if (eventState.menuRequest.load() != 0) return std::nullopt;
        return passed == 1;
    };

    const std::optional<float> acuity = searchAcuity(runLevel);
    if (!acuity) return;

    // A result above what the screen drew true to size is marked in the journal and on the
    // screen with the highest true level.
    const std::optional<float> trueTo =
        limitOf(*acuity, highestTrueLevel(p.distanceCm, p.diagonalInch, windowWidth, windowHeight,
                                          p.pixelsX, p.pixelsY));
    journalResult(*acuity, trueTo);
    // Drawn over the last ring, which stays on the screen.
    showResult(*acuity, trueTo);
    statusAnyButton();
    waitClick();
}

}  // namespace trelvan
