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

// Starts a child that waits for the go byte on the pipe, then runs body and exits with its
// result (0 for success).
template <typename Body>
pid_t startChild(int goPipe, Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        char go = 0;
        if (::read(goPipe, &go, 1) != 1) _exit(9);
        _exit(body());
    }
    return child;
}

int exitStatus(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

GTEST_TEST(ConcurrentAccess, FailedFirstAppendKeepsTheEntriesOfOtherWriters) {
    // Two processes append to a journal that does not exist yet; one of them cannot write (a
    // file size limit). Whichever creates the file, the entry of the one told "ok" must be in
    // the file at the path afterwards.
    constexpr int kRounds = 100;
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    int lost = 0, failedFirst = 0;
    for (int round = 0; round < kRounds; ++round) {
        ::unlink(path.c_str());
        int go[2];
        ASSERT_EQ(::pipe(go), 0);
        const pid_t failing = startChild(go[0], [&path] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4, 4};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 8;
            return appendToFile(path, "header\r\n", "failing entry\r\n") == WriteResult::ok ? 1 : 0;
        });
        const pid_t writing = startChild(go[0], [&path] {
            return appendToFile(path, "header\r\n", "good entry\r\n") == WriteResult::ok ? 0 : 1;
        });
        ::close(go[0]);
        ASSERT_EQ(::write(go[1], "gg", 2), 2);
        ::close(go[1]);
        ASSERT_EQ(exitStatus(failing), 0) << "the append over the size limit must fail";
        ASSERT_EQ(exitStatus(writing), 0) << "the other append must succeed";
        const std::string bytes = readBytes(path);
        if (bytes.find("good entry\r\n") == std::string::npos) ++lost;
        if (bytes.find("failing") != std::string::npos) ++failedFirst;
    }
    EXPECT_EQ(lost, 0) << "rounds in which an entry reported as written was lost";
    EXPECT_EQ(failedFirst, 0) << "rounds in which the failed entry stayed";
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
