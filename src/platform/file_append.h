// SPDX-License-Identifier: GPL-3.0-or-later
// Appending to a file that other writers and readers share.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_write.h"

namespace trelvan {

// Whether a last line that has no line end (without its trailing CR; firstLine: it is the
// file's first line) is whole. See appendToFile.
using WholeLineTest = bool (*)(std::string_view line, bool firstLine);

// Appends text to the file with one write and flushes it to the disk; when the file is
// missing or empty it receives headerWhenNew followed by text. When the file does not end
// with a line end, the same write puts CR LF first (LF alone after a CR), so that the text
// starts a line of its own. Only a regular file is appended to (anything else fails, and a
// FIFO is found out without waiting for a reader), and a symbolic link is followed only to a
// file that exists (danglingLink otherwise). errorText receives a UTF-8 reason (Russian, for
// the screen), errorNumber the errno (or notRegularFile, lockedByOther, danglingLink).
//
// Appends and readers agree through a lock on the file (flock): an append holds it
// exclusively from before it looks at the file until its text is on the disk, so appends of
// several processes follow one another whole, and a LineInput takes it shared for the moment
// it needs to learn how far it may read. An append that was waiting for the lock while the
// file was removed or replaced opens the file at the path again. A lock that another program
// keeps is waited for no longer than lockWait(); the append then fails with lockedByOther,
// leaving the file as it was.
//
// The existing content is never changed: an append that fails cuts the file back to the
// length it found under the lock, so only its own bytes go. A file it created is removed again
// only when nothing but its own bytes ever reached it.
//
// The text goes to the file whole or not at all, even when the process is killed during the
// append: a write that spans a page boundary can stop half-way when the process dies. So,
// under the lock, the append first marks the file with its old length (an extended attribute,
// appendMarkName) and takes the mark away once the text is on the disk. A mark found under the
// lock was left by a writer that died: the next append cuts the file back to the marked length
// before it writes, and readers (LineInput) stop there. Where the file system keeps no
// extended attributes the append goes on unmarked; so that its remains can still be found
// (and those of an append whose text never reached the disk before a power loss: zero bytes
// without a line end), an append that finds the file's last line without a line end asks
// wholeLine whether that line is whole. One that is not is cut off, under the lock, before the
// text is written; a whole one (or any, without wholeLine) is kept and ended as above.
WriteResult appendToFile(const std::string& path, std::string_view headerWhenNew,
                         std::string_view text, std::string* errorText = nullptr,
                         int* errorNumber = nullptr, WholeLineTest wholeLine = nullptr);

// The extended attribute that marks an append in progress: the file's length before it, in
// decimal digits.
inline constexpr const char* appendMarkName = "user.trelvan.append";

// The length an append mark records: nothing without a mark, and nothing for a mark that is
// not a plain decimal number (it is removed all the same).
struct AppendMark {
    bool present = false;
    std::optional<off_t> length;
};

// The append mark on the open file (looked at under the lock).
AppendMark readAppendMark(int fd);

}  // namespace trelvan
