// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the progress chart drawn from a journal (trelvan.rez). The chart reads the file
// of the working directory, so each input is drawn in a scratch directory of this process and
// the working directory restored afterwards (libFuzzer opens its corpus files by relative path).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "harness.h"

namespace {

std::string scratch;
int scratchFd = -1;
int homeFd = -1;

void removeScratch() {
    std::remove((scratch + "/" + trelvan::journalFileName).c_str());
    ::rmdir(scratch.c_str());
}

void makeScratch() {
    std::string pattern = "/tmp/trelvan-fuzz-chart-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) trelvan::fuzz::fail("no scratch directory");
    scratch = pattern;
    std::atexit(removeScratch);
    scratchFd = ::open(scratch.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    homeFd = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (scratchFd < 0 || homeFd < 0) trelvan::fuzz::fail("cannot open the directories");
}

// Whether the dates of the journal, read as the chart's first pass reads them, lie more than
// two centuries apart. The grid has a line per week, so such a journal takes a second in a
// release build and several under the sanitizers: bounded (years have four columns), known,
// and kept to the replay tests, so that the fuzzer spends its time on the rest.
bool spansCenturies(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int lowest = INT_MAX;
    int highest = INT_MIN;
    size_t pos = text.find('\n');  // the header
    while (pos != std::string_view::npos && pos + 1 < text.size()) {
        const size_t start = pos + 1;
        pos = text.find('\n', start);
        const std::string_view line = text.substr(
            start, pos == std::string_view::npos ? std::string_view::npos : pos - start);
        const trelvan::JournalLine entry = trelvan::parseJournalDateTime(line);
        if (entry.status == trelvan::LineStatus::badDate) break;
        lowest = std::min(lowest, entry.year);
        highest = std::max(highest, entry.year);
    }
    return lowest <= highest && highest - lowest > 200;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (spansCenturies(data, size)) return -1;  // not kept in the corpus
    if (scratch.empty()) makeScratch();
    if (::fchdir(scratchFd) != 0) trelvan::fuzz::fail("cannot enter the scratch directory");
    trelvan::fuzz::chartInput(data, size);
    if (::fchdir(homeFd) != 0) trelvan::fuzz::fail("cannot return to the working directory");
    return 0;
}
