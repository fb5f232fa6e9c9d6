// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's status bar: where the user is and what the buttons and keys do there. Every
// text the bar shows is composed here.
#pragma once

#include <cstdint>
#include <string>

namespace trelvan {

struct StatusLine {
    enum class Screen { startScreen, training, trainingWrong, check, anyButton, chart };
    Screen screen = Screen::startScreen;
    int32_t size = 0;     // start screen: the element size a training would start with
    int32_t picture = 0;  // training: the picture answered now, of volume
    int32_t volume = 0;
    float level = 0;   // check: the acuity level being run
    int32_t run = 0;   // check: right answers in a row at this level
    std::string note;  // start screen: said in front of the rest (UTF-8)
    int32_t eye = 0;   // the eye chosen for the run (EventState::eye)
};

// The text of the line, UTF-8.
std::string statusText(const StatusLine& line);

// Program thread: shows the line in the status bar, unless the bar says it already.
void showStatus(const StatusLine& line);

// The screens, as their code shows them; each names the eye chosen for the run.
void statusStartScreen(int32_t size);
void statusTraining(int32_t picture, int32_t volume);
void statusTrainingWrong(int32_t volume);
void statusCheck(float level, int32_t run);
void statusAnyButton();
void statusChart();
// A note said once: it stands in front of the start screen's text until the user starts
// something.
void statusNote(const std::string& utf8);
// Forgets what the bar says and the note (program start; tests).
void resetStatus();

}  // namespace trelvan
