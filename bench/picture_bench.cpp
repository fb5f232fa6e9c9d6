// SPDX-License-Identifier: GPL-3.0-or-later
// Time to compose a start-screen picture and a training picture (980 by 650, the composed
// path, the shipped figures) against writing 2.5 MB with memset, the yardstick of the goal:
// composing a start-screen picture takes at most four times as long as the memset.
//
//   build/bench/bench_picture [--benchmark_filter=...]
//
// BM_StartScreenPicture and BM_TrainingPicture compose texture and figure into a memory image
// with the routines the program uses, without its grey pause and display wait.
// BM_StartScreenStep runs a whole start-screen step on the headless services, whose virtual
// clock makes the pause and the five-second display wait free: the grey fill, reading the
// image header back, the composition and showing the image on the raster surface.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "app/program_state.h"
#include "app/start_screen.h"
#include "app/symbols.h"
#include "exercise/picture.h"
#include "exercise/random.h"
#include "platform/headless_window.h"

namespace trelvan {
namespace {

constexpr int kWidth = 980;
constexpr int kHeight = 650;
constexpr int kFieldTop = 20;  // the training's field lies below its two bars
constexpr size_t kMemsetBytes = 2500000;

uint8_t image[2600000];  // the layout of the program's memory images
uint8_t target[kMemsetBytes];

const SymbolTable& shippedFigures() {
    static const std::unique_ptr<SymbolTable> table = [] {
        auto t = std::make_unique<SymbolTable>();
        loadSymbolTable(std::string(TRELVAN_SOURCE_DIR) + "/resources/trelvan.sym", *t);
        return t;
    }();
    return *table;
}

int32_t rightOffset(int32_t k) {
    return static_cast<int32_t>(450.0f / static_cast<float>(k)) * k;
}

void BM_Memset2_5MB(benchmark::State& state) {
    for (auto _ : state) {
        std::memset(target, 0, kMemsetBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMemsetBytes);
}
BENCHMARK(BM_Memset2_5MB)->Unit(benchmark::kMicrosecond);

void composePicture(benchmark::State& state, int top) {
    const auto k = static_cast<int32_t>(state.range(0));
    const SymbolTable& figures = shippedFigures();
    const PictureImage picture{image, kWidth, top, kHeight - top};
    for (auto _ : state) {
        for (int y = top; y < kHeight; ++y) composeTextureRow(picture, k, y);
        composeFigure(picture, k, rightOffset(k), figures.NOTDIM[k - 1], figures.IJNOT);
        benchmark::ClobberMemory();
    }
    state.counters["figure_cells"] = figures.NOTDIM[k - 1];
}

void BM_StartScreenPicture(benchmark::State& state) {
    composePicture(state, 0);
}
BENCHMARK(BM_StartScreenPicture)->DenseRange(2, 9)->Unit(benchmark::kMicrosecond);

void BM_TrainingPicture(benchmark::State& state) {
    composePicture(state, kFieldTop);
}
BENCHMARK(BM_TrainingPicture)->DenseRange(2, 9)->Unit(benchmark::kMicrosecond);

void BM_StartScreenStep(benchmark::State& state) {
    const auto k = static_cast<int32_t>(state.range(0));
    resetProgramState();
    symbolTable = shippedFigures();
    HeadlessWindow window;
    window.OPENUSER(1, "bench");
    WindowConfig config;
    config.numxpixels = kWidth;
    config.numypixels = kHeight;
    window.SETWINDOWCONFIG(config);
    setGraphicsWindow(&window);
    programState.windowWidth = kWidth;
    programState.windowHeight = kHeight;
    for (auto _ : state) {
        if (startScreenStep(k) != StepOutcome::done) state.SkipWithError("step did not end");
    }
    setGraphicsWindow(nullptr);
}
BENCHMARK(BM_StartScreenStep)->Arg(2)->Arg(9)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace trelvan

BENCHMARK_MAIN();
