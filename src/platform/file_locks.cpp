// SPDX-License-Identifier: GPL-3.0-or-later
// Locks on the program's files: waiting for one, and who holds one.
#include "platform/file_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/file_errors.h"
#include "platform/unique_fd.h"

namespace trelvan {

namespace {

std::atomic<int64_t> lockWaitMs{5000};

// What shows that the file is still being worked on while a lock is waited for.
struct FileState {
    off_t size = 0;
    struct timespec modified {};
    bool operator==(const FileState& other) const {
        return size == other.size && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

FileState stateOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {};
    return FileState{info.st_size, info.st_mtim};
}

}  // namespace

int lockFile(int fd, int operation) {
    using Clock = std::chrono::steady_clock;
    auto pause = std::chrono::milliseconds(1);
    FileState seen = stateOf(fd);
    Clock::time_point deadline = Clock::now() + lockWait();
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return 0;
        const FileState now = stateOf(fd);
        if (!(now == seen)) {
            seen = now;
            deadline = Clock::now() + lockWait();
        } else if (Clock::now() >= deadline) {
            return lockedByOther;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

std::chrono::milliseconds lockWait() {
    return std::chrono::milliseconds(lockWaitMs.load());
}

void setLockWait(std::chrono::milliseconds wait) {
    lockWaitMs.store(wait.count());
}

std::string lockHolder(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return std::string();
    std::ostringstream wanted;
    wanted << std::hex;
    wanted.width(2);
    wanted.fill('0');
    wanted << major(info.st_dev) << ':';
    wanted.width(2);
    wanted << minor(info.st_dev) << ':' << std::dec << info.st_ino;
    // Lines such as "1: FLOCK  ADVISORY  WRITE 1234 fd:00:5678 0 EOF"; "->" marks a waiter.
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, advisory, access, pid, file;
        fields >> number >> kind;
        if (kind == "->") continue;
        fields >> advisory >> access >> pid >> file;
        if (file != wanted.str() || pid == std::to_string(::getpid())) continue;
        if (pid.empty() || pid[0] == '-') return std::string();
        std::ifstream commFile("/proc/" + pid + "/comm");
        std::string comm;
        std::getline(commFile, comm);
        return "процесс " + pid + (comm.empty() ? std::string() : ", " + comm);
    }
    return std::string();
}

std::string lockHolder(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return fd ? lockHolder(fd.get()) : std::string();
}

}  // namespace trelvan
