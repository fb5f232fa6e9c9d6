// SPDX-License-Identifier: GPL-3.0-or-later
// Time and memory of the progress chart over a journal of a million entries, drawn on the
// headless services and dismissed by a scripted click: shape by shape as the program draws, and
// deferred as trelvan-report draws (shapes painted over one another are painted once).
//
//   build/bench/bench_chart [--benchmark_repetitions=N]
//
// Memory counters, from /proc/self/status: peak_rss_MB is the peak resident memory of the
// process while the charts were drawn (the peak is reset just before each chart, so writing
// the journal beforehand does not count; the process's own code and data do);
// rss_before_MB is the resident memory just before the first chart. Where the peak cannot be
// reset, peak_rss_MB is the peak of the whole process (getrusage). Unlike getrusage, these
// figures leave out a parent process that started the benchmark, whose peak getrusage keeps
// across exec.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/event_state.h"
#include "journal/chart.h"
#include "journal/journal.h"
#include "large_journal.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "plot/plot.h"

namespace trelvan {
namespace {

constexpr long entryCount = 1000000;

// A field of /proc/self/status in megabytes (VmHWM: peak resident, VmRSS: resident now);
// negative when it cannot be read.
double statusMegabytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::stod(line.substr(field.size() + 1)) / 1024.0;
    }
    return -1.0;
}

double wholeProcessPeakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Starts the peak resident memory afresh from what is resident now.
bool resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

// A scratch directory holding the journal, made the working directory while it lives.
class JournalDirectory {
  public:
    JournalDirectory() {
        old_ = std::filesystem::current_path();
        path_ = std::filesystem::temp_directory_path() /
                ("trelvan-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
        write();
    }
    ~JournalDirectory() {
        std::filesystem::current_path(old_);
        std::filesystem::remove_all(path_);
    }
    std::uintmax_t bytes() const { return std::filesystem::file_size(path_ / journalFileName); }

  private:
    void write() const { bench::writeLargeJournal(journalFileName, entryCount); }

    std::filesystem::path old_;
    std::filesystem::path path_;
};

void mouse(int32_t, int32_t, int32_t keystate, int32_t, int32_t) {
    if ((keystate & (MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON)) != 0) eventState.clicked = 1;
}

// The program's chart (drawn shape by shape, as on the screen) when deferred is 0; the
// report's (Raster::drawLastWins, the picture taken at the end) when it is 1.
void chartOfAMillionEntries(benchmark::State& state, bool deferred) {
    JournalDirectory directory;
    state.counters["journal_MB"] = static_cast<double>(directory.bytes()) / 1048576.0;
    state.counters["rss_before_MB"] = statusMegabytes("VmRSS");
    bool peakReset = true;
    double peak = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        HeadlessWindow window;
        setGraphicsWindow(&window);
        resetEventState();
        resetPlotState();
        PAGE(1, 650, 980, cp1251("Тренажер для глаз"));
        SETCOL(7);
        window.setDeferredDrawing(deferred);
        window.REGISTERMOUSEEVENTQQ(1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP, mouse);
        window.click(1);
        window.close();
        peakReset = resetPeak() && peakReset;
        state.ResumeTiming();

        TRITOUT();
        window.setDeferredDrawing(false);  // draws what is gathered

        state.PauseTiming();
        benchmark::DoNotOptimize(window.drawingOps());
        peak = std::max(peak, statusMegabytes("VmHWM"));
        setGraphicsWindow(nullptr);
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = peakReset && peak > 0.0 ? peak : wholeProcessPeakMegabytes();
}

void BM_ChartOfAMillionEntries(benchmark::State& state) {
    chartOfAMillionEntries(state, false);
}
BENCHMARK(BM_ChartOfAMillionEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ChartOfAMillionEntriesDeferred(benchmark::State& state) {
    chartOfAMillionEntries(state, true);
}
BENCHMARK(BM_ChartOfAMillionEntriesDeferred)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace trelvan

BENCHMARK_MAIN();
