// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter dialog: the fields, their checks and explanations, the lines about the screen,
// the ruler, and what the dialog makes of the parameter file at start and at the end.
#include "params/parameter_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>

#include "params/parameters.h"
#include "params/screen_geometry.h"
#include "platform/dialog.h"
#include "platform/fields.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"

namespace trelvan {

namespace {

constexpr int32_t kTemplateId = 101;
constexpr int32_t kStart = 1;
constexpr int32_t kQuit = 2;
constexpr int32_t kDistance = 1000;
constexpr int32_t kDiagonal = 1001;
constexpr int32_t kPixelsY = 1002;
constexpr int32_t kPixelsX = 1003;
constexpr int32_t kVolume = 1004;
constexpr int32_t kSound = 1007;
constexpr int32_t kRuler = 1008;
constexpr int32_t kExplanationOffset = 10;  // the explanation of field id is id + 10
constexpr int32_t kScreenLine = 1020;
constexpr int32_t kAccuracyLine = 1021;
constexpr int32_t kFileNote = 1022;

constexpr int32_t kAllFields[] = {kDistance, kDiagonal, kPixelsY, kPixelsX, kVolume};

bool startConfirmed = false;
AccuracyNote accuracyNote = nullptr;

// What the dialog shows besides the values, for its callbacks.
struct DialogScene {
    ScreenReport screen;
    int32_t windowWidth = 980;
    int32_t windowHeight = 650;
    std::set<int32_t> unreadable;  // fields shown as refused since the last start press
    // The diagonal field's conversion text when a first start filled it from the size the
    // system reports; empty otherwise.
    std::string diagonalFromSystem;
    std::string fileNote;  // where the reading of the parameter file stopped, if it did
} scene;

// The conversion text: the first 10 characters of a field, padded with blanks.
std::string conversionText(Dialog& dialog, int32_t id) {
    std::string text;
    DLGGET(dialog, id, text);
    text.resize(10, ' ');
    return text;
}

std::optional<float> realField(Dialog& dialog, int32_t id) {
    // A decimal comma, the way a Russian desktop writes numbers, is read as the point.
    std::string text = conversionText(dialog, id);
    std::replace(text.begin(), text.end(), ',', '.');
    auto v = fields::readF(text, 0);
    if (!v) return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<int32_t> integerField(Dialog& dialog, int32_t id) {
    auto v = fields::readI(conversionText(dialog, id));
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*v);
}

bool isReal(int32_t id) {
    return id == kDistance || id == kDiagonal;
}

bool readable(Dialog& dialog, int32_t id) {
    return isReal(id) ? realField(dialog, id).has_value() : integerField(dialog, id).has_value();
}

// A number the field can take: one the parameter file stores and reads back as itself and
// the exercises can use (see acceptableValue).
bool acceptable(Dialog& dialog, int32_t id) {
    if (isReal(id)) {
        const std::optional<float> v = realField(dialog, id);
        return v && acceptableValue(id, *v);
    }
    const std::optional<int32_t> v = integerField(dialog, id);
    return v && acceptableValue(id, *v);
}

const char* explanation(Dialog& dialog, int32_t id) {
    const bool number = readable(dialog, id);
    switch (id) {
        case kDistance:
            return number ? "Нужно больше 0, меньше 1000" : "Нужно число, например 150.5";
        case kDiagonal:
            return number ? "Нужно больше 0, меньше 1000" : "Нужно число, например 17.3";
        case kVolume:
            return number ? "Нужно от 1 до 999999" : "Нужно целое число";
        default:
            return number ? "Нужно от 1 до 9999" : "Нужно целое число";
    }
}

// Marks, explanations and the two lines about the screen, for the texts in the fields now.
void showState(Dialog& dialog) {
    const std::optional<int32_t> pixelsY = integerField(dialog, kPixelsY);
    const std::optional<int32_t> pixelsX = integerField(dialog, kPixelsX);
    const bool screenKnown = scene.screen.pixelsX > 0 && scene.screen.pixelsY > 0;
    const bool yDiffers = screenKnown && pixelsY && *pixelsY != scene.screen.pixelsY;
    const bool xDiffers = screenKnown && pixelsX && *pixelsX != scene.screen.pixelsX;
    for (int32_t id : kAllFields) {
        if (acceptable(dialog, id)) scene.unreadable.erase(id);
        const bool bad = scene.unreadable.count(id) != 0;
        const bool differs = (id == kPixelsY && yDiffers) || (id == kPixelsX && xDiffers);
        DLGSETMARK(dialog, id, bad || differs);
        DLGSETLABEL(dialog, id + kExplanationOffset, bad ? explanation(dialog, id) : "");
    }
    std::string screen = screenLine(scene.screen, yDiffers || xDiffers);
    if (!scene.diagonalFromSystem.empty() &&
        conversionText(dialog, kDiagonal) == scene.diagonalFromSystem)
        screen += "\nдиагональ по данным системы — проверьте линейкой";
    DLGSETLABEL(dialog, kScreenLine, screen);
    DLGSETLABEL(dialog, kFileNote, scene.fileNote);

    std::string note;
    if (accuracyNote != nullptr) {
        const std::optional<float> distance = realField(dialog, kDistance);
        const std::optional<float> diagonal = realField(dialog, kDiagonal);
        if (distance && diagonal && pixelsX && pixelsY)
            note = accuracyNote(*distance, *diagonal, scene.windowWidth, scene.windowHeight,
                                *pixelsX, *pixelsY);
        else
            note = "Точность проверки зрения не определить: в полях не только числа";
    }
    DLGSETLABEL(dialog, kAccuracyLine, note);
}

// Shows every field that the file could not store or the exercises could not use as such;
// true when all can be.
bool markUnreadable(Dialog& dialog) {
    int32_t first = 0;
    for (int32_t id : kAllFields) {
        if (acceptable(dialog, id)) continue;
        scene.unreadable.insert(id);
        if (first == 0) first = id;
    }
    showState(dialog);
    dialog.focusRequest = first;
    return first == 0;
}

// Callback of the edit fields: the lines follow the values as the user types.
void fieldChanged(Dialog& dialog, int32_t, int32_t) {
    showState(dialog);
}

// Callback of the ruler button: the diagonal from a bar measured on the screen or a bank card's
// outline matched to a card.
void measureDiagonal(Dialog& dialog, int32_t, int32_t) {
    const std::optional<int32_t> pixelsY = integerField(dialog, kPixelsY);
    const std::optional<int32_t> pixelsX = integerField(dialog, kPixelsX);
    if (!pixelsX || !pixelsY || !acceptableValue(kPixelsX, *pixelsX) ||
        !acceptableValue(kPixelsY, *pixelsY)) {
        markUnreadable(dialog);
        return;
    }
    const std::optional<RulerReading> reading = gw().measureWithRuler();
    if (!reading || reading->barPixels <= 0 || !(reading->millimetres > 0)) return;
    const double diagonal = diagonalFromRuler(*reading, *pixelsX, *pixelsY);
    DLGSET(dialog, kDiagonal, fields::F(diagonal, 6, 2));
    showState(dialog);
}

std::string decimal(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, fields::roundHalfAway(value, decimals));
    return text;
}

}  // namespace

bool acceptableValue(int32_t fieldId, double value) {
    switch (fieldId) {
        case kDistance:
        case kDiagonal: {
            // F7.3 must hold it and give back more than 0: 0.0005 up to 999.9995.
            if (!std::isfinite(value)) return false;
            const std::string stored = fields::F(value, 7, 3);
            const std::optional<double> back = fields::readF(stored, 3);
            return stored.find('*') == std::string::npos && back && *back > 0;
        }
        case kPixelsY:
        case kPixelsX:
            return value >= 1 && value <= 9999;  // I4 in the dialog
        case kVolume:
            return value >= 1 && value <= 999999;  // I6 in the journal
        default:
            return false;
    }
}

void setAccuracyNote(AccuracyNote note) {
    accuracyNote = note;
}

std::string screenLine(const ScreenReport& s, bool fieldsDiffer) {
    if (s.pixelsX <= 0 || s.pixelsY <= 0) return "";
    std::string line = "Экран по данным системы: " + std::to_string(s.pixelsX) + " × " +
                       std::to_string(s.pixelsY) + " пикселей";
    if (plausibleScreenSize(s)) {
        const double inches = diagonalInches(s.widthMm, s.heightMm);
        line += ", " + decimal(s.widthMm, 0) + " × " + decimal(s.heightMm, 0) + " мм, " +
                decimal(inches, 1) + "″";
    }
    if (fieldsDiffer) line += "\nразрешение в полях Nx, Ny другое — проверьте его";
    return line;
}

void OBROK(Dialog& dialog, int32_t controlId, int32_t) {
    if (controlId == kStart) {
        // A field that is not a number keeps the dialog open, marked for correction.
        if (!markUnreadable(dialog)) return;
        startConfirmed = true;
    } else if (controlId == kQuit) {
        startConfirmed = false;
    }
    DLGEXIT(dialog);
}

void VVDALND() {
    ParameterSet p;  // the defaults
    startConfirmed = false;
    Dialog dialog;
    if (!DLGINIT(kTemplateId, dialog)) stopWithMessage("Диалог IDD_DIALOG1 не найден");

    // A first start: the resolution fields begin with the screen's, which is exact in device
    // pixels, and the diagonal with the reported physical size when that is plausible.
    std::error_code statusError;
    const bool firstStart = std::filesystem::symlink_status(kParameterFile, statusError).type() ==
                            std::filesystem::file_type::not_found;
    ParameterFileStop stop;
    if (const int error = readParameterFile(kParameterFile, p, &stop)) {
        gw().showMessage("Не удалось прочитать файл параметров " + std::string(kParameterFile) +
                         ": " + errorReason(error) +
                         ".\nНепрочитанные значения заменены значениями по умолчанию.");
    }
    scene = DialogScene{};
    scene.fileNote = parameterFileNote(stop);
    scene.screen = gw().screenReport();
    if (firstStart && scene.screen.pixelsX > 0 && scene.screen.pixelsY > 0) {
        p.pixelsX = scene.screen.pixelsX;
        p.pixelsY = scene.screen.pixelsY;
        // The physical size, when it can be a real screen's, is the best first guess of the
        // diagonal; the screen line asks to check it with the ruler.
        if (plausibleScreenSize(scene.screen)) {
            p.diagonalInch =
                static_cast<float>(diagonalInches(scene.screen.widthMm, scene.screen.heightMm));
            std::string text = fields::F(p.diagonalInch, 6, 2);
            text.resize(10, ' ');
            scene.diagonalFromSystem = text;
        }
    }
    WindowConfig config;
    if (gw().GETWINDOWCONFIG(config) && config.numxpixels > 0 && config.numypixels > 0) {
        scene.windowWidth = config.numxpixels;
        scene.windowHeight = config.numypixels;
    }

    DLGSET(dialog, kQuit, cp1251("Выйти из программы"));
    DLGSET(dialog, kStart, cp1251("Начать работу"));
    DLGSET(dialog, kDistance, fields::F(p.distanceCm, 6, 1));
    DLGSET(dialog, kDiagonal, fields::F(p.diagonalInch, 6, 2));
    DLGSET(dialog, kPixelsY, fields::I(p.pixelsY, 4));
    DLGSET(dialog, kPixelsX, fields::I(p.pixelsX, 4));
    DLGSET(dialog, kVolume, fields::I(p.trainingVolume, 4));
    DLGSETLOG(dialog, kSound, p.soundOn);
    DLGSETSUB(dialog, kQuit, OBROK);
    DLGSETSUB(dialog, kStart, OBROK);
    DLGSETSUB(dialog, kRuler, measureDiagonal);
    for (int32_t id : kAllFields) DLGSETSUB(dialog, id, fieldChanged);
    showState(dialog);

    DLGMODAL(dialog);

    // Read back whichever way the dialog ended; the start button admits numbers only.
    if (auto v = realField(dialog, kDistance)) p.distanceCm = *v;
    if (auto v = realField(dialog, kDiagonal)) p.diagonalInch = *v;
    if (auto v = integerField(dialog, kPixelsY)) p.pixelsY = *v;
    if (auto v = integerField(dialog, kPixelsX)) p.pixelsX = *v;
    if (auto v = integerField(dialog, kVolume)) p.trainingVolume = *v;
    DLGGETLOG(dialog, kSound, p.soundOn);
    parameterSet = p;

    if (!startConfirmed) {
        gw().CLOSEUNIT(1);
        stopProgram(0);
    }

    int error = 0;
    if (writeFileAtomically(kParameterFile, parameterFileText(p), nullptr, &error) !=
        WriteResult::ok) {
        gw().showMessage("Не удалось записать файл параметров " + std::string(kParameterFile) +
                         ": " + errorReason(error) +
                         ".\nПрограмма продолжит работу с введёнными значениями.");
    }
}

}  // namespace trelvan
