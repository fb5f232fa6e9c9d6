// SPDX-License-Identifier: GPL-3.0-or-later
// The small steps the text-file modules share.
#include "platform/file_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_errors.h"
#include "platform/unique_fd.h"

namespace trelvan {

void setError(std::string* errorText, const std::string& action, const std::string& path,
              int error) {
    if (errorText != nullptr) *errorText = action + " " + path + ": " + errorReason(error);
}

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

int missingError(const std::string& path) {
    struct stat link {};
    return ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) ? danglingLink : ENOENT;
}

int kindError(mode_t mode) {
    if (S_ISREG(mode)) return 0;
    return S_ISDIR(mode) ? EISDIR : notRegularFile;
}

void clearNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

void syncDirectory(const std::string& directory) {
    const UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.get());
}

}  // namespace trelvan
