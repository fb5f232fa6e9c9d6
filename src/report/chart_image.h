// SPDX-License-Identifier: GPL-3.0-or-later
// The progress chart drawn without a screen, as the program shows it short of the prompt.
#pragma once

#include <string>

#include "journal/chart.h"
#include "platform/raster.h"
#include "platform/text_renderer.h"

namespace trelvan::report {

// Size of the program's graphics window.
inline constexpr int chartWidth = 980;
inline constexpr int chartHeight = 650;

struct ChartImage {
    Raster picture{0, 0};  // the window's, once drawn
    ChartReading reading;
};

// Opens the page as the program's start-up does (980 x 650 pixels, colour 7, fonts
// initialised) on the headless services with the given text renderer, and draws the chart of
// the journal into it. The window services and the plotting state are the process's own while
// it runs; it leaves no window services set.
ChartImage drawChartImage(const std::string& journalPath, TextRenderer& renderer);

}  // namespace trelvan::report
