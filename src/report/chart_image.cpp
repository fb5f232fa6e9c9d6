// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/chart_image.h"

#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "plot/plot.h"

namespace trelvan::report {

ChartImage drawChartImage(const std::string& journalPath, TextRenderer& renderer) {
    HeadlessWindow window;
    window.setTextRenderer(&renderer);
    // Only the finished picture is kept: shapes drawn over one another are painted once.
    window.setDeferredDrawing(true);
    setGraphicsWindow(&window);
    struct Release {
        ~Release() { setGraphicsWindow(nullptr); }
    } release;

    resetPlotState();
    PAGE(1, chartHeight, chartWidth, cp1251("Тренажер для глаз"));
    SETCOL(colourIndex::kBlack);
    window.INITIALIZEFONTS();

    ChartImage image;
    image.reading = drawProgressChart(journalPath);
    image.picture = window.snapshot();
    return image;
}

}  // namespace trelvan::report
