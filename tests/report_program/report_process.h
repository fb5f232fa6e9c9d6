// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the built trelvan-report as a process and collects what it wrote.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace trelvan::testing {

struct ReportOutcome {
    int status = -1;  // exit status; -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// The argument as one word of the shell.
inline std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

// Runs trelvan-report with the arguments in the directory; environment is put before the
// command as it stands (for example "env -u DISPLAY"), and so is input (for example
// "cat j.rez |"). The launcher's journal is looked for in a directory that does not exist
// unless environment names another.
inline ReportOutcome runReportProgram(const std::vector<std::string>& args, const std::string& dir,
                                      const std::string& environment = "",
                                      const std::string& input = "") {
    TempDir captured;
    std::string command = "cd " + shellWord(dir) + " && " + input +
                          " env XDG_DATA_HOME=" + shellWord(captured.file("no-data-home")) + " " +
                          environment + " " + shellWord(TRELVAN_REPORT);
    for (const std::string& arg : args) command += " " + shellWord(arg);
    command += " >" + shellWord(captured.file("out")) + " 2>" + shellWord(captured.file("err"));
    const int result = std::system(command.c_str());
    ReportOutcome outcome;
    if (result != -1 && WIFEXITED(result)) outcome.status = WEXITSTATUS(result);
    outcome.out = readBytes(captured.file("out"));
    outcome.err = readBytes(captured.file("err"));
    return outcome;
}

}  // namespace trelvan::testing
