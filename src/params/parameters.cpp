#include "params/parameters.h"

#include <cerrno>
#include <optional>

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

bool startConfirmed = false;

// The conversion text: the first 10 characters of a field, padded with blanks.
std::string conversionText(Dialog& dialog, int32_t id) {
    std::string text;
    DLGGET(dialog, id, text);
    text.resize(10, ' ');
    return text;
}

std::optional<float> realField(Dialog& dialog, int32_t id) {
    auto v = fields::readF(conversionText(dialog, id), 0);
    if (!v) return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<int32_t> integerField(Dialog& dialog, int32_t id) {
    auto v = fields::readI(conversionText(dialog, id));
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(*v);
}

// Marks every field that is not a number; true when all are numbers.
bool markUnreadable(Dialog& dialog) {
    bool allGood = true;
    for (int32_t id : {kDistance, kDiagonal}) {
        bool bad = !realField(dialog, id);
        DLGSETMARK(dialog, id, bad);
        allGood = allGood && !bad;
    }
    for (int32_t id : {kPixelsY, kPixelsX, kVolume}) {
        bool bad = !integerField(dialog, id);
        DLGSETMARK(dialog, id, bad);
        allGood = allGood && !bad;
    }
    return allGood;
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

    if (const int error = readParameterFile(kParameterFile, p)) {
        gw().showMessage("Не удалось прочитать файл параметров " + std::string(kParameterFile) +
                         ": " + errorReason(error) +
                         ".\nНепрочитанные значения заменены значениями по умолчанию.");
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

    std::string error;
    if (writeFileAtomically(kParameterFile, parameterFileText(p), &error) != WriteResult::ok) {
        gw().showMessage("Не удалось записать файл параметров " + std::string(kParameterFile) +
                         ": " + error + "\nПрограмма продолжит работу с введёнными значениями.");
    }
}

}  // namespace trelvan
