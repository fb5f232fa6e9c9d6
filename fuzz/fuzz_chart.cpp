// Fuzz target: the progress chart drawn from a journal (trelvan.rez). The chart reads the file
// of the working directory, so each input is drawn in a scratch directory of this process and
// the working directory restored afterwards (libFuzzer opens its corpus files by relative path).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (scratch.empty()) makeScratch();
    if (::fchdir(scratchFd) != 0) trelvan::fuzz::fail("cannot enter the scratch directory");
    trelvan::fuzz::chartInput(data, size);
    if (::fchdir(homeFd) != 0) trelvan::fuzz::fail("cannot return to the working directory");
    return 0;
}
