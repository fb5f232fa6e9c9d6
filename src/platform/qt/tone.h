// SPDX-License-Identifier: GPL-3.0-or-later
// Tone generator on the desktop's sound server.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace trelvan {

// Plays sine tones on a worker thread; the caller's blocking time comes from its own clock,
// so a slow or missing sound server never changes how long a tone takes.
class ToneGenerator {
  public:
    ToneGenerator();
    ~ToneGenerator();
    // Plays the tone and returns when its duration has passed (silent without a server;
    // frequency 0 is silence).
    void play(int32_t frequency, int32_t durationMs);
    // Whether a sound server with an output can be reached now.
    static bool available();

  private:
    void run();
    struct Tone {
        int32_t frequency;
        int32_t durationMs;
    };
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Tone> queue_;
    bool stop_ = false;
    std::thread worker_;
};

}  // namespace trelvan
