// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a whole file, so that the old content survives a failure.
#pragma once

#include <string>
#include <string_view>

namespace trelvan {

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

}  // namespace trelvan
