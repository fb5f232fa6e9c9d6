// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/tone.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

namespace trelvan {

namespace {
constexpr int kRate = 44100;
}

ToneGenerator::ToneGenerator() : worker_([this] { run(); }) {}

ToneGenerator::~ToneGenerator() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    worker_.join();
}

void ToneGenerator::play(int32_t frequency, int32_t durationMs) {
    if (durationMs <= 0) return;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(durationMs);
    if (frequency > 0) {
        std::lock_guard lock(mutex_);
        // Never let tones pile up behind a slow server.
        if (queue_.size() < 4) queue_.push_back(Tone{frequency, durationMs});
    }
    cv_.notify_all();
    std::this_thread::sleep_until(end);
}

bool ToneGenerator::available() {
    pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kRate, 1};
    int error = 0;
    pa_simple* stream = pa_simple_new(nullptr, "trelvan", PA_STREAM_PLAYBACK, nullptr, "probe",
                                      &sampleFormat, nullptr, nullptr, &error);
    if (stream == nullptr) return false;
    pa_simple_free(stream);
    return true;
}

void ToneGenerator::run() {
    pa_simple* stream = nullptr;
    bool serverTried = false;
    for (;;) {
        Tone tone{};
        {
            std::unique_lock lock(mutex_);
            cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
            if (stop_) break;
            tone = queue_.front();
            queue_.pop_front();
        }
        if (!serverTried) {
            serverTried = true;
            pa_sample_spec sampleFormat{PA_SAMPLE_S16LE, kRate, 1};
            int error = 0;
            stream = pa_simple_new(nullptr, "trelvan", PA_STREAM_PLAYBACK, nullptr, "tone",
                                   &sampleFormat, nullptr, nullptr, &error);
        }
        if (stream == nullptr) continue;  // no sound server: silent
        size_t n = static_cast<size_t>(kRate) * tone.durationMs / 1000;
        std::vector<int16_t> samples(n);
        const double step = 2.0 * std::numbers::pi * tone.frequency / kRate;
        const size_t fade = std::min<size_t>(n / 2, kRate / 200);  // 5 ms, no clicks
        for (size_t i = 0; i < n; ++i) {
            double gain = 0.3;
            if (i < fade) gain *= double(i) / double(fade);
            if (n - i < fade) gain *= double(n - i) / double(fade);
            samples[i] = static_cast<int16_t>(32767.0 * gain * std::sin(step * double(i)));
        }
        int error = 0;
        if (pa_simple_write(stream, samples.data(), samples.size() * sizeof(int16_t), &error) < 0) {
            pa_simple_free(stream);
            stream = nullptr;
        }
    }
    if (stream != nullptr) {
        int error = 0;
        pa_simple_drain(stream, &error);
        pa_simple_free(stream);
    }
}

}  // namespace trelvan
