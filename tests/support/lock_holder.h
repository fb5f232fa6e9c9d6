// SPDX-License-Identifier: GPL-3.0-or-later
// Another process that holds a lock on a file, as any program that opens it may.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace trelvan::testing {

// Another process holding a lock (LOCK_SH or LOCK_EX) on the file until it is killed.
class LockHolder {
  public:
    LockHolder(const std::string& path, int operation) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const int fd = ::open(path.c_str(), O_RDONLY);
            if (fd < 0 || ::flock(fd, operation) != 0) _exit(1);
            if (::write(ready[1], "r", 1) != 1) _exit(2);
            ::alarm(20);  // never outlives a test that went wrong
            ::pause();
            _exit(0);
        }
        ::close(ready[1]);
        char r = 0;
        held_ = ::read(ready[0], &r, 1) == 1;
        ::close(ready[0]);
    }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    ~LockHolder() { release(); }
    bool held() const { return held_; }
    void release() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    bool held_ = false;
};

}  // namespace trelvan::testing
