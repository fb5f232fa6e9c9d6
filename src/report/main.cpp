// SPDX-License-Identifier: GPL-3.0-or-later
// trelvan-report: the results journal as CSV, and the progress chart as a PNG file, without a
// screen. The chart's text is drawn by the program's own text renderer on Qt's offscreen
// platform, which gives the same pixels as on the desktop.
#include <QGuiApplication>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/png_image.h"
#include "platform/qt/qt_support.h"
#include "platform/qt/qt_text.h"
#include "report/chart_image.h"
#include "report/report.h"

namespace {

// Qt's notes and warnings (about the runtime directory, say) are no business of the user of
// this command; its errors still reach standard error.
void qtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "trelvan-report: %s\n", message.toLocal8Bit().constData());
}

// The GUI application of the chart, started on first use; CSV and the messages need none.
void startQt(std::unique_ptr<QGuiApplication>& app) {
    if (app) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // One surface pixel is one image pixel, as on the desktop.
    trelvan::keepPixelsUnscaled();
    qInstallMessageHandler(qtMessage);
    static int argc = 1;
    static char name[] = "trelvan-report";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit makes a write fail with EFBIG instead of ending the process, so the
    // temporary file is removed and the reason given.
    std::signal(SIGXFSZ, SIG_IGN);
    std::unique_ptr<QGuiApplication> app;
    trelvan::QtTextRenderer renderer;
    trelvan::report::ChartTools tools;
    tools.draw = [&](const std::string& journal) {
        startQt(app);
        return trelvan::report::drawChartImage(journal, renderer);
    };
    tools.encodePng = trelvan::encodePng;
    const std::vector<std::string> args(argv + 1, argv + argc);
    return trelvan::report::runReport(args, stdout, stderr, tools);
}
