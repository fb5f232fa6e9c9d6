// SPDX-License-Identifier: GPL-3.0-or-later
// Input delivered from another thread to a program thread that draws and waits, with a third
// thread copying the surface: the arrangement of the desktop services, whose input thread
// calls deliverMouse and chooseMenu while the program thread blocks on the input counter.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/headless_window.h"

namespace trelvan {
namespace {

using namespace std::chrono_literals;

// Waits as the desktop services do: on the input counter itself, not on a script.
class CounterWaitWindow : public HeadlessWindow {
  public:
    void waitInput(uint32_t seen) override { blockUntilInput(seen); }
};

// Written by the mouse and menu routines on the input thread, read by the program thread.
std::atomic<int> presses{0};
std::atomic<int> lastKeys{0};
std::atomic<int> menuChoices{0};

void onMouse(int32_t, int32_t event, int32_t keystate, int32_t, int32_t) {
    lastKeys = keystate;
    if (event == MOUSE_LBUTTONDOWN) ++presses;
}
void onMenu(bool) {
    ++menuChoices;
}

// The program side of the waits: tests its condition, then blocks until the counter moves.
template <class Condition>
void waitUntil(GraphicsWindow& w, Condition condition) {
    for (;;) {
        const uint32_t seen = w.inputSequence();
        if (condition()) return;
        w.waitInput(seen);
    }
}

GTEST_TEST(InputThreads, EveryEventWakesTheWaitingProgramWhileItDrawsAndIsPainted) {
    constexpr int kEvents = 400;
    presses = 0;
    lastKeys = 0;
    menuChoices = 0;
    CounterWaitWindow w;
    setGraphicsWindow(&w);
    w.APPENDMENUITEM(1, 4, "item", onMenu);
    w.OPENUSER(1, "t");
    WindowConfig c;
    c.numxpixels = 200;
    c.numypixels = 100;
    ASSERT_TRUE(w.SETWINDOWCONFIG(c));
    ASSERT_EQ(w.REGISTERMOUSEEVENTQQ(1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP, onMouse), 0);

    // The program publishes how far it got; the input thread sends the next event only then,
    // so that nearly every event meets a blocked program thread.
    std::atomic<int> handled{0};
    std::atomic<bool> stuck{false};
    std::atomic<bool> done{false};
    std::thread input([&] {
        for (int k = 1; k <= kEvents; ++k) {
            w.deliverMouse(MOUSE_LBUTTONDOWN, MOUSE_KS_LBUTTON, k % 200, k % 100);
            w.deliverMouse(MOUSE_LBUTTONUP, 0, k % 200, k % 100);
            if (k % 50 == 0) w.chooseMenu(1);
            const auto deadline = std::chrono::steady_clock::now() + 30s;
            while (handled < k) {
                if (std::chrono::steady_clock::now() > deadline) {
                    // A lost wake-up: free the program thread and fail.
                    stuck = true;
                    while (!done) {
                        w.deliverMouse(MOUSE_LBUTTONDOWN, MOUSE_KS_LBUTTON, 0, 0);
                        w.chooseMenu(1);
                        std::this_thread::sleep_for(1ms);
                    }
                    return;
                }
                std::this_thread::yield();
            }
        }
    });
    std::atomic<int> copies{0};
    std::thread painter([&] {
        while (!done) {
            const Raster r = w.snapshot();
            EXPECT_EQ(r.width(), 200);
            ++copies;
            std::this_thread::yield();
        }
    });

    // Painting runs from the start.
    while (copies == 0) std::this_thread::yield();
    for (int k = 1; k <= kEvents && !stuck; ++k) {
        waitUntil(w, [k] { return presses >= k; });
        // Draw a bar as long as the count, one operation under the lock at a time.
        w.SETCOLORRGB(k % 2 == 0 ? 0x0000FF : 0x00FF00);
        w.RECTANGLE(GFILLINTERIOR, 0, 0, static_cast<int16_t>(k % 200), 10);
        handled = k;
    }
    waitUntil(w, [] { return menuChoices >= kEvents / 50; });
    done = true;
    input.join();
    painter.join();
    setGraphicsWindow(nullptr);

    EXPECT_FALSE(stuck) << "a delivered event did not wake the program thread";
    EXPECT_EQ(presses, kEvents);
    EXPECT_EQ(menuChoices, kEvents / 50);
    EXPECT_EQ(lastKeys, 0) << "the last event was a release";
    EXPECT_EQ(w.inputSequence(), static_cast<uint32_t>(2 * kEvents + kEvents / 50));
    EXPECT_GT(copies, 0);
    const Raster last = w.snapshot();
    EXPECT_EQ(last.pixel(0, 5), 0x0000FFu) << "the last bar, of an even count";
    EXPECT_EQ(last.pixel(199, 5), 0x00FF00u) << "the bar before it, of an odd count";
}

}  // namespace
}  // namespace trelvan
