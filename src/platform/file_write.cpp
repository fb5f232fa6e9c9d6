// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole file so that the old content survives a failure, and writing all of a text.
#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "platform/file_errors.h"
#include "platform/file_support.h"
#include "platform/unique_fd.h"

namespace trelvan {

namespace {

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

}  // namespace trelvan
