// SPDX-License-Identifier: GPL-3.0-or-later
// Appends whose writer died half-way: the mark an append leaves on the file until its text is
// on the disk, what readers make of a marked file, and how the next append cuts the remains
// off. The states are made by hand as a killed writer leaves them; the journal's kill test
// (tests/journal) makes them with real kills.
#include <gtest/gtest.h>
#include <sys/xattr.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/textfile.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::readBytes;
using testing::TempDir;
using testing::writeBytes;

// In the build tree rather than the system's temporary directory, which may lie on a file
// system without extended attributes.
constexpr const char* kScratch = "./";

// What a writer killed during its append leaves: the file as it was, the part of the text
// that reached it, and the mark holding the old length (or the given mark text).
bool leaveUnfinishedAppend(const std::string& path, const std::string& before,
                           const std::string& partial, std::string mark = "") {
    writeBytes(path, before + partial);
    if (mark.empty()) mark = std::to_string(before.size());
    return ::setxattr(path.c_str(), appendMarkName, mark.data(), mark.size(), 0) == 0;
}

bool marked(const std::string& path) {
    return ::getxattr(path.c_str(), appendMarkName, nullptr, 0) >= 0;
}

std::vector<std::string> lines(const std::string& path) {
    std::vector<std::string> result;
    LineInput input(path);
    while (const std::optional<std::string> line = input.next()) result.push_back(*line);
    return result;
}

GTEST_TEST(UnfinishedAppend, ReadersStopWhereItBeganAndTheNextAppendCutsItOff) {
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    if (!leaveUnfinishedAppend(path, "H\r\nentry 1\r\n", "entry 2 was cu"))
        GTEST_SKIP() << "no extended attributes on this file system";

    EXPECT_EQ(lines(path), (std::vector<std::string>{"H", "entry 1"}));
    EXPECT_EQ(appendToFile(path, "X\r\n", "entry 3\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "H\r\nentry 1\r\nentry 3\r\n");
    EXPECT_FALSE(marked(path));
    EXPECT_EQ(lines(path), (std::vector<std::string>{"H", "entry 1", "entry 3"}));
}

GTEST_TEST(UnfinishedAppend, WholeTextStillMarkedWasNeverAppended) {
    // The writer died after its write and before the mark went: it never learnt that its
    // text arrived, so the text does not count.
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    if (!leaveUnfinishedAppend(path, "H\r\nentry 1\r\n", "entry 2\r\n"))
        GTEST_SKIP() << "no extended attributes on this file system";

    EXPECT_EQ(lines(path), (std::vector<std::string>{"H", "entry 1"}));
    EXPECT_EQ(appendToFile(path, "X\r\n", "entry 3\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "H\r\nentry 1\r\nentry 3\r\n");
}

GTEST_TEST(UnfinishedAppend, FileWhoseFirstAppendDiedStartsAgainWithTheHeader) {
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    if (!leaveUnfinishedAppend(path, "", "Header\r\nent"))
        GTEST_SKIP() << "no extended attributes on this file system";

    EXPECT_TRUE(lines(path).empty());
    EXPECT_EQ(appendToFile(path, "Header\r\n", "entry\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "Header\r\nentry\r\n");
    EXPECT_FALSE(marked(path));
}

GTEST_TEST(UnfinishedAppend, MarkThatIsNoLengthIsDroppedWithoutCutting) {
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    for (const std::string& mark : std::vector<std::string>{"12x", "-1", std::string(40, '7')}) {
        const std::string path = dir.file("j");
        if (!leaveUnfinishedAppend(path, "H\r\nentry 1\r\n", "", mark))
            GTEST_SKIP() << "no extended attributes on this file system";
        EXPECT_EQ(lines(path).size(), 2u) << mark;
        EXPECT_EQ(appendToFile(path, "X\r\n", "entry 2\r\n"), WriteResult::ok) << mark;
        EXPECT_EQ(readBytes(path), "H\r\nentry 1\r\nentry 2\r\n") << mark;
        EXPECT_FALSE(marked(path)) << mark;
    }
}

GTEST_TEST(UnfinishedAppend, MarkBeyondTheEndCutsNothing) {
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    if (!leaveUnfinishedAppend(path, "H\r\nentry 1\r\n", "", "999"))
        GTEST_SKIP() << "no extended attributes on this file system";
    EXPECT_EQ(lines(path).size(), 2u);
    EXPECT_EQ(appendToFile(path, "X\r\n", "entry 2\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "H\r\nentry 1\r\nentry 2\r\n");
}

GTEST_TEST(UnfinishedAppend, AppendsFromTwoThreadsNeverCutEachOtherOff) {
    // Each append marks the file while it writes; another writer must not take that mark
    // for the remains of a dead one.
    constexpr int kEach = 60;
    TempDir dir(kScratch);
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    if (!leaveUnfinishedAppend(dir.file("probe"), "", ""))
        GTEST_SKIP() << "no extended attributes on this file system";
    auto writer = [&path](char name) {
        for (int i = 0; i < kEach; ++i) {
            const std::string line = std::string(1, name) + std::to_string(i) + "\r\n";
            EXPECT_EQ(appendToFile(path, "H\r\n", line), WriteResult::ok);
        }
    };
    std::thread a(writer, 'a');
    std::thread b(writer, 'b');
    a.join();
    b.join();

    const std::vector<std::string> all = lines(path);
    ASSERT_EQ(all.size(), 1u + 2 * kEach);
    EXPECT_EQ(all[0], "H");
    int nextA = 0, nextB = 0;
    for (size_t i = 1; i < all.size(); ++i) {
        if (all[i] == "a" + std::to_string(nextA))
            ++nextA;
        else if (all[i] == "b" + std::to_string(nextB))
            ++nextB;
        else
            ADD_FAILURE() << "line " << i << ": " << all[i];
    }
    EXPECT_FALSE(marked(path));
}

}  // namespace
}  // namespace trelvan
