// SPDX-License-Identifier: GPL-3.0-or-later
// The small steps the text-file modules share: synchronising, the directory of a path, what
// stands at a path instead of a regular file, and the error text of a failed write.
#pragma once

#include <sys/types.h>

#include <string>

namespace trelvan {

// errorText, when given, becomes "action path: reason" (UTF-8, Russian, for the screen).
void setError(std::string* errorText, const std::string& action, const std::string& path,
              int error);

// fsync, where a file that cannot be synchronised at all (a device, a pipe) counts as done.
int syncFile(int fd);

// The directory part of a path: "." for a bare name, "/" for a name in the root.
std::string directoryOf(const std::string& path);

// After an open or stat of path failed with ENOENT: danglingLink when path itself is a
// symbolic link (to a file that does not exist), else ENOENT.
int missingError(const std::string& path);

// The error for a file of this kind in place of one of the program's files: 0 for a regular
// file.
int kindError(mode_t mode);

// Opened without waiting (a FIFO with no other end would block): clears the flag again so
// that reads and writes behave as usual.
void clearNonBlocking(int fd);

// fsync of a directory, so that a rename or removal in it reaches the disk.
void syncDirectory(const std::string& directory);

}  // namespace trelvan
