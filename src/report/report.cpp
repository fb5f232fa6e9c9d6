#include "report/report.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "journal/journal.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"
#include "report/arguments.h"
#include "report/csv_export.h"

#ifndef TRELVAN_VERSION
#define TRELVAN_VERSION "unknown"
#endif

namespace trelvan::report {

namespace {

constexpr const char* programName = "trelvan-report";

void say(std::FILE* err, const std::string& message) {
    std::fprintf(err, "%s: %s\n", programName, message.c_str());
}

std::string reason(int error) {
    if (error == notRegularFile) return "not a regular file";
    return std::strerror(error);
}

// Whether the journal can be opened and read; says why not.
bool journalReadable(const std::string& path, std::FILE* err) {
    LineInput probe(path, JournalReader::maxLineLength);
    probe.next();
    if (probe.error() == 0) return true;
    say(err, "cannot read the journal " + path + ": " + reason(probe.error()));
    return false;
}

// Where and why the reading ended before the end of the journal, if it did.
void noteEarlyEnd(std::FILE* err, const std::string& path, LineStatus status, long line,
                  const char* consequence) {
    if (status == LineStatus::ok) return;
    const char* why =
        status == LineStatus::badDate ? "date or time unreadable" : "values unreadable";
    std::fprintf(err, "%s: %s:%ld: %s; reading stopped at this line, %s\n", programName,
                 path.c_str(), line, why, consequence);
}

int exportCsv(const Arguments& a, std::FILE* out, std::FILE* err) {
    if (!journalReadable(a.journal, err)) return 1;
    JournalReader reader(a.journal);
    if (!reader.isOpen()) {
        say(err, "cannot read the journal " + a.journal + ": " + reason(reader.error()));
        return 1;
    }
    const CsvExport result = writeJournalCsv(reader, out);
    if (result.writeError != 0) {
        say(err, "cannot write the CSV: " + reason(result.writeError));
        return 1;
    }
    if (result.readError != 0) {
        say(err, "cannot read the journal " + a.journal + ": " + reason(result.readError));
        return 1;
    }
    noteEarlyEnd(err, a.journal, result.endStatus, result.endLine, "no rows from it on");
    return 0;
}

// The file's bytes written over path; says why not. A regular file left half written is
// removed; anything else (a device, say) is left alone.
bool writeFile(const std::string& path, const std::string& bytes, std::FILE* err) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    int error = file == nullptr ? errno : 0;
    if (file != nullptr) {
        struct stat info {};
        const bool regular = ::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode);
        if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) error = errno;
        if (std::fclose(file) != 0 && error == 0) error = errno;
        if (error != 0 && regular) std::remove(path.c_str());
    }
    if (error == 0) return true;
    say(err, "cannot write " + path + ": " + reason(error));
    return false;
}

int drawChart(const Arguments& a, std::FILE* err, const ChartTools& tools) {
    if (!journalReadable(a.journal, err)) return 1;
    ChartImage image;
    try {
        image = tools.draw(a.journal);
    } catch (const ProgramExit& e) {
        say(err, "the chart could not be drawn: " + e.message);
        return 1;
    }
    if (!image.reading.opened || image.reading.error != 0) {
        say(err, "cannot read the journal " + a.journal + ": " +
                     reason(image.reading.opened ? image.reading.error : ENOENT));
        return 1;
    }
    const std::string png = tools.encodePng(image.picture);
    if (png.empty()) {
        say(err, "cannot encode the chart as PNG");
        return 1;
    }
    if (!writeFile(a.output, png, err)) return 1;
    noteEarlyEnd(err, a.journal, image.reading.endStatus, image.reading.endLine,
                 "no entries drawn from it on");
    return 0;
}

}  // namespace

int runReport(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
              const ChartTools& chart) {
    const Arguments a = parseArguments(args);
    if (!a.error.empty()) {
        say(err, a.error);
        std::fputs(usage().c_str(), err);
        std::fprintf(err, "Try '%s --help' for more information.\n", programName);
        return 2;
    }
    switch (a.command) {
        case Command::help:
            std::fputs(help().c_str(), out);
            break;
        case Command::version:
            std::fprintf(out, "%s %s\n", programName, TRELVAN_VERSION);
            break;
        case Command::csv:
            return exportCsv(a, out, err);
        case Command::chart:
            return drawChart(a, err, chart);
    }
    if (std::fflush(out) != 0) return 1;
    return 0;
}

}  // namespace trelvan::report
