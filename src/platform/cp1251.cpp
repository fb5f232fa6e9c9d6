// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows-1251 code page of the program's files, to and from UTF-8.
#include "platform/cp1251.h"

#include <optional>

namespace trelvan {

namespace {

// Unicode code points of the Windows-1251 bytes 0x80..0xBF. 0x98 has no character; it is
// carried as the control code U+0098 so that every byte survives a round trip.
constexpr char16_t upperHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};
// 0xC0..0xFF are А..я, U+0410..U+044F in order.

char32_t codePointOf(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xC0) return upperHalf[byte - 0x80];
    return 0x0410 + (byte - 0xC0);
}

char byteOf(char32_t codePoint) {
    if (codePoint < 0x80) return static_cast<char>(codePoint);
    if (codePoint >= 0x0410 && codePoint <= 0x044F) {
        return static_cast<char>(0xC0 + (codePoint - 0x0410));
    }
    for (int i = 0; i < 64; ++i) {
        if (upperHalf[i] == codePoint) return static_cast<char>(0x80 + i);
    }
    return '?';
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[pos]; advances pos. A malformed sequence (stray
// continuation byte, overlong form, surrogate, cut short) yields no code point and consumes
// one byte.
std::optional<char32_t> decodeUtf8(std::string_view text, size_t& pos) {
    const unsigned char lead = text[pos];
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, smallest = 0x10000;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (pos + length > text.size()) {
        ++pos;
        return std::nullopt;
    }
    for (int i = 1; i < length; ++i) {
        const unsigned char next = text[pos + i];
        if ((next & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return std::nullopt;
    }
    pos += length;
    return cp;
}

}  // namespace

std::string cp1251(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t pos = 0;
    while (pos < utf8.size()) {
        const std::optional<char32_t> cp = decodeUtf8(utf8, pos);
        out += cp ? byteOf(*cp) : '?';
    }
    return out;
}

std::string utf8FromCp1251(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace trelvan
