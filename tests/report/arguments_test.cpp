// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of trelvan-report.
#include "report/arguments.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace trelvan::report {
namespace {

using Args = std::vector<std::string>;

GTEST_TEST(ReportArguments, CommandsWithTheirJournalAndOutput) {
    Arguments a = parseArguments({"csv"});
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.command, Command::csv);
    EXPECT_EQ(a.journal, "trelvan.rez") << "the journal of the working directory";

    a = parseArguments({"csv", "old/trelvan.rez"});
    EXPECT_EQ(a.command, Command::csv);
    EXPECT_EQ(a.journal, "old/trelvan.rez");

    for (const Args& args : {Args{"chart", "-o", "c.png"}, Args{"chart", "-oc.png"},
                             Args{"chart", "--output", "c.png"}, Args{"chart", "--output=c.png"},
                             Args{"-o", "c.png", "chart"}}) {
        a = parseArguments(args);
        EXPECT_EQ(a.error, "") << args[1];
        EXPECT_EQ(a.command, Command::chart) << args[1];
        EXPECT_EQ(a.journal, "trelvan.rez") << args[1];
        EXPECT_EQ(a.output, "c.png") << args[1];
    }
    a = parseArguments({"chart", "j.rez", "-o", "c.png"});
    EXPECT_EQ(a.journal, "j.rez");
    a = parseArguments({"chart", "-o", "c.png", "j.rez"});
    EXPECT_EQ(a.journal, "j.rez");
    EXPECT_EQ(a.output, "c.png");
}

GTEST_TEST(ReportArguments, HtmlAndTheDecimalComma) {
    Arguments a = parseArguments({"html", "j.rez", "-o", "r.html"});
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.command, Command::html);
    EXPECT_EQ(a.journal, "j.rez");
    EXPECT_EQ(a.output, "r.html");
    a = parseArguments({"--decimal-comma", "csv"});
    EXPECT_EQ(a.error, "");
    EXPECT_TRUE(a.decimalComma);
    EXPECT_FALSE(parseArguments({"csv"}).decimalComma);
}

GTEST_TEST(ReportArguments, AfterTwoDashesEverythingIsAnOperand) {
    Arguments a = parseArguments({"csv", "--", "-o"});
    EXPECT_EQ(a.error, "");
    EXPECT_EQ(a.journal, "-o");
    a = parseArguments({"csv", "--", "--help"});
    EXPECT_EQ(a.command, Command::csv);
    EXPECT_EQ(a.journal, "--help");
    a = parseArguments({"csv", "-"});
    EXPECT_EQ(a.journal, "-") << "a lone dash is an operand: standard input";
    EXPECT_TRUE(a.journalGiven);
    EXPECT_FALSE(parseArguments({"csv"}).journalGiven) << "trelvan.rez or the launcher's";
}

GTEST_TEST(ReportArguments, HelpAndVersionAnswerWhateverElseIsGiven) {
    for (const Args& args : {Args{"--help"}, Args{"-h"}, Args{"csv", "--help"},
                             Args{"bogus", "extra", "-h"}, Args{"--help", "--version"}})
        EXPECT_EQ(parseArguments(args).command, Command::help) << args[0];
    for (const Args& args :
         {Args{"--version"}, Args{"chart", "--version"}, Args{"-x", "--version"}})
        EXPECT_EQ(parseArguments(args).command, Command::version) << args[0];
    EXPECT_EQ(parseArguments({"--help"}).error, "");
}

GTEST_TEST(ReportArguments, WrongArgumentsAreNamed) {
    struct Case {
        Args args;
        std::string error;
    };
    const std::vector<Case> cases{
        {{}, "no command given"},
        {{"export"}, "unknown command 'export'"},
        {{"j.rez", "csv"}, "unknown command 'j.rez'"},
        {{"csv", "a.rez", "b.rez"}, "unexpected argument 'b.rez'"},
        {{"csv", "-x"}, "unknown option -x"},
        {{"csv", "--output"}, "option --output needs a file name"},
        {{"csv", "-o", "c.png"}, "csv writes to standard output; -o belongs to chart and html"},
        {{"html"}, "html needs the output file: -o FILE.html"},
        {{"html", "-o", "r.html", "--decimal-comma"}, "--decimal-comma belongs to csv"},
        {{"chart"}, "chart needs the output file: -o FILE.png"},
        {{"chart", "j.rez"}, "chart needs the output file: -o FILE.png"},
        {{"chart", "-o"}, "option -o needs a file name"},
        {{"chart", "--output="}, "option -o needs a file name"},
        {{"chart", "-o", "a.png", "-ob.png"}, "more than one output file"},
    };
    for (const Case& c : cases) {
        const Arguments a = parseArguments(c.args);
        EXPECT_EQ(a.error, c.error) << (c.args.empty() ? "(none)" : c.args[0]);
    }
}

GTEST_TEST(ReportArguments, UsageNamesBothCommandsAndHelpTheExitStatus) {
    const std::string u = usage();
    EXPECT_NE(u.find("trelvan-report csv --decimal-comma [JOURNAL]"), std::string::npos);
    EXPECT_NE(u.find("trelvan-report html [JOURNAL] -o FILE.html"), std::string::npos);
    EXPECT_NE(u.find("trelvan-report chart [JOURNAL] -o FILE.png"), std::string::npos);
    const std::string h = help();
    EXPECT_EQ(h.rfind(u, 0), 0u) << "help starts with the usage";
    EXPECT_NE(h.find("Exit status"), std::string::npos);
    EXPECT_NE(h.find("date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to"),
              std::string::npos);
}

}  // namespace
}  // namespace trelvan::report
