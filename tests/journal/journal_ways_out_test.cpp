// SPDX-License-Identifier: GPL-3.0-or-later
// The journal's appends where the file system or another program stands in the way: the
// remains of an append cut short without a mark, and a lock another program keeps.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "platform/headless_window.h"
#include "support/child_process.h"
#include "support/lock_holder.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::LockHolder;
using testing::readBytes;
using testing::runInChild;
using testing::sendText;
using testing::TempDir;
using testing::writeBytes;

std::string training(int day) {
    return trainingEntryLine(day, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f);
}
std::string check(int day) {
    return checkEntryLine(day, 3, 2013, 9, 5, 7, 1.0f, 200.0f);
}

bool appendTraining(const std::string& path, int day, std::string* error = nullptr) {
    return appendTrainingEntry(day, 3, 2013, 9, 5, 7, 0.85f, 1.23f, 100, 200.0f, path, error);
}

// Entries the chart's reader hands out, and whether it read to the end.
struct Reading {
    int entries = 0;
    bool toTheEnd = false;
};
Reading readAll(const std::string& path) {
    Reading reading;
    JournalReader reader(path);
    while (const std::optional<JournalLine> line = reader.next()) {
        if (line->status == LineStatus::ok) ++reading.entries;
    }
    reading.toTheEnd = reader.endStatus() == LineStatus::ok;
    return reading;
}

// --- An append cut short, found by the form of the last line -----------------------------

GTEST_TEST(JournalInterruptedAppend, RemainsWithoutAMarkAreCutOffByTheNextAppend) {
    // What an append cut short leaves where no mark could be set (a file system without
    // extended attributes): a part of its text and no line end. And what a power loss between
    // the write and the flush leaves: the file as long as with the text, the text all zero
    // bytes. The next append must cut it off, or every later entry stays hidden behind it.
    const std::string header = trainingHeader() + "\r\n";
    const std::string before = header + training(1) + check(2);
    struct Case {
        std::string name;
        std::string journal;
        std::string kept;
    };
    const std::vector<Case> cases{
        {"zero bytes of a training", before + std::string(75, '\0'), before},
        {"part of the date", before + training(3).substr(0, 20), before},
        {"values cut short", before + training(3).substr(0, 60), before},
        {"distance cut short", before + check(3).substr(0, 72), before},
        {"header cut short", header.substr(0, 30), ""},
        {"header and entry all zero", std::string(151, '\0'), ""},
    };
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(path, c.journal);
        ASSERT_TRUE(appendTraining(path, 4));
        const std::string expected = (c.kept.empty() ? header : c.kept) + training(4);
        EXPECT_EQ(readBytes(path), expected);
        const Reading reading = readAll(path);
        EXPECT_TRUE(reading.toTheEnd);
        EXPECT_EQ(reading.entries, c.kept.empty() ? 1 : 3);
    }
}

GTEST_TEST(JournalInterruptedAppend, WholeLastLinesWithoutLineEndAreKept) {
    // A complete entry whose line end is missing (a hand edit, or an append cut off just
    // before its CR LF) and a first line that is no header of ours stay, ended by the append.
    const std::string header = trainingHeader() + "\r\n";
    std::string trainingUnended = training(1);
    trainingUnended.resize(trainingUnended.size() - 2);
    std::string checkWithCr = check(1);
    checkWithCr.resize(checkWithCr.size() - 1);
    const std::vector<std::string> journals{
        header + trainingUnended,
        header + checkWithCr,
        "my own header line",
        trainingHeader(),
    };
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    for (const std::string& journal : journals) {
        writeBytes(path, journal);
        ASSERT_TRUE(appendTraining(path, 4));
        const std::string ended = journal.back() == '\r' ? journal + "\n" : journal + "\r\n";
        EXPECT_EQ(readBytes(path), ended + training(4)) << journal;
    }
}

// --- A lock another program keeps ---------------------------------------------------------

GTEST_TEST(JournalLocked, AppendAsksAndWritesTheEntryOnceTheLockIsGone) {
    // A shared lock, which any program that may read the journal can take, used to hold the
    // append (and with it the training's summary) for as long as it was kept.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendTraining(path, 1));
    const std::string before = readBytes(path);
    const testing::ChildResult child = runInChild(
        [&path](int out) {
            LockHolder holder(path, LOCK_SH);
            if (!holder.held()) return 1;
            setLockWait(std::chrono::milliseconds(200));
            HeadlessWindow window;
            setGraphicsWindow(&window);
            int asked = 0;
            window.retryHandler = [&](const std::string&) {
                // The first time the lock is still there; then the other program lets go.
                if (++asked == 2) holder.release();
                return true;
            };
            std::string error;
            const bool written = appendTraining(path, 2, &error);
            setGraphicsWindow(nullptr);
            for (const std::string& q : window.questions()) sendText(out, q + "|");
            return written && error.empty() && asked == 2 ? 0 : 2;
        },
        10);
    ASSERT_EQ(child.status, 0) << child.output;
    const std::string question =
        "Журнал занят другой программой: файл " + path + " заблокирован (процесс ";
    EXPECT_EQ(child.output.substr(0, question.size()), question) << child.output;
    EXPECT_NE(child.output.find(" дольше 1 с.\nРезультат ещё не записан. Повторить попытку?|"),
              std::string::npos)
        << child.output;
    EXPECT_EQ(readBytes(path), before + training(2));
}

GTEST_TEST(JournalLocked, CancelLeavesTheJournalAsItWasAndSaysWhy) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendTraining(path, 1));
    const std::string before = readBytes(path);
    const testing::ChildResult child = runInChild(
        [&path](int out) {
            LockHolder holder(path, LOCK_EX);
            if (!holder.held()) return 1;
            setLockWait(std::chrono::milliseconds(200));
            HeadlessWindow window;  // no answer: "Отмена"
            setGraphicsWindow(&window);
            std::string error;
            const auto start = std::chrono::steady_clock::now();
            const bool written = appendCheckEntry(2, 3, 2013, 9, 5, 7, 1.0f, 200.0f, path, &error);
            const auto waited = std::chrono::steady_clock::now() - start;
            setGraphicsWindow(nullptr);
            sendText(out, error);
            if (written || window.questions().size() != 1) return 2;
            return waited < std::chrono::seconds(2) ? 0 : 3;
        },
        10);
    ASSERT_EQ(child.status, 0) << child.output;
    const std::string reason = "Журнал занят другой программой: файл " + path;
    EXPECT_EQ(child.output.substr(0, reason.size()), reason) << child.output;
    EXPECT_EQ(readBytes(path), before);
}

GTEST_TEST(JournalLocked, OtherWritersKeepingTheLockBrieflyAreWaitedFor) {
    // Appends of other copies of the program hold the lock one after another for longer than
    // the bound altogether; as the file grows meanwhile, the wait goes on and nobody is asked.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_TRUE(appendTraining(path, 1));
    const testing::ChildResult child = runInChild(
        [&path](int) {
            setLockWait(std::chrono::milliseconds(150));
            const pid_t busy = ::fork();
            if (busy == 0) {
                // Holds the lock 100 ms at a time for 20 rounds, appending each time.
                const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
                for (int round = 0; round < 20; ++round) {
                    ::flock(fd, LOCK_EX);
                    ::usleep(100000);
                    const std::string line = training(10);
                    if (::write(fd, line.data(), line.size()) < 0) _exit(1);
                    ::flock(fd, LOCK_UN);
                }
                _exit(0);
            }
            ::usleep(20000);
            HeadlessWindow window;
            setGraphicsWindow(&window);
            const bool written = appendTraining(path, 2);
            setGraphicsWindow(nullptr);
            ::waitpid(busy, nullptr, 0);
            return written && window.questions().empty() ? 0 : 1;
        },
        10);
    EXPECT_EQ(child.status, 0);
    EXPECT_TRUE(readAll(path).toTheEnd);
}

}  // namespace
}  // namespace trelvan
