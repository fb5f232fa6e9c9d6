#include "params/parameters.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>

#include "platform/dialog.h"
#include "platform/fields.h"
#include "platform/graphics_window.h"
#include "platform/textfile.h"

namespace trelvan {

ParameterSet parameterSet;

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

constexpr int32_t kAllFields[] = {kDistance, kDiagonal, kPixelsY, kPixelsX, kVolume};

bool startConfirmed = false;
AccuracyNote accuracyNote = nullptr;

// What the dialog shows besides the values, for its callbacks.
struct DialogScene {
    ScreenReport screen;
    int32_t windowWidth = 980;
    int32_t windowHeight = 650;
    std::set<int32_t> unreadable;  // fields shown as unreadable since the last start press
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

const char* explanation(int32_t id) {
    switch (id) {
        case kDistance:
            return "Нужно число, например 150.5";
        case kDiagonal:
            return "Нужно число, например 17.3";
        default:
            return "Нужно целое число";
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
        if (readable(dialog, id)) scene.unreadable.erase(id);
        const bool bad = scene.unreadable.count(id) != 0;
        const bool differs = (id == kPixelsY && yDiffers) || (id == kPixelsX && xDiffers);
        DLGSETMARK(dialog, id, bad || differs);
        DLGSETLABEL(dialog, id + kExplanationOffset, bad ? explanation(id) : "");
    }
    DLGSETLABEL(dialog, kScreenLine, screenLine(scene.screen, yDiffers || xDiffers));

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

// Shows every field that is not a number as such; true when all are numbers.
bool markUnreadable(Dialog& dialog) {
    int32_t first = 0;
    for (int32_t id : kAllFields) {
        if (readable(dialog, id)) continue;
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

// Callback of the ruler button: the diagonal from a bar measured on the screen.
void measureDiagonal(Dialog& dialog, int32_t, int32_t) {
    const std::optional<int32_t> pixelsY = integerField(dialog, kPixelsY);
    const std::optional<int32_t> pixelsX = integerField(dialog, kPixelsX);
    if (!pixelsX || !pixelsY) {
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

int readParameterFile(const std::string& path, ParameterSet& p) {
    LineInput in(path);
    if (!in.isOpen()) return in.error() == ENOENT ? 0 : in.error();
    auto column = [&]() -> std::optional<std::string> {
        auto line = in.next();
        if (!line) return std::nullopt;
        return line->substr(0, std::min<size_t>(7, line->size()));
    };
    auto real = [&](float& out) {
        auto text = column();
        if (!text) return false;
        auto v = fields::readF(*text, 3);
        if (!v) return false;
        out = static_cast<float>(*v);
        return true;
    };
    auto integer = [&](int32_t& out) {
        auto text = column();
        if (!text) return false;
        auto v = fields::readI(*text);
        if (!v || *v < INT32_MIN || *v > INT32_MAX) return false;
        out = static_cast<int32_t>(*v);
        return true;
    };
    auto logical = [&](bool& out) {
        auto text = column();
        if (!text) return false;
        auto v = fields::readL(*text);
        if (!v) return false;
        out = *v;
        return true;
    };
    real(p.distanceCm) && real(p.diagonalInch) && integer(p.pixelsY) && integer(p.pixelsX) &&
        integer(p.trainingVolume) && real(p.answerTimeSec) && logical(p.soundOn);
    return in.error();
}

std::string parameterFileText(const ParameterSet& p) {
    std::string text;
    auto line = [&](const std::string& value, const char* comment) {
        text += value + cp1251(comment) + "\r\n";
    };
    line(fields::F(p.distanceCm, 7, 3), "  (дальность в сантиметрах)");
    line(fields::F(p.diagonalInch, 7, 3), "  (диагональ дисплея в дюймах)");
    line(fields::I(p.pixelsY, 7), "  (разрешение экрана, пикселей по Y)");
    line(fields::I(p.pixelsX, 7), "  (разрешение экрана, пикселей по X)");
    line(fields::I(p.trainingVolume, 7), "  (объем тренировки)");
    line(fields::F(p.answerTimeSec, 7, 3), "  (время на ответ в секундах)");
    line(fields::L(p.soundOn, 7), "  (признак включения звука)");
    return text;
}

void setAccuracyNote(AccuracyNote note) {
    accuracyNote = note;
}

double diagonalFromRuler(const RulerReading& reading, int32_t pixelsX, int32_t pixelsY) {
    const double diagonalPixels =
        std::sqrt(static_cast<double>(int64_t{pixelsX} * pixelsX + int64_t{pixelsY} * pixelsY));
    return reading.millimetres / reading.barPixels * diagonalPixels / 25.4;
}

bool plausibleScreenSize(const ScreenReport& s) {
    if (s.pixelsX <= 0 || s.pixelsY <= 0 || !(s.widthMm > 0) || !(s.heightMm > 0)) return false;
    const double pitchX = s.widthMm / s.pixelsX;
    const double pitchY = s.heightMm / s.pixelsY;
    auto pitchOk = [](double pitch) { return pitch >= 0.05 && pitch <= 1.5; };
    // Systems that know nothing of the screen report the size of 96 pixels per inch.
    const bool assumed = std::fabs(s.widthMm - s.pixelsX * 25.4 / 96.0) < 1.0 &&
                         std::fabs(s.heightMm - s.pixelsY * 25.4 / 96.0) < 1.0;
    return !assumed && pitchOk(pitchX) && pitchOk(pitchY) && pitchX / pitchY >= 0.87 &&
           pitchX / pitchY <= 1.15;
}

std::string screenLine(const ScreenReport& s, bool fieldsDiffer) {
    if (s.pixelsX <= 0 || s.pixelsY <= 0) return "";
    std::string line = "Экран по данным системы: " + std::to_string(s.pixelsX) + " × " +
                       std::to_string(s.pixelsY) + " пикселей";
    if (plausibleScreenSize(s)) {
        const double inches = std::hypot(s.widthMm, s.heightMm) / 25.4;
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
    // pixels (its reported physical size often is not, so the diagonal keeps its default).
    std::error_code statusError;
    const bool firstStart = std::filesystem::symlink_status(kParameterFile, statusError).type() ==
                            std::filesystem::file_type::not_found;
    if (const int error = readParameterFile(kParameterFile, p)) {
        gw().showMessage("Не удалось прочитать файл параметров " + std::string(kParameterFile) +
                         ": " + errorReason(error) +
                         ".\nНепрочитанные значения заменены значениями по умолчанию.");
    }
    scene = DialogScene{};
    scene.screen = gw().screenReport();
    if (firstStart && scene.screen.pixelsX > 0 && scene.screen.pixelsY > 0) {
        p.pixelsX = scene.screen.pixelsX;
        p.pixelsY = scene.screen.pixelsY;
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
