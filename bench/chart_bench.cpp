// Time and memory of the progress chart over a journal of a million entries, drawn on the
// headless services and dismissed by a scripted click.
//
//   build-headless/bench/bench_chart [--benchmark_repetitions=N]
//
// The counter peak_rss_MB is the peak resident memory of the whole process (getrusage), which
// includes writing the journal beforehand; rss_before_MB is the same figure just before the
// charts of this run were drawn (with repetitions, the peak of the runs before it counts too).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/event_state.h"
#include "journal/chart.h"
#include "journal/journal.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "plot/plot.h"

namespace trelvan {
namespace {

constexpr long entryCount = 1000000;

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
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
    // Trainings and checks in turn, about 900 a day over three years, written in small
    // pieces so that the journal never sits in memory.
    void write() const {
        std::FILE* file = std::fopen(journalFileName, "wb");
        if (file == nullptr) return;
        const std::string header = trainingHeader() + "\r\n";
        std::fwrite(header.data(), 1, header.size(), file);
        int day = 1, month = 1, year = 2010;
        int secondOfDay = 6 * 3600;
        for (long i = 0; i < entryCount; ++i) {
            const int hour = secondOfDay / 3600;
            const int minute = secondOfDay / 60 % 60;
            const int second = secondOfDay % 60;
            const float acuity = 0.3f + static_cast<float>(i % 97) / 100.0f;
            const std::string line =
                i % 2 == 0
                    ? trainingEntryLine(day, month, year, hour, minute, second, acuity,
                                        1.0f + static_cast<float>(i % 13) / 10.0f, 100, 200.0f)
                    : checkEntryLine(day, month, year, hour, minute, second, acuity, 250.0f);
            std::fwrite(line.data(), 1, line.size(), file);
            secondOfDay += 60;
            if (secondOfDay >= 21 * 3600) {  // the next morning
                secondOfDay = 6 * 3600;
                if (++day > 28) {
                    day = 1;
                    if (++month > 12) month = 1, ++year;
                }
            }
        }
        std::fclose(file);
    }

    std::filesystem::path old_;
    std::filesystem::path path_;
};

void mouse(int32_t, int32_t, int32_t keystate, int32_t, int32_t) {
    if ((keystate & (MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON)) != 0) eventState.clicked = 1;
}

void BM_ChartOfAMillionEntries(benchmark::State& state) {
    JournalDirectory directory;
    state.counters["journal_MB"] = static_cast<double>(directory.bytes()) / 1048576.0;
    state.counters["rss_before_MB"] = peakRssMegabytes();
    for (auto _ : state) {
        state.PauseTiming();
        HeadlessWindow window;
        setGraphicsWindow(&window);
        resetEventState();
        resetPlotState();
        PAGE(1, 650, 980, cp1251("Тренажер для глаз"));
        SETCOL(7);
        window.REGISTERMOUSEEVENTQQ(1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP, mouse);
        window.click(1);
        window.close();
        state.ResumeTiming();

        TRITOUT();

        state.PauseTiming();
        benchmark::DoNotOptimize(window.drawingOps());
        setGraphicsWindow(nullptr);
        state.ResumeTiming();
    }
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}
BENCHMARK(BM_ChartOfAMillionEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace trelvan

BENCHMARK_MAIN();
