// SPDX-License-Identifier: GPL-3.0-or-later
// Time of trelvan-report's CSV export over a journal of a million entries, written to
// /dev/null.
//
//   build/bench/bench_report_csv [--benchmark_repetitions=N]
//
// peak_rss_MB is the peak resident memory of the whole process (getrusage), writing the
// journal beforehand included; the export itself streams and holds one line and one block of
// rows at a time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "journal/journal.h"
#include "large_journal.h"
#include "report/csv_export.h"

namespace trelvan {
namespace {

constexpr long entryCount = 1000000;

double peakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// A scratch journal of trainings and checks in turn, about 900 a day over three years.
class Journal {
  public:
    Journal() {
        path_ = std::filesystem::temp_directory_path() /
                ("trelvan-bench-csv-" + std::to_string(::getpid()) + ".rez");
        bench::writeLargeJournal(path_.c_str(), entryCount);
    }
    ~Journal() { std::filesystem::remove(path_); }
    std::string path() const { return path_.string(); }
    std::uintmax_t bytes() const { return std::filesystem::file_size(path_); }

  private:
    std::filesystem::path path_;
};

void BM_CsvOfAMillionEntries(benchmark::State& state) {
    Journal journal;
    std::FILE* out = std::fopen("/dev/null", "wb");
    state.counters["journal_MB"] = static_cast<double>(journal.bytes()) / 1048576.0;
    long rows = 0;
    for (auto _ : state) {
        JournalReader reader(journal.path());
        const report::CsvExport result = report::writeJournalCsv(reader, out);
        rows = result.rows;
        benchmark::DoNotOptimize(rows);
    }
    std::fclose(out);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peak_rss_MB"] = peakRssMegabytes();
}
BENCHMARK(BM_CsvOfAMillionEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace trelvan

BENCHMARK_MAIN();
