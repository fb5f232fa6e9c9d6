#include "platform/textfile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

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

// A short Russian reason for a system error, for texts the program shows to the user.
std::string reasonText(int error) {
    switch (error) {
        case shortWrite:
            return "записана только часть данных";
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
        default:
            return std::strerror(error);
    }
}

void setError(std::string* errorText, const std::string& action, const std::string& path,
              int error) {
    if (errorText != nullptr) *errorText = action + " " + path + ": " + reasonText(error);
}

// Writes all of text, continuing after partial writes. Returns 0 or the errno of the failure.
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

// Waits for the exclusive lock on the file; a file system without locks goes on without.
void lockFile(int fd) {
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
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
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

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

LineInput::LineInput(const std::string& path, size_t maxLine) : maxLine_(maxLine) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) error_ = errno != 0 ? errno : ENOENT;
    left_ = std::numeric_limits<off_t>::max();
    if (file_ != nullptr) {
        // The bytes of an unfinished append are not part of the file yet.
        const AppendMark mark = readAppendMark(::fileno(file_));
        if (mark.length) left_ = *mark.length;
    }
}

LineInput::~LineInput() {
    if (file_ != nullptr) std::fclose(file_);
}

std::optional<std::string> LineInput::next() {
    if (file_ == nullptr) return std::nullopt;
    std::string line;
    bool any = false;
    bool cut = false;
    int c = EOF;
    // The file belongs to this reader alone: no stream locking per byte.
    while (left_ > 0 && (c = getc_unlocked(file_)) != EOF) {
        --left_;
        any = true;
        if (c == '\n') break;
        if (line.size() < maxLine_) {
            line += static_cast<char>(c);
        } else {
            cut = true;
        }
    }
    if (c == EOF && std::ferror(file_) && error_ == 0) error_ = errno != 0 ? errno : EIO;
    if (!any) return std::nullopt;
    // A CR belongs to the line end when it is the last byte of the line as written.
    if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
    ++lineNumber_;
    return line;
}

WriteResult writeFileAtomically(const std::string& path, std::string_view text,
                                std::string* errorText) {
    static std::atomic<unsigned> counter{0};
    const std::string failedWrite = "Не удалось записать файл";

    // The temporary file is created with the usual permissions (0666 less the umask) and
    // then given those of the file it replaces, if there is one.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = path + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        setError(errorText, failedWrite, path, errno);
        return WriteResult::failed;
    }
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        ::fchmod(fd, old.st_mode & 07777);
    }

    int error = writeAll(fd, text);
    if (error == 0) error = syncFile(fd);
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        setError(errorText, failedWrite, path, error);
        return WriteResult::failed;
    }
    syncDirectory(directoryOf(path));
    return WriteResult::ok;
}

WriteResult appendToFile(const std::string& path, std::string_view headerWhenNew,
                         std::string_view text, std::string* errorText) {
    const std::string failedOpen = "Не удалось открыть файл";
    const std::string failedWrite = "Не удалось дописать файл";

    // Open an existing file first; only when there is none, create it, so that a file made
    // here can be removed again if the write fails.
    bool created = false;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    }
    if (fd < 0) {
        setError(errorText, failedOpen, path, errno);
        return WriteResult::failed;
    }

    // One append at a time, in this process and in others; the lock goes with the close.
    lockFile(fd);
    if (!created) {
        if (const int error = repairUnfinishedAppend(fd)) {
            ::close(fd);
            setError(errorText, failedWrite, path, error);
            return WriteResult::failed;
        }
    }

    struct stat before {};
    if (::fstat(fd, &before) != 0) {
        const int error = errno;
        ::close(fd);
        setError(errorText, failedOpen, path, error);
        return WriteResult::failed;
    }
    const off_t oldLength = before.st_size;

    std::string data;
    if (oldLength == 0) data.append(headerWhenNew);
    data.append(text);
    const bool marked = setAppendMark(fd, oldLength);

    // One write call: a reader never sees a half line that another writer's line follows.
    ssize_t written;
    do {
        written = ::write(fd, data.data(), data.size());
    } while (written < 0 && errno == EINTR);
    int error = 0;
    if (written < 0) {
        error = errno;
    } else if (static_cast<size_t>(written) != data.size()) {
        // A short write: the disk is full or a size limit was reached. A second write of the
        // rest tells which; whatever it writes is cut off below with the rest.
        const ssize_t more = ::write(fd, data.data() + written, data.size() - written);
        error = more < 0 ? errno : shortWrite;
    }
    if (error == 0) error = syncFile(fd);
    // The text is in the file once the mark is gone, on the disk too.
    if (error == 0 && marked) {
        error = ::fremovexattr(fd, appendMarkName) == 0 ? syncFile(fd) : errno;
    }

    if (error != 0) {
        std::string reason = reasonText(error);
        if (created) {
            ::close(fd);
            ::unlink(path.c_str());
        } else {
            if (S_ISREG(before.st_mode) && (::ftruncate(fd, oldLength) != 0 || syncFile(fd) != 0)) {
                // The mark stays: readers stop at it, and the next append cuts the rest off.
                reason += "; прежнюю длину файла восстановить не удалось";
            } else if (marked) {
                ::fremovexattr(fd, appendMarkName);
            }
            ::close(fd);
        }
        if (errorText != nullptr) *errorText = failedWrite + " " + path + ": " + reason;
        return WriteResult::failed;
    }
    if (::close(fd) != 0) {
        setError(errorText, failedWrite, path, errno);
        return WriteResult::failed;
    }
    return WriteResult::ok;
}

}  // namespace trelvan
