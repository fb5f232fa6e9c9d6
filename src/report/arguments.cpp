// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/arguments.h"

#include <optional>

#include "journal/journal.h"

namespace trelvan::report {

namespace {

Arguments wrong(std::string error) {
    Arguments a;
    a.error = std::move(error);
    return a;
}

}  // namespace

Arguments parseArguments(const std::vector<std::string>& args) {
    // --help and --version first: they answer whatever else is given.
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h" || arg == "--version") {
            Arguments a;
            a.command = arg == "--version" ? Command::version : Command::help;
            return a;
        }
    }

    std::optional<std::string> command, journal, output;
    bool decimalComma = false;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--decimal-comma") {
                decimalComma = true;
                continue;
            }
            std::optional<std::string> value;
            if (arg == "-o" || arg == "--output") {
                if (i + 1 >= args.size()) return wrong("option " + arg + " needs a file name");
                value = args[++i];
            } else if (arg.starts_with("--output=")) {
                value = arg.substr(9);
            } else if (arg.starts_with("-o")) {
                value = arg.substr(2);
            } else {
                return wrong("unknown option " + arg);
            }
            if (output) return wrong("more than one output file");
            if (value->empty()) return wrong("option -o needs a file name");
            output = *value;
            continue;
        }
        if (!command) {
            if (arg != "csv" && arg != "chart" && arg != "html")
                return wrong("unknown command '" + arg + "'");
            command = arg;
        } else if (!journal) {
            journal = arg;
        } else {
            return wrong("unexpected argument '" + arg + "'");
        }
    }

    if (!command) return wrong("no command given");
    Arguments a;
    a.command = *command == "csv"     ? Command::csv
                : *command == "chart" ? Command::chart
                                      : Command::html;
    a.journal = journal.value_or(journalFileName);
    a.journalGiven = journal.has_value();
    if (a.command == Command::csv && output)
        return wrong("csv writes to standard output; -o belongs to chart and html");
    if (decimalComma && a.command != Command::csv) return wrong("--decimal-comma belongs to csv");
    a.decimalComma = decimalComma;
    if (a.command == Command::chart) {
        if (!output) return wrong("chart needs the output file: -o FILE.png");
        a.output = *output;
    }
    if (a.command == Command::html) {
        if (!output) return wrong("html needs the output file: -o FILE.html");
        a.output = *output;
    }
    return a;
}

std::string usage() {
    return "Usage: trelvan-report csv [JOURNAL]\n"
           "       trelvan-report csv --decimal-comma [JOURNAL]\n"
           "       trelvan-report chart [JOURNAL] -o FILE.png\n"
           "       trelvan-report html [JOURNAL] -o FILE.html\n"
           "       trelvan-report --help | --version\n";
}

std::string help() {
    return usage() +
           "\n"
           "Reads the eye trainer's results journal JOURNAL by the rules of the program's\n"
           "progress chart. JOURNAL \"-\" is standard input (a pipe is read whole). Without\n"
           "JOURNAL: trelvan.rez in the current directory when it is there, otherwise the\n"
           "journal of the installed program, $XDG_DATA_HOME/trelvan/trelvan.rez (or\n"
           "~/.local/share/trelvan/trelvan.rez), named on standard error when read.\n"
           "\n"
           "Commands:\n"
           "  csv     write the entries as CSV (RFC 4180, UTF-8, CR LF) to standard output:\n"
           "          date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to,eye\n"
           "          one row per training or check, a check first when a line holds both;\n"
           "          eye is both, right or left\n"
           "  chart   draw the progress chart as the program shows it (980 x 650 pixels,\n"
           "          without the prompt) into a PNG file; needs no screen. The file is\n"
           "          replaced once the chart is written whole, and never when it is the\n"
           "          journal\n"
           "  html    write a progress report (Russian) into one self-contained HTML file:\n"
           "          acuity over the dates per eye and kind, one panel per viewing\n"
           "          distance, a table per week, and the line that stopped the reading\n"
           "\n"
           "Options:\n"
           "  -o, --output FILE  the PNG file of chart, the HTML file of html\n"
           "      --decimal-comma  csv: semicolons between the fields, decimal commas and\n"
           "                     dates as YYYY-MM-DD HH:MM:SS, as a spreadsheet in a Russian\n"
           "                     locale reads numbers\n"
           "  -h, --help         show this help and exit\n"
           "      --version      show the version and exit\n"
           "\n"
           "The reading stops at the first line whose date, time or values cannot be read, as\n"
           "in the program (a journal saved in UTF-8 or with CR alone for line ends stops it\n"
           "at once): the rows (or entries) before it are written, standard error names the\n"
           "line and the reason, and the exit status stays 0.\n"
           "\n"
           "A journal that another program keeps locked is waited for 5 seconds.\n"
           "\n"
           "Exit status: 0 done; 1 journal missing, unreadable or locked, output not written,\n"
           "or output that would replace the journal; 2 wrong arguments.\n";
}

}  // namespace trelvan::report
