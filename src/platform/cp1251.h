// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows-1251 code page of the program's files.
#pragma once

#include <string>
#include <string_view>

namespace trelvan {

// UTF-8 to Windows-1251 bytes (characters without a code point there become '?'), and back.
std::string cp1251(std::string_view utf8);
std::string utf8FromCp1251(std::string_view bytes);

}  // namespace trelvan
