// SPDX-License-Identifier: GPL-3.0-or-later
// trelvan-report as a user runs it: what it writes where, and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "platform/textfile.h"
#include "report_process.h"
#include "support/temp_dir.h"

namespace trelvan::testing {
namespace {

const std::string csvHeader =
    "date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm,true_to,eye\r\n";
const std::string usageStart = "Usage: trelvan-report csv [JOURNAL]\n";

std::string journalOf(const std::vector<std::string>& entries) {
    std::string text = trainingHeader() + "\r\n";
    for (const std::string& entry : entries) text += entry;
    return text;
}

std::string trainingOn(int marchDay, float acuity) {
    return trainingEntryLine(marchDay, 3, 2013, 12, 0, 0, acuity, 1.5f, 100, 200.0f);
}
std::string checkOn(int marchDay, float acuity) {
    return checkEntryLine(marchDay, 3, 2013, 12, 0, 0, acuity, 200.0f);
}

const std::string badDate =
    cp1251(" a3.03.2013г, 12ч  0м  0с,   ОЗи=1.00                                 200.\r\n");

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// --- csv ---------------------------------------------------------------------------------

GTEST_TEST(ReportCsv, WritesTheJournalOfTheWorkingDirectoryToStandardOutput) {
    TempDir dir;
    writeBytes(dir.file("trelvan.rez"), journalOf({trainingOn(1, 0.5f), checkOn(2, 1.0f)}));
    const std::string expected = csvHeader +
                                 "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n"
                                 "2013-03-02T12:00:00,check,1.00,0.00,,,200,,both\r\n";
    ReportOutcome r = runReportProgram({"csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");

    // A journal named on the command line, from elsewhere.
    TempDir elsewhere;
    r = runReportProgram({"csv", dir.file("trelvan.rez")}, elsewhere.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
}

GTEST_TEST(ReportCsv, AnUnreadableLineEndsTheRowsWithANoteAndStatusZero) {
    TempDir dir;
    writeBytes(dir.file("trelvan.rez"),
               journalOf({trainingOn(1, 0.5f), trainingOn(2, 0.6f), badDate, checkOn(4, 0.7f)}));
    ReportOutcome r = runReportProgram({"csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, csvHeader +
                         "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n"
                         "2013-03-02T12:00:00,training,0.60,0.22,1.50,100,200,,both\r\n");
    EXPECT_EQ(r.err,
              "trelvan-report: trelvan.rez:4: date or time unreadable; reading stopped at this "
              "line, no rows from it on\n");

    writeBytes(dir.file("trelvan.rez"),
               journalOf({checkOn(1, 0.5f), trainingOn(2, 12.0f), checkOn(3, 0.7f)}));
    r = runReportProgram({"csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, csvHeader + "2013-03-01T12:00:00,check,0.50,0.30,,,200,,both\r\n");
    EXPECT_EQ(r.err,
              "trelvan-report: trelvan.rez:3: values unreadable; reading stopped at this line, no "
              "rows from it on\n");
}

GTEST_TEST(ReportCsv, AJournalInUtf8OrWithCrLineEndsIsNamedWithItsReason) {
    TempDir dir;
    const std::string journal = journalOf({trainingOn(1, 0.5f), checkOn(2, 1.0f)});
    writeBytes(dir.file("utf8.rez"), utf8FromCp1251(journal));
    ReportOutcome r = runReportProgram({"csv", "utf8.rez"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, csvHeader);
    EXPECT_EQ(r.err,
              "trelvan-report: utf8.rez:2: the journal is UTF-8 text, not Windows-1251; reading "
              "stopped at this line, no rows from it on\n");

    std::string crOnly;
    for (char c : journal)
        if (c != '\n') crOnly += c;
    writeBytes(dir.file("cr.rez"), crOnly);
    r = runReportProgram({"chart", "cr.rez", "-o", "cr.png"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "trelvan-report: cr.rez:1: lines end in CR alone, not CR LF; reading stopped at "
              "this line, no entries drawn from it on\n");
}

GTEST_TEST(ReportCsv, AMissingOrUnreadableJournalIsStatusOne) {
    TempDir dir;
    ReportOutcome r = runReportProgram({"csv"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "") << "not even the header row";
    EXPECT_EQ(r.err,
              "trelvan-report: cannot read the journal trelvan.rez: No such file or directory\n");

    r = runReportProgram({"csv", dir.path()}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Is a directory")) << r.err;
}

GTEST_TEST(ReportCsv, AFailedWriteIsStatusOne) {
    TempDir dir;
    writeBytes(dir.file("trelvan.rez"), journalOf({checkOn(1, 0.5f)}));
    TempDir captured;
    const std::string command = "cd " + shellWord(dir.path()) + " && " + shellWord(TRELVAN_REPORT) +
                                " csv >/dev/full 2>" + shellWord(captured.file("err"));
    const int result = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(result));
    EXPECT_EQ(WEXITSTATUS(result), 1);
    EXPECT_EQ(readBytes(captured.file("err")),
              "trelvan-report: cannot write the CSV: No space left on device\n");
}

GTEST_TEST(ReportCsv, AJournalFromAPipeGivesEveryRow) {
    TempDir dir;
    std::vector<std::string> entries;
    std::string expected = csvHeader;
    for (int k = 0; k < 1000; ++k) {
        entries.push_back(trainingEntryLine(1 + k % 28, 1 + k / 28 % 12, 2013 + k / 336, 12, 0, 0,
                                            0.5f, 1.5f, 100, 200.0f));
    }
    writeBytes(dir.file("j.rez"), journalOf(entries));
    const ReportOutcome fromFile = runReportProgram({"csv", "j.rez"}, dir.path());
    ASSERT_EQ(fromFile.status, 0);
    ASSERT_EQ(std::count(fromFile.out.begin(), fromFile.out.end(), '\n'), 1001);
    for (const char* name : {"-", "/dev/stdin"}) {
        const ReportOutcome r = runReportProgram({"csv", name}, dir.path(), "", "cat j.rez |");
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_EQ(r.out, fromFile.out) << name;
        EXPECT_EQ(r.err, "") << name;
    }
    // Where the reading stops, standard input is named.
    writeBytes(dir.file("bad.rez"), journalOf({trainingOn(1, 0.5f), badDate}));
    const ReportOutcome r = runReportProgram({"csv", "-"}, dir.path(), "", "cat bad.rez |");
    EXPECT_EQ(r.err,
              "trelvan-report: standard input:3: date or time unreadable; reading stopped at this "
              "line, no rows from it on\n");
}

GTEST_TEST(ReportCsv, WithoutAJournalHereTheLaunchersJournalIsReadAndNamed) {
    TempDir dir, data;
    ASSERT_EQ(::mkdir(data.file("trelvan").c_str(), 0755), 0);
    const std::string launcherJournal = data.file("trelvan/trelvan.rez");
    writeBytes(launcherJournal, journalOf({checkOn(2, 1.0f)}));
    const std::string row = "2013-03-02T12:00:00,check,1.00,0.00,,,200,,both\r\n";

    ReportOutcome r = runReportProgram({"csv"}, dir.path(), "XDG_DATA_HOME=" + data.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, csvHeader + row);
    EXPECT_EQ(r.err, "trelvan-report: reading the journal " + launcherJournal + "\n");

    // Without XDG_DATA_HOME (or with a relative one) it is under ~/.local/share.
    TempDir home;
    ASSERT_EQ(::system(("mkdir -p " + shellWord(home.file(".local/share/trelvan"))).c_str()), 0);
    writeBytes(home.file(".local/share/trelvan/trelvan.rez"), journalOf({checkOn(2, 1.0f)}));
    for (const std::string& environment :
         {"-u XDG_DATA_HOME HOME=" + home.path(), "XDG_DATA_HOME=rel HOME=" + home.path()}) {
        r = runReportProgram({"chart", "-o", "c.png"}, dir.path(), "env " + environment);
        EXPECT_EQ(r.status, 0) << environment;
        EXPECT_EQ(r.err, "trelvan-report: reading the journal " +
                             home.file(".local/share/trelvan/trelvan.rez") + "\n")
            << environment;
        EXPECT_TRUE(exists(dir.file("c.png")));
    }

    // A journal in the current directory comes first, without a word.
    writeBytes(dir.file("trelvan.rez"), journalOf({trainingOn(1, 0.5f)}));
    r = runReportProgram({"csv"}, dir.path(), "XDG_DATA_HOME=" + data.path());
    EXPECT_EQ(r.out, csvHeader + "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200,,both\r\n");
    EXPECT_EQ(r.err, "");
}

// --- chart -------------------------------------------------------------------------------

GTEST_TEST(ReportChart, FromAPipeAsFromTheFile) {
    TempDir dir;
    writeBytes(dir.file("j.rez"), journalOf({trainingOn(1, 0.5f), checkOn(2, 1.0f)}));
    ReportOutcome r = runReportProgram({"chart", "j.rez", "-o", "file.png"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    r = runReportProgram({"chart", "-", "-o", "pipe.png"}, dir.path(), "", "cat j.rez |");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(readBytes(dir.file("pipe.png")), readBytes(dir.file("file.png")));
}

GTEST_TEST(ReportChart, NeverWritesOverTheJournalAndAFailedWriteKeepsTheOldFile) {
    TempDir dir;
    const std::string journal = journalOf({trainingOn(1, 0.5f), checkOn(2, 1.0f)});
    writeBytes(dir.file("trelvan.rez"), journal);
    ASSERT_EQ(::symlink("trelvan.rez", dir.file("link.png").c_str()), 0);
    ASSERT_EQ(::link(dir.file("trelvan.rez").c_str(), dir.file("hard.png").c_str()), 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"chart", "trelvan.rez", "-o", "trelvan.rez"},
          {"chart", "-o", "./trelvan.rez"},
          {"chart", "-o", dir.file("link.png")},
          {"chart", "trelvan.rez", "-o", "hard.png"}}) {
        const ReportOutcome r = runReportProgram(args, dir.path());
        EXPECT_EQ(r.status, 1) << args.back();
        EXPECT_EQ(r.err, "trelvan-report: will not write the chart over the journal trelvan.rez\n")
            << args.back();
        EXPECT_EQ(readBytes(dir.file("trelvan.rez")), journal) << args.back();
    }
    // Nor standard output appended to it.
    TempDir captured;
    const std::string command = "cd " + shellWord(dir.path()) + " && " + shellWord(TRELVAN_REPORT) +
                                " csv >>trelvan.rez 2>" + shellWord(captured.file("err"));
    const int result = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(result));
    EXPECT_EQ(WEXITSTATUS(result), 1);
    EXPECT_EQ(readBytes(captured.file("err")),
              "trelvan-report: standard output is the journal trelvan.rez; nothing written\n");
    EXPECT_EQ(readBytes(dir.file("trelvan.rez")), journal);
    ReportOutcome r;

    // A write that fails (here a file size limit) leaves the file that was there.
    writeBytes(dir.file("chart.png"), "the chart of yesterday");
    r = runReportProgram({"chart", "-o", "chart.png"}, dir.path(), "",
                         "trap '' XFSZ; ulimit -f 1;");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trelvan-report: cannot write chart.png: File too large\n");
    EXPECT_EQ(readBytes(dir.file("chart.png")), "the chart of yesterday");
    // and no temporary file beside it.
    r = runReportProgram({"chart", "-o", "chart.png"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(dir.file("chart.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 4) << "trelvan.rez, link.png, hard.png, chart.png";
}

GTEST_TEST(ReportChart, WritesA980By650PngWithoutAScreen) {
    TempDir dir;
    writeBytes(dir.file("trelvan.rez"), journalOf({trainingOn(1, 0.5f), checkOn(2, 1.0f)}));
    // No display, and a platform plugin that would need one: the chart is drawn offscreen.
    ReportOutcome r = runReportProgram({"chart", "-o", "chart.png"}, dir.path(),
                                       "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "") << "nothing from Qt either";
    const std::string bytes = readBytes(dir.file("chart.png"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
}

GTEST_TEST(ReportChart, AnUnreadableLineIsNotedAndTheChartStillWritten) {
    TempDir dir;
    writeBytes(dir.file("j.rez"), journalOf({trainingOn(1, 0.5f), badDate, checkOn(4, 0.7f)}));
    ReportOutcome r = runReportProgram({"chart", "j.rez", "-o", "chart.png"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "trelvan-report: j.rez:3: date or time unreadable; reading stopped at this line, "
              "no entries drawn from it on\n");
    EXPECT_TRUE(exists(dir.file("chart.png")));
}

GTEST_TEST(ReportChart, AMissingJournalOrAnUnwritableFileIsStatusOne) {
    TempDir dir;
    ReportOutcome r = runReportProgram({"chart", "-o", "chart.png"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "trelvan-report: cannot read the journal trelvan.rez: No such file or directory\n");
    EXPECT_FALSE(exists(dir.file("chart.png"))) << "no empty chart for a missing journal";

    writeBytes(dir.file("trelvan.rez"), journalOf({checkOn(1, 0.5f)}));
    r = runReportProgram({"chart", "-o", "no/such/dir/chart.png"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "trelvan-report: cannot write no/such/dir/chart.png: No such file or "
              "directory\n");

    r = runReportProgram({"chart", "-o", dir.path()}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Is a directory")) << r.err;

    r = runReportProgram({"chart", "-o", "/dev/full"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trelvan-report: cannot write /dev/full: No space left on device\n");
}

// --- help, version, wrong arguments ------------------------------------------------------

GTEST_TEST(ReportCommandLine, HelpAndVersionOnStandardOutputWithStatusZero) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"chart", "--help"}}) {
        ReportOutcome r = runReportProgram(args, dir.path());
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_EQ(r.out.rfind(usageStart, 0), 0u) << r.out;
        EXPECT_TRUE(contains(r.out, "Exit status")) << args[0];
        EXPECT_TRUE(contains(r.out, "$XDG_DATA_HOME/trelvan/trelvan.rez")) << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
    ReportOutcome r = runReportProgram({"--version"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("trelvan-report ") + TRELVAN_VERSION + "\n");
    EXPECT_EQ(r.err, "");
}

GTEST_TEST(ReportCommandLine, WrongArgumentsAreStatusTwoWithTheUsage) {
    TempDir dir;
    writeBytes(dir.file("trelvan.rez"), journalOf({checkOn(1, 0.5f)}));
    const std::vector<std::vector<std::string>> cases{
        {},
        {"export"},
        {"chart"},
        {"csv", "-o", "x.png"},
        {"csv", "a", "b"},
        {"csv", "--fast"},
        {"chart", "-o"},
    };
    for (const std::vector<std::string>& args : cases) {
        const std::string name = args.empty() ? "(none)" : args.back();
        ReportOutcome r = runReportProgram(args, dir.path());
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_EQ(r.err.rfind("trelvan-report: ", 0), 0u) << name;
        EXPECT_TRUE(contains(r.err, usageStart)) << name;
    }
    EXPECT_EQ(runReportProgram({"export"}, dir.path()).err,
              "trelvan-report: unknown command 'export'\n" + usageStart +
                  "       trelvan-report csv --decimal-comma [JOURNAL]\n"
                  "       trelvan-report chart [JOURNAL] -o FILE.png\n"
                  "       trelvan-report html [JOURNAL] -o FILE.html\n"
                  "       trelvan-report --help | --version\n"
                  "Try 'trelvan-report --help' for more information.\n");
}

// --- the journal's file -----------------------------------------------------------------

GTEST_TEST(ReportJournal, FifoOrDeviceInPlaceOfTheJournalIsStatusOneAtOnce) {
    // A FIFO nobody writes to would block the command; /dev/zero would keep it reading forever.
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("trelvan.rez").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero.rez").c_str()), 0);
    const std::vector<std::vector<std::string>> commands{
        {"csv"}, {"csv", "zero.rez"}, {"chart", "-o", "chart.png"}};
    for (const std::vector<std::string>& args : commands) {
        const ReportOutcome r = runReportProgram(args, dir.path(), "timeout 10");
        EXPECT_EQ(r.status, 1) << args[0] << " " << args.size();
        EXPECT_TRUE(contains(r.err, ": not a regular file")) << r.err;
    }
    EXPECT_FALSE(exists(dir.file("chart.png")));
}

}  // namespace
}  // namespace trelvan::testing
