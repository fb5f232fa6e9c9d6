// SPDX-License-Identifier: GPL-3.0-or-later
// Text rendering with the fonts installed on the desktop, usable with or without a screen
// (offscreen platform). "Times New Roman Cyr" resolves to an installed serif with Cyrillic.
#pragma once

#include <QFont>
#include <vector>

#include "platform/text_renderer.h"

namespace trelvan {

class QtTextRenderer : public TextRenderer {
  public:
    int initialize() override;
    int select(const FontRequest& request) override;
    RenderedText render(const std::string& text, int angleTenths) override;

    // The Qt font that a request resolves to (for tests).
    static QFont fontFor(const FontRequest& request);

  private:
    struct Entry {
        FontRequest request;
        QFont font;
    };
    std::vector<Entry> fonts_;
    int current_ = -1;
};

}  // namespace trelvan
