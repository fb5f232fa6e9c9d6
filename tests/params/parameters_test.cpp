// The parameter file and the parameter dialog, answered by a scripted user.
#include "params/parameters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/dialog.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace trelvan::testing {
namespace {

const std::string kDefaultFile = cp1251(
    "200.000  (дальность в сантиметрах)\r\n"
    " 17.700  (диагональ дисплея в дюймах)\r\n"
    "    768  (разрешение экрана, пикселей по Y)\r\n"
    "   1024  (разрешение экрана, пикселей по X)\r\n"
    "    100  (объем тренировки)\r\n"
    "600.000  (время на ответ в секундах)\r\n"
    "      T  (признак включения звука)\r\n");

class ParameterDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.ok());
        old = ::getcwd(nullptr, 0);
        ASSERT_EQ(::chdir(dir.path().c_str()), 0);
        setGraphicsWindow(&window);
        window.OPENUSER(1, "t");
        parameterSet = ParameterSet{};
    }
    void TearDown() override {
        setGraphicsWindow(nullptr);
        if (old != nullptr) {
            EXPECT_EQ(::chdir(old), 0);
            free(old);
        }
    }

    // Runs VVDALND with the user's answer; returns the stop, if the program stopped.
    std::optional<ProgramExit> run(std::function<void(Dialog&)> user) {
        window.dialogHandler = [this, user](Dialog& d) {
            shown = d;
            user(d);
        };
        try {
            VVDALND();
        } catch (const ProgramExit& e) {
            return e;
        }
        return std::nullopt;
    }

    static std::string text(Dialog& d, int id) {
        std::string t;
        DLGGET(d, id, t);
        return t;
    }

    TempDir dir;
    char* old = nullptr;
    HeadlessWindow window;
    Dialog shown;
};

void start(Dialog& d) {
    pressDialogButton(d, 1);
}

TEST_F(ParameterDialog, NoFileShowsDefaultsAndStartWritesTheSevenLines) {
    auto stop = run(start);
    EXPECT_FALSE(stop);
    EXPECT_EQ(text(shown, 1000), " 200.0");
    EXPECT_EQ(text(shown, 1001), " 17.70");
    EXPECT_EQ(text(shown, 1002), " 768");
    EXPECT_EQ(text(shown, 1003), "1024");
    EXPECT_EQ(text(shown, 1004), " 100");
    EXPECT_EQ(text(shown, 1), cp1251("Начать работу"));
    EXPECT_EQ(text(shown, 2), cp1251("Выйти из программы"));
    EXPECT_TRUE(shown.states[1007]);
    EXPECT_EQ(readBytes(dir.file("trelvan.vvd")), kDefaultFile);
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 200.0f);
    EXPECT_EQ(parameterSet.trainingVolume, 100);
}

TEST_F(ParameterDialog, ShortFileFillsTheRestWithDefaults) {
    writeBytes(dir.file("trelvan.vvd"), "350.000  a\r\n 21.500\r\n   1080  c\r\n");
    run(start);
    EXPECT_EQ(text(shown, 1000), " 350.0");
    EXPECT_EQ(text(shown, 1001), " 21.50");
    EXPECT_EQ(text(shown, 1002), "1080");
    EXPECT_EQ(text(shown, 1003), "1024");
    std::string file = readBytes(dir.file("trelvan.vvd"));
    EXPECT_EQ(file.substr(0, 7), "350.000");
    EXPECT_NE(file.find(cp1251("\r\n   1080  (разрешение экрана, пикселей по Y)\r\n")),
              std::string::npos);
    EXPECT_NE(file.find(cp1251("600.000  (время на ответ в секундах)\r\n")), std::string::npos);
}

TEST_F(ParameterDialog, UnreadableLineEndsTheReadingThere) {
    writeBytes(dir.file("trelvan.vvd"),
               "150.000\r\n abc\r\n    800\r\n    900\r\n     10\r\n 10.000\r\n      F\r\n");
    run(start);
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 150.0f);
    EXPECT_FLOAT_EQ(parameterSet.diagonalInch, 17.7f);
    EXPECT_EQ(parameterSet.pixelsY, 768);
    EXPECT_TRUE(parameterSet.soundOn);
    EXPECT_FLOAT_EQ(parameterSet.answerTimeSec, 600.0f) << "the answer time in line 6 is lost";
}

TEST_F(ParameterDialog, AnswerTimeIsCarriedThroughUnchanged) {
    std::string file = kDefaultFile;
    file.replace(file.find("600.000"), 7, " 10.000");
    file.replace(file.find("      T"), 7, "      F");
    writeBytes(dir.file("trelvan.vvd"), file);
    run(start);
    EXPECT_FALSE(shown.states[1007]);
    EXPECT_EQ(readBytes(dir.file("trelvan.vvd")), file);
}

TEST_F(ParameterDialog, LargeDistanceIsUsedNowAndFallsBackNextTime) {
    auto stop = run([](Dialog& d) {
        DLGSET(d, 1000, "1500");
        pressDialogButton(d, 1);
    });
    EXPECT_FALSE(stop);
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 1500.0f);
    std::string file = readBytes(dir.file("trelvan.vvd"));
    EXPECT_EQ(file.substr(0, 7), "*******");
    parameterSet = ParameterSet{};
    run(start);
    EXPECT_EQ(text(shown, 1000), " 200.0") << "line 1 fails: every field takes its default";
}

TEST_F(ParameterDialog, ReadBackTakesTenCharactersEmptyIsZeroAndPointsAreOptional) {
    run([](Dialog& d) {
        DLGSET(d, 1000, "18");
        DLGSET(d, 1001, "  15.6");
        DLGSET(d, 1002, "");
        DLGSET(d, 1003, "12345678901234");
        DLGSET(d, 1004, "0");
        DLGSETLOG(d, 1007, false);
        pressDialogButton(d, 1);
    });
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 18.0f);
    EXPECT_FLOAT_EQ(parameterSet.diagonalInch, 15.6f);
    EXPECT_EQ(parameterSet.pixelsY, 0);
    EXPECT_EQ(parameterSet.pixelsX, 1234567890) << "only the first ten characters";
    EXPECT_EQ(parameterSet.trainingVolume, 0);
    EXPECT_FALSE(parameterSet.soundOn);
}

TEST_F(ParameterDialog, FieldThatIsNotANumberKeepsTheDialogOpenAndMarked) {
    int presses = 0;
    auto stop = run([&](Dialog& d) {
        DLGSET(d, 1000, "2 m");
        DLGSET(d, 1003, "****");
        EXPECT_FALSE(pressDialogButton(d, 1)) << "the dialog stays open";
        ++presses;
        EXPECT_TRUE(d.marked[1000]);
        EXPECT_TRUE(d.marked[1003]);
        EXPECT_FALSE(d.marked[1001]);
        DLGSET(d, 1000, "300");
        DLGSET(d, 1003, "1280");
        EXPECT_TRUE(pressDialogButton(d, 1));
        EXPECT_FALSE(d.marked[1000]);
    });
    EXPECT_FALSE(stop);
    EXPECT_EQ(presses, 1);
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 300.0f);
    EXPECT_EQ(parameterSet.pixelsX, 1280);
}

TEST_F(ParameterDialog, QuitEndsTheProgramAndLeavesTheFile) {
    writeBytes(dir.file("trelvan.vvd"), "my own file\r\n");
    auto stop = run([](Dialog& d) {
        DLGSET(d, 1000, "999");
        pressDialogButton(d, 2);
    });
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->status, 0);
    EXPECT_TRUE(stop->message.empty());
    EXPECT_EQ(readBytes(dir.file("trelvan.vvd")), "my own file\r\n");
    EXPECT_FALSE(window.unitOpen());
}

TEST_F(ParameterDialog, DialogThatCannotRunCountsAsQuit) {
    window.dialogHandler = nullptr;
    try {
        VVDALND();
        FAIL() << "the program goes on without a confirmed start";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status, 0);
    }
    EXPECT_FALSE(exists(dir.file("trelvan.vvd")));
}

TEST_F(ParameterDialog, UnwritableFileIsReportedAndTheWorkGoesOn) {
    ASSERT_EQ(::mkdir(dir.file("trelvan.vvd").c_str(), 0700), 0);  // a directory in its place
    auto stop = run([](Dialog& d) {
        DLGSET(d, 1004, "7");
        pressDialogButton(d, 1);
    });
    EXPECT_FALSE(stop);
    EXPECT_EQ(parameterSet.trainingVolume, 7) << "the confirmed values are used";
    // Told twice: the file could not be read, and it could not be written.
    ASSERT_EQ(window.messages().size(), 2u);
    EXPECT_NE(
        window.messages()[0].find("Не удалось прочитать файл параметров trelvan.vvd: это каталог"),
        std::string::npos)
        << window.messages()[0];
    EXPECT_NE(window.messages()[1].find("trelvan.vvd"), std::string::npos);
}

TEST_F(ParameterDialog, FifoInPlaceOfTheFileIsReportedWithoutWaitingAndLeftAlone) {
    ASSERT_EQ(::mkfifo(dir.file("trelvan.vvd").c_str(), 0600), 0);
    const ChildResult child = runInChild([this](int out) {
        const auto stop = run([](Dialog& d) {
            DLGSET(d, 1004, "7");
            pressDialogButton(d, 1);
        });
        for (const std::string& message : window.messages()) sendText(out, message + "\n");
        return !stop && parameterSet.trainingVolume == 7 ? 0 : 1;
    });
    EXPECT_EQ(child.status, 0) << child.output;
    EXPECT_NE(child.output.find("Не удалось прочитать файл параметров trelvan.vvd: это не "
                                "обычный файл"),
              std::string::npos)
        << child.output;
    struct stat info {};
    ASSERT_EQ(::lstat(dir.file("trelvan.vvd").c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(ParameterDialog, FileBehindASymbolicLinkIsRewrittenAndTheLinkKept) {
    ASSERT_EQ(::mkdir(dir.file("settings").c_str(), 0700), 0);
    writeBytes(dir.file("settings/trelvan.vvd"), "  150.0\r\n");
    ASSERT_EQ(::symlink("settings/trelvan.vvd", dir.file("trelvan.vvd").c_str()), 0);
    auto stop = run([](Dialog& d) {
        EXPECT_EQ(text(d, 1000), " 150.0");
        DLGSET(d, 1004, "7");
        pressDialogButton(d, 1);
    });
    EXPECT_FALSE(stop);
    struct stat info {};
    ASSERT_EQ(::lstat(dir.file("trelvan.vvd").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ParameterSet again;
    EXPECT_EQ(readParameterFile(dir.file("trelvan.vvd"), again), 0);
    EXPECT_EQ(again.distanceCm, 150.0f);
    EXPECT_EQ(again.trainingVolume, 7);
    EXPECT_TRUE(window.messages().empty());
}

TEST_F(ParameterDialog, FileTheOwnerCannotReadIsReportedAndWrittenReadable) {
    if (permissionsAreIgnored(dir)) GTEST_SKIP() << "permissions do not apply to this user";
    writeBytes(dir.file("trelvan.vvd"), "  150.0\r\n");
    ASSERT_EQ(::chmod(dir.file("trelvan.vvd").c_str(), 0200), 0);
    auto stop = run(start);
    EXPECT_FALSE(stop);
    ASSERT_EQ(window.messages().size(), 1u);
    EXPECT_NE(window.messages()[0].find("нет доступа"), std::string::npos);
    ParameterSet again;
    again.distanceCm = 1.0f;
    EXPECT_EQ(readParameterFile(dir.file("trelvan.vvd"), again), 0);
    EXPECT_EQ(again.distanceCm, 200.0f) << "the confirmed values are read back next time";
}

GTEST_TEST(ParameterFile, LayoutOfEveryLine) {
    ParameterSet p;
    EXPECT_EQ(parameterFileText(p), kDefaultFile);
    p.distanceCm = -5.5f;
    p.soundOn = false;
    p.trainingVolume = 12345678;
    std::string text = parameterFileText(p);
    EXPECT_EQ(text.substr(0, 7), " -5.500");
    EXPECT_NE(text.find("*******  ("), std::string::npos);
    EXPECT_NE(text.find("      F  ("), std::string::npos);
}

}  // namespace
}  // namespace trelvan::testing
