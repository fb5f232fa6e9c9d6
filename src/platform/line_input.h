// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a text file line by line.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/unique_fd.h"

namespace trelvan {

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
    // The same as a view, valid until the next call: into the read buffer, without a copy,
    // when the whole line stands there.
    bool next(std::string_view& line);
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
    std::string spill_;    // a line the view cannot show in the buffer
    size_t position_ = 0;  // next byte of the buffer
    size_t end_ = 0;       // bytes in the buffer
    size_t maxLine_;
    long lineNumber_ = 0;
    int error_ = 0;
    off_t left_ = 0;  // bytes of the file that may still be read
};

}  // namespace trelvan
