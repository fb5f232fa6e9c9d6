// SPDX-License-Identifier: GPL-3.0-or-later
// The inputs of the fuzz targets, shared by the libFuzzer programs and by the tests that replay
// the seed corpus and the saved crash inputs. Each runs the real reader on bytes: files go
// through an in-memory file that the reader opens by its path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "journal/journal.h"
#include "params/parameters.h"

namespace trelvan::fuzz {

// An anonymous file in memory, opened by the readers as /proc/self/fd/N.
class MemoryFile {
  public:
    MemoryFile();
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the content with the bytes.
    void write(const uint8_t* data, size_t size);
    const std::string& path() const { return path_; }

  private:
    int fd_ = -1;
    std::string path_;
};

// A violated expectation of a reader: reported and the process aborted, so that the fuzzer
// keeps the input. A test installs a handler that throws instead (it must not return).
[[noreturn]] void fail(const char* what);
using FailureHandler = void (*)(const char* what);
void setFailureHandler(FailureHandler handler);

// The field readers and the line cursor. The first byte chooses the decimals of the F fields,
// the next four the widths of a layout; the rest is the field text.
void fieldsInput(const uint8_t* data, size_t size);

// The parameter file reader on the bytes as trelvan.vvd, from the default parameters.
ParameterSet parametersInput(const uint8_t* data, size_t size);

// The symbol loader on the bytes as trelvan.sym, with the headless services installed.
struct SymbolsOutcome {
    bool loaded = false;  // all nine figures read
    std::string stop;     // the message of the stop otherwise
};
SymbolsOutcome symbolsInput(const uint8_t* data, size_t size);

// The journal reader on the bytes as trelvan.rez, with the date pass of the progress chart.
struct JournalOutcome {
    long lines = 0;  // entry lines handed out
    LineStatus endStatus = LineStatus::ok;
    long endLine = 0;
};
JournalOutcome journalInput(const uint8_t* data, size_t size);

// The progress chart drawn on the headless services from the bytes as trelvan.rez in the
// working directory (the caller chooses it), dismissed by a click.
void chartInput(const uint8_t* data, size_t size);

}  // namespace trelvan::fuzz
