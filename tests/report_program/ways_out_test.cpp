// SPDX-License-Identifier: GPL-3.0-or-later
// trelvan-report where the system stands in its way: a file size limit on its output, and a
// journal that another program keeps locked. It must end with status 1 and a message, within
// seconds, and leave no temporary file.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <chrono>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "report_process.h"
#include "support/lock_holder.h"
#include "support/temp_dir.h"

namespace trelvan::testing {
namespace {

std::string journalOfDays(int days) {
    std::string text = trainingHeader() + "\r\n";
    for (int day = 1; day <= days; ++day) {
        text += trainingEntryLine(day, 3, 2013, 12, 0, 0, 0.5f, 1.5f, 100, 200.0f);
    }
    return text;
}

GTEST_TEST(ReportWaysOut, FileSizeLimitIsAFailedWriteNotAKilledProcess) {
    // Under a limit of 200 bytes the PNG and the CSV of ten entries do not fit; the write
    // used to end the process with SIGXFSZ, leaving the temporary file and saying nothing.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("trelvan.rez"), journalOfDays(10));

    ReportOutcome r =
        runReportProgram({"chart", "-o", "out.png"}, dir.path(), "prlimit --fsize=200");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trelvan-report: cannot write out.png: File too large\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"trelvan.rez"}) << "no temporary file";

    r = runReportProgram({"csv"}, dir.path(), "prlimit --fsize=200");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "trelvan-report: cannot write the CSV: File too large\n");
    EXPECT_EQ(r.out.size(), 200u) << "what fitted";
}

GTEST_TEST(ReportWaysOut, JournalLockedByAnotherProgramIsStatusOneAfterTheWait) {
    // An exclusive lock kept by another program used to make both commands wait for ever.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string journal = dir.file("trelvan.rez");
    writeBytes(journal, journalOfDays(3));
    LockHolder holder(journal, LOCK_EX);
    ASSERT_TRUE(holder.held());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"csv"}, std::vector<std::string>{"chart", "-o", "out.png"}}) {
        const auto start = std::chrono::steady_clock::now();
        const ReportOutcome r = runReportProgram(args, dir.path(), "timeout 30");
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err,
                  "trelvan-report: cannot read the journal trelvan.rez: locked by another "
                  "program for more than 5 s\n")
            << args[0];
        EXPECT_GE(took, std::chrono::seconds(5)) << args[0];
        EXPECT_LT(took, std::chrono::seconds(15)) << args[0];
    }
    EXPECT_EQ(dir.names(), std::vector<std::string>{"trelvan.rez"});

    // A shared lock, as another reader takes, does not hold the commands up.
    holder.release();
    LockHolder reader(journal, LOCK_SH);
    ASSERT_TRUE(reader.held());
    const ReportOutcome r = runReportProgram({"csv"}, dir.path(), "timeout 30");
    EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
}  // namespace trelvan::testing
