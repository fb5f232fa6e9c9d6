// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a text file line by line.
#include "platform/line_input.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/file_append.h"
#include "platform/file_errors.h"
#include "platform/file_locks.h"
#include "platform/file_support.h"

namespace trelvan {

namespace {

// How much of a regular file a reader may take: its length, or less where an append whose
// writer died began. Learnt under the shared lock, so no append is half-way through its write.
// Nothing when another program keeps the lock.
std::optional<off_t> readableLength(int fd) {
    if (lockFile(fd, LOCK_SH) != 0) return std::nullopt;
    struct stat info {};
    off_t length = ::fstat(fd, &info) == 0 ? info.st_size : 0;
    const AppendMark mark = readAppendMark(fd);
    if (mark.length && *mark.length < length) length = *mark.length;
    ::flock(fd, LOCK_UN);
    return length;
}

}  // namespace

LineInput::LineInput(const std::string& path, size_t maxLine, FileKind kind) : maxLine_(maxLine) {
    // A regular-only input opens without waiting: a FIFO with no writer would block the open.
    const int flags = O_RDONLY | O_CLOEXEC | (kind == FileKind::regularOnly ? O_NONBLOCK : 0);
    UniqueFd fd(::open(path.c_str(), flags));
    if (!fd) {
        error_ = errno == ENOENT ? missingError(path) : errno;
        return;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        error_ = errno;
        return;
    }
    if (S_ISDIR(info.st_mode) || (kind == FileKind::regularOnly && !S_ISREG(info.st_mode))) {
        error_ = kindError(info.st_mode);
        return;
    }
    if (S_ISREG(info.st_mode)) {
        clearNonBlocking(fd.get());
        const std::optional<off_t> length = readableLength(fd.get());
        if (!length) {
            error_ = lockedByOther;
            return;
        }
        left_ = *length;
    } else {
        left_ = std::numeric_limits<off_t>::max();  // a stream, read to its end
    }
    fd_ = std::move(fd);
    buffer_.resize(1u << 16);
}

bool LineInput::fill() {
    if (!fd_ || left_ <= 0) return false;
    const size_t want = static_cast<size_t>(std::min<off_t>(left_, off_t(buffer_.size())));
    ssize_t n;
    do {
        n = ::read(fd_.get(), buffer_.data(), want);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (error_ == 0) error_ = errno;
        left_ = 0;
        return false;
    }
    if (n == 0) {
        left_ = 0;
        return false;
    }
    left_ -= n;
    position_ = 0;
    end_ = static_cast<size_t>(n);
    return true;
}

std::optional<std::string> LineInput::next() {
    std::string line;
    if (!next(line)) return std::nullopt;
    return line;
}

bool LineInput::next(std::string_view& line) {
    if (position_ >= end_ && !fill()) return false;
    const char* const begin = buffer_.data() + position_;
    const void* const lf = std::memchr(begin, '\n', end_ - position_);
    if (lf != nullptr) {
        size_t take = static_cast<size_t>(static_cast<const char*>(lf) - begin);
        if (take <= maxLine_) {
            position_ += take + 1;
            if (take > 0 && begin[take - 1] == '\r') --take;
            ++lineNumber_;
            line = std::string_view(begin, take);
            return true;
        }
    }
    // Cut to maxLine, or running on into the next part of the file.
    if (!next(spill_)) return false;
    line = spill_;
    return true;
}

bool LineInput::next(std::string& line) {
    if (position_ >= end_ && !fill()) return false;
    line.clear();
    bool cut = false;
    bool ended = false;
    while (!ended && (position_ < end_ || fill())) {
        const char* begin = buffer_.data() + position_;
        const size_t size = end_ - position_;
        const void* lf = std::memchr(begin, '\n', size);
        const size_t take = lf != nullptr ? static_cast<const char*>(lf) - begin : size;
        const size_t room = maxLine_ - std::min(maxLine_, line.size());
        line.append(begin, std::min(take, room));
        if (take > room) cut = true;
        position_ += take;
        if (lf != nullptr) {
            ++position_;
            ended = true;
        }
    }
    // A CR belongs to the line end when it is the last byte of the line as written.
    if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
    ++lineNumber_;
    return true;
}

}  // namespace trelvan
