// SPDX-License-Identifier: GPL-3.0-or-later
// Appends and readers of several processes on one file at once: real processes, a bounded
// number of rounds each.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "platform/textfile.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::readBytes;
using testing::TempDir;

// Within the build tree: the scratch directory lies on the same kind of disk the program's
// working directory would.
constexpr const char* kScratch = "./";

int exitStatus(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

GTEST_TEST(ConcurrentAccess, FailedFirstAppendKeepsTheEntriesOfOtherWriters) {
    // A process creates the journal with an append that will fail (a file size limit, met
    // after some megabytes); while it is still writing, a second process appends, and is told
    // "ok". Whichever of the two gets the lock first, the second one's entry must be in the
    // file at the path afterwards, and nothing of the failed one.
    constexpr int kRounds = 4;
    constexpr rlim_t kLimit = 8u << 20;
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    for (int round = 0; round < kRounds; ++round) {
        ::unlink(path.c_str());
        const pid_t failing = ::fork();
        ASSERT_GE(failing, 0);
        if (failing == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{kLimit, kLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(8);
            const std::string entry(2 * kLimit, 'f');
            _exit(appendToFile(path, "header\r\n", entry + "\r\n") == WriteResult::failed ? 0 : 1);
        }
        // The failing append has made the file (and is busy writing) before the other starts.
        struct stat info {};
        for (int wait = 0; wait < 100000 && ::stat(path.c_str(), &info) != 0; ++wait) {
            ::usleep(50);
        }
        const pid_t writing = ::fork();
        ASSERT_GE(writing, 0);
        if (writing == 0) {
            _exit(appendToFile(path, "header\r\n", "good entry\r\n") == WriteResult::ok ? 0 : 1);
        }
        ASSERT_EQ(exitStatus(failing), 0) << "the append over the size limit must fail";
        ASSERT_EQ(exitStatus(writing), 0) << "the other append must succeed";
        EXPECT_EQ(readBytes(path), "header\r\ngood entry\r\n") << "round " << round;
    }
}

GTEST_TEST(ConcurrentAccess, ReaderTakesNothingOfAnAppendStillBeingWritten) {
    // A reader opens the journal; then another process starts an append as a writer does
    // (under the lock, its mark set) and has written half of its line when the reader reads
    // on. The reader must hand out the lines that were whole when it opened the file, and not
    // the half line.
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    ASSERT_EQ(appendToFile(path, "header\r\n", "first\r\n"), WriteResult::ok);

    LineInput input(path);
    ASSERT_TRUE(input.isOpen());

    int halfWritten[2], finish[2];
    ASSERT_EQ(::pipe(halfWritten), 0);
    ASSERT_EQ(::pipe(finish), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) _exit(1);
        const std::string mark = "15";  // the length before the append
        ::fsetxattr(fd, appendMarkName, mark.data(), mark.size(), 0);
        if (::write(fd, "second, half", 12) != 12) _exit(2);
        if (::write(halfWritten[1], "h", 1) != 1) _exit(3);
        char go = 0;
        if (::read(finish[0], &go, 1) != 1) _exit(4);
        if (::write(fd, " of it\r\n", 8) != 8) _exit(5);
        ::fremovexattr(fd, appendMarkName);
        _exit(0);
    }
    char half = 0;
    ASSERT_EQ(::read(halfWritten[0], &half, 1), 1);

    std::vector<std::string> lines;
    while (const std::optional<std::string> line = input.next()) lines.push_back(*line);
    ASSERT_EQ(::write(finish[1], "f", 1), 1);
    EXPECT_EQ(exitStatus(writer), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"header", "first"}));

    // Opened after the append, the reader sees it whole.
    LineInput after(path);
    lines.clear();
    while (const std::optional<std::string> line = after.next()) lines.push_back(*line);
    EXPECT_EQ(lines, (std::vector<std::string>{"header", "first", "second, half of it"}));
}

}  // namespace
}  // namespace trelvan
