// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "journal/journal.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"
#include "platform/unique_fd.h"
#include "report/arguments.h"
#include "report/csv_export.h"
#include "report/html_report.h"

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
    if (error == danglingLink) return "a symbolic link to a file that does not exist";
    if (error == lockedByOther) {
        const long seconds = static_cast<long>((lockWait().count() + 999) / 1000);
        return "locked by another program for more than " + std::to_string(seconds) + " s";
    }
    return std::strerror(error);
}

// The journal as the command reads it. The readers open it by path, the chart twice, so a
// journal that comes through a pipe (standard input, "<(...)", a FIFO) is first copied whole
// into a temporary file, unlinked at once, which they open through /dev/fd.
class JournalSource {
  public:
    JournalSource() = default;
    JournalSource(const JournalSource&) = delete;
    JournalSource& operator=(const JournalSource&) = delete;

    // Opens the journal (never blocking on a FIFO without a writer) and copies a pipe; says
    // why not when it cannot be read. A journal found by its default place is the program's
    // own file and must be a regular file; a pipe is only read when it was named.
    bool open(const std::string& journal, bool named, std::FILE* err) {
        name_ = journal == "-" ? "standard input" : journal;
        fd_.reset(journal == "-" ? ::fcntl(0, F_DUPFD_CLOEXEC, 0)
                                 : ::open(journal.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!fd_) return fail(errno, err);
        if (::fstat(fd_.get(), &info_) != 0) return fail(errno, err);
        if (S_ISDIR(info_.st_mode)) return fail(EISDIR, err);
        if (S_ISREG(info_.st_mode)) {
            path_ = journal == "-" ? "/dev/stdin" : journal;
            return true;
        }
        if (!named) return fail(notRegularFile, err);
        if (!S_ISFIFO(info_.st_mode) && !S_ISSOCK(info_.st_mode) && !::isatty(fd_.get())) {
            say(err,
                "cannot read the journal " + name_ + ": not a regular file, a pipe or a terminal");
            return false;
        }
        return copyPipe(err);
    }

    const std::string& name() const { return name_; }  // for messages
    const std::string& path() const { return path_; }  // for the readers
    // Whether file is the journal itself (never true for a pipe, which was copied).
    bool isJournal(const struct stat& file) const {
        return !copied_ && S_ISREG(file.st_mode) && file.st_dev == info_.st_dev &&
               file.st_ino == info_.st_ino;
    }

  private:
    bool fail(int error, std::FILE* err) {
        say(err, "cannot read the journal " + name_ + ": " + reason(error));
        return false;
    }

    bool copyPipe(std::FILE* err) {
        const int flags = ::fcntl(fd_.get(), F_GETFL);
        if (flags >= 0) ::fcntl(fd_.get(), F_SETFL, flags & ~O_NONBLOCK);
        const char* tmpdir = std::getenv("TMPDIR");
        std::string temporary = std::string(tmpdir != nullptr && *tmpdir == '/' ? tmpdir : "/tmp") +
                                "/trelvan-report-XXXXXX";
        copied_.reset(::mkostemp(temporary.data(), O_CLOEXEC));
        if (!copied_) {
            say(err,
                "cannot copy the journal " + name_ + " into " + temporary + ": " + reason(errno));
            return false;
        }
        ::unlink(temporary.c_str());
        char buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd_.get(), buffer, sizeof buffer);
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(errno, err);
            }
            if (const int error =
                    writeAll(copied_.get(), std::string_view(buffer, static_cast<size_t>(n)))) {
                say(err, "cannot copy the journal " + name_ + ": " + reason(error));
                return false;
            }
        }
        fd_.reset();  // the pipe is read to its end
        path_ = "/dev/fd/" + std::to_string(copied_.get());
        return true;
    }

    std::string name_;
    std::string path_;
    struct stat info_ {};
    UniqueFd fd_;      // the journal as opened
    UniqueFd copied_;  // the copy of a pipe, which the readers open
};

// Where and why the reading ended before the end of the journal, if it did.
void noteEarlyEnd(std::FILE* err, const std::string& path, LineStatus status, long line,
                  const char* consequence) {
    if (status == LineStatus::ok) return;
    std::fprintf(err, "%s: %s:%ld: %s; reading stopped at this line, %s\n", programName,
                 path.c_str(), line, stopReason(status).english, consequence);
}

// The journal a command reads: the one named, or without a name trelvan.rez in the current
// directory when it is there, else the one the launcher runs the program with. Says which
// when it is not the one of the current directory.
std::string journalToRead(const Arguments& a, std::FILE* err) {
    if (a.journalGiven) return a.journal;
    struct stat info {};
    if (::stat(a.journal.c_str(), &info) == 0) return a.journal;
    std::string launcher = launcherJournal(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (launcher.empty() || ::stat(launcher.c_str(), &info) != 0) return a.journal;
    say(err, "reading the journal " + launcher);
    return launcher;
}

// Says why, and gives true, when out is the journal itself (standard output appended to it).
bool writesIntoJournal(const JournalSource& journal, std::FILE* out, std::FILE* err) {
    struct stat info {};
    if (::fstat(::fileno(out), &info) != 0 || !journal.isJournal(info)) return false;
    say(err, "standard output is the journal " + journal.name() + "; nothing written");
    return true;
}

int exportCsv(const Arguments& a, std::FILE* out, std::FILE* err) {
    JournalSource journal;
    if (!journal.open(journalToRead(a, err), a.journalGiven, err)) return 1;
    if (writesIntoJournal(journal, out, err)) return 1;
    JournalReader reader(journal.path());
    if (!reader.isOpen()) {
        say(err, "cannot read the journal " + journal.name() + ": " + reason(reader.error()));
        return 1;
    }
    CsvStyle style;
    style.decimalComma = a.decimalComma;
    const CsvExport result = writeJournalCsv(reader, out, style);
    if (result.writeError != 0) {
        say(err, "cannot write the CSV: " + reason(result.writeError));
        return 1;
    }
    if (result.readError != 0) {
        say(err, "cannot read the journal " + journal.name() + ": " + reason(result.readError));
        return 1;
    }
    noteEarlyEnd(err, journal.name(), result.endStatus, result.endLine, "no rows from it on");
    return 0;
}

// The output file as the chart is written to it. A regular file (or a new one) is replaced
// whole: the bytes go to a temporary file beside it, which is renamed over it once they are
// on the disk, so that a failure leaves the old file as it was. A symbolic link has its
// target replaced. Anything else (a device, a pipe) is written directly.
class Output {
  public:
    // Checks the output before anything is drawn: never the journal, never a directory.
    bool check(const std::string& path, const JournalSource& journal, std::FILE* err) {
        name_ = path;
        target_ = path;
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
            if (char* resolved = ::realpath(path.c_str(), nullptr)) {
                target_ = resolved;
                std::free(resolved);
            }
        }
        exists_ = ::stat(target_.c_str(), &info_) == 0;
        if (!exists_) return true;
        if (journal.isJournal(info_)) {
            say(err, "will not write the chart over the journal " + journal.name());
            return false;
        }
        if (S_ISDIR(info_.st_mode)) return fail(EISDIR, err);
        return true;
    }

    bool write(const std::string& bytes, std::FILE* err) {
        if (exists_ && !S_ISREG(info_.st_mode)) {
            UniqueFd fd(::open(target_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
            if (!fd) return fail(errno, err);
            int error = writeAll(fd.get(), bytes);
            if (const int closeError = fd.close(); error == 0) error = closeError;
            return error == 0 || fail(error, err);
        }
        int error = 0;
        return writeFileAtomically(target_, bytes, nullptr, &error) == WriteResult::ok ||
               fail(error, err);
    }

  private:
    bool fail(int error, std::FILE* err) {
        say(err, "cannot write " + name_ + ": " + reason(error));
        return false;
    }

    std::string name_;    // as given, for messages
    std::string target_;  // the file to replace: the link's target for a symbolic link
    bool exists_ = false;
    struct stat info_ {};
};

int writeHtml(const Arguments& a, std::FILE* err) {
    JournalSource journal;
    if (!journal.open(journalToRead(a, err), a.journalGiven, err)) return 1;
    Output output;
    if (!output.check(a.output, journal, err)) return 1;
    JournalReader reader(journal.path());
    if (!reader.isOpen()) {
        say(err, "cannot read the journal " + journal.name() + ": " + reason(reader.error()));
        return 1;
    }
    const ReportData data = collectReport(reader);
    if (reader.error() != 0) {
        say(err, "cannot read the journal " + journal.name() + ": " + reason(reader.error()));
        return 1;
    }
    if (!output.write(htmlReport(data, journal.name()), err)) return 1;
    noteEarlyEnd(err, journal.name(), data.endStatus, data.endLine,
                 "named in the report, no entries from it on");
    return 0;
}

int drawChart(const Arguments& a, std::FILE* err, const ChartTools& tools) {
    JournalSource journal;
    if (!journal.open(journalToRead(a, err), a.journalGiven, err)) return 1;
    Output output;
    if (!output.check(a.output, journal, err)) return 1;
    ChartImage image;
    try {
        image = tools.draw(journal.path());
    } catch (const ProgramExit& e) {
        say(err, "the chart could not be drawn: " + e.message);
        return 1;
    }
    if (!image.reading.opened || image.reading.error != 0) {
        say(err, "cannot read the journal " + journal.name() + ": " +
                     reason(image.reading.error != 0 ? image.reading.error : ENOENT));
        return 1;
    }
    const std::string png = tools.encodePng(image.picture);
    if (png.empty()) {
        say(err, "cannot encode the chart as PNG");
        return 1;
    }
    if (!output.write(png, err)) return 1;
    noteEarlyEnd(err, journal.name(), image.reading.endStatus, image.reading.endLine,
                 "no entries drawn from it on");
    return 0;
}

}  // namespace

std::string launcherJournal(const char* xdgDataHome, const char* home) {
    std::string dataHome;
    if (xdgDataHome != nullptr && xdgDataHome[0] == '/') {
        dataHome = xdgDataHome;
    } else if (home != nullptr && home[0] != '\0') {
        dataHome = std::string(home) + "/.local/share";
    } else {
        return std::string();
    }
    return dataHome + "/trelvan/" + journalFileName;
}

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
        case Command::html:
            return writeHtml(a, err);
    }
    if (std::fflush(out) != 0) return 1;
    return 0;
}

}  // namespace trelvan::report
