// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/symbols.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"
#include "support/fresh_program.h"
#include "support/null_window.h"

namespace trelvan {
namespace {

namespace fs = std::filesystem;

struct Cell {
    int r = 0;
    int q = 0;
};
using Figure = std::vector<Cell>;

// Right-justified integer in w columns.
std::string field(long value, int w) {
    std::string text = std::to_string(value);
    return std::string(size_t(std::max(0, w - int(text.size()))), ' ') + text;
}

std::string countLine(long n, const std::string& label = "figure") {
    std::string line = label;
    line.resize(16, ' ');
    return line + field(n, 8) + "\r\n";
}

// The 20I4 lines of a figure; a figure without cells gets the one line its block needs.
std::string offsetLines(const Figure& cells, const std::string& emptyLine = "") {
    if (cells.empty()) return emptyLine + "\r\n";
    std::string text;
    for (size_t j = 0; j < cells.size(); ++j) {
        text += field(cells[j].r, 4) + field(cells[j].q, 4);
        if (j % 10 == 9 || j + 1 == cells.size()) text += "\r\n";
    }
    return text;
}

std::string block(const Figure& cells) {
    return countLine(long(cells.size())) + offsetLines(cells);
}

// Figure s of the standard test file: s cells with offsets that tell figure and cell apart.
Figure standardFigure(int s) {
    Figure cells;
    for (int j = 1; j <= s; ++j) cells.push_back({100 * s + j, 10 * s + j});
    return cells;
}

std::string standardBlocks(int from, int to) {
    std::string text;
    for (int s = from; s <= to; ++s) text += block(standardFigure(s));
    return text;
}

// A fresh directory for the files of one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        std::random_device seed;
        path_ = fs::temp_directory_path() /
                ("trelvan-symbols-" + std::to_string(::getpid()) + "-" + std::to_string(seed()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out << bytes;
        return file(name);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// One load with a window installed whose fatal stop throws.
struct Loader {
    fakes::NullWindow window;
    fakes::WindowGuard guard{window};
    std::unique_ptr<SymbolTable> table = std::make_unique<SymbolTable>();

    // Loads and expects success.
    void load(const std::string& path) {
        try {
            loadSymbolTable(path, *table);
        } catch (const ProgramExit& stop) {
            FAIL() << "load stopped: " << stop.message;
        }
    }
    // Loads and expects a fatal stop; returns its message.
    std::string loadStops(const std::string& path) {
        try {
            loadSymbolTable(path, *table);
        } catch (const ProgramExit& stop) {
            EXPECT_NE(stop.status, 0);
            return stop.message;
        }
        ADD_FAILURE() << "load of " << path << " did not stop";
        return "";
    }
};

void expectFigure(const SymbolTable& table, int s, const Figure& cells) {
    ASSERT_EQ(table.NOTDIM[s - 1], int(cells.size())) << "figure " << s;
    for (size_t j = 0; j < cells.size(); ++j) {
        EXPECT_EQ(table.IJNOT(int(j) + 1, 1, s), cells[j].r) << "figure " << s << " cell " << j + 1;
        EXPECT_EQ(table.IJNOT(int(j) + 1, 2, s), cells[j].q) << "figure " << s << " cell " << j + 1;
    }
}

void expectStandardFigures(const SymbolTable& table, int from, int to) {
    for (int s = from; s <= to; ++s) expectFigure(table, s, standardFigure(s));
}

Figure numberedCells(int n, int base) {
    Figure cells;
    for (int j = 1; j <= n; ++j) cells.push_back({base + 2 * j, base + 2 * j + 1});
    return cells;
}

// --- Layout of the blocks ------------------------------------------------------------------

GTEST_TEST(SymbolFileLayout, ReadsNineBlocksInOrder) {
    TempDir dir;
    Loader loader;
    loader.load(dir.write("trelvan.sym", standardBlocks(1, 9)));
    expectStandardFigures(*loader.table, 1, 9);
}

GTEST_TEST(SymbolFileLayout, ThirteenCellsUseAFullLineAndASixValueLine) {
    TempDir dir;
    const Figure cells = numberedCells(13, 500);
    const std::string text = offsetLines(cells);
    // The layout the test relies on: 80 columns, then 24 columns.
    ASSERT_EQ(text.find("\r\n"), 80u);
    ASSERT_EQ(text.size(), 80u + 2u + 24u + 2u);
    Loader loader;
    loader.load(dir.write("trelvan.sym", countLine(13) + text + standardBlocks(2, 9)));
    expectFigure(*loader.table, 1, cells);
    expectStandardFigures(*loader.table, 2, 9);
}

GTEST_TEST(SymbolFileLayout, TenCellsUseExactlyOneLine) {
    TempDir dir;
    const Figure cells = numberedCells(10, 300);
    Loader loader;
    loader.load(
        dir.write("trelvan.sym", standardBlocks(1, 3) + block(cells) + standardBlocks(5, 9)));
    expectFigure(*loader.table, 4, cells);
    expectStandardFigures(*loader.table, 5, 9);
}

GTEST_TEST(SymbolFileLayout, EmptyFigureConsumesOneLineWhoseContentIsIgnored) {
    TempDir dir;
    const std::string ignored = "this line is not read as numbers 12345678901234567890";
    Loader loader;
    loader.load(dir.write("trelvan.sym", standardBlocks(1, 4) + countLine(0) +
                                             offsetLines({}, ignored) + standardBlocks(6, 9)));
    EXPECT_EQ(loader.table->NOTDIM[4], 0);
    expectStandardFigures(*loader.table, 1, 4);
    expectStandardFigures(*loader.table, 6, 9);
}

GTEST_TEST(SymbolFileLayout, NegativeCountReadsNoOffsetsAndConsumesOneLine) {
    TempDir dir;
    Loader loader;
    loader.load(dir.write("trelvan.sym", standardBlocks(1, 8) + countLine(-3) +
                                             offsetLines({}, "  -1  -2  -3  -4  -5  -6")));
    EXPECT_EQ(loader.table->NOTDIM[8], -3);
    expectStandardFigures(*loader.table, 1, 8);
}

GTEST_TEST(SymbolFileLayout, CountStandsInColumns17To24AfterIgnoredCharacters) {
    TempDir dir;
    // Digits, signs and Windows-1251 letters in the first 16 columns, text after column 24.
    const std::string label = "-99 +7 \xD6\xE8\xF4\xF0\xE0 x=1";
    ASSERT_EQ(label.size(), 16u);
    const std::string text = label + "00000012" + " 77 trailing text\r\n" +
                             offsetLines(numberedCells(12, 40)) + standardBlocks(2, 9);
    Loader loader;
    loader.load(dir.write("trelvan.sym", text));
    expectFigure(*loader.table, 1, numberedCells(12, 40));
    expectStandardFigures(*loader.table, 2, 9);
}

GTEST_TEST(SymbolFileLayout, BlankOrMissingCountColumnsReadZero) {
    TempDir dir;
    const std::string text = std::string(24, ' ') + "\r\n" + "\r\n" +  // figure 1: all blank
                             "figure 2\r\n" + "\r\n" +                 // figure 2: short line
                             standardBlocks(3, 9);
    Loader loader;
    loader.table->NOTDIM[0] = loader.table->NOTDIM[1] = 77;
    loader.load(dir.write("trelvan.sym", text));
    EXPECT_EQ(loader.table->NOTDIM[0], 0);
    EXPECT_EQ(loader.table->NOTDIM[1], 0);
    expectStandardFigures(*loader.table, 3, 9);
}

GTEST_TEST(SymbolFileLayout, OffsetFieldsFollowTheIntegerFieldRules) {
    TempDir dir;
    // Cells: (" 1 2", "  -5"), ("+ 30", "    "), then a line that ends after one value.
    const std::string offsets = " 1 2  -5+ 30    " + std::string("  42") + "\r\n";
    Loader loader;
    loader.load(dir.write("trelvan.sym", countLine(3) + offsets + standardBlocks(2, 9)));
    expectFigure(*loader.table, 1, {{12, -5}, {30, 0}, {42, 0}});
    expectStandardFigures(*loader.table, 2, 9);
}

GTEST_TEST(SymbolFileLayout, ValuesAfterTheLastCellOfALineAreNotRead) {
    TempDir dir;
    // Two cells need four values; the rest of the line is neither used nor checked.
    Loader loader;
    loader.load(dir.write("trelvan.sym",
                          countLine(2) + "   1   2   3   4 not read\r\n" + standardBlocks(2, 9)));
    expectFigure(*loader.table, 1, {{1, 2}, {3, 4}});
}

GTEST_TEST(SymbolFileLayout, LinesAfterTheNinthBlockAreNotRead) {
    TempDir dir;
    Loader loader;
    loader.load(dir.write(
        "trelvan.sym", standardBlocks(1, 9) + "garbage xx\r\n" + countLine(999999) + "\r\n\r\n"));
    expectStandardFigures(*loader.table, 1, 9);
}

GTEST_TEST(SymbolFileLayout, AcceptsLfLineEndsAndAMissingFinalLineEnd) {
    TempDir dir;
    std::string text = standardBlocks(1, 9);
    std::string lf;
    for (char c : text) {
        if (c != '\r') lf += c;
    }
    lf.pop_back();  // no line end after the last offset line
    Loader loader;
    loader.load(dir.write("trelvan.sym", lf));
    expectStandardFigures(*loader.table, 1, 9);
}

GTEST_TEST(SymbolFileLayout, TakesTheFullCapacityOfTenThousandCells) {
    TempDir dir;
    Figure cells;
    for (int j = 1; j <= kMaxCells; ++j) cells.push_back({j % 9973, (j * 7) % 9901});
    Loader loader;
    loader.load(dir.write("trelvan.sym", block(cells) + standardBlocks(2, 9)));
    expectFigure(*loader.table, 1, cells);
    expectStandardFigures(*loader.table, 2, 9);
}

GTEST_TEST(SymbolFileLayout, DefaultLoadReadsTrelvanSymOfTheWorkingDirectory) {
    testing::FreshProgram fresh;
    testing::writeBytes("trelvan.sym", standardBlocks(1, 9));
    fakes::NullWindow window;
    fakes::WindowGuard guard(window);
    try {
        loadSymbolTable();
    } catch (const ProgramExit& stop) {
        ADD_FAILURE() << "load stopped: " << stop.message;
    }
    expectStandardFigures(symbolTable, 1, 9);
}

// --- Failures ------------------------------------------------------------------------------

GTEST_TEST(SymbolFileFailures, MissingFileIsCreatedEmptyAndStopsAtEndOfFile) {
    TempDir dir;
    const std::string path = dir.file("trelvan.sym");
    Loader loader;
    const std::string message = loader.loadStops(path);
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("unit 14"), std::string::npos) << message;
    EXPECT_NE(message.find("конец файла"), std::string::npos) << message;
    EXPECT_NE(message.find("число клеток, фигура 1"), std::string::npos) << message;
    ASSERT_TRUE(fs::exists(path));
    EXPECT_EQ(fs::file_size(path), 0u);
}

GTEST_TEST(SymbolFileFailures, EmptyFileStopsWithoutChangingIt) {
    TempDir dir;
    const std::string path = dir.write("trelvan.sym", "");
    Loader loader;
    EXPECT_NE(loader.loadStops(path).find("конец файла"), std::string::npos);
    EXPECT_EQ(fs::file_size(path), 0u);
}

GTEST_TEST(SymbolFileFailures, FileThatCannotBeOpenedStopsNamingIt) {
    TempDir dir;
    // A directory of that name can be neither read as a file nor created.
    fs::create_directory(dir.path() / "trelvan.sym");
    Loader loader;
    const std::string message = loader.loadStops(dir.file("trelvan.sym"));
    EXPECT_NE(message.find("trelvan.sym (unit 14)"), std::string::npos) << message;
}

GTEST_TEST(SymbolFileFailures, FifoOrDeviceInPlaceOfTheFileStopsAtOnceNamingIt) {
    // A FIFO without a writer would block the program; /dev/zero is one endless line.
    TempDir dir;
    const std::string fifo = dir.file("trelvan.sym");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = dir.file("zero.sym");
    fs::create_symlink("/dev/zero", zero);
    for (const std::string& path : {fifo, zero}) {
        const testing::ChildResult child = testing::runInChild(
            [&path](int out) {
                Loader loader;
                testing::sendText(out, loader.loadStops(path));
                return 0;
            },
            3);
        EXPECT_EQ(child.status, 0) << path;
        EXPECT_NE(child.output.find(path + " (unit 14)"), std::string::npos) << child.output;
        EXPECT_NE(child.output.find("это не обычный файл"), std::string::npos) << child.output;
    }
}

GTEST_TEST(SymbolFileFailures, TooFewBlocksStopAtTheMissingCount) {
    TempDir dir;
    Loader loader;
    const std::string message = loader.loadStops(dir.write("trelvan.sym", standardBlocks(1, 8)));
    EXPECT_NE(message.find("unit 14"), std::string::npos) << message;
    EXPECT_NE(message.find("конец файла при чтении: число клеток, фигура 9"), std::string::npos)
        << message;
}

GTEST_TEST(SymbolFileFailures, BlockCutShortStopsAtTheMissingOffsets) {
    TempDir dir;
    // Figure 3 announces 13 cells but its second offset line is missing.
    const std::string cut =
        standardBlocks(1, 2) + countLine(13) + offsetLines(numberedCells(10, 0));
    Loader loader;
    const std::string message = loader.loadStops(dir.write("trelvan.sym", cut));
    EXPECT_NE(message.find("конец файла при чтении: смещения клеток, фигура 3"), std::string::npos)
        << message;
}

GTEST_TEST(SymbolFileFailures, EmptyBlockWithoutItsOffsetLineStops) {
    TempDir dir;
    Loader loader;
    const std::string message =
        loader.loadStops(dir.write("trelvan.sym", standardBlocks(1, 8) + countLine(0)));
    EXPECT_NE(message.find("конец файла при чтении: смещения клеток, фигура 9"), std::string::npos)
        << message;
}

GTEST_TEST(SymbolFileFailures, CountThatIsNotANumberStopsWithItsLine) {
    TempDir dir;
    // Figure 1 takes lines 1-2 and figure 2 lines 3-4, so the bad count is on line 5.
    const std::string text = standardBlocks(1, 2) + "figure 3             1x\r\n";
    Loader loader;
    const std::string message = loader.loadStops(dir.write("trelvan.sym", text));
    EXPECT_NE(message.find("unit 14"), std::string::npos) << message;
    EXPECT_NE(message.find("ошибка преобразования: число клеток, фигура 3, строка 5"),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("\"     1x \""), std::string::npos) << message;
}

GTEST_TEST(SymbolFileFailures, OffsetThatIsNotANumberStops) {
    const char* badFields[] = {" 1.5", "   x", " 1-2", "   +", "--1 ", "1e2 ", "\t  1"};
    for (const char* bad : badFields) {
        SCOPED_TRACE(std::string("field \"") + bad + "\"");
        TempDir dir;
        // The bad field is the row of cell 12: line 3 of the file, columns 5-8.
        const std::string text = countLine(12) + offsetLines(numberedCells(10, 0)) + "   0" + bad +
                                 "   0   0\r\n" + standardBlocks(2, 9);
        Loader loader;
        const std::string message = loader.loadStops(dir.write("trelvan.sym", text));
        EXPECT_NE(message.find("ошибка преобразования: смещения клеток, фигура 1, строка 3, "
                               "колонки 5-8"),
                  std::string::npos)
            << message;
    }
}

GTEST_TEST(SymbolFileFailures, CountAboveCapacityStopsInRussianNamingTheFileAndIJNOT) {
    TempDir dir;
    Loader loader;
    const std::string path =
        dir.write("trelvan.sym", standardBlocks(1, 5) + countLine(78901234) + "   1   2\r\n");
    const std::string message = loader.loadStops(path);
    // Figures 1 to 5 take a count line and one offset line each: figure 6 counts on line 11.
    EXPECT_EQ(message, "Файл " + path +
                           " (unit 14): число клеток, фигура 6, строка 11: 78901234 больше "
                           "наибольшего возможного 10000 (таблица IJNOT)");
}

GTEST_TEST(SymbolFileFailures, LinkToNoFileIsReportedAndNothingIsMadeThroughIt) {
    TempDir dir;
    Loader loader;
    const std::string link = dir.file("trelvan.sym");
    ASSERT_EQ(::symlink("elsewhere.sym", link.c_str()), 0);
    EXPECT_NE(loader.loadStops(link).find("символическая ссылка ведёт к несуществующему файлу"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.file("elsewhere.sym"))) << "no file made through the link";

    ASSERT_EQ(::unlink(link.c_str()), 0);
    ASSERT_EQ(::symlink("trelvan.sym", link.c_str()), 0);  // a loop
    EXPECT_NE(loader.loadStops(link).find("слишком много символических ссылок"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

// --- The supplied figures ----------------------------------------------------------------

constexpr int kWindowWidth = 980;
constexpr int kWindowHeight = 650;
constexpr int kFieldTop = 20;  // rows above belong to the status bars
constexpr float kPositions[2] = {20.0f, 450.0f};

int figureXoff(float position, int s) {
    return int(position / float(s)) * s;
}

const SymbolTable& shippedTable() {
    static const std::unique_ptr<SymbolTable> table = [] {
        Loader loader;
        loader.load(std::string(TRELVAN_SOURCE_DIR) + "/resources/trelvan.sym");
        return std::move(loader.table);
    }();
    return *table;
}

GTEST_TEST(ShippedFigures, FileIsReadableAndEveryFigureHasCells) {
    for (int s = 1; s <= 9; ++s) {
        EXPECT_GT(shippedTable().NOTDIM[s - 1], 0) << "figure " << s;
        EXPECT_LT(shippedTable().NOTDIM[s - 1], kMaxCells) << "figure " << s;
    }
}

GTEST_TEST(ShippedFigures, FileHasCrLfLineEnds) {
    std::ifstream in(std::string(TRELVAN_SOURCE_DIR) + "/resources/trelvan.sym", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(bytes.empty());
    size_t lines = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\n') continue;
        ++lines;
        ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "line " << lines;
    }
    EXPECT_EQ(bytes.back(), '\n');
}

GTEST_TEST(ShippedFigures, CellsLieInTheFieldAtBothPositions) {
    for (int s = 1; s <= 9; ++s) {
        const int step = 2 * s;
        for (int j = 1; j <= shippedTable().NOTDIM[s - 1]; ++j) {
            const int r = shippedTable().IJNOT(j, 1, s);
            const int q = shippedTable().IJNOT(j, 2, s);
            SCOPED_TRACE("figure " + std::to_string(s) + " cell " + std::to_string(j));
            // Pixels r + 1 .. r + 2s and q + xoff + 1 .. q + xoff + 2s.
            ASSERT_GE(r, kFieldTop);
            ASSERT_LE(r + step, kWindowHeight - 1);
            ASSERT_GE(q, 0);
            for (float position : kPositions) {
                ASSERT_LE(q + figureXoff(position, s) + step, kWindowWidth - 1);
            }
        }
    }
}

GTEST_TEST(ShippedFigures, EachCopyStaysInItsHalfOfTheWindow) {
    for (int s = 1; s <= 9; ++s) {
        int qMin = kWindowWidth, qMax = 0;
        for (int j = 1; j <= shippedTable().NOTDIM[s - 1]; ++j) {
            qMin = std::min(qMin, shippedTable().IJNOT(j, 2, s));
            qMax = std::max(qMax, shippedTable().IJNOT(j, 2, s));
        }
        const int left = figureXoff(kPositions[0], s);
        const int right = figureXoff(kPositions[1], s);
        EXPECT_LT(qMax + left + 2 * s, kWindowWidth / 2) << "figure " << s;
        EXPECT_GE(qMin + right + 1, kWindowWidth / 2) << "figure " << s;
    }
}

GTEST_TEST(ShippedFigures, DigitsHaveAboutTheSameHeightAtEverySize) {
    constexpr int kField = kWindowHeight - kFieldTop;
    for (int s = 1; s <= 9; ++s) {
        int rMin = kWindowHeight, rMax = 0;
        for (int j = 1; j <= shippedTable().NOTDIM[s - 1]; ++j) {
            rMin = std::min(rMin, shippedTable().IJNOT(j, 1, s));
            rMax = std::max(rMax, shippedTable().IJNOT(j, 1, s));
        }
        const int height = rMax + 2 * s - rMin;
        EXPECT_GE(3 * height, kField) << "figure " << s << " is " << height << " pixels tall";
        EXPECT_LE(2 * height, kField) << "figure " << s << " is " << height << " pixels tall";
    }
}

GTEST_TEST(ShippedFigures, CellsTileAGridOfTheirOwnSizeWithoutOverlap) {
    // Cells on a 2s grid join into one unbroken checker; an overlap would break it.
    for (int s = 1; s <= 9; ++s) {
        const int step = 2 * s;
        const int n = shippedTable().NOTDIM[s - 1];
        ASSERT_GT(n, 0);
        const int r0 = shippedTable().IJNOT(1, 1, s);
        const int q0 = shippedTable().IJNOT(1, 2, s);
        std::vector<std::pair<int, int>> seen;
        for (int j = 1; j <= n; ++j) {
            const int r = shippedTable().IJNOT(j, 1, s);
            const int q = shippedTable().IJNOT(j, 2, s);
            EXPECT_EQ(((r - r0) % step + step) % step, 0) << "figure " << s << " cell " << j;
            EXPECT_EQ(((q - q0) % step + step) % step, 0) << "figure " << s << " cell " << j;
            seen.emplace_back(r, q);
        }
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "figure " << s;
    }
}

}  // namespace
}  // namespace trelvan
