// SPDX-License-Identifier: GPL-3.0-or-later
// The keys that stand for the mouse buttons, and the frame's status bar, on the headless
// services: the same event protocol as the mouse, whole exercises with the keyboard alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "app/status_line.h"
#include "platform/textfile.h"
#include "program_harness.h"

namespace trelvan::testing {
namespace {

void volume(Dialog& d, const char* count) {
    DLGSET(d, 1004, count);
    pressDialogButton(d, 1);
}
void volumeOne(Dialog& d) {
    volume(d, "1");
}
void volumeTwo(Dialog& d) {
    volume(d, "2");
}
void soundOff(Dialog& d) {
    DLGSETLOG(d, 1007, false);
    pressDialogButton(d, 1);
}

int countTones(const HeadlessWindow& w, int frequency) {
    return static_cast<int>(
        std::count_if(w.tones().begin(), w.tones().end(),
                      [&](const ToneRecord& t) { return t.frequency == frequency; }));
}

bool said(const HeadlessWindow& w, const std::string& part) {
    return std::any_of(w.statusTexts().begin(), w.statusTexts().end(),
                       [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

struct State {
    int32_t latched, clicked, current;
    bool operator==(const State&) const = default;
};
std::ostream& operator<<(std::ostream& out, const State& s) {
    return out << "{" << s.latched << ", " << s.clicked << ", " << s.current << "}";
}
State state() {
    return {eventState.latchedMask, eventState.clicked, eventState.currentMask};
}

GTEST_TEST(KeyInput, ArrowsAndEscapeLatchAndReleaseLikeTheButtons) {
    FreshProgram fresh;
    keyInput(Key::left, true, false);
    EXPECT_EQ(state(), (State{1, 1, 1})) << "a press latches like the left button";
    keyInput(Key::left, false, false);
    EXPECT_EQ(state(), (State{1, 1, 0})) << "its release clears currentMask only";

    // Right while Left is held: both buttons, staying latched.
    resetProgramState();
    keyInput(Key::right, true, false);
    EXPECT_EQ(state(), (State{2, 1, 2}));
    keyInput(Key::left, true, false);
    EXPECT_EQ(state(), (State{3, 1, 3}));
    keyInput(Key::right, false, false);
    EXPECT_EQ(state(), (State{3, 1, 1}));
    keyInput(Key::left, false, false);
    EXPECT_EQ(state(), (State{3, 1, 0}));

    resetProgramState();
    keyInput(Key::escape, true, false);
    EXPECT_EQ(state(), (State{3, 1, 3})) << "Escape is both buttons";
    keyInput(Key::left, true, false);
    keyInput(Key::left, false, false);
    EXPECT_EQ(state(), (State{3, 1, 3})) << "held Escape still holds both";
    keyInput(Key::escape, false, false);
    EXPECT_EQ(state(), (State{3, 1, 0}));

    // The system's repeats of a held key are no new presses, nor are their releases.
    resetProgramState();
    keyInput(Key::left, true, false);
    eventState.clicked = 0;
    eventState.latchedMask = 0;
    keyInput(Key::left, false, true);
    keyInput(Key::left, true, true);
    EXPECT_EQ(state(), (State{0, 0, 1}));

    // Space and Return stand for no button outside a wait for any button.
    resetProgramState();
    for (Key k : {Key::space, Key::enter}) {
        keyInput(k, true, false);
        keyInput(k, false, false);
    }
    EXPECT_EQ(state(), (State{0, 0, 0}));
}

GTEST_TEST(KeyInput, KeysAndMouseHoldTheirButtonsTogether) {
    FreshProgram fresh;
    keyInput(Key::left, true, false);
    TYPXY(1, MOUSE_RBUTTONDOWN, MOUSE_KS_RBUTTON, 5, 5);
    EXPECT_EQ(state(), (State{3, 1, 3})) << "a held key and a pressed button are both";
    TYPXY(1, MOUSE_RBUTTONUP, 0, 5, 5);
    EXPECT_EQ(eventState.currentMask, 1) << "the key is still held";
    keyInput(Key::left, false, false);
    EXPECT_EQ(eventState.currentMask, 0);
}

GTEST_TEST(KeyboardProgram, TrainingWithTheKeysAlone) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = volumeOne;
    w.keyTap(Key::left, 2.0);  // a training at size 2; its picture is on the left
    w.keyTap(Key::left);       // the right answer
    w.keyTap(Key::space);      // leaves the summary
    ProgramExit e = run.run(30.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded) << "the program goes on";
    EXPECT_NE(dir.read("trelvan.rez").find(cp1251("ОЗп=0.83")), std::string::npos);
    EXPECT_EQ(eventState.latchedMask, 0);

    const std::vector<std::string>& s = w.statusTexts();
    const auto at = [&](const std::string& part) {
        return std::find_if(
                   s.begin(), s.end(),
                   [&](const std::string& t) { return t.find(part) != std::string::npos; }) -
               s.begin();
    };
    const auto start = at("Размер элемента: 2 пикс.");
    const auto training = at("Тренировка: картинка 1 из 1");
    const auto summary = at("Для продолжения нажмите любую кнопку мыши, пробел или Enter");
    ASSERT_LT(summary, static_cast<long>(s.size()));
    EXPECT_LT(start, training);
    EXPECT_LT(training, summary);
    EXPECT_NE(s.back().find("Размер элемента"), std::string::npos) << "back on the start screen";
    EXPECT_NE(s.front().find("←/левая кнопка — тренировка"), std::string::npos);
}

GTEST_TEST(KeyInput, EyeKeysChooseOnlyWhileTheStartScreenTakesThem) {
    FreshProgram fresh;
    keyInput(Key::eyeRight, true, false);
    EXPECT_EQ(eventState.eye, 0) << "in an exercise the eye stays";
    eyeChoiceOpen(true);
    keyInput(Key::eyeRight, true, false);
    EXPECT_EQ(eventState.eye, 1);
    keyInput(Key::eyeRight, false, false);
    keyInput(Key::eyeLeft, true, true);
    EXPECT_EQ(eventState.eye, 1) << "a repeat is no new press";
    keyInput(Key::eyeLeft, true, false);
    EXPECT_EQ(eventState.eye, 2);
    keyInput(Key::eyeNext, true, false);
    EXPECT_EQ(eventState.eye, 0) << "the status bar's button: left, then both";
    keyInput(Key::eyeNext, true, false);
    EXPECT_EQ(eventState.eye, 1);
    EXPECT_EQ(state(), (State{0, 0, 0})) << "no eye key is a button";
    eyeChoiceOpen(false);
    keyInput(Key::eyeBoth, true, false);
    EXPECT_EQ(eventState.eye, 1);
}

GTEST_TEST(KeyboardProgram, TheEyeChosenOnTheStartScreenGoesIntoTheEntries) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = volumeOne;
    w.keyTap(Key::eyeLeft, 1.0);
    w.keyTap(Key::left, 2.0);      // a training at size 2; its picture is on the left
    w.keyTap(Key::eyeRight, 2.3);  // during the training: ignored
    w.keyTap(Key::left);           // the right answer
    w.keyTap(Key::space);          // leaves the summary
    ProgramExit e = run.run(30.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    const std::string journal = dir.read("trelvan.rez");
    const size_t entry = journal.find(cp1251("ОЗп="));
    ASSERT_NE(entry, std::string::npos);
    EXPECT_EQ(journal.substr(entry - 9, 8), cp1251("гл.лев  ")) << "columns 34-41";
    EXPECT_TRUE(said(w, "Глаз: левый (П/Л/О)"));
    EXPECT_TRUE(said(w, "Тренировка: картинка 1 из 1"));
    EXPECT_NE(w.statusTexts().back().find("Глаз: левый"), std::string::npos) << "kept for the run";
    EXPECT_FALSE(said(w, "Глаз: правый"));
    EXPECT_NE(w.statusTexts().front().find("Глаз: оба"), std::string::npos) << "the default";
}

GTEST_TEST(KeyboardProgram, AHeldKeyAnswersOnceWhateverItsRepeats) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = volumeTwo;
    w.keyTap(Key::left, 2.0);
    // Picture 1 is on the left, picture 2 on the right: Left held on through the second
    // picture would answer it wrongly if a repeat counted.
    w.keyPress(Key::left);
    for (int i = 0; i < 5; ++i) {
        w.keyRelease(Key::left);  // the system's repeats come as releases and presses
        w.push([] {
            ScriptEvent e;
            e.kind = ScriptEvent::Kind::key;
            e.key = Key::left;
            e.pressed = true;
            e.autoRepeat = true;
            return e;
        }());
    }
    w.keyRelease(Key::left);
    w.keyTap(Key::right);
    w.keyTap(Key::enter);
    ProgramExit e = run.run(40.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_EQ(countTones(w, 200), 0) << "no wrong answer";
    EXPECT_EQ(countTones(w, 800), 2);
    EXPECT_NE(dir.read("trelvan.rez").find(cp1251("ОЗп=0.83")), std::string::npos);
}

GTEST_TEST(KeyboardProgram, EscapeLeavesTheTrainingAndEndsTheProgramOnTheStartScreen) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.keyTap(Key::left, 2.0);
    w.keyPress(Key::escape);  // at the first answer wait
    w.keyRelease(Key::escape);
    w.keyPress(Key::escape, 20.0);
    w.keyRelease(Key::escape, 20.5);
    ProgramExit e = run.run(60.0);
    EXPECT_EQ(e.status, 0);
    EXPECT_TRUE(e.message.empty());
    EXPECT_GE(w.elapsed(), 20.5) << "the program ends once Escape is released";
    EXPECT_LT(w.elapsed(), 21.0);
    EXPECT_EQ(countTones(w, 1000), 1) << "one training picture";
    EXPECT_FALSE(std::filesystem::exists("trelvan.rez"));
}

GTEST_TEST(KeyboardProgram, EscapeOnTheChartLeavesItOnly) {
    // Both mouse buttons there end the program; Escape, being one key, only dismisses.
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.menu(2, 3.0);
    w.keyPress(Key::escape, 10.0);
    w.keyRelease(Key::escape, 10.1);
    ProgramExit e = run.run(30.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_TRUE(said(w, "Итоги тренировок"));
    EXPECT_NE(w.statusTexts().back().find("Размер элемента"), std::string::npos);
}

GTEST_TEST(KeyboardProgram, SpaceAndReturnStartNothingOnTheStartScreen) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    for (double t : {2.0, 3.0, 8.5, 13.0}) {
        w.keyTap(Key::space, t);
        w.keyTap(Key::enter, t + 0.5);
    }
    ProgramExit e = run.run(25.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_TRUE(w.tones().empty()) << "neither a training nor a check started";
    EXPECT_EQ(eventState.menuRequest, 0);
    for (const std::string& t : w.statusTexts())
        EXPECT_NE(t.find("Размер элемента"), std::string::npos) << t;
}

GTEST_TEST(KeyboardProgram, VisionCheckWithTheKeysAlone) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.keyTap(Key::right, 2.0);  // the vision check
    w.keyTap(Key::enter);       // leaves the result screen, the first wait for input
    // Every ring is answered with Left as soon as it is up.
    int answered = 0;
    w.onSleep = [&](HeadlessWindow& hw) {
        if (countTones(hw, 1000) == answered) return;
        answered = countTones(hw, 1000);
        hw.deliverKey(Key::left, true, false);
        hw.deliverKey(Key::left, false, false);
    };
    ProgramExit e = run.run(600.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_NE(dir.read("trelvan.rez").find(cp1251("ОЗи=")), std::string::npos);
    EXPECT_EQ(countTones(w, 400), 0) << "no ring went unanswered";
    EXPECT_TRUE(said(w, "Проверка зрения: уровень 0.1, верно подряд 0 из 10"));
    EXPECT_TRUE(said(w, "верно подряд 1 из 10"));
    EXPECT_TRUE(said(w, "Ответ за 2 с"));
    EXPECT_TRUE(said(w, "Для продолжения нажмите"));
    EXPECT_NE(w.statusTexts().back().find("Размер элемента"), std::string::npos)
        << "the result screen was left";
}

GTEST_TEST(StatusLine, SoundNoteStandsOnTheStartScreenUntilTheUserStartsSomething) {
    const std::string note = "Звук включен, но устройство вывода недоступно";
    {
        FreshProgram dir;
        ProgramRun run(dir);
        HeadlessWindow& w = run.window;
        w.soundAvailable = false;
        w.keyTap(Key::left, 8.0);
        w.keyTap(Key::escape);
        run.run(20.0);
        const std::vector<std::string>& s = w.statusTexts();
        ASSERT_GE(s.size(), 3u);
        EXPECT_EQ(s.front().rfind(note, 0), 0u) << s.front();
        EXPECT_NE(s.front().find("Размер элемента: 2 пикс."), std::string::npos);
        EXPECT_NE(s.back().find("Размер элемента"), std::string::npos);
        EXPECT_EQ(s.back().find(note), std::string::npos) << "said once";
    }
    {
        FreshProgram dir;
        ProgramRun run(dir);
        run.window.soundAvailable = false;
        run.window.dialogHandler = soundOff;
        run.run(3.0);
        EXPECT_FALSE(said(run.window, note)) << "no sound wanted";
    }
    {
        FreshProgram dir;
        ProgramRun run(dir);
        run.run(3.0);
        EXPECT_FALSE(said(run.window, note)) << "sound can be heard";
    }
}

GTEST_TEST(StatusLine, TextsNameTheLevelAsTheTableWritesIt) {
    StatusLine line;
    line.screen = StatusLine::Screen::check;
    line.level = 1.25f;
    line.run = 7;
    EXPECT_NE(statusText(line).find("уровень 1.25, верно подряд 7 из 10"), std::string::npos);
    line.level = 0.7f;
    EXPECT_NE(statusText(line).find("уровень 0.7,"), std::string::npos);
    line.level = 2.0f;
    EXPECT_NE(statusText(line).find("уровень 2.0,"), std::string::npos);
}

}  // namespace
}  // namespace trelvan::testing
