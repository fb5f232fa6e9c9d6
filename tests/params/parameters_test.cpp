// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file and the parameter dialog, answered by a scripted user.
#include "params/parameters.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "platform/dialog.h"
#include "platform/headless_window.h"
#include "platform/textfile.h"
#include "support/child_process.h"
#include "support/fresh_program.h"
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
        setGraphicsWindow(&window);
        window.OPENUSER(1, "t");
    }
    void TearDown() override { setGraphicsWindow(nullptr); }

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

    FreshProgram dir;
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

TEST_F(ParameterDialog, ValuesTheFileCannotHoldOrTheExercisesCannotUseAreRefused) {
    struct Case {
        int id;
        const char* text;
        const char* explanation;
    };
    const Case cases[] = {
        {1000, "1200", "Нужно больше 0, меньше 1000"},  // F7.3 would write asterisks
        {1000, "999.9996", "Нужно больше 0, меньше 1000"},
        {1000, "0", "Нужно больше 0, меньше 1000"},
        {1000, "-200", "Нужно больше 0, меньше 1000"},
        {1000, "0.0004", "Нужно больше 0, меньше 1000"},  // stored as 0.000
        {1001, "", "Нужно больше 0, меньше 1000"},        // an empty field reads as 0
        {1002, "0", "Нужно от 1 до 9999"},
        {1003, "10000", "Нужно от 1 до 9999"},  // the dialog shows I4
        {1004, "", "Нужно от 1 до 999999"},
        {1004, "1000000", "Нужно от 1 до 999999"},  // the journal holds I6
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " \"" + c.text + "\"");
        resetProgramState();
        int refused = 0;
        auto stop = run([&](Dialog& d) {
            DLGSET(d, c.id, c.text);
            if (!pressDialogButton(d, 1)) ++refused;
            EXPECT_TRUE(d.marked[c.id]);
            EXPECT_EQ(d.labels[c.id + 10], c.explanation);
            EXPECT_EQ(d.focusRequest, c.id);
            DLGSET(d, c.id, "999");
            dialogFieldEdited(d, c.id);
            EXPECT_FALSE(d.marked[c.id]);
            EXPECT_EQ(d.labels[c.id + 10], "");
            EXPECT_TRUE(pressDialogButton(d, 1));
        });
        EXPECT_FALSE(stop);
        EXPECT_EQ(refused, 1);
        // What was started with reads back whole: no field falls back to its default.
        ParameterSet again;
        again.soundOn = false;
        ParameterFileStop where;
        EXPECT_EQ(readParameterFile(dir.file("trelvan.vvd"), again, &where), 0);
        EXPECT_EQ(where.line, 0);
        EXPECT_TRUE(again.soundOn);
    }
    // The largest values that fit.
    run([](Dialog& d) {
        DLGSET(d, 1000, "999.999");
        DLGSET(d, 1001, "0.001");
        DLGSET(d, 1002, "9999");
        DLGSET(d, 1004, "999999");
        EXPECT_TRUE(pressDialogButton(d, 1));
    });
    EXPECT_EQ(readBytes(dir.file("trelvan.vvd")).substr(0, 7), "999.999");
    EXPECT_EQ(parameterSet.trainingVolume, 999999);
}

TEST_F(ParameterDialog, FileReadOnlyInPartSaysWhichLineStoppedIt) {
    // Line 1 in asterisks, as an earlier version wrote a distance of 1000 cm or more: the
    // reading stops there and every field shows its default, as before.
    std::string file = kDefaultFile;
    file.replace(0, 7, "*******");
    file.replace(file.find(cp1251("    100  (")), 7, "     25");
    writeBytes(dir.file("trelvan.vvd"), file);
    run(start);
    EXPECT_EQ(text(shown, 1000), " 200.0");
    EXPECT_EQ(text(shown, 1004), " 100") << "the reading rule is kept";
    EXPECT_EQ(shown.labels[1022],
              "Файл trelvan.vvd: строка 1 не читается — значения с дальности "
              "и дальше взяты по умолчанию");
    // Rewritten whole, the file reads to its end next time.
    run(start);
    EXPECT_EQ(shown.labels[1022], "");

    writeBytes(dir.file("trelvan.vvd"), "350.000  a\r\n 21.500\r\n   1080  c\r\n");
    run(start);
    EXPECT_EQ(shown.labels[1022],
              "Файл trelvan.vvd: нет строки 4 — значения с разрешения по X "
              "и дальше взяты по умолчанию");
    EXPECT_EQ(parameterFileNote(ParameterFileStop{}), "");
}

TEST_F(ParameterDialog, ReadBackTakesTenCharactersAndPointsAreOptional) {
    run([](Dialog& d) {
        DLGSET(d, 1000, "18");
        DLGSET(d, 1001, "  15.6");
        DLGSET(d, 1003, "1280      9");
        DLGSET(d, 1004, "7");
        DLGSETLOG(d, 1007, false);
        EXPECT_TRUE(pressDialogButton(d, 1));
    });
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 18.0f);
    EXPECT_FLOAT_EQ(parameterSet.diagonalInch, 15.6f);
    EXPECT_EQ(parameterSet.pixelsX, 1280) << "only the first ten characters";
    EXPECT_EQ(parameterSet.trainingVolume, 7);
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
    // The file is named once.
    EXPECT_EQ(window.messages()[1],
              "Не удалось записать файл параметров trelvan.vvd: это каталог.\nПрограмма "
              "продолжит работу с введёнными значениями.");
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

TEST_F(ParameterDialog, LinkThatLeadsToNoFileIsReportedAndNothingIsMadeThroughIt) {
    // As for the journal and the figures: a link to no file, or a loop of links, is neither
    // used to make a file nor replaced by one.
    const std::string path = dir.file("trelvan.vvd");
    for (const char* target : {"settings/gone.vvd", "trelvan.vvd"}) {
        SCOPED_TRACE(target);
        const size_t first = window.messages().size();
        ::unlink(path.c_str());
        ASSERT_EQ(::symlink(target, path.c_str()), 0);
        const auto stop = run([](Dialog& d) {
            DLGSET(d, 1004, "7");
            pressDialogButton(d, 1);
        });
        EXPECT_FALSE(stop);
        EXPECT_EQ(parameterSet.trainingVolume, 7) << "the confirmed values are used";
        const std::string reason = std::string(target) == "trelvan.vvd"
                                       ? "слишком много символических ссылок"
                                       : "символическая ссылка ведёт к несуществующему файлу";
        ASSERT_EQ(window.messages().size(), first + 2);
        EXPECT_EQ(window.messages()[first],
                  "Не удалось прочитать файл параметров trelvan.vvd: " + reason +
                      ".\nНепрочитанные значения заменены значениями по умолчанию.");
        EXPECT_EQ(window.messages()[first + 1],
                  "Не удалось записать файл параметров trelvan.vvd: " + reason +
                      ".\nПрограмма продолжит работу с введёнными значениями.");
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link stays a link";
        EXPECT_FALSE(exists(dir.file("settings/gone.vvd")));
    }
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

// --- The screen, the pixel grid and the ruler ------------------------------------------------

// Stands in for the vision check's rule: shows the values it was given.
std::string echoNote(float distanceCm, float diagonalInch, int32_t windowWidth,
                     int32_t windowHeight, int32_t pixelsX, int32_t pixelsY) {
    char text[128];
    std::snprintf(text, sizeof text, "%.2f %.2f %dx%d %dx%d", distanceCm, diagonalInch, windowWidth,
                  windowHeight, pixelsX, pixelsY);
    return text;
}

const ScreenReport kScreen{1280, 1024, 376.0, 301.0};  // a 19" screen

TEST_F(ParameterDialog, FirstStartTakesTheScreensResolutionAndSizeAndShowsTheScreen) {
    window.screen = kScreen;
    run([](Dialog& d) {
        const std::string screen =
            "Экран по данным системы: 1280 × 1024 пикселей, 376 × 301 мм, 19.0″";
        EXPECT_EQ(d.labels[1020], screen + "\nдиагональ по данным системы — проверьте линейкой");
        DLGSET(d, 1001, "19.5");
        dialogFieldEdited(d, 1001);
        EXPECT_EQ(d.labels[1020], screen) << "a diagonal of the user's own";
        DLGSET(d, 1001, " 18.96");
        dialogFieldEdited(d, 1001);
        EXPECT_NE(d.labels[1020], screen);
        pressDialogButton(d, 1);
    });
    EXPECT_EQ(text(shown, 1002), "1024");
    EXPECT_EQ(text(shown, 1003), "1280");
    // sqrt(376^2 + 301^2) mm = 18.96 inches.
    EXPECT_FLOAT_EQ(parameterSet.diagonalInch, 18.96f);
    // Not at a later start: the file's diagonal stays.
    window.screen = ScreenReport{1280, 1024, 300.0, 240.0};
    run(start);
    EXPECT_EQ(text(shown, 1001), " 18.96");
    EXPECT_EQ(shown.labels[1020],
              "Экран по данным системы: 1280 × 1024 пикселей, 300 × 240 мм, 15.1″");
}

TEST_F(ParameterDialog, FirstStartKeepsTheDefaultDiagonalWithoutAPlausibleSize) {
    // 100 pixels per inch: the size Qt makes up for an output that reports none.
    window.screen = ScreenReport{1280, 1024, 325.0, 260.0};
    run(start);
    EXPECT_EQ(text(shown, 1001), " 17.70");
    EXPECT_EQ(shown.labels[1020], "Экран по данным системы: 1280 × 1024 пикселей");
    EXPECT_EQ(text(shown, 1003), "1280");
    EXPECT_FALSE(shown.marked[1002]);
    EXPECT_FALSE(shown.marked[1003]);
    std::string file = kDefaultFile;
    file.replace(file.find(cp1251("    768  (")), 7, "   1024");
    file.replace(file.find(cp1251("   1024  (разрешение экрана, пикселей по X)")), 7, "   1280");
    EXPECT_EQ(readBytes(dir.file("trelvan.vvd")), file);
}

TEST_F(ParameterDialog, ResolutionOtherThanTheScreensIsMarkedWhileItDiffers) {
    window.screen = kScreen;
    writeBytes(dir.file("trelvan.vvd"), kDefaultFile);
    run([](Dialog& d) {
        EXPECT_TRUE(d.marked[1002]);
        EXPECT_TRUE(d.marked[1003]);
        EXPECT_FALSE(d.marked[1000]);
        EXPECT_EQ(d.labels[1020],
                  "Экран по данным системы: 1280 × 1024 пикселей, 376 × 301 мм, 19.0″\n"
                  "разрешение в полях Nx, Ny другое — проверьте его");
        DLGSET(d, 1003, "1280");
        dialogFieldEdited(d, 1003);
        EXPECT_FALSE(d.marked[1003]);
        EXPECT_TRUE(d.marked[1002]);
        DLGSET(d, 1002, "1024");
        dialogFieldEdited(d, 1002);
        EXPECT_FALSE(d.marked[1002]);
        EXPECT_EQ(d.labels[1020],
                  "Экран по данным системы: 1280 × 1024 пикселей, 376 × 301 мм, 19.0″");
        EXPECT_TRUE(pressDialogButton(d, 1)) << "a differing resolution does not hold the start";
    });
    EXPECT_EQ(parameterSet.pixelsX, 1280);
}

TEST_F(ParameterDialog, ScreenLineWithoutAPlausibleSize) {
    window.screen = ScreenReport{1280, 1024, 339.0, 271.0};  // what 96 pixels per inch gives
    run(start);
    EXPECT_EQ(shown.labels[1020], "Экран по данным системы: 1280 × 1024 пикселей");
    window.screen = ScreenReport{};
    run(start);
    EXPECT_EQ(shown.labels[1020], "") << "nothing reported, nothing shown";
    EXPECT_FALSE(plausibleScreenSize(ScreenReport{1920, 1080, 0, 0}));
    EXPECT_FALSE(plausibleScreenSize(ScreenReport{1920, 1080, 16, 9}));     // 120 pixels a mm
    EXPECT_FALSE(plausibleScreenSize(ScreenReport{1920, 1080, 531, 150}));  // oblong pixels
    EXPECT_TRUE(plausibleScreenSize(ScreenReport{1920, 1080, 531, 299}));
}

TEST_F(ParameterDialog, AccuracyLineFollowsTheFieldsAsTheUserTypes) {
    setAccuracyNote(echoNote);
    writeBytes(dir.file("trelvan.vvd"), kDefaultFile);
    run([](Dialog& d) {
        EXPECT_EQ(d.labels[1021], "200.00 17.70 640x480 1024x768");
        DLGSET(d, 1000, "500,5");
        dialogFieldEdited(d, 1000);
        EXPECT_EQ(d.labels[1021], "500.50 17.70 640x480 1024x768");
        DLGSET(d, 1003, "1920");
        dialogFieldEdited(d, 1003);
        DLGSET(d, 1002, "1080");
        dialogFieldEdited(d, 1002);
        EXPECT_EQ(d.labels[1021], "500.50 17.70 640x480 1920x1080");
        DLGSET(d, 1001, "24 in");
        dialogFieldEdited(d, 1001);
        EXPECT_EQ(d.labels[1021],
                  "Точность проверки зрения не определить: в полях не только числа");
        EXPECT_FALSE(d.marked[1001]) << "not marked while typing";
        DLGSET(d, 1001, "24");
        dialogFieldEdited(d, 1001);
        pressDialogButton(d, 1);
    });
    setAccuracyNote(nullptr);
    EXPECT_FLOAT_EQ(parameterSet.distanceCm, 500.5f);
}

TEST_F(ParameterDialog, RulerSetsTheDiagonalAndTheFileKeepsItsSevenLines) {
    writeBytes(dir.file("trelvan.vvd"), kDefaultFile);
    window.rulerHandler = [] { return std::optional<RulerReading>({1000, 281.0}); };
    run([](Dialog& d) {
        EXPECT_FALSE(pressDialogButton(d, 1008)) << "the dialog stays open";
        // 0.281 mm a pixel over sqrt(1024^2 + 768^2) = 1280 pixels: 14.161 inches.
        EXPECT_EQ(text(d, 1001), " 14.16");
        pressDialogButton(d, 1);
    });
    std::string file = kDefaultFile;
    file.replace(file.find(" 17.700"), 7, " 14.160");
    EXPECT_EQ(readBytes(dir.file("trelvan.vvd")), file);
}

TEST_F(ParameterDialog, CancelledRulerChangesNothing) {
    writeBytes(dir.file("trelvan.vvd"), kDefaultFile);
    window.rulerHandler = [] { return std::nullopt; };
    run([](Dialog& d) {
        DLGSET(d, 1001, "19,5");
        pressDialogButton(d, 1008);
        EXPECT_EQ(text(d, 1001), "19,5");
        // Without a readable resolution there is nothing to compute the diagonal from.
        DLGSET(d, 1003, "");
        DLGSET(d, 1002, "12a");
        bool asked = false;
        dynamic_cast<HeadlessWindow&>(gw()).rulerHandler = [&] {
            asked = true;
            return std::optional<RulerReading>({1000, 300.0});
        };
        pressDialogButton(d, 1008);
        EXPECT_FALSE(asked);
        EXPECT_TRUE(d.marked[1002]);
        EXPECT_EQ(d.labels[1012], "Нужно целое число");
        DLGSET(d, 1002, "768");
        DLGSET(d, 1003, "0");  // a number, but no resolution
        pressDialogButton(d, 1008);
        EXPECT_FALSE(asked);
        EXPECT_TRUE(d.marked[1003]);
        EXPECT_EQ(d.labels[1013], "Нужно от 1 до 9999");
        DLGSET(d, 1002, "768");
        DLGSET(d, 1003, "1024");
        pressDialogButton(d, 1);
    });
    EXPECT_FLOAT_EQ(parameterSet.diagonalInch, 19.5f) << "a decimal comma reads as the point";
    EXPECT_NE(readBytes(dir.file("trelvan.vvd")).find(" 19.500  ("), std::string::npos);
}

TEST_F(ParameterDialog, UnreadableFieldIsExplainedUntilItIsCorrected) {
    run([](Dialog& d) {
        DLGSET(d, 1000, "2 m");
        DLGSET(d, 1001, "17,3");
        DLGSET(d, 1004, "-");
        EXPECT_FALSE(pressDialogButton(d, 1));
        EXPECT_EQ(d.labels[1010], "Нужно число, например 150.5");
        EXPECT_EQ(d.labels[1011], "") << "a decimal comma is a number";
        EXPECT_FALSE(d.marked[1001]);
        EXPECT_EQ(d.labels[1014], "Нужно целое число");
        EXPECT_EQ(d.focusRequest, 1000) << "the first field to correct";
        DLGSET(d, 1000, "250");
        dialogFieldEdited(d, 1000);
        EXPECT_FALSE(d.marked[1000]);
        EXPECT_EQ(d.labels[1010], "");
        EXPECT_TRUE(d.marked[1004]);
        DLGSET(d, 1004, "50");
        EXPECT_TRUE(pressDialogButton(d, 1));
    });
    EXPECT_FLOAT_EQ(parameterSet.diagonalInch, 17.3f);
    EXPECT_NE(readBytes(dir.file("trelvan.vvd")).find(" 17.300  ("), std::string::npos);
}

GTEST_TEST(ParameterFile, DiagonalFromARulerReading) {
    // 254 mm over 1000 pixels is 0.254 mm a pixel; 1280 pixels across make 12.8 inches.
    EXPECT_NEAR(diagonalFromRuler({1000, 254.0}, 1024, 768), 12.8, 1e-9);
    // 1200 pixels of a 1280 x 1024 screen measured 304.8 mm: 16.392 inches.
    EXPECT_NEAR(diagonalFromRuler({1200, 304.8}, 1280, 1024), 0.254 * std::hypot(1280, 1024) / 25.4,
                1e-9);
    EXPECT_NEAR(diagonalFromRuler({1200, 304.8}, 1280, 1024), 16.392, 0.001);
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
