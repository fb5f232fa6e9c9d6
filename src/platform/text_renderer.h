// SPDX-License-Identifier: GPL-3.0-or-later
// Fonts chosen by option strings, and the renderer that turns text into coverage masks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trelvan {

// A font request as written in an option string such as "t'Times New Roman Cyr'h38w17ib".
struct FontRequest {
    std::string face;  // Windows-1251, at most 31 characters
    int height = 0;    // character cell height in pixels, 0: any
    int width = 0;     // average character width in pixels, 0: natural
    bool italic = false;
    bool bold = false;
    bool underline = false;
    bool bestFit = false;
    bool fixedPitch = false;
    bool proportional = false;
    bool vector = false;
    bool raster = false;
    int number = -1;  // nN: font number N of the list
    bool operator==(const FontRequest&) const = default;
};

// Parses an option string; letters are case-insensitive. Nothing for a malformed string.
std::optional<FontRequest> parseFontOptions(const std::string& options);

// Text drawn in some font: a coverage mask and where the text's anchor lies in it.
struct RenderedText {
    int width = 0;  // mask size
    int height = 0;
    std::vector<uint8_t> coverage;  // row-major, 0..255
    int anchorX = 0;  // position in the mask of the text's top-left corner (before rotation)
    int anchorY = 0;
    double advanceX = 0;  // movement of the current position after the text (pixels)
    double advanceY = 0;
};

class TextRenderer {
  public:
    virtual ~TextRenderer() = default;
    // Builds the list of available fonts; returns their number, negative on failure.
    virtual int initialize() = 0;
    // Selects the best match for the request; returns its index, or -1 when none matches.
    virtual int select(const FontRequest& request) = 0;
    // Renders Windows-1251 text in the selected font at the angle (tenths of a degree,
    // counter-clockwise).
    virtual RenderedText render(const std::string& text, int angleTenths) = 0;
};

}  // namespace trelvan
