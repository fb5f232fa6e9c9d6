// SPDX-License-Identifier: GPL-3.0-or-later
// trelvan-report: the results journal as CSV, and the progress chart as a PNG file.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "report/chart_image.h"

namespace trelvan::report {

// What the chart command needs from the desktop toolkit: text rendering for the drawing, and
// a PNG encoder. Asked for only when a chart is drawn.
struct ChartTools {
    std::function<ChartImage(const std::string& journalPath)> draw;
    std::function<std::string(const Raster& picture)> encodePng;  // the file's bytes
};

// The journal the launcher runs the program with: trelvan.rez in $XDG_DATA_HOME/trelvan, or
// in ~/.local/share/trelvan when XDG_DATA_HOME is unset, empty or not absolute. Empty when
// neither variable gives a directory.
std::string launcherJournal(const char* xdgDataHome, const char* home);

// Runs the command line (arguments after the program name) and returns the exit status:
// 0 done (also when the reading stopped early at an unreadable line: standard error says
// where and why); 1 the journal is missing or unreadable, or the output could not be
// written; 2 wrong arguments (with the usage on standard error).
int runReport(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
              const ChartTools& chart);

}  // namespace trelvan::report
