// SPDX-License-Identifier: GPL-3.0-or-later
// The main program driven whole on the headless services: start-up, the sweep of the start
// screen, the checks, the dispatch and the ways out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "journal/journal.h"
#include "platform/textfile.h"
#include "program_harness.h"

namespace trelvan::testing {
namespace {

// Element sizes in the order the start screen showed them, with the virtual time each
// figure phase began.
struct SizeLog {
    std::vector<int> sizes;
    std::vector<double> since;
    void watch(HeadlessWindow& w) {
        w.onSleep = [this](HeadlessWindow& hw) {
            if (sizes.empty() || sizes.back() != programState.currentSize) {
                sizes.push_back(programState.currentSize);
                since.push_back(hw.elapsed());
            }
        };
    }
};

GTEST_TEST(MainProgramStartUp, BuildsFrameMenuAboutTextAndWhiteWindow) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    auto items = w.menuItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, cp1251("Выход"));
    EXPECT_EQ(items[1].text, cp1251("Итоги_тренировок"));
    EXPECT_EQ(items[2].text, cp1251("Инструкция"));
    EXPECT_EQ(w.framePlacement().x, 50);
    EXPECT_EQ(w.framePlacement().height, 400);
    EXPECT_EQ(w.framePlacement().width, 650);

    // Stop right after start-up: both buttons at once, before any picture is complete.
    w.press(1, 0.5);
    w.press(2, 0.5);
    w.release(1, 0.5);
    w.release(2, 0.5);
    ProgramExit e = run.run();
    EXPECT_EQ(e.status, 0);
    EXPECT_TRUE(e.message.empty());

    EXPECT_EQ(w.exitMode(), 2);
    FramePlacement p = w.framePlacement();
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.height, 768);
    EXPECT_EQ(p.width, 1024);
    EXPECT_TRUE(w.tiled());
    EXPECT_EQ(w.windowTitle(), cp1251("Тренажер для глаз"));
    EXPECT_EQ(programState.windowWidth, 980);
    EXPECT_EQ(programState.windowHeight, 650);
    EXPECT_FALSE(w.unitOpen()) << "the graphics window is closed on the way out";

    std::string about = w.aboutText();
    EXPECT_LE(about.size(), 512u);
    EXPECT_EQ(about.find('\n'), std::string::npos);
    EXPECT_EQ(about.rfind(cp1251("Программа - тренажер для глаз TRELVAN (v2.32) \r\r"), 0), 0u);
    EXPECT_NE(about.find(cp1251("обе кнопки -  выход из программы\r\r")), std::string::npos);
    EXPECT_NE(about.find(cp1251(" ,там же гостевая книга.\r")), std::string::npos);
    EXPECT_NE(about.back(), '\r');
    int lines = 1;
    for (char c : about) lines += c == '\r';
    EXPECT_EQ(lines, 10);
}

GTEST_TEST(MainProgramSweep, SizesRiseAndFallEachShownFiveSeconds) {
    FreshProgram dir;
    ProgramRun run(dir);
    SizeLog log;
    log.watch(run.window);
    ProgramExit e = run.run(140.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    std::vector<int> expected{2, 3, 4, 5, 6, 7, 8, 9, 8, 7, 6, 5, 4, 3, 2, 3, 4};
    ASSERT_GE(log.sizes.size(), expected.size());
    log.sizes.resize(expected.size());
    EXPECT_EQ(log.sizes, expected);
    for (size_t i = 1; i < expected.size(); ++i)
        EXPECT_GE(log.since[i] - log.since[i - 1], 5.0) << "size " << log.sizes[i - 1];
}

GTEST_TEST(MainProgramExit, BothButtonsEndOnlyWhenBothAreReleased) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.press(1, 8.0);
    w.press(2, 8.1);
    w.release(1, 8.2);
    w.release(2, 20.0);  // still held long after the first release
    ProgramExit e = run.run();
    EXPECT_EQ(e.status, 0);
    EXPECT_GE(w.elapsed(), 20.0);
    EXPECT_LT(w.elapsed(), 20.5);
    EXPECT_FALSE(w.unitOpen());
}

GTEST_TEST(MainProgramExit, MenuExitEndsAtOnceWithItsTone) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.menu(1, 7.3);
    ProgramExit e = run.run();
    EXPECT_EQ(e.status, 0);
    EXPECT_NEAR(w.elapsed(), 7.3 + 0.35, 1e-9);
    ASSERT_FALSE(w.tones().empty());
    EXPECT_EQ(w.tones().back().frequency, 0);
    EXPECT_EQ(w.tones().back().durationMs, 350);
    EXPECT_FALSE(w.unitOpen());
}

GTEST_TEST(MainProgramExit, MenuExitWithSoundOffIsSilentAndImmediate) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = [](Dialog& d) {
        DLGSETLOG(d, 1007, false);
        pressDialogButton(d, 1);
    };
    w.menu(1, 7.3);
    ProgramExit e = run.run();
    EXPECT_EQ(e.status, 0);
    EXPECT_NEAR(w.elapsed(), 7.3, 1e-9);
    EXPECT_TRUE(w.tones().empty());
}

GTEST_TEST(MainProgramMenu, InstructionShowsTheAboutBoxAndTheSweepGoesOn) {
    FreshProgram dir;
    ProgramRun run(dir);
    SizeLog log;
    log.watch(run.window);
    run.window.menu(3, 6.0);
    run.run(30.0);
    EXPECT_EQ(run.window.aboutShown(), 1);
    EXPECT_EQ(std::vector<int>(log.sizes.begin(), log.sizes.begin() + 4),
              (std::vector<int>{2, 3, 4, 5}));
}

GTEST_TEST(MainProgramDispatch, LeftClickTrainsAndRestartsTheRisingPassAtTwo) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    SizeLog log;
    log.watch(w);
    // Size 3 is on show from 7 s to 12 s; a click during its display starts a training.
    // Both buttons during its first grey pause leave it again, and not the program.
    w.click(1, 9.0);
    w.press(1, 9.5);
    w.press(2, 9.5);
    w.release(1, 9.5);
    w.release(2, 9.5);
    run.run(40.0);
    ASSERT_GE(log.sizes.size(), 4u);
    EXPECT_EQ(log.sizes[0], 2);
    EXPECT_EQ(log.sizes[1], 3);
    EXPECT_EQ(log.sizes[2], 2) << "the pass starts again at 2 after the training";
    EXPECT_EQ(eventState.latchedMask, 0);
}

GTEST_TEST(MainProgramDispatch, RightClickRequestsTheVisionCheckServedAtTheTop) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    SizeLog log;
    log.watch(w);
    w.click(2, 9.0);
    // Leave the vision check with both buttons; the start screen follows.
    w.press(1, 15.0);
    w.press(2, 15.0);
    w.release(1, 15.5);
    w.release(2, 15.5);
    run.run(40.0);
    EXPECT_EQ(eventState.menuRequest, 0);
    EXPECT_TRUE(std::any_of(w.tones().begin(), w.tones().end(), [](const ToneRecord& t) {
        return t.frequency == 1000;
    })) << "the vision check showed its rings";
    EXPECT_TRUE(dir.read("trelvan.rez").empty()) << "an abandoned check writes nothing";
    ASSERT_GE(log.sizes.size(), 3u);
    EXPECT_EQ(log.sizes[2], 2);
}

GTEST_TEST(MainProgramDispatch, FallingPassRestartsAtNine) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    SizeLog log;
    log.watch(w);
    // 2..9 take 8 steps of about 6 s; at 60 s the falling pass shows 8 or 7.
    w.menu(2, 60.0);
    w.click(1, 61.0);  // dismisses the chart
    run.run(90.0);
    auto it = std::find(log.sizes.begin(), log.sizes.end(), 9);
    ASSERT_NE(it, log.sizes.end());
    std::vector<int> after(it, log.sizes.end());
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(after[1], 8);
    // After the chart the falling pass starts again at 9.
    auto again = std::find(after.begin() + 1, after.end(), 9);
    EXPECT_NE(again, after.end());
    EXPECT_EQ(eventState.menuRequest, 0);
}

GTEST_TEST(MainProgramDispatch, ChartStaysUntilAClickThenTheStartScreenReturns) {
    FreshProgram dir;
    const std::string journal = trainingHeader() + "\r\n" +
                                trainingEntryLine(1, 3, 2013, 12, 0, 0, 0.8f, 1.5f, 100, 200.0f);
    {
        std::ofstream out(dir.path() / "trelvan.rez", std::ios::binary);
        out << journal;
    }
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    SizeLog log;
    log.watch(w);
    w.menu(2, 9.0);
    w.click(1, 30.0);
    run.run(50.0);

    const std::string prompt = cp1251("Для продолжения нажмите любую кнопку мыши");
    int prompts = 0;
    for (const TextRecord& t : w.texts()) prompts += t.text == prompt;
    EXPECT_EQ(prompts, 1);
    // Size 3 was on show at 9 s; the chart is served at the top of the loop, which starts the
    // rising pass again, and the start screen waits for the click at 30 s.
    ASSERT_GE(log.sizes.size(), 4u);
    EXPECT_EQ(log.sizes[1], 3);
    EXPECT_EQ(log.sizes[2], 2);
    EXPECT_GE(log.since[2], 30.0);
    EXPECT_EQ(log.sizes[3], 3);
    EXPECT_EQ(dir.read("trelvan.rez"), journal) << "the click started no training";
    EXPECT_EQ(eventState.menuRequest, 0);
}

// Texts the program drew, as UTF-8, in drawing order.
std::vector<std::string> drawnTexts(const HeadlessWindow& w) {
    std::vector<std::string> out;
    for (const auto& t : w.texts()) out.push_back(utf8FromCp1251(t.text));
    return out;
}

bool drew(const HeadlessWindow& w, const std::string& utf8) {
    for (const auto& t : drawnTexts(w))
        if (t.find(utf8) != std::string::npos) return true;
    return false;
}

void volumeOne(Dialog& d) {
    DLGSET(d, 1004, "1");
    pressDialogButton(d, 1);
}

GTEST_TEST(MainProgramDispatch, ChartChosenDuringATrainingFollowsAtOnce) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    SizeLog log;
    log.watch(w);
    w.click(1, 2.0);  // a training at size 2
    w.menu(2);        // "Итоги_тренировок" during its first answer wait
    w.click(1);       // dismisses the chart
    ProgramExit e = run.run(20.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_TRUE(drew(w, "Для продолжения нажмите любую кнопку мыши")) << "the chart's prompt";
    EXPECT_FALSE(drew(w, "подтверждена")) << "no training summary";
    EXPECT_FALSE(std::filesystem::exists("trelvan.rez")) << "an abandoned training writes nothing";
    // No start-screen step between the training and the chart: size 2 is on show before the
    // training and again only after the chart.
    ASSERT_GE(log.sizes.size(), 2u);
    EXPECT_EQ(log.sizes[0], 2);
    EXPECT_EQ(eventState.menuRequest, 0);
}

GTEST_TEST(MainProgramExit, BothButtonsDismissingTheChartEndTheProgram) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.menu(2, 3.0);
    w.press(1, 10.0);
    w.press(2, 10.05);
    w.release(1, 10.1);
    w.release(2, 10.15);
    ProgramExit e = run.run(60.0);
    EXPECT_EQ(e.status, 0) << "latchedMask stays 3 after the chart and the start screen ends";
    EXPECT_LT(w.elapsed(), 12.0);
}

GTEST_TEST(MainProgramExit, BothButtonsDismissingTheTrainingSummaryDoNot) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = volumeOne;
    w.click(1, 2.0);  // a training at size 2; its first picture is on the left
    w.click(1);       // the right answer
    w.press(1);       // both buttons on the summary
    w.press(2);
    w.release(1);
    w.release(2);
    ProgramExit e = run.run(30.0);
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded) << "the program goes on";
    EXPECT_TRUE(drew(w, "подтверждена"));
    EXPECT_EQ(eventState.latchedMask, 0);
    std::string journal = dir.read("trelvan.rez");
    EXPECT_NE(journal.find(cp1251("ОЗп=0.83")), std::string::npos) << "the training was recorded";
}

GTEST_TEST(MainProgramInput, MouseRoutineLatchesGestures) {
    FreshProgram fresh;
    TYPXY(1, MOUSE_LBUTTONDOWN, MOUSE_KS_LBUTTON, 5, 5);
    EXPECT_EQ(eventState.latchedMask, 1);
    EXPECT_EQ(eventState.clicked, 1);
    EXPECT_EQ(eventState.currentMask, 1);
    TYPXY(1, MOUSE_RBUTTONDOWN, MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON, 5, 5);
    EXPECT_EQ(eventState.latchedMask, 3);
    TYPXY(1, MOUSE_LBUTTONUP, MOUSE_KS_RBUTTON, 5, 5);
    EXPECT_EQ(eventState.latchedMask, 3) << "3 stays until cleared";
    EXPECT_EQ(eventState.currentMask, 2);
    TYPXY(1, MOUSE_RBUTTONUP, 0, 5, 5);
    EXPECT_EQ(eventState.currentMask, 0);
    EXPECT_EQ(eventState.latchedMask, 3);

    resetProgramState();
    TYPXY(1, MOUSE_LBUTTONDOWN, MOUSE_KS_LBUTTON | MOUSE_KS_SHIFT, 5, 5);
    EXPECT_EQ(eventState.latchedMask, 1) << "Shift does not spoil the gesture";
    TYPXY(1, MOUSE_LBUTTONUP, MOUSE_KS_SHIFT, 5, 5);
    EXPECT_EQ(eventState.currentMask, 0);
    EXPECT_EQ(eventState.clicked, 1);

    resetProgramState();
    TRITOUT_S(false);
    EXPECT_EQ(eventState.menuRequest, 3);
}

}  // namespace
}  // namespace trelvan::testing
