// SPDX-License-Identifier: GPL-3.0-or-later
// The seed corpus of the fuzz targets and the inputs the fuzzers found, replayed through the
// readers with the targets' own checks: no crash, no stop where none belongs, and (in the
// sanitizer builds) no access outside the tables.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "harness.h"
#include "support/fresh_program.h"

namespace trelvan {
namespace {

namespace fs = std::filesystem;

const fs::path fuzzDir = fs::path(TRELVAN_SOURCE_DIR) / "fuzz";

std::string bytesOf(const fs::path& file) {
    return testing::readBytes(file.string());
}

const uint8_t* dataOf(const std::string& bytes) {
    return reinterpret_cast<const uint8_t*>(bytes.data());
}

// The files of fuzz/<kind>/<target>, sorted; none when the folder is missing.
std::vector<fs::path> inputs(const std::string& kind, const std::string& target) {
    std::vector<fs::path> files;
    const fs::path dir = fuzzDir / kind / target;
    if (!fs::is_directory(dir)) return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The targets' checks throw here instead of aborting the test program.
class FuzzChecks : public ::testing::Test {
  protected:
    FuzzChecks() {
        fuzz::setFailureHandler([](const char* what) { throw std::runtime_error(what); });
    }
    ~FuzzChecks() override { fuzz::setFailureHandler(nullptr); }
};

template <class Run>
void replayAll(const std::string& target, Run run) {
    for (const char* kind : {"corpus", "regressions"}) {
        for (const fs::path& file : inputs(kind, target)) {
            SCOPED_TRACE(file.string());
            const std::string bytes = bytesOf(file);
            EXPECT_NO_THROW(run(dataOf(bytes), bytes.size()));
        }
    }
}

// --- Every input of every target -------------------------------------------------------

using FuzzReplay = FuzzChecks;

GTEST_TEST_F(FuzzReplay, SeedCorpusIsThere) {
    for (const char* target : {"fields", "parameters", "symbols", "journal", "chart"}) {
        EXPECT_FALSE(inputs("corpus", target).empty()) << target;
    }
}

GTEST_TEST_F(FuzzReplay, Fields) {
    replayAll("fields", fuzz::fieldsInput);
}

GTEST_TEST_F(FuzzReplay, ParameterFile) {
    replayAll("parameters", fuzz::parametersInput);
}

GTEST_TEST_F(FuzzReplay, SymbolFile) {
    replayAll("symbols", fuzz::symbolsInput);
}

GTEST_TEST_F(FuzzReplay, Journal) {
    replayAll("journal", fuzz::journalInput);
}

GTEST_TEST_F(FuzzReplay, Chart) {
    replayAll("chart", [](const uint8_t* data, size_t size) {
        testing::FreshProgram dir;  // the chart reads trelvan.rez of the working directory
        fuzz::chartInput(data, size);
    });
}

// --- What the seed files read as -------------------------------------------------------

using FuzzSeeds = FuzzChecks;

ParameterSet parametersOf(const std::string& name) {
    const std::string bytes = bytesOf(fuzzDir / "corpus" / "parameters" / name);
    return fuzz::parametersInput(dataOf(bytes), bytes.size());
}

GTEST_TEST_F(FuzzSeeds, DefaultParameterFileReadsAsTheDefaults) {
    const ParameterSet defaults;
    for (const char* name : {"default.vvd", "lf-only.vvd", "no-comments.vvd", "no-last-end.vvd"}) {
        SCOPED_TRACE(name);
        const ParameterSet p = parametersOf(name);
        EXPECT_EQ(p.distanceCm, defaults.distanceCm);
        EXPECT_EQ(p.diagonalInch, defaults.diagonalInch);
        EXPECT_EQ(p.pixelsY, defaults.pixelsY);
        EXPECT_EQ(p.pixelsX, defaults.pixelsX);
        EXPECT_EQ(p.trainingVolume, defaults.trainingVolume);
        EXPECT_EQ(p.answerTimeSec, defaults.answerTimeSec);
        EXPECT_EQ(p.soundOn, defaults.soundOn);
    }
    // The seed is the very text the program writes for the defaults.
    EXPECT_EQ(bytesOf(fuzzDir / "corpus" / "parameters" / "default.vvd"),
              parameterFileText(defaults));
}

GTEST_TEST_F(FuzzSeeds, ParameterFileWithOtherValues) {
    const ParameterSet p = parametersOf("sound-off.vvd");
    EXPECT_FLOAT_EQ(p.distanceCm, 350.5f);
    EXPECT_FLOAT_EQ(p.diagonalInch, 21.5f);
    EXPECT_EQ(p.pixelsY, 1080);
    EXPECT_EQ(p.pixelsX, 1920);
    EXPECT_EQ(p.trainingVolume, 50);
    EXPECT_FLOAT_EQ(p.answerTimeSec, 150.0f);
    EXPECT_FALSE(p.soundOn);
}

GTEST_TEST_F(FuzzSeeds, UnreadableParameterLineKeepsItAndTheRestAtTheDefaults) {
    const ParameterSet p = parametersOf("bad-third.vvd");
    EXPECT_EQ(p.distanceCm, 200.0f);
    EXPECT_FLOAT_EQ(p.diagonalInch, 17.7f);
    EXPECT_EQ(p.pixelsY, 768);
    const ParameterSet short_ = parametersOf("short-lines.vvd");
    EXPECT_FLOAT_EQ(short_.distanceCm, 0.002f) << "\"2\" with three implied decimals";
    EXPECT_FLOAT_EQ(short_.diagonalInch, 0.001f);
    EXPECT_EQ(short_.pixelsY, 0) << "a blank field reads as 0";
    EXPECT_EQ(short_.pixelsX, 7);
    EXPECT_EQ(short_.trainingVolume, 100);
}

fuzz::SymbolsOutcome symbolsOf(const std::string& name) {
    const std::string bytes = bytesOf(fuzzDir / "corpus" / "symbols" / name);
    return fuzz::symbolsInput(dataOf(bytes), bytes.size());
}

GTEST_TEST_F(FuzzSeeds, SymbolFilesThatLoad) {
    for (const char* name :
         {"tiny.sym", "one-cell-each.sym", "empty-figures.sym", "negative-count.sym",
          "eleven-cells.sym", "lf-only.sym", "trailing-blocks.sym"}) {
        const fuzz::SymbolsOutcome outcome = symbolsOf(name);
        EXPECT_TRUE(outcome.loaded) << name << ": " << outcome.stop;
    }
}

GTEST_TEST_F(FuzzSeeds, SymbolFilesThatStopTheProgram) {
    const std::pair<const char*, const char*> cases[] = {
        {"too-many-cells.sym", "IJNOT"},
        {"cut-short.sym", "конец файла"},
        {"bad-offset.sym", "ошибка преобразования"},
        {"bad-count.sym", "ошибка преобразования"},
        {"empty.sym", "конец файла"},
    };
    for (const auto& [name, reason] : cases) {
        const fuzz::SymbolsOutcome outcome = symbolsOf(name);
        EXPECT_FALSE(outcome.loaded) << name;
        EXPECT_NE(outcome.stop.find(reason), std::string::npos) << name << ": " << outcome.stop;
    }
}

fuzz::JournalOutcome journalOf(const std::string& name) {
    const std::string bytes = bytesOf(fuzzDir / "corpus" / "journal" / name);
    return fuzz::journalInput(dataOf(bytes), bytes.size());
}

GTEST_TEST_F(FuzzSeeds, JournalsReadToTheirEndOrTheirFirstBadLine) {
    struct Case {
        const char* name;
        long lines;
        LineStatus status;
        long endLine;
    };
    const Case cases[] = {
        {"training-header.rez", 3, LineStatus::ok, 0},
        {"check-header.rez", 3, LineStatus::ok, 0},
        {"lf-only.rez", 3, LineStatus::ok, 0},
        {"long-line.rez", 2, LineStatus::ok, 0},
        {"far-dates.rez", 2, LineStatus::ok, 0},
        {"header-only.rez", 0, LineStatus::ok, 0},
        {"empty.rez", 0, LineStatus::ok, 0},
        {"bad-date.rez", 2, LineStatus::badDate, 3},
        {"bad-month.rez", 1, LineStatus::badDate, 2},
        {"bad-values.rez", 2, LineStatus::badValues, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fuzz::JournalOutcome outcome = journalOf(c.name);
        EXPECT_EQ(outcome.lines, c.lines);
        EXPECT_EQ(outcome.endStatus, c.status);
        EXPECT_EQ(outcome.endLine, c.endLine);
    }
}

}  // namespace
}  // namespace trelvan
