// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/textfile.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace trelvan {
namespace {

using testing::ChildResult;
using testing::exists;
using testing::permissionsAreIgnored;
using testing::readBytes;
using testing::runInChild;
using testing::sendText;
using testing::TempDir;
using testing::writeBytes;

// --- Code page ---------------------------------------------------------------------------

GTEST_TEST(Cp1251, RussianLettersAndAsciiByByte) {
    EXPECT_EQ(cp1251("Дата"), "\xC4\xE0\xF2\xE0");
    EXPECT_EQ(cp1251("ОЗп="), "\xCE\xC7\xEF=");
    EXPECT_EQ(cp1251("ОЗи="), "\xCE\xC7\xE8=");
    EXPECT_EQ(cp1251("Ая"), "\xC0\xFF");
    EXPECT_EQ(cp1251("ПРрс"), "\xCF\xD0\xF0\xF1");
    EXPECT_EQ(cp1251("t(c) 1.0\r\n"), "t(c) 1.0\r\n");
}

GTEST_TEST(Cp1251, PunctuationAndLettersOutsideTheAlphabetBlock) {
    EXPECT_EQ(cp1251("Ёё"), "\xA8\xB8");
    EXPECT_EQ(cp1251("№"), "\xB9");
    EXPECT_EQ(cp1251("«»"), "\xAB\xBB");
    EXPECT_EQ(cp1251("–—"), "\x96\x97");
    EXPECT_EQ(cp1251("„“”‘’‚"), "\x84\x93\x94\x91\x92\x82");
    EXPECT_EQ(cp1251("…•€™°±§©"), "\x85\x95\x88\x99\xB0\xB1\xA7\xA9");
    EXPECT_EQ(cp1251("ЄєІіЇїҐґЎў"), "\xAA\xBA\xB2\xB3\xAF\xBF\xA5\xB4\xA1\xA2");
    EXPECT_EQ(cp1251("\u00A0"), "\xA0");
}

GTEST_TEST(Cp1251, CharactersWithoutAByteBecomeQuestionMarks) {
    EXPECT_EQ(cp1251("é"), "?");
    EXPECT_EQ(cp1251("a✓b"), "a?b");
    EXPECT_EQ(cp1251("😀"), "?");  // four-byte sequence: one character, one mark
    EXPECT_EQ(cp1251("中文"), "??");
}

GTEST_TEST(Cp1251, MalformedUtf8BecomesQuestionMarks) {
    EXPECT_EQ(cp1251("\xFF"), "?");
    EXPECT_EQ(cp1251("a\xD0"), "a?");               // cut short at the end
    EXPECT_EQ(cp1251("\xD0x"), "?x");               // lead byte without continuation
    EXPECT_EQ(cp1251("\x80"), "?");                 // stray continuation byte
    EXPECT_EQ(cp1251("\xC0\xAF"), "??");            // overlong '/'
    EXPECT_EQ(cp1251("\xED\xA0\x80"), "???");       // surrogate
    EXPECT_EQ(cp1251("\xF4\x90\x80\x80"), "????");  // beyond U+10FFFF
}

GTEST_TEST(Cp1251, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = utf8FromCp1251(all);
    EXPECT_EQ(cp1251(utf8), all);
    // Only ASCII stays one byte; every upper byte is a two- or three-byte character.
    EXPECT_GE(utf8.size(), 128u + 128u * 2u);
}

GTEST_TEST(Cp1251, DecodingAgreesWithTheSystemConverter) {
    iconv_t converter = iconv_open("UTF-8", "CP1251");
    if (converter == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1251 in iconv";
    for (int b = 0x80; b <= 0xFF; ++b) {
        if (b == 0x98) continue;  // no character in the code page
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = 1;
        size_t outLeft = sizeof out;
        ASSERT_NE(iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1))
            << "byte " << b;
        EXPECT_EQ(utf8FromCp1251(std::string(1, in[0])), std::string(out, outPtr)) << "byte " << b;
    }
    iconv_close(converter);
}

GTEST_TEST(Cp1251, DecodesToReadableUtf8) {
    EXPECT_EQ(utf8FromCp1251("\xCE\xC7\xEF="), "ОЗп=");
    EXPECT_EQ(utf8FromCp1251("\xA8\xB8\xB9"), "Ёё№");
    EXPECT_EQ(utf8FromCp1251("plain"), "plain");
}

// --- Line input --------------------------------------------------------------------------

std::vector<std::string> allLines(const std::string& path, size_t maxLine = 1u << 20) {
    LineInput input(path, maxLine);
    std::vector<std::string> lines;
    while (std::optional<std::string> line = input.next()) lines.push_back(*line);
    return lines;
}

using Lines = std::vector<std::string>;

GTEST_TEST(LineInput, CrLfAndLfLineEnds) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("a.txt"), "one\r\ntwo\nthree\r\n");
    EXPECT_EQ(allLines(dir.file("a.txt")), (Lines{"one", "two", "three"}));
}

GTEST_TEST(LineInput, LastLineWithoutLineEnd) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("a.txt"), "one\r\nlast");
    EXPECT_EQ(allLines(dir.file("a.txt")), (Lines{"one", "last"}));
    writeBytes(dir.file("b.txt"), "one\r\nlast\r");
    EXPECT_EQ(allLines(dir.file("b.txt")), (Lines{"one", "last"}));
}

GTEST_TEST(LineInput, EmptyFileAndEmptyLines) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("empty"), "");
    EXPECT_EQ(allLines(dir.file("empty")), Lines{});
    writeBytes(dir.file("blank"), "\r\n");
    EXPECT_EQ(allLines(dir.file("blank")), Lines{""});
    writeBytes(dir.file("gaps"), "a\n\n\r\nb\n");
    EXPECT_EQ(allLines(dir.file("gaps")), (Lines{"a", "", "", "b"}));
}

GTEST_TEST(LineInput, ByteContentIsKept) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("a.txt"), std::string("a\rb\0c\xFF\r\n", 8));
    EXPECT_EQ(allLines(dir.file("a.txt")), Lines{std::string("a\rb\0c\xFF", 6)});
}

GTEST_TEST(LineInput, LongLinesAreCutAndTheRestSkipped) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("a.txt"), "abcdefgh\r\nxy\r\n12345\r\n1234\r\n123456");
    EXPECT_EQ(allLines(dir.file("a.txt"), 5), (Lines{"abcde", "xy", "12345", "1234", "12345"}));
}

GTEST_TEST(LineInput, CarriageReturnCutAtTheLimitIsNotALineEnd) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    // The fourth byte is a CR inside the line; the line is cut after it.
    writeBytes(dir.file("a.txt"), "abc\rdef\r\nz\n");
    EXPECT_EQ(allLines(dir.file("a.txt"), 4), (Lines{"abc\r", "z"}));
}

// The view of a line is what the copy holds, for lines inside one part of the file read, lines
// running on into the next part, lines cut at the limit and CRs anywhere.
GTEST_TEST(LineInput, ViewsAndCopiesGiveTheSameLines) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string text;
    uint32_t state = 24;
    const auto next = [&state](uint32_t below) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % below;
    };
    const char bytes[] = {'a', '7', ' ', '\r', '\xCE'};
    while (text.size() < 300000) {
        const uint32_t length = next(4) == 0 ? 110 + next(20) : next(200);
        for (uint32_t i = 0; i < length; ++i) text += bytes[next(sizeof bytes)];
        if (next(3) == 0) text += '\r';
        text += '\n';
    }
    text += "last\r";
    writeBytes(dir.file("a.txt"), text);
    for (const size_t maxLine : {size_t{120}, size_t{1} << 20}) {
        LineInput copies(dir.file("a.txt"), maxLine);
        LineInput views(dir.file("a.txt"), maxLine);
        std::string copy;
        std::string_view view;
        long lines = 0;
        while (copies.next(copy)) {
            ASSERT_TRUE(views.next(view)) << "line " << copies.lineNumber();
            ASSERT_EQ(view, copy) << "line " << copies.lineNumber();
            ASSERT_EQ(views.lineNumber(), copies.lineNumber());
            ++lines;
        }
        EXPECT_FALSE(views.next(view));
        EXPECT_EQ(copy, "last");
        EXPECT_GT(lines, 2000);
    }
}

GTEST_TEST(LineInput, CountsLinesAndReportsAMissingFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("a.txt"), "x\r\ny\r\n");
    LineInput input(dir.file("a.txt"));
    ASSERT_TRUE(input.isOpen());
    EXPECT_EQ(input.lineNumber(), 0);
    input.next();
    input.next();
    EXPECT_EQ(input.lineNumber(), 2);
    EXPECT_EQ(input.next(), std::nullopt);
    EXPECT_EQ(input.lineNumber(), 2);

    LineInput missing(dir.file("missing"));
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.next(), std::nullopt);
}

GTEST_TEST(LineInput, KeepsTheErrorOfAFailedOpenOrRead) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    writeBytes(dir.file("a.txt"), "x\r\n");
    LineInput good(dir.file("a.txt"));
    while (good.next()) {
    }
    EXPECT_EQ(good.error(), 0) << "the end of the file is no error";

    LineInput missing(dir.file("missing"));
    EXPECT_EQ(missing.error(), ENOENT);

    // A directory opens for reading, but the first read fails: no lines, and the reason.
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0700), 0);
    LineInput directory(dir.file("sub"));
    EXPECT_EQ(directory.next(), std::nullopt);
    EXPECT_EQ(directory.error(), EISDIR);
}

GTEST_TEST(LineInput, OnlyARegularFileIsReadAndNothingWaits) {
    // A FIFO without a writer would block the open; /dev/zero has neither lines nor an end.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero").c_str()), 0);
    for (const char* name : {"fifo", "zero"}) {
        const std::string path = dir.file(name);
        const ChildResult child = runInChild([&path](int) {
            LineInput input(path);
            const bool noLines = !input.next();
            return noLines && !input.isOpen() && input.error() == notRegularFile ? 0 : 1;
        });
        EXPECT_EQ(child.status, 0) << name;
    }
    EXPECT_EQ(errorReason(notRegularFile), "это не обычный файл");
}

GTEST_TEST(LineInput, AnyReadableFileTakesAPipeToItsEnd) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const std::string longLine(100000, 'x');  // more than a pipe holds at once
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        ::close(pipeEnds[0]);
        sendText(pipeEnds[1], "header\r\n" + longLine + "\r\nlast");
        _exit(0);
    }
    ::close(pipeEnds[1]);
    {
        LineInput input("/dev/fd/" + std::to_string(pipeEnds[0]), 1u << 20, FileKind::anyReadable);
        ASSERT_TRUE(input.isOpen()) << input.error();
        EXPECT_EQ(input.next(), "header");
        EXPECT_EQ(input.next(), longLine);
        EXPECT_EQ(input.next(), "last");
        EXPECT_EQ(input.next(), std::nullopt);
        EXPECT_EQ(input.error(), 0);
    }
    ::close(pipeEnds[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(writer, &status, 0), writer);
}

// --- Failure helpers ----------------------------------------------------------------------

// Lowers the file size limit of this process for one scope, so that writes beyond it fail
// (short write, then EFBIG) even where permissions do not apply.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ok_ = ::getrlimit(RLIMIT_FSIZE, &previous_) == 0;
        rlimit lowered = previous_;
        lowered.rlim_cur = bytes;
        ok_ = ok_ && ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    bool ok() const { return ok_; }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool ok_ = false;
};

// --- Whole-file replacement ---------------------------------------------------------------

GTEST_TEST(WriteFileAtomically, CreatesAndReplacesLeavingNoTemporaryFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.vvd");
    std::string error = "untouched";
    EXPECT_EQ(writeFileAtomically(path, "first\r\n", &error), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "first\r\n");
    EXPECT_EQ(writeFileAtomically(path, "2\r\n", &error), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "2\r\n");
    EXPECT_EQ(writeFileAtomically(path, ""), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"trelvan.vvd"});
    EXPECT_EQ(error, "untouched");
}

GTEST_TEST(WriteFileAtomically, KeepsThePermissionsOfTheReplacedFile) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("p");
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(writeFileAtomically(path, "new"), WriteResult::ok);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

GTEST_TEST(WriteFileAtomically, OwnerCanAlwaysReadTheNewFileBack) {
    // A file the owner could not read would be ignored at the next start; the rest of its
    // permissions stay.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("p");
    for (const mode_t mode : {0000u, 0200u, 0440u, 0604u}) {
        writeBytes(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_EQ(writeFileAtomically(path, "new"), WriteResult::ok);
        struct stat info {};
        ASSERT_EQ(::stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode | 0600u) << std::oct << mode;
    }
}

GTEST_TEST(WriteFileAtomically, SymbolicLinkStaysAndTheFileItLeadsToIsReplaced) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(::mkdir(dir.file("elsewhere").c_str(), 0700), 0);
    const std::string target = dir.file("elsewhere/params");
    const std::string link = dir.file("trelvan.vvd");
    writeBytes(target, "old");
    ASSERT_EQ(::symlink("elsewhere/params", link.c_str()), 0);
    ASSERT_EQ(writeFileAtomically(link, "new"), WriteResult::ok);
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readBytes(target), "new");
    EXPECT_EQ(dir.names().size(), 2u) << "no temporary file left beside the link";

    // A link to a file not there is followed to no file: nothing is made through it, and the
    // link stays as it was.
    ASSERT_EQ(::unlink(target.c_str()), 0);
    int error = 0;
    std::string text;
    EXPECT_EQ(writeFileAtomically(link, "newer", &text, &error), WriteResult::failed);
    EXPECT_EQ(error, danglingLink);
    EXPECT_EQ(text, "Не удалось записать файл " + link +
                        ": символическая ссылка ведёт к несуществующему файлу");
    EXPECT_FALSE(testing::exists(target));
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.names().size(), 2u);

    // A loop of links is left as it is, not replaced by a file.
    ASSERT_EQ(::unlink(link.c_str()), 0);
    ASSERT_EQ(::symlink("trelvan.vvd", link.c_str()), 0);
    EXPECT_EQ(writeFileAtomically(link, "loop", nullptr, &error), WriteResult::failed);
    EXPECT_EQ(error, ELOOP);
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(dir.names().size(), 2u);
}

GTEST_TEST(WriteFileAtomically, NeverReplacesAFifoOrADevice) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/null", dir.file("null").c_str()), 0);
    for (const char* name : {"fifo", "null"}) {
        std::string error;
        EXPECT_EQ(writeFileAtomically(dir.file(name), "x", &error), WriteResult::failed) << name;
        EXPECT_NE(error.find("это не обычный файл"), std::string::npos) << error;
    }
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
    EXPECT_EQ(dir.names().size(), 2u);
}

GTEST_TEST(WriteFileAtomically, MissingDirectoryFailsWithAReason) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("no-such-dir/p");
    std::string error;
    EXPECT_EQ(writeFileAtomically(path, "x", &error), WriteResult::failed);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("нет такого файла или каталога"), std::string::npos) << error;
    EXPECT_FALSE(exists(path));
}

GTEST_TEST(WriteFileAtomically, FailedWriteLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("p");
    writeBytes(path, "old content\r\n");
    std::string error;
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.ok());
        EXPECT_EQ(writeFileAtomically(path, std::string(1000, 'n'), &error), WriteResult::failed);
    }
    EXPECT_EQ(readBytes(path), "old content\r\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"p"});
    EXPECT_NE(error.find("файл слишком велик"), std::string::npos) << error;
}

GTEST_TEST(WriteFileAtomically, CannotReplaceADirectory) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("sub");
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    writeBytes(path + "/inside", "keep");
    std::string error;
    EXPECT_EQ(writeFileAtomically(path, "x", &error), WriteResult::failed);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(readBytes(path + "/inside"), "keep");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"sub"});
    ::unlink((path + "/inside").c_str());
}

GTEST_TEST(WriteFileAtomically, ReadOnlyDirectoryFails) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    if (permissionsAreIgnored(dir)) GTEST_SKIP() << "permissions do not apply to this user";
    const std::string path = dir.file("p");
    writeBytes(path, "old");
    ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
    std::string error;
    EXPECT_EQ(writeFileAtomically(path, "new", &error), WriteResult::failed);
    EXPECT_NE(error.find("нет доступа"), std::string::npos) << error;
    EXPECT_EQ(readBytes(path), "old");
}

// --- Appending ----------------------------------------------------------------------------

GTEST_TEST(AppendToFile, HeaderOnlyWhenTheFileIsNewOrEmpty) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("trelvan.rez");
    EXPECT_EQ(appendToFile(path, "H\r\n", "one\r\n"), WriteResult::ok);
    EXPECT_EQ(appendToFile(path, "H\r\n", "two\r\n"), WriteResult::ok);
    EXPECT_EQ(appendToFile(path, "other\r\n", "three\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "H\r\none\r\ntwo\r\nthree\r\n");

    const std::string empty = dir.file("empty.rez");
    writeBytes(empty, "");
    EXPECT_EQ(appendToFile(empty, "H\r\n", "one\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(empty), "H\r\none\r\n");
}

GTEST_TEST(AppendToFile, LastLineWithoutLineEndIsEndedInTheSameWrite) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    // A hand edit dropped the last line end: the new text still starts a line of its own.
    writeBytes(path, "header\r\nhand edited");
    EXPECT_EQ(appendToFile(path, "H\r\n", "entry\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "header\r\nhand edited\r\nentry\r\n");
    // A CR alone at the end gets its LF; LF alone is a line end already.
    writeBytes(path, "header\r\nhand edited\r");
    EXPECT_EQ(appendToFile(path, "H\r\n", "entry\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "header\r\nhand edited\r\nentry\r\n");
    writeBytes(path, "header\nhand edited\n");
    EXPECT_EQ(appendToFile(path, "H\r\n", "entry\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "header\nhand edited\nentry\r\n");
}

GTEST_TEST(AppendToFile, MissingDirectoryFailsWithAReason) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("no-such-dir/trelvan.rez");
    std::string error;
    EXPECT_EQ(appendToFile(path, "H\r\n", "x\r\n", &error), WriteResult::failed);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("нет такого файла или каталога"), std::string::npos) << error;
}

GTEST_TEST(AppendToFile, DirectoryInPlaceOfTheFileFails) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    std::string error;
    EXPECT_EQ(appendToFile(dir.path(), "H\r\n", "x\r\n", &error), WriteResult::failed);
    EXPECT_NE(error.find("это каталог"), std::string::npos) << error;
}

GTEST_TEST(AppendToFile, PseudoFileSystemRefusesANewFile) {
    std::string error;
    EXPECT_EQ(appendToFile("/proc/self/trelvan.rez", "H\r\n", "x\r\n", &error),
              WriteResult::failed);
    EXPECT_FALSE(error.empty());
}

GTEST_TEST(AppendToFile, OnlyARegularFileIsAppendedTo) {
    // A FIFO nobody reads, and links to devices that swallow or refuse everything: the append
    // fails at once, saying so, and leaves them as they were.
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", dir.file("zero").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/full", dir.file("full").c_str()), 0);
    for (const char* name : {"fifo", "zero", "full"}) {
        const std::string path = dir.file(name);
        const ChildResult child = runInChild([&path](int out) {
            std::string error;
            const WriteResult result = appendToFile(path, "H\r\n", "entry\r\n", &error);
            sendText(out, error);
            return result == WriteResult::failed ? 0 : 1;
        });
        EXPECT_EQ(child.status, 0) << name << ": " << child.output;
        EXPECT_NE(child.output.find("это не обычный файл"), std::string::npos) << child.output;
    }
    struct stat info {};
    ASSERT_EQ(::lstat(dir.file("fifo").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

GTEST_TEST(AppendToFile, ShortWriteIsCutBackToTheOldLength) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    writeBytes(path, "header\r\nentry 1\r\n");  // 17 bytes
    std::string error;
    {
        FileSizeLimit limit(25);  // room for 8 of the next 20 bytes
        ASSERT_TRUE(limit.ok());
        EXPECT_EQ(appendToFile(path, "H\r\n", "entry 2 is too long\r\n", &error),
                  WriteResult::failed);
    }
    EXPECT_EQ(readBytes(path), "header\r\nentry 1\r\n");
    EXPECT_FALSE(error.empty());
    // The file still takes the next entry whole.
    EXPECT_EQ(appendToFile(path, "H\r\n", "entry 3\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "header\r\nentry 1\r\nentry 3\r\n");
}

GTEST_TEST(AppendToFile, FileCreatedForAFailedWriteIsRemoved) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    const std::string path = dir.file("j");
    std::string error;
    {
        FileSizeLimit limit(4);
        ASSERT_TRUE(limit.ok());
        EXPECT_EQ(appendToFile(path, "header\r\n", "entry\r\n", &error), WriteResult::failed);
    }
    EXPECT_FALSE(exists(path));
    // Next time the header is written, as for any new file.
    EXPECT_EQ(appendToFile(path, "header\r\n", "entry\r\n"), WriteResult::ok);
    EXPECT_EQ(readBytes(path), "header\r\nentry\r\n");
}

GTEST_TEST(AppendToFile, ReadOnlyFileAndDirectoryFail) {
    TempDir dir;
    ASSERT_TRUE(dir.ok());
    if (permissionsAreIgnored(dir)) GTEST_SKIP() << "permissions do not apply to this user";
    const std::string existing = dir.file("j");
    writeBytes(existing, "header\r\n");
    ASSERT_EQ(::chmod(existing.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
    std::string error;
    EXPECT_EQ(appendToFile(existing, "H\r\n", "x\r\n", &error), WriteResult::failed);
    EXPECT_NE(error.find("нет доступа"), std::string::npos) << error;
    EXPECT_EQ(readBytes(existing), "header\r\n");
    error.clear();
    EXPECT_EQ(appendToFile(dir.file("new"), "H\r\n", "x\r\n", &error), WriteResult::failed);
    EXPECT_NE(error.find("нет доступа"), std::string::npos) << error;
}

}  // namespace
}  // namespace trelvan
