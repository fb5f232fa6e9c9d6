// SPDX-License-Identifier: GPL-3.0-or-later
// The vision check on the headless services: rings, answers, levels, journal line, result.
#include "exercise/vision.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "app/event_state.h"
#include "app/main_program.h"
#include "exercise/exercises.h"
#include "exercise/random.h"
#include "journal/journal.h"
#include "params/parameters.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "support/fresh_program.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::exists;
using testing::readBytes;
using testing::TempDir;

constexpr int kWidth = 980;
constexpr int kHeight = 650;
constexpr int kXc = kWidth / 2;
constexpr int kYc = kHeight / 2;
constexpr uint32_t kBlackPixel = 0x000000;

// --- Scene: headless window, event state, parameters, working directory --------------------

// A fresh program state with the graphics window open at 980 x 650, the mouse routine and the
// menu in place, and an empty working directory for the journal.
class Scene {
  public:
    Scene() {
        setGraphicsWindow(&window);
        INITIALSETTINGS();
        window.OPENUSER(1, "test");
        WindowConfig config;
        config.numxpixels = kWidth;
        config.numypixels = kHeight;
        window.SETWINDOWCONFIG(config);
        window.INITIALIZEFONTS();
        window.REGISTERMOUSEEVENTQQ(1, 27, TYPXY);
        window.close();
        window.setTimeLimit(2000.0);
    }
    ~Scene() {
        window.onSleep = nullptr;
        setGraphicsWindow(nullptr);
    }

    std::string journalPath() const { return fresh.file(journalFileName); }

    testing::FreshProgram fresh;
    HeadlessWindow window;
};

// Runs one level at the default parameters; true when it returned (not stopped by the script).
bool runLevel(float level, int32_t& passed) {
    const ParameterSet& p = parameterSet;
    try {
        TESTSTR(level, p.distanceCm, p.diagonalInch, kWidth, kHeight, p.pixelsX, p.pixelsY, passed);
    } catch (const ProgramExit& e) {
        return false;
    }
    return true;
}

bool runCheck() {
    try {
        EVETEST(kWidth, kHeight);
    } catch (const ProgramExit& e) {
        return false;
    }
    return true;
}

// --- What the figures show -----------------------------------------------------------------

// Gap position of a figure: side +1 right, -1 left; tilt in degrees.
struct Position {
    int side;
    int tilt;
    bool operator<(const Position& o) const {
        return side != o.side ? side < o.side : tilt < o.tilt;
    }
    bool operator==(const Position& o) const = default;
};

// The positions of the first n figures of a fresh run, by the rule of the figure: right when
// the first value is above 0.5; tilt -45 below 0.333, +45 from 0.667.
std::vector<Position> firstPositions(size_t n) {
    const std::vector<float> values = testing::firstRan11(static_cast<int>(2 * n));
    std::vector<Position> positions;
    for (size_t i = 0; i < n; ++i) {
        const float sideValue = values[2 * i];
        const float tiltValue = values[2 * i + 1];
        const int tilt = tiltValue < 0.333f ? -45 : (tiltValue >= 0.667f ? 45 : 0);
        positions.push_back(Position{sideValue > 0.5f ? 1 : -1, tilt});
    }
    return positions;
}

bool isBlack(const Raster& img, int x, int y) {
    return img.inside(x, y) && img.pixel(x, y) == kBlackPixel;
}

// Sizes of a drawn ring, in pixels, measured around the window centre.
struct Shape {
    int outer = 0;      // black rows along the centre column, top to bottom
    int inner = 0;      // white rows of the hole along the centre column
    int gapAngle = -1;  // direction of the gap (0 right, 90 down ...), -1 when not clear
};

Shape measure(const Raster& img) {
    Shape s;
    int top = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        if (isBlack(img, kXc, y)) {
            if (top < 0) top = y;
            bottom = y;
        }
    }
    if (top < 0) return s;
    s.outer = bottom - top + 1;
    int up = kYc, down = kYc;
    while (up > top && !isBlack(img, kXc, up - 1)) --up;
    while (down < bottom && !isBlack(img, kXc, down + 1)) ++down;
    s.inner = down - up + 1;

    // The gap: the one direction in which the middle of the stroke is white.
    const double radius = (s.outer + s.inner) / 4.0;
    int found = 0;
    for (int angle = 0; angle < 360; angle += 45) {
        const double a = angle * std::numbers::pi / 180.0;
        const int x = kXc + static_cast<int>(std::lround(radius * std::cos(a)));
        const int y = kYc + static_cast<int>(std::lround(radius * std::sin(a)));
        if (!isBlack(img, x, y)) {
            s.gapAngle = angle;
            ++found;
        }
    }
    if (found != 1) s.gapAngle = -1;
    return s;
}

// Direction on the screen (y downwards) in which a gap at the position opens.
int gapAngleOf(const Position& p) {
    int angle = p.side > 0 ? p.tilt : 180 + p.tilt;
    return (angle + 360) % 360;
}

// Width of a straight (tilt 0) gap: rows where the stroke on the other side is black while the
// gap side has no black pixel.
int gapRows(const Raster& img, int side) {
    int rows = 0;
    for (int y = 0; y < img.height(); ++y) {
        bool gapSideBlack = false, otherSideBlack = false;
        for (int dx = 1; dx < 200; ++dx) {
            gapSideBlack = gapSideBlack || isBlack(img, kXc + side * dx, y);
            otherSideBlack = otherSideBlack || isBlack(img, kXc - side * dx, y);
        }
        if (otherSideBlack && !gapSideBlack) ++rows;
    }
    return rows;
}

int countTones(const HeadlessWindow& w, int frequency) {
    return static_cast<int>(
        std::count_if(w.tones().begin(), w.tones().end(),
                      [&](const ToneRecord& t) { return t.frequency == frequency; }));
}

std::vector<double> figureTimes(const HeadlessWindow& w) {
    std::vector<double> times;
    for (const ToneRecord& t : w.tones())
        if (t.frequency == 1000) times.push_back(t.at);
    return times;
}

// --- The user --------------------------------------------------------------------------------

enum class Act {
    right,   // the button of the gap's side
    wrong,   // the other button
    silent,  // no answer
    both,    // both buttons, released 0.7 s and 1.5 s later
    menu,    // the menu item of the progress chart
};

// Answers the figures one by one as they appear: figure k (counted by its tone) gets plan[k],
// given at the first sleep after the figure came up. After the plan the user stays silent; with
// finalClick a click waits for the next wait for input (the result screen).
class User {
  public:
    User(HeadlessWindow& w, std::vector<Act> plan, bool finalClick = false)
        : plan_(std::move(plan)), finalClick_(finalClick) {
        positions_ = firstPositions(plan_.size() + 64);
        w.onSleep = [this](HeadlessWindow& hw) { onSleep(hw); };
    }

    // Every figure shown, as measured when it came up.
    const std::vector<Shape>& shapes() const { return shapes_; }
    const std::vector<Position>& positions() const { return positions_; }
    double bothPressedAt() const { return bothAt_; }
    double lastSleepAt() const { return lastSleepAt_; }

  private:
    void onSleep(HeadlessWindow& w) {
        lastSleepAt_ = w.elapsed();
        const int shown = countTones(w, 1000);
        if (shown == handled_) return;
        handled_ = shown;
        const size_t k = static_cast<size_t>(shown - 1);
        shapes_.push_back(measure(w.snapshot()));
        if (k >= plan_.size()) return;
        const double now = w.elapsed();
        const int rightButton = positions_[k].side < 0 ? 1 : 2;
        switch (plan_[k]) {
            case Act::right:
                w.click(rightButton, now);
                break;
            case Act::wrong:
                w.click(3 - rightButton, now);
                break;
            case Act::silent:
                break;
            case Act::both:
                bothAt_ = now;
                w.press(1, now);
                w.press(2, now);
                w.release(1, now + 0.7);
                w.release(2, now + 1.5);
                break;
            case Act::menu:
                w.menu(2, now);
                break;
        }
        if (k + 1 == plan_.size() && finalClick_) w.click(1);
    }

    std::vector<Act> plan_;
    bool finalClick_;
    std::vector<Position> positions_;
    std::vector<Shape> shapes_;
    int handled_ = 0;
    double bothAt_ = -1;
    double lastSleepAt_ = -1;
};

std::vector<Act> repeat(Act act, int n) {
    return std::vector<Act>(static_cast<size_t>(n), act);
}

std::vector<Act> operator+(std::vector<Act> a, const std::vector<Act>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<Act> kPass = repeat(Act::right, 10);
const std::vector<Act> kFail = repeat(Act::wrong, 3);

// --- Geometry ---------------------------------------------------------------------------------

GTEST_TEST(RingGeometry, ExampleAtOneMetrePointTwentyFiveMillimetrePitch) {
    // 1016 x 762 pixels on a 12.5" diagonal: 1270 pixels across, a pitch of 0.25 mm.
    const RingGeometry g = ringGeometry(1.0f, 500.0f, 12.5f, kWidth, kHeight, 1016, 762);
    EXPECT_FLOAT_EQ(g.pitch, 0.25f);
    EXPECT_NEAR(2 * g.outerRadius, 29.0f, 1e-4);
    EXPECT_NEAR(2 * g.innerRadius, 17.4f, 1e-4);
    EXPECT_NEAR(2 * g.halfGap, 5.8f, 1e-4);
    EXPECT_FLOAT_EQ(g.xc, 490.0f);
    EXPECT_FLOAT_EQ(g.yc, 325.0f);
    // 490 - 14.5 and 490 + 14.5 are ties: both go away from zero.
    EXPECT_EQ(g.outer, (std::array<int16_t, 4>{476, 311, 505, 340}));
    // The hole is moved in by half a pixel on every side: 490 - 8.7 + 0.5, 490 + 8.7 - 0.5.
    EXPECT_EQ(g.inner, (std::array<int16_t, 4>{482, 317, 498, 333}));
}

GTEST_TEST(RingGeometry, PitchFromTheDefaultScreen) {
    const RingGeometry g = ringGeometry(0.1f, 200.0f, 17.7f, kWidth, kHeight, 1024, 768);
    EXPECT_NEAR(g.pitch, 25.4 * 17.7 / 1280.0, 1e-6);
    // At 0.1 and 500 cm one figure unit is one millimetre: R is 36.25 mm.
    const RingGeometry far = ringGeometry(0.1f, 500.0f, 17.7f, kWidth, kHeight, 1024, 768);
    EXPECT_NEAR(far.outerRadius * far.pitch, 36.25, 1e-4);
    EXPECT_NEAR(far.halfGap * far.pitch, 7.25, 1e-4);
    // The ring scales with the distance and inversely with the level.
    EXPECT_NEAR(ringGeometry(0.2f, 400.0f, 17.7f, kWidth, kHeight, 1024, 768).outerRadius,
                far.outerRadius * 0.4f, 1e-4);
}

GTEST_TEST(RingGeometry, LargeResolutionSumOfSquaresDoesNotOverflow) {
    // 40000^2 + 30000^2 is beyond 32 bits.
    const RingGeometry g = ringGeometry(1.0f, 500.0f, 12.5f, kWidth, kHeight, 40000, 30000);
    EXPECT_NEAR(g.pitch, 25.4 * 12.5 / 50000.0, 1e-9);
}

GTEST_TEST(RingGeometry, PixelCoordinatesRoundHalfAwayAndStayIn16Bits) {
    EXPECT_EQ(pixelCoordinate(2.5f), 3);
    EXPECT_EQ(pixelCoordinate(-2.5f), -3);
    EXPECT_EQ(pixelCoordinate(3.5f), 4);
    EXPECT_EQ(pixelCoordinate(2.4999f), 2);
    EXPECT_EQ(pixelCoordinate(-0.4f), 0);
    EXPECT_EQ(pixelCoordinate(40000.0f), 32767);
    EXPECT_EQ(pixelCoordinate(-40000.0f), -32768);
}

GTEST_TEST(RingGeometry, GapCutterForTheSixPositions) {
    const RingGeometry g = ringGeometry(1.0f, 500.0f, 12.5f, kWidth, kHeight, 1016, 762);
    // f = 2.9, L = 15.3; at 45 degrees f and L shrink by cos 45 = 0.7071 to 2.05 and 10.82.
    struct Case {
        int side;
        float tilt;
        std::array<int, 8> xy;  // P1 .. P4
    } cases[] = {
        {1, 0.0f, {490, 322, 490, 328, 505, 328, 505, 322}},     // right
        {-1, 0.0f, {490, 322, 490, 328, 475, 328, 475, 322}},    // left
        {1, 45.0f, {492, 323, 488, 327, 499, 338, 503, 334}},    // lower right
        {1, -45.0f, {488, 323, 492, 327, 503, 316, 499, 312}},   // upper right
        {-1, 45.0f, {492, 323, 488, 327, 477, 316, 481, 312}},   // upper left
        {-1, -45.0f, {488, 323, 492, 327, 481, 338, 477, 334}},  // lower left
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "side " << c.side << " tilt " << c.tilt);
        const std::array<XYCoord, 4> p = gapVertices(g, c.side, c.tilt);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(p[i].xcoord, c.xy[2 * i]) << "P" << i + 1;
            EXPECT_EQ(p[i].ycoord, c.xy[2 * i + 1]) << "P" << i + 1;
        }
    }
}

GTEST_TEST(RingGeometry, SideAndTiltThresholds) {
    EXPECT_EQ(gapSide(0.5f), -1);
    EXPECT_EQ(gapSide(std::nextafter(0.5f, 1.0f)), 1);
    EXPECT_EQ(gapSide(0.0f), -1);
    EXPECT_EQ(gapSide(1.0f), 1);
    EXPECT_EQ(gapTilt(0.0f), -45.0f);
    EXPECT_EQ(gapTilt(std::nextafter(0.333f, 0.0f)), -45.0f);
    EXPECT_EQ(gapTilt(0.333f), 0.0f);
    EXPECT_EQ(gapTilt(std::nextafter(0.667f, 0.0f)), 0.0f);
    EXPECT_EQ(gapTilt(0.667f), 45.0f);
    EXPECT_EQ(gapTilt(1.0f), 45.0f);
}

// The first figure of a level at the default parameters, with its position; the generator is
// moved on first so that this figure's gap is straight (tilt 0).
struct StraightFigure {
    Raster image{1, 1};
    Position position{0, 0};
};

StraightFigure straightFigure(Scene& scene, float level) {
    const std::vector<Position> positions = firstPositions(64);
    size_t k = 0;
    while (positions[k].tilt != 0) ++k;
    for (size_t i = 0; i < 2 * k; ++i) RAN11();
    StraightFigure figure;
    figure.position = positions[k];
    bool taken = false;
    scene.window.onSleep = [&](HeadlessWindow& w) {
        if (taken) return;
        taken = true;
        figure.image = w.snapshot();
        w.press(1, w.elapsed());
        w.press(2, w.elapsed());
    };
    int32_t passed = -7;
    runLevel(level, passed);
    scene.window.onSleep = nullptr;
    EXPECT_EQ(passed, -7);
    return figure;
}

GTEST_TEST(RingDrawing, EveryLevelHasItsPhysicalSize) {
    // Default screen: 17.7", 1024 x 768, 200 cm. The gap is one arc minute divided by the
    // level as seen from the viewing distance; the ring is 5 gaps across and its hole 3.
    // A filled shape covers both its corner pixels, so the black disc and the gap cover one
    // pixel more than their size; the hole's corners are moved in by half a pixel for that.
    const double pitch = 25.4 * 17.7 / std::sqrt(1024.0 * 1024.0 + 768.0 * 768.0);
    const double arcMinute = std::tan(std::numbers::pi / (180.0 * 60.0));
    for (int index = 2; index <= 14; ++index) {
        const float level = TOZ(index);
        SCOPED_TRACE(::testing::Message() << "level " << level);
        Scene scene;
        const StraightFigure figure = straightFigure(scene, level);
        const double gap = 2000.0 * arcMinute / level / pitch;
        const Shape shape = measure(figure.image);
        EXPECT_NEAR(shape.outer, 5 * gap + 1, 1.0);
        EXPECT_NEAR(shape.inner, 3 * gap, 1.0);
        EXPECT_NEAR(gapRows(figure.image, figure.position.side), gap + 1, 1.0);
    }
}

GTEST_TEST(RingDrawing, FieldIsWhiteAroundACentredRing) {
    Scene scene;
    const StraightFigure figure = straightFigure(scene, 0.5f);
    const Raster& img = figure.image;
    // Only pixels within the ring's box are black, and the box is centred.
    int left = kWidth, right = -1, top = kHeight, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (isBlack(img, x, y)) {
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
    const RingGeometry g = ringGeometry(0.5f, 200.0f, 17.7f, kWidth, kHeight, 1024, 768);
    EXPECT_EQ(top, g.outer[1]);
    EXPECT_EQ(bottom, g.outer[3]);
    EXPECT_EQ(top + bottom, 2 * kYc);
    // The gap takes the middle of one side away, not the extreme columns above and below it.
    EXPECT_EQ(figure.position.side > 0 ? left : right,
              figure.position.side > 0 ? g.outer[0] : g.outer[2]);
    EXPECT_EQ(img.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(img.pixel(kWidth - 1, kHeight - 1), 0xFFFFFFu);
}

GTEST_TEST(RingDrawing, GapsFollowTheRandomSequenceInAllSixPositions) {
    Scene scene;
    parameterSet.distanceCm = 500.0f;  // large rings: the gap is easy to find
    // Level 0.1 without answers: figures keep coming.
    User user(scene.window, {});
    scene.window.setTimeLimit(110.0);
    int32_t passed = -7;
    EXPECT_FALSE(runLevel(0.1f, passed));
    ASSERT_GE(user.shapes().size(), 30u);
    std::set<Position> seen;
    for (size_t k = 0; k < user.shapes().size(); ++k) {
        SCOPED_TRACE(::testing::Message() << "figure " << k + 1);
        EXPECT_EQ(user.shapes()[k].gapAngle, gapAngleOf(user.positions()[k]));
        seen.insert(user.positions()[k]);
    }
    EXPECT_EQ(seen.size(), 6u);
}

// --- One level ------------------------------------------------------------------------------

GTEST_TEST(VisionLevel, FirstLevelWaitsWithoutPenaltyUntilTheFirstAnswer) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, {});
    // What the screen showed at every sleep, by the figures shown so far.
    std::vector<std::pair<int, bool>> screens;
    auto answer = w.onSleep;
    w.onSleep = [&](HeadlessWindow& hw) {
        answer(hw);
        screens.emplace_back(countTones(hw, 1000), measure(hw.snapshot()).outer > 0);
    };
    w.setTimeLimit(60.0);
    int32_t passed = -7;
    EXPECT_FALSE(runLevel(0.1f, passed)) << "the level never ends without an answer";
    EXPECT_EQ(passed, -7);
    const std::vector<double> times = figureTimes(w);
    ASSERT_GE(times.size(), 15u);
    for (size_t i = 1; i < times.size(); ++i) {
        // Two seconds on show, at least one second of white pause.
        EXPECT_GE(times[i] - times[i - 1], 3.0);
        EXPECT_LE(times[i] - times[i - 1], 3.6);
        const auto ringSleeps = std::count(screens.begin(), screens.end(),
                                           std::pair<int, bool>(static_cast<int>(i), true));
        const auto whiteSleeps = std::count(screens.begin(), screens.end(),
                                            std::pair<int, bool>(static_cast<int>(i), false));
        EXPECT_EQ(ringSleeps, 10) << "figure " << i;
        EXPECT_GE(whiteSleeps, 5) << "figure " << i;
    }
    EXPECT_EQ(countTones(w, 1000), static_cast<int>(w.tones().size())) << "no other tone";
    for (double s : w.sleeps()) EXPECT_EQ(s, 0.2) << "waits sleep in 200 ms steps";
}

GTEST_TEST(VisionLevel, FirstLevelCountsMissedAnswersOnceAnswered) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, repeat(Act::silent, 4) + std::vector<Act>{Act::right} + repeat(Act::silent, 5));
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.1f, passed));
    EXPECT_EQ(passed, 0);
    EXPECT_EQ(countTones(w, 1000), 10);
    EXPECT_EQ(countTones(w, 800), 1);
    EXPECT_EQ(countTones(w, 400), 5) << "the four missed before the first answer are free";
    // The first counted miss comes after the right answer.
    const auto firstMiss = std::find_if(w.tones().begin(), w.tones().end(),
                                        [](const ToneRecord& t) { return t.frequency == 400; });
    const auto right = std::find_if(w.tones().begin(), w.tones().end(),
                                    [](const ToneRecord& t) { return t.frequency == 800; });
    EXPECT_LT(right - w.tones().begin(), firstMiss - w.tones().begin());
}

GTEST_TEST(VisionLevel, FiveMissedAnswersFailALevelAboveTheFirst) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, repeat(Act::silent, 5));
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.5f, passed));
    EXPECT_EQ(passed, 0);
    ASSERT_EQ(w.tones().size(), 10u);
    for (size_t i = 0; i < 10; i += 2) {
        EXPECT_EQ(w.tones()[i].frequency, 1000);
        EXPECT_EQ(w.tones()[i].durationMs, 150);
        EXPECT_EQ(w.tones()[i + 1].frequency, 400);
        EXPECT_EQ(w.tones()[i + 1].durationMs, 200);
        // The answer window: two seconds from just before the figure's tone, one step more.
        const double waited = w.tones()[i + 1].at - w.tones()[i].at;
        EXPECT_GE(waited, 2.0);
        EXPECT_LE(waited, 2.2 + 1e-6);
    }
}

GTEST_TEST(VisionLevel, RightAnswerClearsMissesButKeepsTheRun) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    // 4 missed, right (run 1), 4 missed: still not failed; 9 right more make a run of 10.
    User user(w, repeat(Act::silent, 4) + std::vector<Act>{Act::right} + repeat(Act::silent, 4) +
                     repeat(Act::right, 9));
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.5f, passed));
    EXPECT_EQ(passed, 1);
    EXPECT_EQ(countTones(w, 1000), 18);
    EXPECT_EQ(countTones(w, 400), 8);
    EXPECT_EQ(countTones(w, 800), 10);
}

GTEST_TEST(VisionLevel, ThreeWrongAnswersFailDespiteRightOnesBetween) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, std::vector<Act>{Act::wrong} + repeat(Act::right, 5) +
                     std::vector<Act>{Act::wrong} + repeat(Act::right, 4) +
                     std::vector<Act>{Act::wrong} + repeat(Act::right, 10));
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 0);
    EXPECT_EQ(countTones(w, 1000), 12);
    EXPECT_EQ(countTones(w, 200), 3);
    const std::vector<double> sleeps = w.sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 3.0), 3);
}

GTEST_TEST(VisionLevel, TwoWrongThenTenRightPass) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, repeat(Act::wrong, 2) + repeat(Act::right, 10));
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 1);
    EXPECT_EQ(countTones(w, 1000), 12);
    EXPECT_EQ(countTones(w, 800), 10);
}

GTEST_TEST(VisionLevel, WrongAfterNineRightStartsTheRunAgain) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, repeat(Act::right, 9) + std::vector<Act>{Act::wrong} + repeat(Act::right, 10));
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 1);
    EXPECT_EQ(countTones(w, 1000), 20) << "passed only after ten right in a row";
}

GTEST_TEST(VisionLevel, WrongAnswerKeepsTheRingForThreeSeconds) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, kFail);
    int ringsDuringPause = 0;
    auto answer = w.onSleep;
    w.onSleep = [&](HeadlessWindow& hw) {
        answer(hw);
        if (hw.sleeps().back() == 3.0 && measure(hw.snapshot()).outer > 0) ++ringsDuringPause;
    };
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 0);
    EXPECT_EQ(ringsDuringPause, 3);
    // Each wrong tone is followed by the pause, and the next figure comes a second later.
    const std::vector<double> times = figureTimes(w);
    ASSERT_EQ(times.size(), 3u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 0.15 + 0.3 + 3 + 1);
    // The last ring stays on the screen after the verdict.
    EXPECT_GT(measure(w.snapshot()).outer, 0);
}

GTEST_TEST(VisionLevel, ClickDuringThePauseIsNotAnAnswer) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    // Every figure goes unanswered; the user clicks once the miss has been told.
    int misses = 0;
    w.onSleep = [&](HeadlessWindow& hw) {
        if (countTones(hw, 400) == misses) return;
        misses = countTones(hw, 400);
        hw.click(2, hw.elapsed());
    };
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.5f, passed));
    EXPECT_EQ(passed, 0);
    EXPECT_EQ(countTones(w, 400), 5);
    EXPECT_EQ(countTones(w, 800) + countTones(w, 200), 0);
}

GTEST_TEST(VisionLevel, SilentWhenSoundIsOff) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    parameterSet.soundOn = false;
    // Without tones the user watches the screen: a ring that comes up after the white pause is
    // a new figure, answered by the side its gap is seen on.
    bool ringUp = false;
    int answered = 0;
    w.onSleep = [&](HeadlessWindow& hw) {
        const Shape shape = measure(hw.snapshot());
        const bool up = shape.outer > 0;
        if (up && !ringUp && shape.gapAngle >= 0) {
            const bool left = shape.gapAngle > 90 && shape.gapAngle < 270;
            hw.click(left ? 1 : 2, hw.elapsed());
            ++answered;
        }
        ringUp = up;
    };
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.1f, passed));
    EXPECT_EQ(passed, 1);
    EXPECT_EQ(answered, 10);
    EXPECT_TRUE(w.tones().empty());
}

// The band along the top edge that signs each answer: its colour across the band's rows, or
// white when none is shown.
uint32_t signColour(const Raster& img) {
    const uint32_t c = img.pixel(0, 0);
    for (int x : {0, kWidth / 2, kWidth - 1})
        for (int y : {0, 9})
            if (img.pixel(x, y) != c) return 0x123456;    // not one band
    return img.pixel(0, 10) == 0xFFFFFFu ? c : 0x654321;  // the band is 10 rows high
}

GTEST_TEST(VisionLevel, EveryAnswerShowsItsSignAlongTheTopEdgeForTheTone) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, {Act::right, Act::wrong, Act::silent, Act::wrong, Act::wrong});
    std::vector<std::pair<int32_t, uint32_t>> seen;  // tone, band while it sounds
    w.onToneStart = [&](HeadlessWindow& hw, int32_t frequency) {
        seen.emplace_back(frequency, signColour(hw.snapshot()));
    };
    int32_t passed = -7;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 0);
    const uint32_t white = 0xFFFFFF, green = 0x00FF00, red = 0x0000FF, yellow = 0x00FFFF;
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, uint32_t>>{{1000, white},
                                                               {800, green},
                                                               {1000, white},
                                                               {200, red},
                                                               {1000, white},
                                                               {400, yellow},
                                                               {1000, white},
                                                               {200, red},
                                                               {1000, white},
                                                               {200, red}}));
    // Taken away after the tone: the last ring stands on a white field again.
    EXPECT_EQ(signColour(w.snapshot()), white);
    EXPECT_GT(measure(w.snapshot()).outer, 0);
}

GTEST_TEST(VisionLevel, SignsStayForTheToneDurationWithoutSound) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    parameterSet.soundOn = false;
    // One answer with the right button 0.5 s into the first figure, both buttons at 5 s.
    w.click(2, 0.5);
    w.press(1, 5.0);
    w.press(2, 5.0);
    std::vector<std::pair<double, uint32_t>> signs;  // sleep, band during it
    w.onSleep = [&](HeadlessWindow& hw) {
        const uint32_t c = signColour(hw.snapshot());
        if (c != 0xFFFFFFu) signs.emplace_back(hw.sleeps().back(), c);
    };
    int32_t passed = 5;
    ASSERT_TRUE(runLevel(0.5f, passed));
    EXPECT_TRUE(w.tones().empty());
    const bool gapRight = firstPositions(1)[0].side > 0;
    // A right answer leaves time for a second figure, missed before the buttons come; a
    // wrong one is followed by its 3 s pause.
    using Signs = std::vector<std::pair<double, uint32_t>>;
    EXPECT_EQ(signs,
              gapRight ? (Signs{{0.2, 0x00FF00u}, {0.2, 0x00FFFFu}}) : (Signs{{0.3, 0x0000FFu}}));
}

GTEST_TEST(VisionLevel, BothButtonsEndTheLevelAtOnceLeavingPassed) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, repeat(Act::right, 3) + std::vector<Act>{Act::both});
    int32_t passed = 5;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 5);
    EXPECT_EQ(eventState.latchedMask, 3) << "left for the caller";
    EXPECT_LE(w.elapsed() - user.bothPressedAt(), 0.2 + 1e-6) << "noticed within one step";
    EXPECT_EQ(countTones(w, 1000), 4);
}

GTEST_TEST(VisionLevel, BothButtonsDuringThePauseEndTheLevel) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    // A level 0.5 figure is missed at about 2.15 s; the pause runs until about 3.35 s.
    w.press(1, 2.6);
    w.press(2, 2.6);
    int32_t passed = 5;
    ASSERT_TRUE(runLevel(0.5f, passed));
    EXPECT_EQ(passed, 5);
    EXPECT_EQ(countTones(w, 1000), 1);
    EXPECT_LE(w.elapsed(), 2.6 + 0.2 + 1e-6);
}

GTEST_TEST(VisionLevel, MenuRequestEndsTheLevelLeavingPassed) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, repeat(Act::right, 2) + std::vector<Act>{Act::menu});
    int32_t passed = 5;
    ASSERT_TRUE(runLevel(0.3f, passed));
    EXPECT_EQ(passed, 5);
    EXPECT_EQ(eventState.menuRequest, 3);
    EXPECT_EQ(countTones(w, 1000), 3);
}

// --- The search -------------------------------------------------------------------------------

GTEST_TEST(VisionSearch, LevelTable) {
    const float levels[] = {0.0f, 0.1f, 0.2f, 0.3f,  0.4f, 0.5f, 0.6f, 0.7f,
                            0.8f, 0.9f, 1.0f, 1.25f, 1.5f, 2.0f, 10.0f};
    for (int i = 1; i <= kTozSize; ++i) EXPECT_EQ(TOZ(i), levels[i - 1]) << "TOZ(" << i << ")";
    Scene scene;
    EXPECT_THROW(TOZ(0), ProgramExit);
    EXPECT_THROW(TOZ(16), ProgramExit);
}

struct TreeRow {
    const char* answers;  // P passed, F failed, in order
    std::vector<float> levels;
    float result;
};

const std::vector<TreeRow>& decisionTree() {
    static const std::vector<TreeRow> rows = {
        {"F", {0.1f}, 0.0f},
        {"PFFF", {0.1f, 0.7f, 0.4f, 0.2f}, 0.1f},
        {"PFFPF", {0.1f, 0.7f, 0.4f, 0.2f, 0.3f}, 0.2f},
        {"PFFPP", {0.1f, 0.7f, 0.4f, 0.2f, 0.3f}, 0.3f},
        {"PFPF", {0.1f, 0.7f, 0.4f, 0.5f}, 0.4f},
        {"PFPPF", {0.1f, 0.7f, 0.4f, 0.5f, 0.6f}, 0.5f},
        {"PFPPP", {0.1f, 0.7f, 0.4f, 0.5f, 0.6f}, 0.6f},
        {"PPFF", {0.1f, 0.7f, 1.0f, 0.8f}, 0.7f},
        {"PPFPF", {0.1f, 0.7f, 1.0f, 0.8f, 0.9f}, 0.8f},
        {"PPFPP", {0.1f, 0.7f, 1.0f, 0.8f, 0.9f}, 0.9f},
        {"PPPFF", {0.1f, 0.7f, 1.0f, 1.5f, 1.25f}, 1.0f},
        {"PPPFP", {0.1f, 0.7f, 1.0f, 1.5f, 1.25f}, 1.25f},
        {"PPPPF", {0.1f, 0.7f, 1.0f, 1.5f, 2.0f}, 1.5f},
        {"PPPPP", {0.1f, 0.7f, 1.0f, 1.5f, 2.0f}, 2.0f},
    };
    return rows;
}

GTEST_TEST(VisionSearch, DecisionTreeWithAFakeLevelRunner) {
    for (const TreeRow& row : decisionTree()) {
        SCOPED_TRACE(row.answers);
        std::string answers = row.answers;
        std::vector<float> shown;
        const std::optional<float> result = searchAcuity([&](float level) -> std::optional<bool> {
            shown.push_back(level);
            if (shown.size() > answers.size()) return std::nullopt;
            return answers[shown.size() - 1] == 'P';
        });
        EXPECT_EQ(shown, row.levels);
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, row.result);
    }
}

GTEST_TEST(VisionSearch, EveryOutcomeEndsBetweenAPassedAndTheNextFailedLevel) {
    // Any sequence of verdicts: at most five levels, never 0.0 or 10.0, and the result is 0.0 or
    // a passed level whose next level up in the table failed (or is 2.0).
    for (int bits = 0; bits < 32; ++bits) {
        SCOPED_TRACE(bits);
        std::vector<std::pair<float, bool>> shown;
        const std::optional<float> result = searchAcuity([&](float level) -> std::optional<bool> {
            const bool pass = (bits >> shown.size()) & 1;
            shown.emplace_back(level, pass);
            return pass;
        });
        ASSERT_TRUE(result.has_value());
        EXPECT_LE(shown.size(), 5u);
        for (const auto& [level, pass] : shown) {
            EXPECT_NE(level, 0.0f);
            EXPECT_NE(level, 10.0f);
        }
        auto verdict = [&](float level) -> int {
            for (const auto& [l, pass] : shown)
                if (l == level) return pass ? 1 : 0;
            return -1;
        };
        int index = 1;
        while (TOZ(index) != *result) ++index;
        if (index > 1) {
            EXPECT_EQ(verdict(*result), 1);
        }
        if (index < 14) {
            EXPECT_EQ(verdict(TOZ(index + 1)), 0);
        }
    }
}

GTEST_TEST(VisionSearch, AbandonStopsTheSearch) {
    for (size_t at = 0; at < 5; ++at) {
        int calls = 0;
        const std::optional<float> result = searchAcuity([&](float) -> std::optional<bool> {
            if (static_cast<size_t>(calls++) == at) return std::nullopt;
            return true;
        });
        EXPECT_FALSE(result.has_value());
        EXPECT_EQ(calls, static_cast<int>(at) + 1);
    }
}

// --- The whole check ------------------------------------------------------------------------

std::vector<Act> planOf(const std::string& answers) {
    std::vector<Act> plan;
    for (char c : answers) plan = plan + (c == 'P' ? kPass : kFail);
    return plan;
}

int drawnOuter(float level) {
    const ParameterSet& p = parameterSet;
    const RingGeometry g =
        ringGeometry(level, p.distanceCm, p.diagonalInch, kWidth, kHeight, p.pixelsX, p.pixelsY);
    return g.outer[3] - g.outer[1] + 1;
}

std::string utf8(const std::string& cp1251Text) {
    return utf8FromCp1251(cp1251Text);
}

GTEST_TEST(VisionCheck, DecisionTreeThroughAnsweredLevels) {
    for (const TreeRow& row : decisionTree()) {
        SCOPED_TRACE(row.answers);
        Scene scene;
        // At 500 cm every level draws a ring of its own size.
        parameterSet.distanceCm = 500.0f;
        User user(scene.window, planOf(row.answers), true);
        ASSERT_TRUE(runCheck());

        std::vector<int> expected;
        for (size_t i = 0; i < row.levels.size(); ++i)
            for (int n = 0; n < (row.answers[i] == 'P' ? 10 : 3); ++n)
                expected.push_back(drawnOuter(row.levels[i]));
        std::vector<int> outer;
        for (const Shape& s : user.shapes()) outer.push_back(s.outer);
        EXPECT_EQ(outer, expected) << "ring sizes of the levels shown";

        const std::string journal = readBytes(scene.journalPath());
        const std::string entry = journal.substr(journal.find("\r\n") + 2);
        ASSERT_GE(entry.size(), 37u);
        EXPECT_EQ(std::stof(entry.substr(33, 4)), row.result);
        // Above the highest level drawn true to size (0.6 here) the result says it is limited,
        // in the journal and on the screen.
        const bool limited = row.result > 0.65f;
        EXPECT_EQ(entry.substr(37, 14), limited ? cp1251(" экран до 0.60") : std::string(14, ' '));
        ASSERT_EQ(scene.window.texts().size(), limited ? 4u : 3u);
        EXPECT_EQ(std::stof(scene.window.texts()[1].text), std::round(row.result * 10) / 10 + 0.0f)
            << scene.window.texts()[1].text;
        if (limited) {
            // Under the prompt, clear of the last ring (which stays on the screen): the 0.8 ring
            // of a result of 0.7 reaches below y = 330.
            const TextRecord& limit = scene.window.texts()[3];
            const int ringBottom = kHeight / 2 + drawnOuter(row.levels.back()) / 2 + 1;
            EXPECT_GT(limit.y, ringBottom);
            EXPECT_GE(limit.y, 550 + 38) << "below the prompt";
            EXPECT_LE(limit.y + 38, kHeight);
        }
    }
}

// The journal line the check writes at the virtual time of the window.
std::string expectedEntry(const HeadlessWindow& w, const char* acuity, const char* distance,
                          const char* trueTo = nullptr) {
    // The virtual clock starts at 2013-03-03 09:05:07 UTC, taken as local time.
    std::time_t t = 1362301507 + static_cast<std::time_t>(std::floor(w.elapsed()));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[200];
    // Columns 38-69: the screen-limit mark, and the eye the program writes into every entry
    // ("гл.оба", both eyes unless the start screen chose one) in 56-63.
    std::string between = trueTo != nullptr
                              ? " экран до " + std::string(trueTo) + std::string(18, ' ')
                              : std::string(32, ' ');
    between.replace(between.size() - 14, 8, "гл.оба  ");
    std::snprintf(text, sizeof text, " %02d.%02d.%04dг, %2dч %2dм %2dс,   ОЗи=%s%s%s\r\n",
                  tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec,
                  acuity, between.c_str(), distance);
    return cp1251(text);
}

GTEST_TEST(VisionCheck, PassingEveryLevelGivesTwoWithJournalLineAndResultScreen) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, planOf("PPPPP"), true);
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(countTones(w, 1000), 50);

    const std::string journal = readBytes(scene.journalPath());
    // 2.0 lies above 0.2, the highest level the default screen draws true to size at 200 cm:
    // the journal line carries the mark.
    EXPECT_EQ(journal, checkHeader() + "\r\n" + expectedEntry(w, "2.00", " 200.", "0.20"));
    EXPECT_EQ(checkHeader().size(), 115u);

    ASSERT_EQ(w.texts().size(), 4u);
    const std::string title = "t'Times New Roman Cyr'h38w17ib";
    const std::string digits = "t'Times New Roman Cyr'h120w40ib";
    const TextRecord& a = w.texts()[0];
    const TextRecord& b = w.texts()[1];
    const TextRecord& c = w.texts()[2];
    // And one line under the prompt, in its font, says so on the screen.
    const TextRecord& limit = w.texts()[3];
    EXPECT_EQ(utf8(limit.text), "Экран точен лишь до 0.2 — результат выше не измерен");
    EXPECT_EQ(limit.x, 60);
    EXPECT_EQ(limit.y, 600);
    EXPECT_EQ(limit.font, title);
    EXPECT_EQ(utf8(a.text), "Острота зрения");
    EXPECT_EQ(a.x, 200);
    EXPECT_EQ(a.y, 250);
    EXPECT_EQ(a.font, title);
    EXPECT_EQ(b.text, " 2.0");
    EXPECT_EQ(b.x, 500);
    EXPECT_EQ(b.y, 185);
    EXPECT_EQ(b.font, digits);
    EXPECT_EQ(utf8(c.text), "Для продолжения нажмите любую кнопку мыши");
    EXPECT_EQ(c.x, 60);
    EXPECT_EQ(c.y, 550);
    EXPECT_EQ(c.font, title);
    for (const TextRecord& t : w.texts()) {
        EXPECT_EQ(t.colour, 0xFF0000) << "blue";
        EXPECT_EQ(t.rotation, 0);
    }
    // Drawn over the last ring.
    EXPECT_GT(measure(w.snapshot()).outer, 0);
    EXPECT_EQ(eventState.clicked, 0);
}

GTEST_TEST(VisionCheck, FailingTheFirstLevelGivesZero) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    parameterSet.distanceCm = 350.0f;
    User user(w, kFail, true);
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(readBytes(scene.journalPath()),
              checkHeader() + "\r\n" + expectedEntry(w, "0.00", " 350."));
    ASSERT_EQ(w.texts().size(), 3u);
    EXPECT_EQ(w.texts()[1].text, " 0.0");
}

GTEST_TEST(VisionCheck, OnePointTwoFiveIsShownRoundedAwayAndJournalledExactly) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, planOf("PPPFP"), true);
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(readBytes(scene.journalPath()),
              checkHeader() + "\r\n" + expectedEntry(w, "1.25", " 200.", "0.20"));
    ASSERT_EQ(w.texts().size(), 4u);
    EXPECT_EQ(w.texts()[1].text, " 1.3");
}

GTEST_TEST(VisionCheck, AppendsToAnExistingJournal) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    testing::writeBytes(scene.journalPath(), trainingHeader() + "\r\n");
    User user(w, planOf("PFFF"), true);
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(readBytes(scene.journalPath()),
              trainingHeader() + "\r\n" + expectedEntry(w, "0.10", " 200."));
}

GTEST_TEST(VisionCheck, WaitsForTheFinalClick) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, kFail, false);
    EXPECT_FALSE(runCheck()) << "without a click the result screen stays";
    EXPECT_TRUE(exists(scene.journalPath())) << "written before the result screen";
    EXPECT_EQ(w.texts().size(), 3u);
}

GTEST_TEST(VisionCheck, JournalThatCannotBeWrittenIsReportedAndTheCheckGoesOn) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    std::filesystem::create_directory(scene.journalPath());  // a directory in the way
    User user(w, kFail, true);
    ASSERT_TRUE(runCheck());
    ASSERT_EQ(w.messages().size(), 1u);
    EXPECT_NE(w.messages()[0].find("trelvan.rez"), std::string::npos) << w.messages()[0];
    EXPECT_NE(w.messages()[0].find("журнал"), std::string::npos) << w.messages()[0];
    EXPECT_EQ(w.texts().size(), 3u) << "the result is still shown";
}

GTEST_TEST(VisionCheck, BothButtonsAtTheThirdLevelLeaveAfterBothAreReleased) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, kPass + kPass + std::vector<Act>{Act::both});
    ASSERT_TRUE(runCheck());
    ASSERT_EQ(user.shapes().size(), 21u);
    EXPECT_EQ(user.shapes()[20].outer, drawnOuter(1.0f)) << "third level is 1.0";
    // The second button goes up 1.5 s after the press; the check waits for it without sleeping.
    EXPECT_NEAR(w.elapsed(), user.bothPressedAt() + 1.5, 1e-6);
    EXPECT_LE(user.lastSleepAt(), user.bothPressedAt() + 0.2 + 1e-6)
        << "the wait for the release does not sleep";
    EXPECT_FALSE(exists(scene.journalPath()));
    EXPECT_TRUE(w.texts().empty());
    EXPECT_EQ(eventState.latchedMask, 0);
    EXPECT_EQ(eventState.clicked, 0);
    EXPECT_EQ(eventState.currentMask, 0);
    EXPECT_EQ(eventState.menuRequest, 0);
}

GTEST_TEST(VisionCheck, MenuRequestLeavesAtOnceAndKeepsTheRequest) {
    Scene scene;
    HeadlessWindow& w = scene.window;
    User user(w, kPass + repeat(Act::right, 4) + std::vector<Act>{Act::menu});
    ASSERT_TRUE(runCheck());
    EXPECT_EQ(eventState.menuRequest, 3);
    EXPECT_EQ(countTones(w, 1000), 15);
    EXPECT_FALSE(exists(scene.journalPath()));
    EXPECT_TRUE(w.texts().empty());
}

}  // namespace
}  // namespace trelvan
