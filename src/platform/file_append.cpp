// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>
#include <utility>

namespace trelvan {

namespace {

// Unicode code points of the Windows-1251 bytes 0x80..0xBF. 0x98 has no character; it is
// carried as the control code U+0098 so that every byte survives a round trip.
constexpr char16_t upperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};
// 0xC0..0xFF are А..я, U+0410..U+044F in order.

char32_t codePointOf(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xC0) return upperHalf[byte - 0x80];
    return 0x0410 + (byte - 0xC0);
}

char byteOf(char32_t codePoint) {
    if (codePoint < 0x80) return static_cast<char>(codePoint);
    if (codePoint >= 0x0410 && codePoint <= 0x044F) {
        return static_cast<char>(0xC0 + (codePoint - 0x0410));
    }
    for (int i = 0; i < 64; ++i) {
        if (upperHalf[i] == codePoint) return static_cast<char>(0x80 + i);
    }
    return '?';
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[pos]; advances pos. A malformed sequence (stray
// continuation byte, overlong form, surrogate, cut short) yields no code point and consumes
// one byte.
std::optional<char32_t> decodeUtf8(std::string_view text, size_t& pos) {
    const unsigned char lead = text[pos];
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, smallest = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (pos + length > text.size()) {
        ++pos;
        return std::nullopt;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = text[pos + i];
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return std::nullopt;
    }
    pos += length;
    return cp;
}

// Not an errno: a write that stored only part of the data without saying why.
constexpr int shortWrite = -1;

void setError(std::string* errorText, const std::string& action, const std::string& path,
              int error) {
    if (errorText != nullptr) *errorText = action + " " + path + ": " + errorReason(error);
}

}  // namespace

int writeAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return EIO;
        done += static_cast<size_t>(n);
    }
    return 0;
}

namespace {

// fsync, where a file that cannot be synchronised at all (a device, a pipe) counts as done.
int syncFile(int fd) {
    if (::fsync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
    return errno;
}

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// After an open or stat of path failed with ENOENT: danglingLink when path itself is a
// symbolic link (to a file that does not exist), else ENOENT.
int missingError(const std::string& path) {
    struct stat link {};
    return ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) ? danglingLink : ENOENT;
}

// The error for a file of this kind in place of one of the program's files: 0 for a regular
// file.
int kindError(mode_t mode) {
    if (S_ISREG(mode)) return 0;
    return S_ISDIR(mode) ? EISDIR : notRegularFile;
}

// Opened without waiting (a FIFO with no other end would block): clears the flag again so
// that reads and writes behave as usual.
void clearNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

// The length an append mark records: nothing without a mark, and nothing for a mark that is
// not a plain decimal number (it is removed all the same).
struct AppendMark {
    bool present = false;
    std::optional<off_t> length;
};

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

// Marks an append that starts at length; false where the file system keeps no extended
// attributes (or refuses them for this file).
bool setAppendMark(int fd, off_t length) {
    const std::string value = std::to_string(length);
    return ::fsetxattr(fd, appendMarkName, value.data(), value.size(), 0) == 0;
}

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

// Takes the lock (LOCK_EX or LOCK_SH) on the file, trying again at short intervals while
// another holds it. Other appends come and go within milliseconds and change the file; a
// holder that keeps the lock while the file stands still for lockWait() is another program,
// and the wait ends with lockedByOther. A file system without locks goes on without. Returns
// 0 or lockedByOther.
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

void syncDirectory(const std::string& directory) {
    const UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.get());
}

// The file a path leads to, symbolic links followed (a relative link from the link's own
// directory). The file itself need not exist; a loop of links is left where it stands after
// as many steps as the system allows.
std::string resolveLinks(std::string path) {
    for (int step = 0; step < 40; ++step) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<size_t>(n) >= target.size()) break;
        target.resize(static_cast<size_t>(n));
        if (target[0] != '/' && path.find('/') != std::string::npos) {
            target.insert(0, directoryOf(path) + "/");
        }
        path = target;
    }
    return path;
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
        if (const int error = lockFile(fd.get(), LOCK_EX)) return error;
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

std::string errorReason(int error) {
    switch (error) {
        case notRegularFile:
            return "это не обычный файл";
        case shortWrite:
            return "записана только часть данных";
        case lockedByOther:
            return "файл занят другой программой";
        case danglingLink:
            return "символическая ссылка ведёт к несуществующему файлу";
        case EACCES:
        case EPERM:
            return "нет доступа";
        case ENOENT:
            return "нет такого файла или каталога";
        case ENOTDIR:
            return "часть пути не является каталогом";
        case EISDIR:
            return "это каталог";
        case EROFS:
            return "файловая система только для чтения";
        case ENOSPC:
            return "нет места на диске";
        case EDQUOT:
            return "превышена дисковая квота";
        case EFBIG:
            return "файл слишком велик";
        case EIO:
            return "ошибка ввода-вывода";
        case ENAMETOOLONG:
            return "слишком длинное имя файла";
        case ENXIO:
            return "нет устройства или адреса";
        case ELOOP:
            return "слишком много символических ссылок";
        default:
            return std::strerror(error);
    }
}

std::string cp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const std::optional<char32_t> cp = decodeUtf8(utf8, pos);
        out += cp ? byteOf(*cp) : '?';
    }
    return out;
}

std::string utf8FromCp1251(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

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

WriteResult writeFileAtomically(const std::string& path, std::string_view text,
                                std::string* errorText, int* errorNumber) {
    static std::atomic<unsigned> counter{0};
    const std::string failedWrite = "Не удалось записать файл";

    // A link stays a link: the file it leads to is replaced, from its own directory.
    const std::string target = resolveLinks(path);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    int refused = 0;
    if (exists) {
        refused = kindError(old.st_mode);
    } else if (errno == ELOOP) {
        refused = ELOOP;  // a loop of links is left as it is, never replaced by a file
    } else if (errno == ENOENT && target != path) {
        refused = danglingLink;  // nor is a file made where a link leads to nothing
    }
    if (refused != 0) {
        setError(errorText, failedWrite, path, refused);
        if (errorNumber != nullptr) *errorNumber = refused;
        return WriteResult::failed;
    }

    // The temporary file is created with the usual permissions (0666 less the umask) and
    // then given those of the file it replaces, if there is one.
    std::string temporary;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd.reset(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST) break;
    }
    if (!fd) {
        if (errorNumber != nullptr) *errorNumber = errno;
        setError(errorText, failedWrite, path, errno);
        return WriteResult::failed;
    }
    // The owner must be able to read the file back (and write it next time).
    if (exists) ::fchmod(fd.get(), (old.st_mode & 07777) | S_IRUSR | S_IWUSR);

    int error = writeAll(fd.get(), text);
    if (error == 0) error = syncFile(fd.get());
    if (const int closeError = fd.close(); error == 0) error = closeError;
    if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        if (errorNumber != nullptr) *errorNumber = error;
        setError(errorText, failedWrite, path, error);
        return WriteResult::failed;
    }
    syncDirectory(directoryOf(target));
    return WriteResult::ok;
}

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
