// trelvan-report as a user runs it: what it writes where, and its exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "journal/journal.h"
#include "platform/textfile.h"
#include "report_process.h"
#include "support/temp_dir.h"

namespace trelvan::testing {
namespace {

const std::string csvHeader = "date_time,kind,acuity,logmar,mean_time_s,volume,distance_cm\r\n";
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
                                 "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200\r\n"
                                 "2013-03-02T12:00:00,check,1.00,0.00,,,200\r\n";
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
                         "2013-03-01T12:00:00,training,0.50,0.30,1.50,100,200\r\n"
                         "2013-03-02T12:00:00,training,0.60,0.22,1.50,100,200\r\n");
    EXPECT_EQ(r.err,
              "trelvan-report: trelvan.rez:4: date or time unreadable; reading stopped at this "
              "line, no rows from it on\n");

    writeBytes(dir.file("trelvan.rez"),
               journalOf({checkOn(1, 0.5f), trainingOn(2, 12.0f), checkOn(3, 0.7f)}));
    r = runReportProgram({"csv"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, csvHeader + "2013-03-01T12:00:00,check,0.50,0.30,,,200\r\n");
    EXPECT_EQ(r.err,
              "trelvan-report: trelvan.rez:3: values unreadable; reading stopped at this line, no "
              "rows from it on\n");
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

// --- chart -------------------------------------------------------------------------------

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
                  "       trelvan-report chart [JOURNAL] -o FILE.png\n"
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
        EXPECT_TRUE(contains(r.err, ": not a regular file\n")) << r.err;
    }
    EXPECT_FALSE(exists(dir.file("chart.png")));
}

}  // namespace
}  // namespace trelvan::testing
