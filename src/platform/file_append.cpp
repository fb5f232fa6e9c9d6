// SPDX-License-Identifier: GPL-3.0-or-later
// Appending to a file shared with other writers and readers: one lock, one write, and a mark
// that lets the next writer and the readers find an append whose writer died.
#include "platform/file_append.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "platform/file_errors.h"
#include "platform/file_locks.h"
#include "platform/file_support.h"
#include "platform/unique_fd.h"

namespace trelvan {

AppendMark readAppendMark(int fd) {
    AppendMark mark;
    char value[24];
    const ssize_t n = ::fgetxattr(fd, appendMarkName, value, sizeof value);
    if (n < 0) {
        mark.present = errno == ERANGE;  // longer than any length
        return mark;
    }
    mark.present = true;
    off_t length = 0;
    for (ssize_t i = 0; i < n; ++i) {
        const bool digit = value[i] >= '0' && value[i] <= '9';
        if (!digit || length > (std::numeric_limits<off_t>::max() - 9) / 10) return mark;
        length = length * 10 + (value[i] - '0');
    }
    if (n > 0) mark.length = length;
    return mark;
}

namespace {

// Marks an append that starts at length; false where the file system keeps no extended
// attributes (or refuses them for this file).
bool setAppendMark(int fd, off_t length) {
    const std::string value = std::to_string(length);
    return ::fsetxattr(fd, appendMarkName, value.data(), value.size(), 0) == 0;
}

// The remains of an append cut short that left no mark (a file system without extended
// attributes, or a power loss before its text reached the disk): a last line without a line
// end that wholeLine does not take for whole. It is cut off. Only a last line as short as an
// append's text can be is looked at; a longer one was never written by an append. Returns 0
// or the errno of the failure.
int cutTornLastLine(int fd, WholeLineTest wholeLine) {
    constexpr off_t longestTail = 1 << 16;
    struct stat info {};
    if (::fstat(fd, &info) != 0) return errno;
    const off_t size = info.st_size;
    if (size == 0) return 0;
    const off_t from = std::max<off_t>(0, size - longestTail);
    std::string tail(static_cast<size_t>(size - from), '\0');
    if (::pread(fd, tail.data(), tail.size(), from) != static_cast<ssize_t>(tail.size())) return 0;
    if (tail.back() == '\n') return 0;
    const size_t lf = tail.rfind('\n');
    if (lf == std::string::npos && from > 0) return 0;
    const size_t start = lf == std::string::npos ? 0 : lf + 1;
    std::string_view line(tail.data() + start, tail.size() - start);
    if (line.back() == '\r') line.remove_suffix(1);
    if (wholeLine(line, from + static_cast<off_t>(start) == 0)) return 0;
    if (::ftruncate(fd, from + static_cast<off_t>(start)) != 0) return errno;
    return syncFile(fd);
}

// Cuts off what an append whose writer died left behind, as its mark tells, and removes the
// mark. Returns 0 or the errno of the failure (the mark then stays).
int repairUnfinishedAppend(int fd) {
    const AppendMark mark = readAppendMark(fd);
    if (!mark.present) return 0;
    struct stat now {};
    if (::fstat(fd, &now) != 0) return errno;
    if (mark.length && *mark.length < now.st_size) {
        if (::ftruncate(fd, *mark.length) != 0) return errno;
        if (const int error = syncFile(fd)) return error;
    }
    if (::fremovexattr(fd, appendMarkName) != 0 && errno != ENODATA) return errno;
    return 0;
}

// --- The steps of an append ----------------------------------------------------------------

// The file an append writes to: opened, checked and locked.
struct AppendTarget {
    UniqueFd fd;
    bool created = false;   // this append made the file
    bool readable = false;  // opened for reading too: its last byte can be looked at
};

// Whether the open file is still the one at path (not removed or replaced meanwhile).
bool stillAtPath(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Opens path for appending, creating it when missing, and takes the exclusive lock. Only a
// regular file is taken, and a FIFO is found out without waiting. A file removed or replaced
// while this waited for the lock (a failed first append of another writer removes its file) is
// left for the one now at the path. Returns 0 or the error.
int openForAppend(const std::string& path, AppendTarget& target) {
    constexpr int flags = O_APPEND | O_NONBLOCK | O_CLOEXEC;
    int error = EBUSY;  // should the path keep changing under every attempt
    for (int attempt = 0; attempt < 100; ++attempt) {
        bool created = false;
        bool readable = true;
        UniqueFd fd(::open(path.c_str(), O_RDWR | flags));
        if (!fd && errno == EACCES) {
            readable = false;
            fd.reset(::open(path.c_str(), O_WRONLY | flags));
        }
        if (!fd && errno == ENOENT) {
            // A link is followed to its file, never used to make one.
            if (missingError(path) == danglingLink) return danglingLink;
            readable = true;
            fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | flags, 0666));
            created = static_cast<bool>(fd);
            // Made by another writer just now, or a link to nothing: look again.
            if (!fd && errno == EEXIST) {
                error = ENOENT;
                continue;
            }
        }
        if (!fd) return errno;

        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) return errno;
        if (const int kind = kindError(info.st_mode)) return kind;
        clearNonBlocking(fd.get());

        // One append at a time, in this process and in others; the lock goes with the close.
        if (const int lockError = lockFile(fd.get(), LOCK_EX)) return lockError;
        if (!stillAtPath(fd.get(), path)) continue;
        target.fd = std::move(fd);
        target.created = created;
        target.readable = readable;
        return 0;
    }
    return error;
}

// What goes to the file: the header for an empty file, and a line end first where the last
// line has none (a file opened for writing only cannot be looked at and is taken as ended).
std::string appendData(const AppendTarget& target, off_t oldLength, std::string_view headerWhenNew,
                       std::string_view text) {
    std::string data;
    if (oldLength == 0) {
        data.append(headerWhenNew);
    } else if (target.readable) {
        char last = '\n';
        if (::pread(target.fd.get(), &last, 1, oldLength - 1) == 1 && last != '\n') {
            data.append(last == '\r' ? "\n" : "\r\n");
        }
    }
    data.append(text);
    return data;
}

// One write call, so that no other writer's text can come between its parts. A short write
// (the disk is full or a size limit was reached) is followed by a second write of the rest,
// which tells the reason; whatever reached the file is cut off by the caller. Returns 0 or the
// error.
int writeOnce(int fd, std::string_view data) {
    ssize_t written;
    do {
        written = ::write(fd, data.data(), data.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return errno;
    if (static_cast<size_t>(written) == data.size()) return 0;
    const ssize_t more = ::write(fd, data.data() + written, data.size() - written);
    return more < 0 ? errno : shortWrite;
}

// After a failed write: the file goes back to oldLength (its content before this append, which
// may hold other writers' entries), and a file this append created and that holds nothing else
// is removed, still under the lock. False when the old length could not be restored (the mark
// then stays: readers stop at it, and the next append cuts the rest off).
bool rollBack(const AppendTarget& target, const std::string& path, off_t oldLength, bool marked) {
    const int fd = target.fd.get();
    if (::ftruncate(fd, oldLength) != 0 || syncFile(fd) != 0) return false;
    if (marked) ::fremovexattr(fd, appendMarkName);
    if (target.created && oldLength == 0 && stillAtPath(fd, path)) {
        ::unlink(path.c_str());
        syncDirectory(directoryOf(path));
    }
    return true;
}

}  // namespace

WriteResult appendToFile(const std::string& path, std::string_view headerWhenNew,
                         std::string_view text, std::string* errorText, int* errorNumber,
                         WholeLineTest wholeLine) {
    const std::string failedOpen = "Не удалось открыть файл";
    const std::string failedWrite = "Не удалось дописать файл";
    auto fail = [&](const std::string& action, int error) {
        setError(errorText, action, path, error);
        if (errorNumber != nullptr) *errorNumber = error;
        return WriteResult::failed;
    };

    AppendTarget target;
    if (const int error = openForAppend(path, target)) return fail(failedOpen, error);
    const int fd = target.fd.get();
    if (!target.created) {
        if (const int error = repairUnfinishedAppend(fd)) return fail(failedWrite, error);
        if (wholeLine != nullptr && target.readable) {
            if (const int error = cutTornLastLine(fd, wholeLine)) return fail(failedWrite, error);
        }
    }
    struct stat before {};
    if (::fstat(fd, &before) != 0) return fail(failedOpen, errno);
    const off_t oldLength = before.st_size;
    const std::string data = appendData(target, oldLength, headerWhenNew, text);

    const bool marked = setAppendMark(fd, oldLength);
    int error = writeOnce(fd, data);
    if (error == 0) error = syncFile(fd);
    // The text is in the file once the mark is gone, on the disk too.
    if (error == 0 && marked) {
        error = ::fremovexattr(fd, appendMarkName) == 0 ? syncFile(fd) : errno;
    }
    if (error != 0) {
        std::string reason = errorReason(error);
        if (!rollBack(target, path, oldLength, marked)) {
            reason += "; прежнюю длину файла восстановить не удалось";
        }
        if (errorText != nullptr) *errorText = failedWrite + " " + path + ": " + reason;
        if (errorNumber != nullptr) *errorNumber = error;
        return WriteResult::failed;
    }
    if (const int closeError = target.fd.close()) return fail(failedWrite, closeError);
    return WriteResult::ok;
}

}  // namespace trelvan
