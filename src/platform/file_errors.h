// SPDX-License-Identifier: GPL-3.0-or-later
// The errors of the program's files that are not errnos, and the reasons the program gives.
#pragma once

#include <string>

namespace trelvan {

// Not an errno: the path names something other than a regular file or a directory (a FIFO,
// a device, a socket). The program's own files are regular files; nothing else is read from
// or written to in their place.
inline constexpr int notRegularFile = -2;

// Not an errno: another program held a lock on the file (see lockWait) the whole time this one
// waited for it, while the file did not change.
inline constexpr int lockedByOther = -3;

// Not an errno: the path is a symbolic link that leads to no file. The program's files follow
// a link to the file it leads to, and never create or replace a file through a link that leads
// nowhere (a loop of links fails with ELOOP).
inline constexpr int danglingLink = -4;

// Not an errno: a write that stored only part of the data without saying why.
inline constexpr int shortWrite = -1;

// A short Russian reason for an errno or notRegularFile, for texts the program shows.
std::string errorReason(int error);

}  // namespace trelvan
