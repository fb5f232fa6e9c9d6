// SPDX-License-Identifier: GPL-3.0-or-later
// The two-thread model on the headless services: the main program runs on the test thread and
// blocks in its waits, while a second thread plays the user (it looks at the screen and
// clicks) and a third copies the surface again and again, as the desktop's paint handler does.
// Under ThreadSanitizer these tests check that the event state, the input counter and the
// drawing lock are the only things the threads share.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "journal/journal.h"
#include "program_harness.h"

namespace trelvan::testing {
namespace {

using namespace std::chrono_literals;

constexpr int kVolume = 4;
constexpr int kFieldTop = 20;  // the training's field starts below its two bars
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFF;

// Copies the surface until it is stopped, about as often as a screen refreshes; counts the
// copies and those whose size is none the window ever has.
class Painter {
  public:
    explicit Painter(const RasterWindow& window) : thread_([this, &window] { run(window); }) {}
    ~Painter() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    int copies() const { return copies_; }
    int oddSizes() const { return oddSizes_; }

  private:
    void run(const RasterWindow& window) {
        while (!stop_) {
            const Raster r = window.snapshot();
            ++copies_;
            const bool known = (r.width() == 0 && r.height() == 0) ||
                               (r.width() == 640 && r.height() == 480) ||
                               (r.width() == 980 && r.height() == 650);
            if (!known) ++oddSizes_;
            std::this_thread::sleep_for(2ms);
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<int> copies_{0};
    std::atomic<int> oddSizes_{0};
    std::thread thread_;
};

// What the user sees while the program waits.
enum class Screen { trainingPicture, whitePage, other };

Screen classify(const Raster& r) {
    if (r.width() != 980 || r.height() != 650) return Screen::other;
    // The status bar turns green when a picture is complete and waits for its answer.
    if (r.pixel(0, 15) == kGreen && r.pixel(979, 15) == kGreen) return Screen::trainingPicture;
    if (r.pixel(0, 649) == kWhite && r.pixel(979, 649) == kWhite) return Screen::whitePage;
    return Screen::other;
}

// The side of the digit in a training picture, found as a person finds it: the texture
// changes from every row to the next, the digit's checker squares do not. Each copy of a
// figure stays in its half of the window.
bool digitOnTheRight(const Raster& r) {
    long left = 0, right = 0;
    for (int y = kFieldTop; y + 1 < r.height(); ++y) {
        for (int x = 0; x < r.width(); ++x) {
            if (r.pixel(x, y) != r.pixel(x, y + 1)) continue;
            if (x < r.width() / 2)
                ++left;
            else
                ++right;
        }
    }
    return right > left;
}

// Plays the user from its own thread. Acts only once the program thread has blocked for
// input, as a person reacts to what is on the screen; gives up after a real-time limit and
// then releases the program thread with close(), so that a lost wake-up fails the test
// instead of hanging it.
class User {
  public:
    explicit User(HeadlessWindow& w) : w_(w) {}

    bool awaitBlocked() {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!(w_.waitingForInput() && w_.blockedWaits() > seen_)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the program did not wait for input in time";
                w_.close();
                return false;
            }
            std::this_thread::sleep_for(100us);
        }
        seen_ = w_.blockedWaits();
        return true;
    }

    // A click delivered straight from this thread, as the desktop's input thread does.
    void clickDirectly(int button) {
        const bool left = button == 1;
        w_.deliverMouse(left ? MOUSE_LBUTTONDOWN : MOUSE_RBUTTONDOWN,
                        left ? MOUSE_KS_LBUTTON : MOUSE_KS_RBUTTON, 100, 100);
        w_.deliverMouse(left ? MOUSE_LBUTTONUP : MOUSE_RBUTTONUP, 0, 100, 100);
    }

    // A click put into the script from this thread; the program thread delivers it.
    void clickThroughScript(int button) {
        w_.press(button);
        w_.release(button);
    }

  private:
    HeadlessWindow& w_;
    uint64_t seen_ = 0;
};

// The parameter dialog confirmed with a short training.
void shortTraining(Dialog& d) {
    DLGSET(d, 1004, "   " + std::to_string(kVolume));
    pressDialogButton(d, 1);
}

// Runs the main program on this thread until it stops; the script stays open, so its waits
// block until the user thread acts.
ProgramExit runBlocking(ProgramRun& run, double timeLimit) {
    run.window.setTimeLimit(timeLimit);
    try {
        MAIN__();
    } catch (const ProgramExit& e) {
        return e;
    }
    return ProgramExit{-999, "returned"};
}

int countTones(const HeadlessWindow& w, int32_t frequency) {
    int n = 0;
    for (const ToneRecord& t : w.tones()) n += t.frequency == frequency;
    return n;
}

GTEST_TEST(UserThread, AnswersATrainingFromTheScreenWhileAPainterCopiesIt) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = shortTraining;
    w.click(1, 0.5);  // a training at size 2, started from the script

    std::thread user([&w] {
        User u(w);
        for (int picture = 1; picture <= kVolume; ++picture) {
            if (!u.awaitBlocked()) return;
            const Raster screen = w.snapshot();
            if (classify(screen) != Screen::trainingPicture) {
                ADD_FAILURE() << "picture " << picture << " is not on the screen";
                w.close();
                return;
            }
            u.clickDirectly(digitOnTheRight(screen) ? 2 : 1);
        }
        if (!u.awaitBlocked()) return;
        if (classify(w.snapshot()) != Screen::whitePage) ADD_FAILURE() << "no summary";
        u.clickDirectly(1);
    });
    Painter painter(w);
    const ProgramExit e = runBlocking(run, 20.0);
    user.join();
    painter.stop();

    // After the summary the start screen ran on until the time limit.
    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_EQ(e.message, "time limit");
    EXPECT_EQ(countTones(w, 800), kVolume) << "every answer was right";
    EXPECT_EQ(countTones(w, 200), 0);
    EXPECT_EQ(eventState.latchedMask, 0);
    EXPECT_EQ(eventState.currentMask, 0);

    JournalReader reader((dir.path() / journalFileName).string());
    ASSERT_TRUE(reader.isOpen());
    const std::optional<JournalLine> entry = reader.next();
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->status, LineStatus::ok);
    EXPECT_TRUE(entry->isTraining);
    EXPECT_EQ(entry->volume, kVolume);
    // Answers take no time on the virtual clock: the mean is the start tone alone.
    EXPECT_FLOAT_EQ(entry->meanTime, 0.2f);
    EXPECT_FALSE(reader.next().has_value()) << "one training, one entry";

    EXPECT_GT(painter.copies(), 0);
    EXPECT_EQ(painter.oddSizes(), 0);
}

GTEST_TEST(UserThread, PushedClicksAndAMenuChoiceReachAProgramBlockedInItsWaits) {
    FreshProgram dir;
    ProgramRun run(dir);
    HeadlessWindow& w = run.window;
    w.dialogHandler = shortTraining;
    w.click(1, 0.5);

    std::thread user([&w] {
        User u(w);
        // First picture answered right through the script.
        if (!u.awaitBlocked()) return;
        const Raster first = w.snapshot();
        if (classify(first) != Screen::trainingPicture) {
            ADD_FAILURE() << "no training picture";
            w.close();
            return;
        }
        u.clickThroughScript(digitOnTheRight(first) ? 2 : 1);
        // At the second picture the user asks for the progress chart: the training ends
        // without an entry and the chart waits for a click.
        if (!u.awaitBlocked()) return;
        if (classify(w.snapshot()) != Screen::trainingPicture) ADD_FAILURE() << "no 2nd picture";
        w.menu(2);
        // The program may block for input once more on its way (for the queued release);
        // wait until it waits with the chart on the screen.
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!(w.waitingForInput() && classify(w.snapshot()) == Screen::whitePage)) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "no chart";
                w.close();
                return;
            }
            std::this_thread::sleep_for(100us);
        }
        u.clickThroughScript(1);
    });
    Painter painter(w);
    const ProgramExit e = runBlocking(run, 20.0);
    user.join();
    painter.stop();

    EXPECT_EQ(e.status, HeadlessWindow::kScriptEnded);
    EXPECT_EQ(e.message, "time limit");
    EXPECT_EQ(countTones(w, 800), 1);
    EXPECT_EQ(countTones(w, 200), 0);
    EXPECT_EQ(eventState.menuRequest, 0);
    const std::string prompt = cp1251("Для продолжения нажмите любую кнопку мыши");
    int prompts = 0;
    for (const TextRecord& t : w.texts()) prompts += t.text == prompt;
    EXPECT_EQ(prompts, 1) << "the chart's prompt, and no summary";
    EXPECT_FALSE(std::filesystem::exists(dir.path() / journalFileName))
        << "an abandoned training writes nothing";
    EXPECT_GT(painter.copies(), 0);
    EXPECT_EQ(painter.oddSizes(), 0);
}

}  // namespace
}  // namespace trelvan::testing
