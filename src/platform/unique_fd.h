// SPDX-License-Identifier: GPL-3.0-or-later
// An owning file descriptor: closed when its owner goes.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace trelvan {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

    // Closes the descriptor held (if any) and takes fd.
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

    // Closes the descriptor now; 0, or the errno of a close that failed (the descriptor is
    // gone either way).
    int close() {
        const int fd = std::exchange(fd_, -1);
        if (fd < 0 || ::close(fd) == 0) return 0;
        return errno;
    }

  private:
    int fd_ = -1;
};

}  // namespace trelvan
