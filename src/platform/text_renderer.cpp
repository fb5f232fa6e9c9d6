// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text_renderer.h"

#include <cctype>

namespace trelvan {

std::optional<FontRequest> parseFontOptions(const std::string& options) {
    FontRequest req;
    size_t i = 0;
    auto number = [&](int& out) {
        size_t start = i;
        int value = 0;
        while (i < options.size() && std::isdigit(static_cast<unsigned char>(options[i]))) {
            if (value < 100000) value = value * 10 + (options[i] - '0');
            ++i;
        }
        if (i > start) out = value;
    };
    while (i < options.size()) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(options[i++])));
        int ignored = 0;
        switch (c) {
            case 't': {
                if (i >= options.size() || options[i] != '\'') return std::nullopt;
                size_t close = options.find('\'', i + 1);
                if (close == std::string::npos) return std::nullopt;
                req.face = options.substr(i + 1, close - i - 1);
                if (req.face.size() > 31) req.face.resize(31);
                i = close + 1;
                break;
            }
            case 'h':
                number(req.height);
                break;
            case 'w':
                number(req.width);
                break;
            case 'n':
                number(req.number);
                break;
            case 'i':
                req.italic = true;
                number(ignored);
                break;
            case 'e':
                req.bold = true;
                number(ignored);
                break;
            case 'u':
                req.underline = true;
                number(ignored);
                break;
            case 'b':
                req.bestFit = true;
                number(ignored);
                break;
            case 'f':
                req.fixedPitch = true;
                number(ignored);
                break;
            case 'p':
                req.proportional = true;
                number(ignored);
                break;
            case 'v':
                req.vector = true;
                number(ignored);
                break;
            case 'r':
                req.raster = true;
                number(ignored);
                break;
            case ' ':
                break;
            default:
                return std::nullopt;
        }
    }
    return req;
}

}  // namespace trelvan
