// SPDX-License-Identifier: GPL-3.0-or-later
// The parameter file trelvan.vvd: read at start-up, written whole when the user starts work.
#include "params/parameters.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/fields.h"
#include "platform/textfile.h"

namespace trelvan {

ParameterSet parameterSet;

int readParameterFile(const std::string& path, ParameterSet& p, ParameterFileStop* stop) {
    if (stop != nullptr) *stop = ParameterFileStop{};
    LineInput in(path);
    if (!in.isOpen()) return in.error() == ENOENT ? 0 : in.error();
    int lineNumber = 0;
    auto column = [&]() -> std::optional<std::string> {
        ++lineNumber;
        auto line = in.next();
        if (!line) {
            // A read error is reported as such, not as a short file.
            if (stop != nullptr)
                *stop = in.error() == 0 ? ParameterFileStop{lineNumber, true} : ParameterFileStop{};
            return std::nullopt;
        }
        // Unconvertible until the field has been read.
        if (stop != nullptr) *stop = ParameterFileStop{lineNumber, false};
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
    const bool whole = real(p.distanceCm) && real(p.diagonalInch) && integer(p.pixelsY) &&
                       integer(p.pixelsX) && integer(p.trainingVolume) && real(p.answerTimeSec) &&
                       logical(p.soundOn);
    if (whole && stop != nullptr) *stop = ParameterFileStop{};
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

std::string parameterFileNote(const ParameterFileStop& stop) {
    if (stop.line == 0) return "";
    static const char* const fieldsFrom[] = {
        "дальности",        "диагонали", "разрешения по Y", "разрешения по X", "объема тренировки",
        "времени на ответ", "звука"};
    const std::string line = std::to_string(stop.line);
    const std::string from = fieldsFrom[std::clamp(stop.line, 1, 7) - 1];
    return std::string("Файл ") + kParameterFile +
           (stop.missing ? ": нет строки " + line : ": строка " + line + " не читается") +
           " — значения с " + from + " и дальше взяты по умолчанию";
}

}  // namespace trelvan
