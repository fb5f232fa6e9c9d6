// SPDX-License-Identifier: GPL-3.0-or-later
// The training summary: counts, mean answer time and the acuity the training confirmed, the
// journal entry, and the prompt to go on.
#include <algorithm>
#include <cmath>
#include <string>

#include "app/event_state.h"
#include "app/status_line.h"
#include "exercise/random.h"
#include "exercise/training.h"
#include "journal/journal.h"
#include "params/parameters.h"
#include "params/screen_geometry.h"
#include "platform/colours.h"
#include "platform/fields.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

using rgb::kBlue;
using rgb::kMediumGreen;
using rgb::kOlive;
using rgb::kWhite;

const char* const kSmallFont = "t'Times New Roman Cyr'h38w17ib";
const char* const kMediumFont = "t'Times New Roman Cyr'h68w20ib";
const char* const kLargeFont = "t'Times New Roman Cyr'h120w40ib";

constexpr size_t kTextBufferLength = 80;

std::string countLine(int32_t n, const char* form1, const char* form2, const char* form3) {
    const char* word = form3;
    switch (countWordForm(n)) {
        case 1:
            word = form1;
            break;
        case 2:
            word = form2;
            break;
        default:
            break;
    }
    return fields::I(n, 4) + cp1251(word);
}

// Puts text into the routine's 80-character buffer TM (blank-filled) and draws the first n
// characters of TM with their top-left corner at (x, y).
void drawText(int16_t x, int16_t y, const std::string& text, size_t n) {
    std::string TM(kTextBufferLength, ' ');
    TM.replace(0, std::min(text.size(), kTextBufferLength), text, 0, kTextBufferLength);
    XYCoord previous;
    gw().MOVETO(x, y, previous);
    gw().OUTGTEXT(TM.substr(0, std::min(n, kTextBufferLength)));
}

// A fixed text of the summary, drawn whole.
void drawLabel(int16_t x, int16_t y, const char* utf8) {
    const std::string text = cp1251(utf8);
    drawText(x, y, text, text.size());
}

}  // namespace

int countWordForm(int32_t n) {
    int32_t last = n % 10;
    if (n > 10 && n < 21) last = 5;
    if (last == 1) return 1;
    if (last >= 2 && last <= 4) return 2;
    return 3;
}

std::string attemptsLine(int32_t n) {
    return countLine(n, " попытка", " попытки", " попыток");
}

std::string errorsLine(int32_t n) {
    return countLine(n, " ошибка", " ошибки", " ошибок");
}

std::string silentLine(int32_t n) {
    return countLine(n, " раз не ответили", "раза не ответили", " раз не ответили");
}

float meanAnswerTime(const TrainingCounters& counters, int32_t trainingVolume) {
    // Without a single picture there is no answer to average: the summary shows 0.00.
    if (trainingVolume <= 0) return 0.0f;
    return counters.answerTimeSum / static_cast<float>(counters.wrongCount + counters.rightCount);
}

float confirmedAcuity(int32_t p, float distanceCm, float diagonalInch, int32_t pixelsX,
                      int32_t pixelsY) {
    const float pitch = pixelPitch(diagonalInch, pixelsX, pixelsY);
    const float ratio = pitch * static_cast<float>(p) / (10.0f * distanceCm);
    const float degreesPerRadian = 57.29577951f;
    const float angle = std::atan(ratio) * degreesPerRadian;
    return 1.0f / (60.0f * angle);
}

void trainingSummary(int32_t p, const TrainingCounters& counters, int16_t windowWidth,
                     int16_t windowHeight) {
    GraphicsWindow& g = gw();
    const ParameterSet& params = parameterSet;

    g.SETCOLORRGB(kWhite);
    g.RECTANGLE(GFILLINTERIOR, 0, 0, static_cast<int16_t>(windowWidth - 1),
                static_cast<int16_t>(windowHeight - 1));

    g.SETFONT(kSmallFont);
    g.SETCOLORRGB(kOlive);
    drawText(30, 0, attemptsLine(params.trainingVolume), 12);
    drawText(250, 0, errorsLine(counters.wrongCount), 11);
    drawText(500, 0, silentLine(counters.silentCount), 20);

    g.SETCOLORRGB(kMediumGreen);
    drawLabel(50, 120, "Среднее время ответа");
    drawLabel(655, 120, "сек.");
    const float meanTime = meanAnswerTime(counters, params.trainingVolume);
    g.SETFONT(kLargeFont);
    drawText(400, 55, fields::F(meanTime, 7, 2), 7);

    const float acuity =
        confirmedAcuity(p, params.distanceCm, params.diagonalInch, params.pixelsX, params.pixelsY);
    g.SETFONT(kMediumFont);
    drawLabel(30, 280, "Острота зрения");
    g.SETFONT(kLargeFont);
    drawText(390, 240, fields::F(acuity, 4, 2), 4);
    g.SETFONT(kMediumFont);
    drawLabel(570, 280, "подтверждена");
    if (p == kSmallestElement) {
        // Nothing finer can be trained at this distance: the acuity shown is a ceiling.
        g.SETFONT(kSmallFont);
        const std::string ceiling =
            cp1251("Элемент " + std::to_string(p) + " — самый мелкий: больше ") +
            fields::F(acuity, 4, 2);
        drawText(30, 380, ceiling, ceiling.size());
        drawLabel(30, 420, "тренировка на этом расстоянии не подтвердит");
    }

    // The entry is in the journal before the prompt appears: a program ended at the prompt
    // has recorded the training.
    int32_t day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    DATETIMEWR(day, month, year, hour, minute, second);
    std::string reason;
    if (!appendTrainingEntry(day, month, year, hour, minute, second, acuity, meanTime,
                             params.trainingVolume, params.distanceCm, journalFileName, &reason,
                             static_cast<Eye>(eventState.eye.load()))) {
        g.showMessage(std::string("Результат тренировки не записан в журнал ") + journalFileName +
                      ".\n" + reason);
    }

    g.SETFONT(kSmallFont);
    g.SETCOLORRGB(kBlue);
    drawLabel(60, 550, "Для продолжения нажмите любую кнопку мыши");

    statusAnyButton();
    waitClick();
}

}  // namespace trelvan
