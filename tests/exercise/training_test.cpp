// SPDX-License-Identifier: GPL-3.0-or-later
// The training and its summary, run whole on the headless services with a scripted user.
#include "exercise/training.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/event_state.h"
#include "exercise/exercises.h"
#include "exercise/picture.h"
#include "exercise/random.h"
#include "journal/journal.h"
#include "params/parameters.h"
#include "params/screen_geometry.h"
#include "platform/fields.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "support/fresh_program.h"
#include "support/picture_rules.h"

namespace trelvan {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kDarkGreen = 0x007700;
constexpr uint32_t kCyan = 0xFFFF00;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kGrey = 0x808080;

const std::string kSmallFont = "t'Times New Roman Cyr'h38w17ib";
const std::string kMediumFont = "t'Times New Roman Cyr'h68w20ib";
const std::string kLargeFont = "t'Times New Roman Cyr'h120w40ib";

std::string promptText() {
    return cp1251("Для продолжения нажмите любую кнопку мыши");
}

// --- The user's side of the program, without the main program -------------------------

// Mouse routine with the program's latching rule: the buttons held become the gesture while
// the latched one is below 3.
void mouseRoutine(int32_t, int32_t, int32_t keystate, int32_t, int32_t) {
    const int32_t mask = keystate & (MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON);
    if (mask != 0) {
        eventState.clicked = 1;
        if (eventState.latchedMask.load() < 3) eventState.latchedMask = mask;
    }
    eventState.currentMask = mask;
}

void chartRequest(bool) {
    eventState.menuRequest = 3;
}
void noAction(bool) {}

// Headless services that record what a training shows at its answer waits and let a test
// act when a picture is ready or a tone sounds.
class UserWindow : public HeadlessWindow {
  public:
    std::vector<Raster> pictures;  // the window at each start tone: the picture being answered
    std::function<void(UserWindow&, int picture)> onPicture;
    std::function<void(UserWindow&, int32_t frequency)> onTone;
    bool promptSeen = false;
    std::string journalAtPrompt;
    size_t messagesAtPrompt = 0;

    void BEEPTONE(int32_t frequency, int32_t durationMs) override {
        if (frequency == 1000) {
            pictures.push_back(snapshot());
            if (onPicture) onPicture(*this, static_cast<int>(pictures.size()));
        }
        if (onTone) onTone(*this, frequency);
        HeadlessWindow::BEEPTONE(frequency, durationMs);
    }
    void OUTGTEXT(const std::string& text) override {
        if (text == promptText()) {
            promptSeen = true;
            journalAtPrompt = testing::readBytes(journalFileName);
            messagesAtPrompt = messages().size();
        }
        HeadlessWindow::OUTGTEXT(text);
    }
    std::vector<std::pair<int, int>> toneList() const {
        std::vector<std::pair<int, int>> list;
        for (const ToneRecord& t : tones()) list.emplace_back(t.frequency, t.durationMs);
        return list;
    }
};

// Figures for the element sizes 2, 3 and 7 as (row, column) offsets, with overlapping cells,
// a cell reaching above the field into the status bar, cells at the bottom and the right edge.
struct Cell {
    int row;
    int col;
};

std::unique_ptr<SymbolTable> testFigures() {
    auto table = std::make_unique<SymbolTable>();
    auto set = [&](int p, const std::vector<Cell>& cells) {
        table->NOTDIM[p - 1] = static_cast<int32_t>(cells.size());
        for (size_t j = 1; j <= cells.size(); ++j) {
            table->IJNOT(static_cast<int>(j), 1, p) = cells[j - 1].row;
            table->IJNOT(static_cast<int>(j), 2, p) = cells[j - 1].col;
        }
    };
    set(2, {{30, 0}, {30, 4}, {31, 1}, {16, 10}, {600, 8}, {646, 0}, {40, 527}});
    set(3, {{40, 0}, {40, 6}, {43, 3}, {15, 12}, {500, 20}, {644, 30}, {40, 527}});
    set(7, {{50, 0}, {50, 14}, {57, 7}, {10, 30}, {620, 40}});
    return table;
}

// The sides RAN11 gives to the first n pictures of a fresh run (true: right).
std::vector<bool> nextSides(int n) {
    std::vector<bool> sides;
    for (float value : testing::firstRan11(n)) sides.push_back(value > 0.5f);
    return sides;
}

enum class Reply { right, wrong };
struct Answer {
    Reply reply;
    double after;  // seconds after the picture is ready; kNext: at once
};

// A run of TEST on a fresh window in a fresh working directory.
class TrainingRun {
  public:
    explicit TrainingRun(int bitsPerPixel = 32, int width = 980, int height = 650)
        : width_(static_cast<int16_t>(width)), height_(static_cast<int16_t>(height)) {
        window.setBitsPerPixel(bitsPerPixel);
        window.OPENUSER(1, "training");
        WindowConfig config;
        config.numxpixels = width_;
        config.numypixels = height_;
        window.SETWINDOWCONFIG(config);
        window.REGISTERMOUSEEVENTQQ(
            1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP | MOUSE_RBUTTONDOWN | MOUSE_RBUTTONUP,
            mouseRoutine);
        window.APPENDMENUITEM(1, 4, "exit", noAction);
        window.APPENDMENUITEM(2, 4, "chart", chartRequest);
        window.APPENDMENUITEM(3, 4, "about", WINABOUT);
        setGraphicsWindow(&window);
    }
    ~TrainingRun() { setGraphicsWindow(nullptr); }

    // The user answers the pictures in order as planned, then clicks once more for the
    // summary's prompt.
    void plan(const std::vector<Answer>& answers) {
        const std::vector<bool> sides = nextSides(static_cast<int>(answers.size()));
        window.onPicture = [answers, sides](UserWindow& w, int picture) {
            if (picture > static_cast<int>(answers.size())) return;
            const Answer& a = answers[picture - 1];
            const bool right = sides[picture - 1];
            const bool correct = a.reply == Reply::right;
            const int button = right == correct ? 2 : 1;
            w.click(button, a.after == HeadlessWindow::kNext ? a.after : w.elapsed() + a.after);
            if (picture == static_cast<int>(answers.size())) w.click(1);
        };
    }

    void run(int p) {
        window.setTimeLimit(100000.0);
        window.close();
        try {
            TEST(p, figures->NOTDIM, figures->IJNOT, width_, height_);
        } catch (const ProgramExit& e) {
            exit = e;
        }
    }

    bool journalExists() const { return fs::exists(dir_.file(journalFileName)); }
    std::string journal() const { return testing::readBytes(dir_.file(journalFileName)); }
    std::string path(const std::string& name) const { return dir_.file(name); }

    UserWindow window;
    std::unique_ptr<SymbolTable> figures = testFigures();
    std::optional<ProgramExit> exit;

  private:
    testing::FreshProgram dir_;
    int16_t width_;
    int16_t height_;
};

std::vector<Answer> allRight(int n, double after = 1.0) {
    return std::vector<Answer>(static_cast<size_t>(n), Answer{Reply::right, after});
}

// Progress bar of a picture: cyan up to xi, blue after it, all ten rows.
void expectProgress(const Raster& picture, int xi) {
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            ASSERT_EQ(picture.pixel(x, y), x <= xi ? kCyan : kBlue) << x << ", " << y;
        }
    }
}

void expectStatus(const Raster& picture, uint32_t colour) {
    for (int y = 10; y < 20; ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            ASSERT_EQ(picture.pixel(x, y), colour) << x << ", " << y;
        }
    }
}

std::vector<std::string> textsOf(const HeadlessWindow& w) {
    std::vector<std::string> list;
    for (const TextRecord& t : w.texts()) list.push_back(t.text);
    return list;
}

// Journal entry lines (without the header line and the line ends).
std::vector<std::string> journalEntries(const std::string& journal) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < journal.size()) {
        size_t end = journal.find("\r\n", start);
        if (end == std::string::npos) end = journal.size();
        lines.push_back(journal.substr(start, end - start));
        start = end + 2;
    }
    if (!lines.empty()) lines.erase(lines.begin());
    return lines;
}

// --- Arithmetic of the screens ------------------------------------------------------------

GTEST_TEST(TrainingWords, FormFollowsTheLastDigitExceptForTheTeens) {
    for (int n : {1, 21, 111, 31, 1001}) EXPECT_EQ(countWordForm(n), 1) << n;
    for (int n : {2, 3, 4, 22, 104, 34, 1002}) EXPECT_EQ(countWordForm(n), 2) << n;
    for (int n : {0, 5, 9, 10, 25, 100, 110}) EXPECT_EQ(countWordForm(n), 3) << n;
    for (int n = 11; n <= 20; ++n) EXPECT_EQ(countWordForm(n), 3) << n;
    // Only 11 to 20 themselves are teens: 111 to 114 follow their last digit.
    EXPECT_EQ(countWordForm(112), 2);
    EXPECT_EQ(countWordForm(-1), 3);
}

GTEST_TEST(TrainingWords, CountLinesPutTheCountInFourColumnsBeforeItsWord) {
    EXPECT_EQ(attemptsLine(100), cp1251(" 100 попыток"));
    EXPECT_EQ(attemptsLine(1), cp1251("   1 попытка"));
    EXPECT_EQ(attemptsLine(3), cp1251("   3 попытки"));
    EXPECT_EQ(errorsLine(0), cp1251("   0 ошибок"));
    EXPECT_EQ(errorsLine(12), cp1251("  12 ошибок"));
    EXPECT_EQ(errorsLine(22), cp1251("  22 ошибки"));
    EXPECT_EQ(errorsLine(1), cp1251("   1 ошибка"));
    EXPECT_EQ(silentLine(0), cp1251("   0 раз не ответили"));
    EXPECT_EQ(silentLine(21), cp1251("  21 раз не ответили"));
    EXPECT_EQ(silentLine(3), cp1251("   3раза не ответили"));
    // The lengths the summary draws.
    EXPECT_EQ(attemptsLine(7).size(), 12u);
    EXPECT_EQ(errorsLine(7).size(), 11u);
    EXPECT_EQ(silentLine(7).size(), 20u);
    EXPECT_EQ(attemptsLine(12345), cp1251("**** попыток"));
}

GTEST_TEST(TrainingAcuity, DefaultParametersGiveTheTableOfSizes) {
    const ParameterSet defaults;
    EXPECT_NEAR(pixelPitch(defaults.diagonalInch, defaults.pixelsX, defaults.pixelsY), 0.35123,
                0.00001);
    const char* expected[] = {"0.83", "0.55", "0.41", "0.33", "0.28", "0.24", "0.21", "0.18"};
    for (int p = 2; p <= 9; ++p) {
        const float acuity = confirmedAcuity(p, defaults.distanceCm, defaults.diagonalInch,
                                             defaults.pixelsX, defaults.pixelsY);
        EXPECT_EQ(fields::F(acuity, 4, 2), expected[p - 2]) << "p " << p;
    }
}

GTEST_TEST(TrainingAcuity, FollowsPitchAndDistance) {
    // 25.4 * 10 / sqrt(1016^2) = 0.25 mm per pixel.
    EXPECT_FLOAT_EQ(pixelPitch(10.0f, 1016, 0), 0.25f);
    const float near = confirmedAcuity(1, 100.0f, 10.0f, 1016, 0);
    EXPECT_NEAR(near, 1.1636, 0.0001);
    EXPECT_EQ(fields::F(near, 4, 2), "1.16");
    EXPECT_EQ(fields::F(confirmedAcuity(1, 50.0f, 10.0f, 1016, 0), 4, 2), "0.58");
    // Twice the element, half the acuity; the squares are summed without overflow.
    EXPECT_NEAR(confirmedAcuity(2, 100.0f, 10.0f, 1016, 0), near / 2, 0.0001);
    EXPECT_NEAR(pixelPitch(100.0f, 60000, 80000), 0.0254, 1e-6);
}

GTEST_TEST(TrainingGeometry, FigureOffsetsAreMultiplesOfTheElementSize) {
    const int left[] = {20, 18, 20, 20, 18, 14, 16, 18};
    const int right[] = {450, 450, 448, 450, 450, 448, 448, 450};
    for (int p = 2; p <= 9; ++p) {
        EXPECT_EQ(figureOffset(20.0f, p), left[p - 2]) << "p " << p;
        EXPECT_EQ(figureOffset(450.0f, p), right[p - 2]) << "p " << p;
    }
    EXPECT_EQ(figureOffset(450.0f, 1), 450);
}

GTEST_TEST(TrainingGeometry, ProgressBarEndsAtTheIntegerShareOfTheWidth) {
    EXPECT_EQ(progressEnd(980, 1, 3), 326);
    EXPECT_EQ(progressEnd(980, 2, 3), 652);
    EXPECT_EQ(progressEnd(980, 3, 3), 979);
    EXPECT_EQ(progressEnd(980, 1, 100), 9);
    EXPECT_EQ(progressEnd(980, 100, 100), 979);
    EXPECT_EQ(progressEnd(32767, 999999, 1000000), 32765);
}

GTEST_TEST(TrainingMeanTime, CountsWrongAnswersAndIsZeroWithoutPictures) {
    TrainingCounters counters;
    counters.rightCount = 3;
    counters.wrongCount = 1;
    counters.answerTimeSum = 6.0f;
    EXPECT_FLOAT_EQ(meanAnswerTime(counters, 3), 1.5f);
    EXPECT_EQ(meanAnswerTime(TrainingCounters{}, 0), 0.0f);
    EXPECT_EQ(meanAnswerTime(TrainingCounters{}, -4), 0.0f);
}

// --- Whole trainings ----------------------------------------------------------------------

GTEST_TEST(TrainingRun, WrongAnswerRestartsTheCountAndTheProgressBar) {
    TrainingRun run;
    parameterSet.trainingVolume = 3;
    run.plan({{Reply::right, 1.0},
              {Reply::right, 1.0},
              {Reply::wrong, 4.0},
              {Reply::right, 1.0},
              {Reply::right, 1.0},
              {Reply::right, 1.0}});
    // The bars during each grey pause, while a picture is being prepared.
    std::vector<uint32_t> statusWhilePreparing;
    std::vector<uint32_t> progressEndWhilePreparing;
    std::vector<uint32_t> statusDuringWrongPause;
    run.window.onSleep = [&](HeadlessWindow& w) {
        const Raster r = w.snapshot();
        if (w.sleeps().back() == 3.0) {
            for (int x : {0, 500, 979})
                for (int y : {10, 19}) statusDuringWrongPause.push_back(r.pixel(x, y));
        }
        if (w.sleeps().back() != 1.0) return;
        statusWhilePreparing.push_back(r.pixel(500, 15));
        progressEndWhilePreparing.push_back(r.pixel(979, 5));
    };
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;

    EXPECT_EQ(run.window.pictures.size(), 6u);
    using Tones = std::vector<std::pair<int, int>>;
    EXPECT_EQ(run.window.toneList(), (Tones{{1000, 200},
                                            {800, 200},
                                            {1000, 200},
                                            {800, 200},
                                            {1000, 200},
                                            {200, 300},
                                            {1000, 200},
                                            {800, 200},
                                            {1000, 200},
                                            {800, 200},
                                            {1000, 200},
                                            {800, 200}}));
    EXPECT_EQ(run.window.sleeps(), (std::vector<double>{1, 1, 1, 3, 1, 1, 1}));

    const int xi[] = {326, 652, 979, 326, 652, 979};
    for (size_t i = 0; i < run.window.pictures.size(); ++i) {
        SCOPED_TRACE("picture " + std::to_string(i + 1));
        expectProgress(run.window.pictures[i], xi[i]);
        expectStatus(run.window.pictures[i], kGreen);
    }
    // Red while preparing, after the wrong answer too: through the 3 s pause, where answers
    // are discarded, the screen must not look like one waiting for an answer. The progress bar
    // keeps the third picture's full bar until the fourth is ready.
    EXPECT_EQ(statusWhilePreparing, (std::vector<uint32_t>{kRed, kRed, kRed, kRed, kRed, kRed}));
    EXPECT_EQ(statusDuringWrongPause, std::vector<uint32_t>(6, kRed));
    EXPECT_EQ(progressEndWhilePreparing,
              (std::vector<uint32_t>{kBlue, kBlue, kBlue, kCyan, kBlue, kBlue}));

    // Line 1 counts the volume, line 2 the one wrong answer; the mean is over all six.
    const std::vector<std::string> texts = textsOf(run.window);
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(texts[0], cp1251("   3 попытки"));
    EXPECT_EQ(texts[1], cp1251("   1 ошибка"));
    EXPECT_EQ(texts[2], cp1251("   0 раз не ответили"));
    EXPECT_EQ(texts[5], "   1.50");

    // Taken at the summary, 19.3 s after 09:05:07: six pictures, one second of grey each,
    // five tones of 0.2 s after right answers, 0.3 s and 3 s after the wrong one, and the
    // answer times 1 + 1 + 4 + 1 + 1 + 1.
    const std::vector<std::string> entries = journalEntries(run.journal());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], cp1251(" 03.03.2013г,  9ч  5м 26с,       гл.оба   ОЗп=0.83      1.50"
                                 "     3   200."));
}

GTEST_TEST(TrainingRun, MeanTimeCountsTheWrongAnswer) {
    // Three right answers of 1 s and one wrong answer of 3 s give 1.50.
    TrainingRun run;
    parameterSet.trainingVolume = 3;
    run.plan({{Reply::wrong, 3.0}, {Reply::right, 1.0}, {Reply::right, 1.0}, {Reply::right, 1.0}});
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.pictures.size(), 4u);
    const std::vector<std::string> texts = textsOf(run.window);
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(texts[5], "   1.50");
    EXPECT_EQ(journalEntries(run.journal()).at(0).substr(50, 10), "      1.50");
}

GTEST_TEST(TrainingRun, AnswerTimeIncludesTheStartTone) {
    // Answers given the moment the wait begins still took the 200 ms of the start tone.
    TrainingRun run;
    parameterSet.trainingVolume = 2;
    run.plan(allRight(2, HeadlessWindow::kNext));
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    const std::vector<std::string> texts = textsOf(run.window);
    ASSERT_GE(texts.size(), 6u);
    EXPECT_EQ(texts[5], "   0.20");
}

GTEST_TEST(TrainingRun, ClicksWhileAPictureIsPreparedAreDiscarded) {
    TrainingRun run;
    parameterSet.trainingVolume = 2;
    const std::vector<bool> sides = nextSides(3);
    // Stray clicks of the wrong button: during the first grey pause and during the pause
    // after the wrong answer.
    run.window.click(sides[0] ? 1 : 2, 0.5);
    run.plan({{Reply::wrong, 1.0}, {Reply::right, 1.0}, {Reply::right, 1.0}});
    run.window.onTone = [&](UserWindow& w, int32_t frequency) {
        if (frequency == 200) w.click(sides[1] ? 1 : 2, w.elapsed() + 1.5);
    };
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.pictures.size(), 3u);
    const std::vector<std::string> texts = textsOf(run.window);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[1], cp1251("   1 ошибка"));
}

GTEST_TEST(TrainingRun, StopsOnAnElementSizeOutsideTheTable) {
    TrainingRun run;
    run.run(0);
    ASSERT_TRUE(run.exit.has_value());
    EXPECT_NE(run.exit->message.find("NOTDIM"), std::string::npos) << run.exit->message;
    EXPECT_FALSE(run.journalExists());
}

// --- The pictures -------------------------------------------------------------------------

GTEST_TEST(TrainingPicture, SidesFollowTheRandomSource) {
    TrainingRun run;
    EXPECT_EQ(nextSides(3), (std::vector<bool>{false, false, true}));
    parameterSet.trainingVolume = 3;
    run.plan(allRight(3));
    run.run(2);
    ASSERT_EQ(run.window.pictures.size(), 3u);
    const int xoff[] = {20, 20, 450};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE("picture " + std::to_string(i + 1));
        testing::expectRuledPicture(run.window.pictures[i], *run.figures, 2, xoff[i], kBlack, 20);
    }
    // The figure is really there: the first picture does not pass for a right-side one.
    int differing = 0;
    const Raster& first = run.window.pictures[0];
    for (int y = 20; y < 80; ++y)
        for (int x = 0; x < first.width(); ++x)
            differing += first.pixel(x, y) != testing::ruledPixel(*run.figures, 2, 450, 980, x, y);
    EXPECT_GT(differing, 20);
    // The cell reaching above the field leaves the status bar alone.
    expectStatus(first, kGreen);
}

GTEST_TEST(TrainingPicture, ComposedAndDirectDrawingGiveTheSameField) {
    struct Path {
        int bits;
        int width;
        int height;
        bool composed;
    };
    // 24 bits per pixel, or another window size, are drawn directly.
    const Path paths[] = {{32, 980, 650, true}, {24, 980, 650, false}, {32, 800, 600, false}};
    for (int p : {3, 7}) {
        std::vector<Raster> composed;
        for (const Path& path : paths) {
            SCOPED_TRACE("p " + std::to_string(p) + ", " + std::to_string(path.bits) + " bits, " +
                         std::to_string(path.width) + " x " + std::to_string(path.height));
            TrainingRun run(path.bits, path.width, path.height);
            parameterSet.trainingVolume = 3;
            run.plan(allRight(3));
            run.run(p);
            ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
            ASSERT_EQ(run.window.pictures.size(), 3u);
            EXPECT_EQ(run.window.sleeps().size(), path.composed ? 3u : 0u);
            const int xoff[] = {figureOffset(20.0f, p), figureOffset(20.0f, p),
                                figureOffset(450.0f, p)};
            for (int i = 0; i < 3; ++i) {
                const Raster& picture = run.window.pictures[i];
                // Column 0 and the right margin: black when composed, untouched otherwise.
                testing::expectRuledPicture(picture, *run.figures, p, xoff[i],
                                            path.composed ? kBlack : kDarkGreen, 20);
                expectProgress(picture, progressEnd(path.width, i + 1, 3));
                expectStatus(picture, kGreen);
                if (path.composed) composed.push_back(picture);
            }
            if (path.width == 980 && !path.composed) {
                // Pixel for pixel the same as the composed pictures where texture or figure lie.
                const int covered = 980 / p * p;
                for (int i = 0; i < 3; ++i) {
                    int differing = 0;
                    for (int y = 0; y < 650; ++y)
                        for (int x = 1; x <= std::min(covered, 979); ++x)
                            differing += run.window.pictures[i].pixel(x, y) !=
                                         composed.at(static_cast<size_t>(i)).pixel(x, y);
                    EXPECT_EQ(differing, 0) << "picture " << i + 1;
                }
            }
        }
    }
}

GTEST_TEST(TrainingPicture, DirectFigureLeavesTheBarsAlone) {
    // Both buttons during the last figure cell stop the training before the status bar turns
    // green, so the bars show what the figure did to them.
    TrainingRun run(24);
    parameterSet.trainingVolume = 3;
    // Of the 7 cells for p = 2 on the left, 5 lie wholly in the field, the one at row 16 has
    // one row in it (4 pixels) and the one at row 646 three (12 pixels).
    const long textureDone = 4 + 630 * 490;
    const long figureDone = textureDone + 5 * 16 + 4 + 12;
    run.window.press(1, HeadlessWindow::kNext, figureDone - 2);
    run.window.press(2, HeadlessWindow::kNext, figureDone - 2);
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.drawingOps(), figureDone);
    const Raster r = run.window.snapshot();
    expectStatus(r, kRed);
    for (int x = 0; x < 980; ++x) ASSERT_EQ(r.pixel(x, 5), kBlue) << x;
    testing::expectRuledPicture(r, *run.figures, 2, 20, kDarkGreen, 20);
    EXPECT_TRUE(run.window.tones().empty());
}

// --- Leaving a training -------------------------------------------------------------------

GTEST_TEST(TrainingAbandon, BothButtonsDuringADirectTextureEndItAfterTheRow) {
    TrainingRun run(24);
    parameterSet.trainingVolume = 3;
    // Three fills and the field image come first, then 490 runs per row for p = 2: the
    // 2000th operation lies in row 24.
    run.window.press(1, HeadlessWindow::kNext, 2000);
    run.window.press(2, HeadlessWindow::kNext, 2000);
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.drawingOps(), 4 + 5 * 490);
    const Raster r = run.window.snapshot();
    EXPECT_EQ(r.pixel(1, 24), kWhite);  // run 1 of row 24: 1 + 24 is odd
    EXPECT_EQ(r.pixel(1, 25), kDarkGreen);
    EXPECT_EQ(r.pixel(500, 649), kDarkGreen);
    EXPECT_TRUE(run.window.tones().empty());
    EXPECT_TRUE(run.window.pictures.empty());
    EXPECT_FALSE(run.journalExists());
    EXPECT_EQ(eventState.latchedMask.load(), 3) << "the main program clears it, not the training";
}

GTEST_TEST(TrainingAbandon, BothButtonsDuringTheGreyPauseLeaveThePictureUnshown) {
    TrainingRun run;
    parameterSet.trainingVolume = 3;
    run.window.press(1, 0.5);
    run.window.press(2, 0.5);
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    const Raster r = run.window.snapshot();
    EXPECT_EQ(r.pixel(500, 20), kDarkGreen) << "the grey starts at row 21";
    EXPECT_EQ(r.pixel(500, 21), kGrey);
    EXPECT_EQ(r.pixel(979, 649), kGrey);
    EXPECT_EQ(r.pixel(500, 15), kRed);
    EXPECT_TRUE(run.window.tones().empty());
    EXPECT_FALSE(run.journalExists());
}

GTEST_TEST(TrainingAbandon, BothButtonsDuringTheFigureEndItAfterTheCell) {
    TrainingRun run(24);
    parameterSet.trainingVolume = 3;
    // After the fills, the field image and 630 rows of 490 runs, the first figure cell takes
    // 16 pixels; both buttons arrive in its middle.
    const long textureDone = 4 + 630 * 490;
    run.window.press(1, HeadlessWindow::kNext, textureDone + 6);
    run.window.press(2, HeadlessWindow::kNext, textureDone + 6);
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.drawingOps(), textureDone + 16);
    const Raster r = run.window.snapshot();
    // First cell (row 30, column 0, left: x 21-24, y 31-34) complete; the second (column 4,
    // x 25-28) not drawn, so the texture shows there.
    EXPECT_EQ(r.pixel(23, 31), kBlack);
    EXPECT_EQ(r.pixel(24, 34), kWhite);
    EXPECT_EQ(r.pixel(25, 31), kBlack);  // the second cell would make it white
    EXPECT_TRUE(run.window.tones().empty());
    EXPECT_FALSE(run.journalExists());
}

GTEST_TEST(TrainingAbandon, BothButtonsInTheAnswerWait) {
    TrainingRun run;
    parameterSet.trainingVolume = 3;
    const std::vector<bool> sides = nextSides(1);
    run.window.onPicture = [&](UserWindow& w, int picture) {
        if (picture == 1) {
            w.click(sides[0] ? 2 : 1, w.elapsed() + 1.0);
        } else {
            // Both presses reach the program together, during the start tone; a lone first
            // press in the wait would already be judged as an answer.
            w.press(1, w.elapsed() + 0.1);
            w.press(2, w.elapsed() + 0.1);
        }
    };
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.pictures.size(), 2u);
    using Tones = std::vector<std::pair<int, int>>;
    EXPECT_EQ(run.window.toneList(), (Tones{{1000, 200}, {800, 200}, {1000, 200}}));
    EXPECT_TRUE(run.window.texts().empty());
    EXPECT_FALSE(run.journalExists());
}

GTEST_TEST(TrainingAbandon, MenuRequestInTheAnswerWait) {
    TrainingRun run;
    parameterSet.trainingVolume = 3;
    const std::vector<bool> sides = nextSides(1);
    run.window.onPicture = [&](UserWindow& w, int picture) {
        if (picture == 1)
            w.click(sides[0] ? 2 : 1, w.elapsed() + 1.0);
        else
            w.menu(2, w.elapsed() + 1.0);
    };
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    using Tones = std::vector<std::pair<int, int>>;
    EXPECT_EQ(run.window.toneList(), (Tones{{1000, 200}, {800, 200}, {1000, 200}}));
    EXPECT_EQ(eventState.menuRequest.load(), 3) << "left for the main program to serve";
    EXPECT_TRUE(run.window.texts().empty());
    EXPECT_FALSE(run.journalExists());
}

GTEST_TEST(TrainingAbandon, MenuRequestWhileDrawingActsAtTheAnswerWait) {
    TrainingRun run;
    parameterSet.trainingVolume = 3;
    run.window.menu(2, 0.5);  // during the grey pause of the first picture
    run.window.menu(3, 0.6);  // the instructions disturb nothing
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_EQ(run.window.aboutShown(), 1);
    ASSERT_EQ(run.window.pictures.size(), 1u);
    testing::expectRuledPicture(run.window.pictures[0], *run.figures, 2, 20, kBlack, 20);
    using Tones = std::vector<std::pair<int, int>>;
    EXPECT_EQ(run.window.toneList(), (Tones{{1000, 200}}));
    EXPECT_FALSE(run.journalExists());
}

// --- The summary --------------------------------------------------------------------------

GTEST_TEST(TrainingSummary, ScreenTextsFontsColoursAndPositions) {
    TrainingRun run;
    parameterSet.trainingVolume = 1;
    run.plan(allRight(1, HeadlessWindow::kNext));
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;

    struct Expected {
        int x, y;
        const std::string& font;
        uint32_t colour;
        std::string text;
    };
    const uint32_t olive = 0x009999, green = 0x00AA00;
    const std::vector<Expected> expected = {
        {30, 0, kSmallFont, olive, cp1251("   1 попытка")},
        {250, 0, kSmallFont, olive, cp1251("   0 ошибок")},
        {500, 0, kSmallFont, olive, cp1251("   0 раз не ответили")},
        {50, 120, kSmallFont, green, cp1251("Среднее время ответа")},
        {655, 120, kSmallFont, green, cp1251("сек.")},
        {400, 55, kLargeFont, green, "   0.20"},
        {30, 280, kMediumFont, green, cp1251("Острота зрения")},
        {390, 240, kLargeFont, green, "0.83"},
        {570, 280, kMediumFont, green, cp1251("подтверждена")},
        // Element 2 is the smallest the start screen offers: the acuity is a ceiling.
        {30, 380, kSmallFont, green, cp1251("Элемент 2 — самый мелкий: больше 0.83")},
        {30, 420, kSmallFont, green, cp1251("тренировка на этом расстоянии не подтвердит")},
        {60, 550, kSmallFont, kBlue, promptText()},
    };
    const std::vector<TextRecord>& texts = run.window.texts();
    ASSERT_EQ(texts.size(), expected.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("text " + std::to_string(i + 1));
        EXPECT_EQ(texts[i].x, expected[i].x);
        EXPECT_EQ(texts[i].y, expected[i].y);
        EXPECT_EQ(texts[i].font, expected[i].font);
        EXPECT_EQ(static_cast<uint32_t>(texts[i].colour), expected[i].colour);
        EXPECT_EQ(texts[i].text, expected[i].text);
    }
    EXPECT_EQ(promptText().size(), 41u);

    // The summary covers the whole window, bars included.
    const Raster r = run.window.snapshot();
    int notWhite = 0;
    for (int y = 0; y < r.height(); ++y)
        for (int x = 0; x < r.width(); ++x) notWhite += r.pixel(x, y) != kWhite;
    EXPECT_EQ(notWhite, 0);
}

GTEST_TEST(TrainingSummary, JournalEntryIsWrittenBeforeThePrompt) {
    TrainingRun run;
    parameterSet.trainingVolume = 2;
    parameterSet.distanceCm = 150.0f;
    run.plan(allRight(2, HeadlessWindow::kNext));
    run.run(4);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    EXPECT_TRUE(run.window.promptSeen);
    EXPECT_EQ(run.window.journalAtPrompt, run.journal());
    EXPECT_EQ(run.window.texts().size(), 10u) << "element 4 states no ceiling";

    // A new journal: the training's header, then the entry.
    const std::string journal = run.journal();
    EXPECT_EQ(journal.rfind(trainingHeader() + "\r\n", 0), 0u);
    const std::vector<std::string> entries = journalEntries(journal);
    ASSERT_EQ(entries.size(), 1u);
    const std::string& line = entries[0];
    ASSERT_EQ(line.size(), 73u);
    // Date and time of the summary, 2.8 s after 09:05:07: two pictures of 1 s grey, each with
    // a start tone and a right-answer tone of 0.2 s.
    EXPECT_EQ(line.substr(0, 24), cp1251(" 03.03.2013г,  9ч  5м  9"));
    EXPECT_EQ(line.substr(42, 4), cp1251("ОЗп="));
    const std::string values = line.substr(46);
    const float acuity = confirmedAcuity(4, 150.0f, 17.7f, 1024, 768);
    EXPECT_EQ(values.substr(0, 4), fields::F(acuity, 4, 2));
    EXPECT_EQ(values.substr(0, 4), "0.31");
    EXPECT_EQ(values.substr(4, 10), "      0.20");
    EXPECT_EQ(values.substr(14, 6), "     2");
    EXPECT_EQ(values.substr(20, 2), "  ");
    EXPECT_EQ(values.substr(22, 5), " 150.");

    // The reader of the chart finds the values again.
    JournalReader reader(run.path(journalFileName));
    const std::optional<JournalLine> read = reader.next();
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(read->isTraining);
    EXPECT_FLOAT_EQ(read->trainingAcuity, 0.31f);
    EXPECT_FLOAT_EQ(read->meanTime, 0.20f);
    EXPECT_EQ(read->volume, 2);
    EXPECT_EQ(read->second, 9);
}

GTEST_TEST(TrainingSummary, NoPicturesWithoutAVolume) {
    for (int volume : {0, -2}) {
        SCOPED_TRACE("volume " + std::to_string(volume));
        TrainingRun run;
        parameterSet.trainingVolume = volume;
        run.window.click(1);
        run.run(2);
        ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
        EXPECT_TRUE(run.window.tones().empty());
        EXPECT_TRUE(run.window.sleeps().empty());
        const std::vector<std::string> texts = textsOf(run.window);
        ASSERT_EQ(texts.size(), 12u);
        EXPECT_EQ(texts[0], fields::I(volume, 4) + cp1251(" попыток"));
        EXPECT_EQ(texts[1], cp1251("   0 ошибок"));
        EXPECT_EQ(texts[5], "   0.00");
        EXPECT_EQ(texts[7], "0.83");
        if (volume == 0) {
            const std::vector<std::string> entries = journalEntries(run.journal());
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].substr(46), "0.83      0.00" + fields::I(volume, 6) + "   200.");
        } else {
            // A negative volume is no count of pictures: not journaled, and the user is told.
            EXPECT_FALSE(run.journalExists());
            ASSERT_EQ(run.window.messages().size(), 1u);
            EXPECT_NE(run.window.messages()[0].find("Объём тренировки -2 не помещается"),
                      std::string::npos)
                << run.window.messages()[0];
        }
    }
}

GTEST_TEST(TrainingSummary, AcuityBeyondItsFieldShowsAsterisks) {
    TrainingRun run;
    parameterSet.trainingVolume = 0;
    parameterSet.distanceCm = 5000.0f;  // 25 times the default: about 20.7 at p = 2
    run.window.click(1);
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    const std::vector<std::string> texts = textsOf(run.window);
    ASSERT_EQ(texts.size(), 12u);
    EXPECT_EQ(texts[7], "****");
    // A line of asterisks would stop every reader of the journal there: the result is shown
    // and not journaled, and the message says why.
    EXPECT_FALSE(run.journalExists());
    ASSERT_EQ(run.window.messages().size(), 1u);
    const std::string& message = run.window.messages()[0];
    EXPECT_NE(message.find("Результат тренировки не записан"), std::string::npos) << message;
    EXPECT_NE(message.find("Острота зрения 20."), std::string::npos) << message;
    EXPECT_NE(message.find("не помещается в поле журнала"), std::string::npos) << message;
    EXPECT_TRUE(run.window.promptSeen);
}

GTEST_TEST(TrainingSummary, UnwritableJournalIsReportedAndThePromptStillFollows) {
    TrainingRun run;
    parameterSet.trainingVolume = 0;
    fs::create_directory(run.path(journalFileName));
    run.window.click(1);
    run.run(2);
    ASSERT_FALSE(run.exit.has_value()) << run.exit->message;
    ASSERT_EQ(run.window.messages().size(), 1u);
    const std::string& message = run.window.messages()[0];
    EXPECT_NE(message.find("trelvan.rez"), std::string::npos) << message;
    EXPECT_NE(message.find("Результат тренировки не записан"), std::string::npos) << message;
    EXPECT_TRUE(run.window.promptSeen);
    EXPECT_EQ(run.window.messagesAtPrompt, 1u) << "the message comes before the prompt";
    EXPECT_TRUE(fs::is_directory(run.path(journalFileName)));
}

GTEST_TEST(TrainingSummary, WaitsForAClickAfterThePrompt) {
    TrainingRun run;
    parameterSet.trainingVolume = 0;
    run.run(2);  // nobody clicks
    ASSERT_TRUE(run.exit.has_value());
    EXPECT_EQ(run.exit->status, HeadlessWindow::kScriptEnded);
    EXPECT_TRUE(run.window.promptSeen);
    EXPECT_EQ(journalEntries(run.journal()).size(), 1u);
}

}  // namespace
}  // namespace trelvan
