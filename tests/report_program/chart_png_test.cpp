// SPDX-License-Identifier: GPL-3.0-or-later
// The chart of trelvan-report against the chart of the program: the whole main program runs
// on the headless services with the program's text renderer, the user chooses
// "Итоги_тренировок", and the window is taken while the chart waits for the click. Every
// pixel must agree with the report's PNG except those of the prompt, which the report leaves
// out.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_program.h"
#include "app/program_harness.h"
#include "journal/journal.h"
#include "platform/qt/png_image.h"
#include "platform/qt/qt_text.h"
#include "platform/textfile.h"
#include "report_process.h"
#include "support/qt_application.h"

namespace trelvan::testing {
namespace {

constexpr int32_t promptColour = 0xDDAA00;

void ensureApplication() {
    offscreenApplication<QGuiApplication>(true);
}

// Headless services that keep the window as it is when the program first waits for input:
// the start screen only sleeps, so that is the chart's wait for the click.
class WatchedWindow : public HeadlessWindow {
  public:
    void waitInput(uint32_t seen) override {
        if (!taken) {
            taken = true;
            atWait = snapshot();
            textsAtWait = texts();
        }
        HeadlessWindow::waitInput(seen);
    }
    bool taken = false;
    Raster atWait{0, 0};
    std::vector<TextRecord> textsAtWait;
};

// The program's chart of the journal in the working directory, as the user sees it.
struct ShownChart {
    Raster picture{0, 0};
    std::vector<TextRecord> texts;
};

ShownChart programChart() {
    ensureApplication();
    QtTextRenderer renderer;
    WatchedWindow window;
    window.setTextRenderer(&renderer);
    resetProgramState();  // a second chart of the same test starts afresh as well
    setGraphicsWindow(&window);
    window.dialogHandler = confirmDialog;
    INITIALSETTINGS();
    window.menu(2, 1.5);  // "Итоги_тренировок" while the start screen sweeps
    window.click(1);      // the click the chart waits for
    window.setTimeLimit(3.0);
    window.close();
    try {
        MAIN__();
    } catch (const ProgramExit&) {
    }
    setGraphicsWindow(nullptr);
    return ShownChart{window.atWait, window.textsAtWait};
}

// Coverage of the prompt's text over the window: 0 where it leaves the pixel alone.
struct PromptInk {
    int left = 0, top = 0;
    RenderedText text;
    uint8_t at(int x, int y) const {
        const int u = x - left, v = y - top;
        if (u < 0 || v < 0 || u >= text.width || v >= text.height) return 0;
        return text.coverage[static_cast<size_t>(v) * text.width + u];
    }
};

// The prompt's ink; one that follows a note starts where the note's text ends (the headless
// services record the position of the last MOVETO with every text).
PromptInk promptInk(const TextRecord& prompt, const TextRecord* note) {
    QtTextRenderer renderer;
    renderer.initialize();
    renderer.select(*parseFontOptions(prompt.font));
    PromptInk ink;
    ink.text = renderer.render(prompt.text, prompt.rotation);
    int x = prompt.x;
    if (note != nullptr)
        x += static_cast<int>(std::lround(renderer.render(note->text, 0).advanceX));
    ink.left = x - ink.text.anchorX;
    ink.top = prompt.y - ink.text.anchorY;
    return ink;
}

std::string hex(uint32_t colour) {
    std::ostringstream s;
    s << std::hex << colour;
    return s.str();
}

// Runs the report on the journal of the working directory and compares its picture with the
// program's chart.
void expectSameChart(const std::string& what) {
    SCOPED_TRACE(what);
    const ShownChart shown = programChart();
    ASSERT_EQ(shown.picture.width(), 980);
    ASSERT_EQ(shown.picture.height(), 650);
    ASSERT_FALSE(shown.texts.empty());
    const TextRecord& prompt = shown.texts.back();
    ASSERT_EQ(prompt.colour, promptColour) << "the window was taken at the chart's wait";
    const TextRecord* note = nullptr;
    if (prompt.y == 621) {
        ASSERT_EQ(utf8FromCp1251(prompt.text), "Для продолжения нажмите любую кнопку мыши");
        ASSERT_EQ(prompt.x, 265);
    } else {
        // After the note of a journal read in part, on its line.
        ASSERT_EQ(utf8FromCp1251(prompt.text), "  Для продолжения нажмите любую кнопку мыши");
        ASSERT_EQ(prompt.y, 626);
        ASSERT_GE(shown.texts.size(), 2u);
        note = &shown.texts[shown.texts.size() - 2];
    }

    const ReportOutcome r =
        runReportProgram({"chart", "-o", "report.png"}, std::filesystem::current_path());
    ASSERT_EQ(r.status, 0) << r.err;
    const Raster report = readPng("report.png");
    ASSERT_EQ(report.width(), 980);
    ASSERT_EQ(report.height(), 650);

    const PromptInk ink = promptInk(prompt, note);
    long compared = 0, differing = 0, promptDiffering = 0;
    std::string first;
    for (int y = 0; y < 650; ++y) {
        for (int x = 0; x < 980; ++x) {
            const uint32_t a = shown.picture.pixel(x, y), b = report.pixel(x, y);
            if (ink.at(x, y) != 0) {
                promptDiffering += a != b;
                continue;
            }
            ++compared;
            if (a != b && differing++ == 0)
                first = std::to_string(x) + "," + std::to_string(y) + ": " + hex(a) +
                        " on screen, " + hex(b) + " in the report";
        }
    }
    EXPECT_EQ(differing, 0) << "first at " << first;
    EXPECT_GT(compared, 980L * 650L - 20000L) << "the prompt covers a few thousand pixels";
    EXPECT_GT(promptDiffering, 300) << "the prompt is on screen and not in the report";
}

GTEST_TEST(ReportChartPixels, SameAsTheProgramsChartApartFromThePrompt) {
    FreshProgram dir;
    dir.addShippedFigures();
    const std::string both = cp1251(" 04.03.2013г, 12ч  0м  0с,   ОЗи=0.60     ОЗп=0.80") +
                             "      1.50" + "   100" + "   250." + " \r\n";
    writeBytes("trelvan.rez", trainingHeader() + "\r\n" +
                                  trainingEntryLine(1, 3, 2013, 10, 0, 0, 0.8f, 3.0f, 160, 200.0f) +
                                  checkEntryLine(2, 3, 2013, 14, 30, 0, 1.0f, 300.0f) +
                                  trainingEntryLine(3, 3, 2013, 16, 0, 0, 0.6f, 3.5f, 180, 250.0f) +
                                  checkEntryLine(3, 3, 2013, 18, 0, 0, 2.0f, 600.0f) + both +
                                  cp1251(" 06.03.2013г,  8ч 15м  0с,  вписано от руки\r\n") +
                                  trainingEntryLine(7, 3, 2013, 7, 5, 9, 0.35f, 0.9f, 300, 150.0f));
    expectSameChart("entries of both kinds over a week");
}

GTEST_TEST(ReportChartPixels, SameForALongRangeAnUnreadableLineAndAnEmptyJournal) {
    FreshProgram dir;
    dir.addShippedFigures();
    writeBytes("trelvan.rez",
               checkHeader() + "\r\n" + checkEntryLine(1, 1, 2013, 9, 0, 0, 0.3f, 200.0f) +
                   trainingEntryLine(15, 2, 2013, 20, 0, 0, 0.5f, 2.0f, 100, 200.0f) +
                   trainingEntryLine(20, 2, 2013, 20, 0, 0, 12.0f, 2.0f, 100, 200.0f) +
                   checkEntryLine(30, 4, 2013, 9, 0, 0, 0.9f, 200.0f));
    expectSameChart("weekly grid, reading ended by asterisks");

    writeBytes("trelvan.rez", trainingHeader() + "\r\n");
    expectSameChart("header only");
}

}  // namespace
}  // namespace trelvan::testing
