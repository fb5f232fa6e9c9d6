// SPDX-License-Identifier: GPL-3.0-or-later
#include "harness.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

#include "app/event_state.h"
#include "app/program_state.h"
#include "app/symbols.h"
#include "journal/chart.h"
#include "platform/fields.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "plot/plot.h"

namespace trelvan::fuzz {

namespace {

std::string_view textOf(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Installs window as the services for the lifetime of the object.
class ServicesScope {
  public:
    explicit ServicesScope(GraphicsWindow* window) { setGraphicsWindow(window); }
    ~ServicesScope() { setGraphicsWindow(nullptr); }
    ServicesScope(const ServicesScope&) = delete;
    ServicesScope& operator=(const ServicesScope&) = delete;
};

MemoryFile& inputFile() {
    static MemoryFile file;
    return file;
}

// The entry line the journal's writer makes of a line's date, time and values.
std::string entryOf(const JournalLine& line) {
    if (line.isTraining) {
        return trainingEntryLine(line.day, line.month, line.year, line.hour, line.minute,
                                 line.second, line.trainingAcuity, line.meanTime, line.volume,
                                 line.trainingDistance);
    }
    return checkEntryLine(line.day, line.month, line.year, line.hour, line.minute, line.second,
                          line.checkAcuity, line.checkDistance);
}

// An entry line the reader accepted, written again by the journal's writer, reads back as the
// same kind with the same date and time, and its values write the same text again (they are
// rounded to the writer's columns once). Lines with a field too wide for its columns (written
// as asterisks) are not compared.
void checkRewritten(const JournalLine& line) {
    if (line.isTraining == line.isCheck) return;  // the writers make one kind per line
    const std::string written = entryOf(line);
    if (written.find('*') != std::string::npos) return;
    if (written.size() < 2 || written.compare(written.size() - 2, 2, "\r\n") != 0) {
        fail("a written entry does not end with CR LF");
    }
    const JournalLine again =
        parseJournalLine(std::string_view(written).substr(0, written.size() - 2));
    if (again.status != LineStatus::ok) fail("a written entry does not read back");
    if (again.day != line.day || again.month != line.month || again.year != line.year ||
        again.hour != line.hour || again.minute != line.minute || again.second != line.second) {
        fail("a written entry reads back with another date or time");
    }
    if (again.isTraining != line.isTraining || again.isCheck != line.isCheck) {
        fail("a written entry reads back as another kind");
    }
    if (entryOf(again) != written) fail("an entry written, read and written again differs");
}

// The chart's mouse routine in short: any press counts as a click.
void mouse(int32_t, int32_t, int32_t keystate, int32_t, int32_t) {
    if ((keystate & (MOUSE_KS_LBUTTON | MOUSE_KS_RBUTTON)) != 0) eventState.clicked = 1;
}

}  // namespace

MemoryFile::MemoryFile() {
    fd_ = ::memfd_create("trelvan-fuzz", MFD_CLOEXEC);
    if (fd_ < 0) fail("memfd_create failed");
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemoryFile::~MemoryFile() {
    if (fd_ >= 0) ::close(fd_);
}

void MemoryFile::write(const uint8_t* data, size_t size) {
    if (::ftruncate(fd_, 0) != 0) fail("ftruncate failed");
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0) fail("pwrite failed");
        done += static_cast<size_t>(n);
    }
}

namespace {
FailureHandler failureHandler = nullptr;
}  // namespace

void setFailureHandler(FailureHandler handler) {
    failureHandler = handler;
}

void fail(const char* what) {
    if (failureHandler != nullptr) failureHandler(what);
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void fieldsInput(const uint8_t* data, size_t size) {
    constexpr size_t prefix = 5;
    const int d = size > 0 ? static_cast<int8_t>(data[0]) : 0;
    int widths[4] = {};
    for (size_t k = 0; k < 4; ++k) widths[k] = 1 + k < size ? static_cast<int8_t>(data[1 + k]) : 0;
    const size_t skipped = size < prefix ? size : prefix;
    // The text in a buffer of its own exact size, so that a read past its end is caught.
    const std::unique_ptr<char[]> copy(new char[size - skipped + 1]);
    std::copy(data + skipped, data + size, copy.get());
    const std::string_view text(copy.get(), size - skipped);

    if (const std::optional<int64_t> i = fields::readI(text)) {
        // What readI accepts, I writes back and readI reads the same.
        const std::string written = fields::I(*i, 20);
        if (written.size() != 20) fail("I(v, 20) is not 20 characters");
        const std::optional<int64_t> again = fields::readI(written);
        if (!again || *again != *i) fail("readI of I(readI(text)) differs");
    }
    if (const std::optional<double> f = fields::readF(text, d)) {
        const int decimals = (d < 0 ? -d : d) % 16;
        const std::string written = fields::F(*f, 30, decimals);
        if (written.size() != 30) fail("F(v, 30, d) is not 30 characters");
        if (std::isfinite(*f) && std::fabs(*f) < 1e15 && written[0] != '*') {
            const std::optional<double> again = fields::readF(written, decimals);
            if (!again) fail("readF cannot read what F wrote");
            if (*again != fields::roundHalfAway(*f, decimals)) fail("F and roundHalfAway differ");
        }
    }
    (void)fields::readL(text);

    // A layout of four fields; the low bits of each width choose skip, I, F or L.
    fields::LineReader reader(text);
    for (int w : widths) {
        const size_t before = reader.position();
        switch (static_cast<unsigned>(w) % 4) {
            case 0:
                reader.skip(w);
                continue;
            case 1:
                (void)reader.i(w);
                break;
            case 2:
                (void)reader.f(w, d);
                break;
            default:
                (void)reader.l(w);
                break;
        }
        if (reader.position() != before + static_cast<size_t>(w > 0 ? w : 0)) {
            fail("the cursor did not advance by the width");
        }
    }
    fields::LineReader whole(text);
    const std::string_view all =
        whole.take(static_cast<int>(text.size() > 1000 ? 1000 : text.size()));
    if (all.data() != nullptr &&
        (all.data() < text.data() || all.data() + all.size() > text.data() + text.size())) {
        fail("take() left the line");
    }
}

ParameterSet parametersInput(const uint8_t* data, size_t size) {
    MemoryFile& file = inputFile();
    file.write(data, size);
    ParameterSet p;
    readParameterFile(file.path(), p);

    // What was read, written as the program writes it, reads back to the same text: the file
    // the program leaves is the file it finds at the next start. Values too wide for their
    // seven columns are written as asterisks and are not compared.
    const std::string written = parameterFileText(p);
    if (written.find('*') == std::string::npos) {
        const std::string bytes = written;
        file.write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ParameterSet again;
        readParameterFile(file.path(), again);
        if (parameterFileText(again) != written)
            fail("the written parameter file reads back differently");
    }
    return p;
}

SymbolsOutcome symbolsInput(const uint8_t* data, size_t size) {
    MemoryFile& file = inputFile();
    file.write(data, size);
    static HeadlessWindow window;
    static const std::unique_ptr<SymbolTable> table = std::make_unique<SymbolTable>();
    ServicesScope services(&window);
    SymbolsOutcome outcome;
    try {
        loadSymbolTable(file.path(), *table);
        outcome.loaded = true;
    } catch (const ProgramExit& stop) {
        if (stop.status == 0) fail("the symbol loader stopped without an error");
        outcome.stop = stop.message;
    }
    if (outcome.loaded) {
        for (int s = 1; s <= 9; ++s) {
            if (table->NOTDIM[s - 1] > kMaxCells) fail("a figure larger than its table was loaded");
        }
    }
    return outcome;
}

JournalOutcome journalInput(const uint8_t* data, size_t size) {
    MemoryFile& file = inputFile();
    file.write(data, size);
    static HeadlessWindow window;
    ServicesScope services(&window);
    JournalOutcome outcome;
    try {
        JournalReader reader(file.path());
        if (!reader.isOpen()) fail("the journal could not be opened");
        long previousLine = 1;
        bool ended = false;
        while (const std::optional<JournalLine> line = reader.next()) {
            if (ended) fail("a line after the line that ended the reading");
            ++outcome.lines;
            if (line->lineNumber != previousLine + 1) fail("line numbers are not consecutive");
            previousLine = line->lineNumber;
            if (line->status != LineStatus::badDate && line->month > 13) {
                fail("a line with a month above 13 passed");
            }
            if (line->status == LineStatus::ok) checkRewritten(*line);
            if (line->status != LineStatus::ok) {
                ended = true;
                outcome.endStatus = line->status;
                outcome.endLine = line->lineNumber;
            }
        }
        if (reader.next()) fail("a line after the end");
        // A header with a CR inside ends the reading before any line is handed out.
        const bool headerEnded = outcome.lines == 0 &&
                                 reader.endStatus() == LineStatus::bareCarriageReturn &&
                                 reader.endLine() == 1;
        if (!headerEnded &&
            (reader.endStatus() != outcome.endStatus || reader.endLine() != outcome.endLine)) {
            fail("the end status differs from the last line");
        }

        // The date pass of the progress chart: every readable date becomes a day number.
        LineInput input(file.path(), JournalReader::maxLineLength);
        input.next();
        while (const std::optional<std::string> text = input.next()) {
            if (text->size() > JournalReader::maxLineLength) fail("a line longer than the cut");
            const JournalLine line = parseJournalDateTime(*text);
            if (line.status == LineStatus::badDate) break;
            (void)NDAYS(line.day, line.month, line.year);
        }
    } catch (const ProgramExit& stop) {
        std::fprintf(stderr, "stop: %s\n", stop.message.c_str());
        fail("reading the journal stopped the program");
    }

    // The whole input as one line, uncut.
    (void)parseJournalLine(textOf(data, size));
    return outcome;
}

void chartInput(const uint8_t* data, size_t size) {
    {
        std::FILE* out = std::fopen(journalFileName, "wb");
        if (out == nullptr) fail("cannot write the journal");
        if (size > 0 && std::fwrite(data, 1, size, out) != size) fail("cannot write the journal");
        std::fclose(out);
    }
    HeadlessWindow window;
    ServicesScope services(&window);
    resetProgramState();
    PAGE(1, 650, 980, cp1251("Тренажер для глаз"));
    SETCOL(7);
    window.REGISTERMOUSEEVENTQQ(
        1, MOUSE_LBUTTONDOWN | MOUSE_LBUTTONUP | MOUSE_RBUTTONDOWN | MOUSE_RBUTTONUP, mouse);
    window.click(1);
    window.close();
    try {
        TRITOUT();
    } catch (const ProgramExit& stop) {
        std::fprintf(stderr, "stop %d: %s\n", stop.status, stop.message.c_str());
        fail("the chart stopped the program");
    }
}

}  // namespace trelvan::fuzz
