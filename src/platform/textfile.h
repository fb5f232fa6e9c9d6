// SPDX-License-Identifier: GPL-3.0-or-later
// Sequential text files of the working directory and the Windows-1251 code page.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace trelvan {

// UTF-8 to Windows-1251 bytes (characters without a code point there become '?'), and back.
std::string cp1251(std::string_view utf8);
std::string utf8FromCp1251(std::string_view bytes);

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

// A short Russian reason for an errno or notRegularFile, for texts the program shows.
std::string errorReason(int error);

// What a LineInput agrees to read.
enum class FileKind {
    regularOnly,  // a regular file; anything else fails at once with notRegularFile
    anyReadable,  // also a pipe, a FIFO, a device or standard input, read to its end
};

// Reads a text file line by line, never holding more than one line (and a buffer).
// A line ends at LF; a CR before it is dropped, and so is a CR that ends a last line without
// LF. Lines longer than maxLine bytes are cut to maxLine (the rest of the line is skipped), so
// no input makes a line grow without bound. A last line without LF is still a line; an empty
// file has no lines.
//
// A regular file is read up to the length it has when it is opened, taken under a shared lock
// on the file: an append in progress (see appendToFile) ends before that, and the text
// appended later is not read. A lock that another program keeps on the file is waited for no
// longer than lockWait(): the file is then not open and error() says lockedByOther. A file that
// carries the mark of an append whose writer died is read only up to where that append began. A
// regular-only input never waits: a FIFO with no writer or a device is found out without reading
// from it.
class LineInput {
  public:
    explicit LineInput(const std::string& path, size_t maxLine = 1u << 20,
                       FileKind kind = FileKind::regularOnly);
    LineInput(const LineInput&) = delete;
    LineInput& operator=(const LineInput&) = delete;
    bool isOpen() const { return static_cast<bool>(fd_); }
    // The next line, or nothing at the end of the file (or when the file is not open).
    std::optional<std::string> next();
    // The same into line, whose storage is reused; false (line untouched) at the end.
    bool next(std::string& line);
    // 1-based number of the line next() returned last; 0 before the first.
    long lineNumber() const { return lineNumber_; }
    // The errno (or notRegularFile) of a failed open, or the errno of a read that failed
    // (next() then ended the lines as at the end of the file); 0 when neither happened.
    int error() const { return error_; }

  private:
    // Reads the next part of the file into the buffer; false at the end or on an error.
    bool fill();

    UniqueFd fd_;
    std::string buffer_;
    size_t position_ = 0;  // next byte of the buffer
    size_t end_ = 0;       // bytes in the buffer
    size_t maxLine_;
    long lineNumber_ = 0;
    int error_ = 0;
    off_t left_ = 0;  // bytes of the file that may still be read
};

// Outcome of a whole-file write or an append.
enum class WriteResult { ok, failed };

// Replaces the file with text: written to a temporary file beside it, flushed to the disk and
// renamed over it, so that the old content survives a failure. A symbolic link stays: the
// file it leads to is replaced, its temporary file made in that file's directory. Only a
// regular file (or none) is replaced; anything else fails (notRegularFile, or EISDIR for a
// directory), and so does a link that leads to no file (danglingLink, or ELOOP for a loop). The new
// file keeps the permissions of the old one, with read and write for the owner added where they
// were missing, so that it can be read back. errorText receives a UTF-8 reason (Russian, for the
// screen), errorNumber the errno (or notRegularFile).
WriteResult writeFileAtomically(const std::string& path, std::string_view text,
                                std::string* errorText = nullptr, int* errorNumber = nullptr);

// Writes all of text to fd, continuing after partial writes. Returns 0 or the errno of the
// failure.
int writeAll(int fd, std::string_view text);

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

}  // namespace trelvan
