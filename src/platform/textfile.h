// Sequential text files of the working directory and the Windows-1251 code page.
#pragma once

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
// A last line without LF is still a line; an empty file has no lines.
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
WriteResult appendToFile(const std::string& path, std::string_view headerWhenNew,
                         std::string_view text, std::string* errorText = nullptr);

}  // namespace trelvan
