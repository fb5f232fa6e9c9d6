// SPDX-License-Identifier: GPL-3.0-or-later
// Locks on the program's files (flock), waited for no longer than lockWait().
#pragma once

#include <chrono>
#include <string>

namespace trelvan {

// How long a reader or an append waits for a lock that another program holds: the wait starts
// again whenever the file changes meanwhile (other appends going on), and ends with
// lockedByOther once the file has stood still for this long. Polled, never blocking for longer
// than a fraction of a second at a time.
std::chrono::milliseconds lockWait();
void setLockWait(std::chrono::milliseconds wait);  // for tests

// Who holds a lock on the open file, as the system's lock table tells: "процесс 1234, name",
// or empty when no other process is found.
std::string lockHolder(int fd);
std::string lockHolder(const std::string& path);

// Takes the lock (LOCK_EX or LOCK_SH) on the file, trying again at short intervals while
// another holds it. Other appends come and go within milliseconds and change the file; a
// holder that keeps the lock while the file stands still for lockWait() is another program,
// and the wait ends with lockedByOther. A file system without locks goes on without. Returns
// 0 or lockedByOther.
int lockFile(int fd, int operation);

}  // namespace trelvan
