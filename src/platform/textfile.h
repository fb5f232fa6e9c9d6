// Sequential text files of the working directory and the Windows-1251 code page.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace trelvan {

// UTF-8 to Windows-1251 bytes (characters without a code point there become '?'), and back.
std::string cp1251(std::string_view utf8);
std::string utf8FromCp1251(std::string_view bytes);

// Reads a text file line by line, one byte at a time, never holding more than one line.
// A line ends at LF; a CR before it is dropped, and so is a CR that ends a last line without
// LF. Lines longer than maxLine bytes are cut to maxLine (the rest of the line is skipped).
// A last line without LF is still a line; an empty file has no lines. A file that carries the
// mark of an append in progress, or of one whose writer died (see appendToFile), is read only
// up to where that append began.
class LineInput {
  public:
    explicit LineInput(const std::string& path, size_t maxLine = 1u << 20);
    ~LineInput();
    LineInput(const LineInput&) = delete;
    LineInput& operator=(const LineInput&) = delete;
    bool isOpen() const { return file_ != nullptr; }
    // The next line, or nothing at the end of the file (or when the file is not open).
    std::optional<std::string> next();
    // 1-based number of the line next() returned last; 0 before the first.
    long lineNumber() const { return lineNumber_; }
    // The errno of a failed open, or of a read that failed (next() then ended the lines as
    // at the end of the file); 0 when neither happened.
    int error() const { return error_; }

  private:
    std::FILE* file_ = nullptr;
    size_t maxLine_;
    long lineNumber_ = 0;
    int error_ = 0;
    off_t left_ = 0;  // bytes that may still be read
};

// Outcome of a whole-file write or an append.
enum class WriteResult { ok, failed };

// Replaces the file with text: written to a temporary file beside it, flushed to the disk and
// renamed over it, so that the old content survives a failure. The new file keeps the
// permissions of the old one. errorText receives a UTF-8 reason (Russian, for the screen).
WriteResult writeFileAtomically(const std::string& path, std::string_view text,
                                std::string* errorText = nullptr);

// Appends text to the file with one write and flushes it to the disk; when the file is
// missing or empty it receives headerWhenNew followed by text. The existing content is never
// changed: a write that cannot complete is cut back to the old length, and a file this call
// created is removed again. errorText receives a UTF-8 reason (Russian, for the screen).
//
// The text goes to the file whole or not at all, even when the process is killed during the
// append: a write that spans a page boundary can stop half-way when the process dies. So,
// under an exclusive lock on the file, the append first marks the file with its old length
// (an extended attribute, appendMarkName) and takes the mark away once the text is on the
// disk. A mark found under the lock was left by a writer that died: the next append cuts the
// file back to the marked length before it writes, and readers (LineInput) stop there. Where
// the file system keeps no extended attributes the append goes on unmarked.
WriteResult appendToFile(const std::string& path, std::string_view headerWhenNew,
                         std::string_view text, std::string* errorText = nullptr);

// The extended attribute that marks an append in progress: the file's length before it, in
// decimal digits.
inline constexpr const char* appendMarkName = "user.trelvan.append";

}  // namespace trelvan
