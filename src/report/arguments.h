// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of trelvan-report.
#pragma once

#include <string>
#include <vector>

namespace trelvan::report {

enum class Command { help, version, csv, chart, html };

struct Arguments {
    Command command = Command::help;
    std::string journal;        // the journal to read; "-" is standard input
    bool journalGiven = false;  // false: trelvan.rez, or the launcher's journal (report.h)
    std::string output;         // chart, html: the file to write
    bool decimalComma = false;  // csv: semicolons and decimal commas
    std::string error;          // why the arguments are wrong; empty when they are right
};

// Reads the arguments after the program name. --help (or -h) and --version win over
// everything else; otherwise exactly one command, at most one journal (trelvan.rez when none)
// and, for chart and html, exactly one output file (-o FILE, -oFILE, --output FILE or
// --output=FILE); --decimal-comma for csv alone. Options may stand anywhere; after "--" every
// argument is an operand.
Arguments parseArguments(const std::vector<std::string>& args);

// The short usage (for wrong arguments) and the full help text.
std::string usage();
std::string help();

}  // namespace trelvan::report
