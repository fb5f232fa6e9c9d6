// SPDX-License-Identifier: GPL-3.0-or-later
// The journal when its writer is killed: a child process appends entries through the real
// writers and reports each one that returned; the test kills it at a random moment, then
// reads the journal. It must read to its end, hold every entry reported and at most the one
// that was in flight, and each line must be whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "journal/journal.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::TempDir;

// Entry number n is told by its time of day; even numbers are trainings with the number as
// their volume, odd ones vision checks.
constexpr int kYear = 2013;

std::string expectedLine(int n) {
    const int hour = n / 3600 % 24, minute = n / 60 % 60, second = n % 60;
    std::string line =
        n % 2 == 0 ? trainingEntryLine(1, 3, kYear, hour, minute, second, 0.85f, 1.23f, n, 200.0f)
                   : checkEntryLine(1, 3, kYear, hour, minute, second, 1.0f, 200.0f);
    line.resize(line.size() - 2);  // as the line reader hands it out, without CR LF
    return line;
}

bool appendEntry(const std::string& path, int n) {
    const int hour = n / 3600 % 24, minute = n / 60 % 60, second = n % 60;
    if (n % 2 == 0)
        return appendTrainingEntry(1, 3, kYear, hour, minute, second, 0.85f, 1.23f, n, 200.0f,
                                   path);
    return appendCheckEntry(1, 3, kYear, hour, minute, second, 1.0f, 200.0f, path);
}

// The child: appends entries first, first + 1, ... and writes the number of each one whose
// append returned to the pipe, until it is killed.
[[noreturn]] void appendUntilKilled(const std::string& path, int first, int report) {
    for (int n = first;; ++n) {
        if (!appendEntry(path, n)) _exit(3);
        if (::write(report, &n, sizeof n) != static_cast<ssize_t>(sizeof n)) _exit(4);
    }
}

// What the journal holds: its entry lines as text, and whether the reader got through it.
struct Contents {
    std::vector<std::string> lines;
    bool readToTheEnd = false;
};

Contents readJournal(const std::string& path) {
    Contents c;
    JournalReader reader(path);
    int readable = 0;
    while (const std::optional<JournalLine> line = reader.next()) {
        if (line->status == LineStatus::ok) ++readable;
    }
    LineInput input(path, JournalReader::maxLineLength);
    if (input.next()) {  // the header
        while (const std::optional<std::string> line = input.next()) c.lines.push_back(*line);
    }
    c.readToTheEnd =
        reader.endStatus() == LineStatus::ok && readable == static_cast<int>(c.lines.size());
    return c;
}

GTEST_TEST(JournalKill, KilledWritersLeaveWholeEntriesOnly) {
    constexpr int kKills = 200;
    // Within the build tree: the scratch directory lies on the same kind of disk the program's
    // working directory would.
    TempDir dir("./");
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");

    std::mt19937 random(20130303);
    // Half of the kills come at any moment of a child's life, half shortly after an append
    // returned, when the next one is opening and writing the file.
    std::uniform_int_distribution<int> anyMoment(0, 8000);
    std::uniform_int_distribution<int> justAfter(0, 150);
    int entries = 0;  // entries in the journal so far, numbered 0 ..
    int reported = 0;
    int inFlight = 0;  // kills after which the entry in flight was there
    for (int kill = 0; kill < kKills; ++kill) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            appendUntilKilled(path, entries, pipeEnds[1]);
        }
        ::close(pipeEnds[1]);

        std::vector<int> done;
        int n = 0;
        if (kill % 2 == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(anyMoment(random)));
        } else if (::read(pipeEnds[0], &n, sizeof n) == sizeof n) {
            done.push_back(n);
            std::this_thread::sleep_for(std::chrono::microseconds(justAfter(random)));
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the child ended by itself: an append failed (status " << status << ")";
        while (::read(pipeEnds[0], &n, sizeof n) == sizeof n) done.push_back(n);
        ::close(pipeEnds[0]);
        for (size_t i = 0; i < done.size(); ++i) ASSERT_EQ(done[i], entries + static_cast<int>(i));

        const Contents c = readJournal(path);
        ASSERT_TRUE(c.readToTheEnd) << "after kill " << kill;
        const int before = entries;
        const int now = static_cast<int>(c.lines.size());
        ASSERT_GE(now, before + static_cast<int>(done.size())) << "after kill " << kill;
        ASSERT_LE(now, before + static_cast<int>(done.size()) + 1) << "after kill " << kill;
        for (int i = 0; i < now; ++i) ASSERT_EQ(c.lines[i], expectedLine(i)) << "kill " << kill;
        reported += static_cast<int>(done.size());
        inFlight += now - before - static_cast<int>(done.size());
        entries = now;
    }

    // Whatever the last kill left, the next append is whole and follows the others.
    ASSERT_TRUE(appendEntry(path, entries));
    const Contents c = readJournal(path);
    EXPECT_TRUE(c.readToTheEnd);
    ASSERT_EQ(static_cast<int>(c.lines.size()), entries + 1);
    EXPECT_EQ(c.lines.back(), expectedLine(entries));
    const std::string bytes = testing::readBytes(path);
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");

    // Some kills fell inside an append, after its line was written.
    EXPECT_GT(inFlight, 0);
    std::cout << "journal of " << entries + 1 << " entries; " << reported << " appends reported, "
              << inFlight << " more found after their writer died\n";
}

}  // namespace
}  // namespace trelvan
