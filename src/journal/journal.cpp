// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journal.h"

#include <cmath>
#include <initializer_list>
#include <optional>
#include <utility>

#include "platform/fields.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

using fields::F;
using fields::I;
using fields::X;

const std::string lineEnd = "\r\n";

// Windows-1251 forms of the fixed texts, made once.
struct Texts {
    std::string trainingHeader =
        cp1251("     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)");
    std::string checkHeader = cp1251(
        "     Дата             Время        Дальность    Размер Nпоказов Nверн_отв Nошибок "
        "Nнет_отв Ср.вр._отв    Nотжиманий");
    std::string year = cp1251("г, ");
    std::string hour = cp1251("ч ");
    std::string minute = cp1251("м ");
    std::string trainingSecond = cp1251("с,                ОЗп=");
    std::string checkSecond = cp1251("с,   ОЗи=");
    std::string checkMarker = cp1251("ОЗи=");
    std::string trainingMarker = cp1251("ОЗп=");
    std::string limitMark = cp1251("экран до ");
    std::string eyeBoth = cp1251("гл.оба  ");
    std::string eyeRight = cp1251("гл.прав ");
    std::string eyeLeft = cp1251("гл.лев  ");
};

// The screen-limit mark of a check entry: 1X, 'экран до ', F4.2 in columns 38-51.
constexpr size_t limitMarkColumn = 39;
constexpr int limitMarkBlanks = 18;  // columns 52-69 up to the distance
// The eye mark: 8 columns in the blanks of each entry kind.
constexpr size_t trainingEyeColumn = 34;
constexpr size_t checkEyeColumn = 56;
constexpr size_t eyeMarkWidth = 8;

const Texts& texts() {
    static const Texts instance;
    return instance;
}

// Columns 1-24 of both entry kinds and the letter that follows the seconds.
// 1X, I2.2, '.', I2.2, '.', I4, 'г, ', I2, 'ч ', I2, 'м ', I2
std::string dateAndTime(int day, int month, int year, int hour, int minute, int second) {
    const Texts& t = texts();
    return X(1) + I(day, 2, 2) + "." + I(month, 2, 2) + "." + I(year, 4) + t.year + I(hour, 2) +
           t.hour + I(minute, 2) + t.minute + I(second, 2);
}

// Whether the line holds marker in the 1-based columns first .. first + 3.
bool hasMarker(std::string_view line, size_t first, const std::string& marker) {
    return line.size() >= first - 1 + marker.size() &&
           line.substr(first - 1, marker.size()) == marker;
}

// Whether the date and time fields (columns 2-3, 5-6, 8-11, 15-16, 19-20, 23-24) hold
// nothing but blanks; columns past the end of the line are blank.
bool allDateFieldsBlank(std::string_view line) {
    constexpr std::pair<size_t, size_t> fieldsOfDate[] = {{2, 2},  {5, 2},  {8, 4},
                                                          {15, 2}, {19, 2}, {23, 2}};
    for (const auto& [first, width] : fieldsOfDate) {
        for (size_t column = first; column < first + width && column <= line.size(); ++column) {
            if (line[column - 1] != ' ') return false;
        }
    }
    return true;
}

// Whether text is a proper beginning of whole (shorter than it).
bool cutShortOf(std::string_view text, std::string_view whole) {
    return text.size() < whole.size() && whole.substr(0, text.size()) == text;
}

// A last line without a line end, as an append finds it: whole when it is a complete entry
// (date, time and the values of its markers readable, up to the end of the last field), or a
// first line that is not a header cut short. Anything else, and anything holding a zero byte
// (a power loss before the text reached the disk), is the remains of an append cut short.
bool isWholeLastLine(std::string_view line, bool firstLine) {
    if (line.find('\0') != std::string_view::npos) return false;
    if (firstLine) {
        return !cutShortOf(line, trainingHeader()) && !cutShortOf(line, checkHeader());
    }
    const JournalLine entry = parseJournalLine(line);
    if (entry.status != LineStatus::ok || (!entry.isCheck && !entry.isTraining)) return false;
    constexpr size_t trainingLength = 73;  // ends with the distance field, columns 69-73
    constexpr size_t checkLength = 74;     // columns 70-74
    return line.size() >= (entry.isCheck ? checkLength : trainingLength);
}

bool append(const std::string& path, const std::string& header, const std::string& line,
            std::string* errorText) {
    for (;;) {
        std::string reason;
        int error = 0;
        if (appendToFile(path, header + lineEnd, line, &reason, &error, isWholeLastLine) ==
            WriteResult::ok) {
            return true;
        }
        if (error == lockedByOther) {
            // The entry is still at hand: the user may free the journal and try again.
            reason = journalLockedText(path);
            if (gw().askRetry(reason + "\nРезультат ещё не записан. Повторить попытку?")) continue;
        }
        if (errorText != nullptr) *errorText = reason;
        return false;
    }
}

}  // namespace

std::string journalLockedText(const std::string& path) {
    const std::string holder = lockHolder(path);
    const long seconds = static_cast<long>((lockWait().count() + 999) / 1000);
    return "Журнал занят другой программой: файл " + path + " заблокирован" +
           (holder.empty() ? std::string() : " (" + holder + ")") + " дольше " +
           std::to_string(seconds) + " с.";
}

const std::string& trainingHeader() {
    return texts().trainingHeader;
}

const std::string& checkHeader() {
    return texts().checkHeader;
}

std::string eyeMark(Eye eye) {
    const Texts& t = texts();
    switch (eye) {
        case Eye::right:
            return t.eyeRight;
        case Eye::left:
            return t.eyeLeft;
        case Eye::both:
            break;
    }
    return t.eyeBoth;
}

namespace {

// The eye read from the 8 columns at the 1-based column first: both unless they hold a mark.
Eye eyeAt(std::string_view line, size_t first) {
    if (line.size() < first - 1) return Eye::both;
    std::string field(line.substr(first - 1, eyeMarkWidth));
    field.resize(eyeMarkWidth, ' ');
    for (Eye eye : {Eye::right, Eye::left})
        if (field == eyeMark(eye)) return eye;
    return Eye::both;
}

}  // namespace

std::string trainingEntryLine(int day, int month, int year, int hour, int minute, int second,
                              float acuity, float meanTime, int32_t volume, float distanceCm,
                              std::optional<Eye> eye) {
    std::string second25to46 = texts().trainingSecond;
    if (eye) second25to46.replace(trainingEyeColumn - 25, eyeMarkWidth, eyeMark(*eye));
    return dateAndTime(day, month, year, hour, minute, second) + second25to46 + F(acuity, 4, 2) +
           F(meanTime, 10, 2) + I(volume, 6) + X(2) + F(distanceCm, 5, 0) + lineEnd;
}

std::string checkEntryLine(int day, int month, int year, int hour, int minute, int second,
                           float acuity, float distanceCm, std::optional<float> trueTo,
                           std::optional<Eye> eye) {
    // Columns 38-69.
    std::string between =
        trueTo ? X(1) + texts().limitMark + F(*trueTo, 4, 2) + X(limitMarkBlanks) : X(32);
    if (eye) between.replace(checkEyeColumn - 38, eyeMarkWidth, eyeMark(*eye));
    return dateAndTime(day, month, year, hour, minute, second) + texts().checkSecond +
           F(acuity, 4, 2) + between + F(distanceCm, 5, 0) + lineEnd;
}

namespace {

// Whether value, written as an F field of w columns and d decimals, reads back as itself.
bool fits(double value, int w, int d) {
    return std::isfinite(value) && F(value, w, d).find('*') == std::string::npos;
}

std::string shown(double value, int d) {
    if (!std::isfinite(value)) return "не число";
    const std::string text = F(value, 40, d);
    return text.substr(text.find_first_not_of(' '));
}

// The common reasons of both entry kinds.
std::string acuityProblem(float acuity) {
    if (!fits(acuity, 4, 2) || acuity < 0)
        return "Острота зрения " + shown(acuity, 2) +
               " не помещается в поле журнала (от 0 до 9.99).";
    return "";
}

std::string distanceProblem(float distanceCm) {
    if (!fits(distanceCm, 5, 0) || !(distanceCm > 0))
        return "Дальность " + shown(distanceCm, 1) +
               " см не помещается в поле журнала (больше 0, до 9999 см).";
    return "";
}

const char* const unreadableLine =
    "\nТакую строку журнал не прочитал бы, и за ней пропали бы все следующие результаты.";

std::string firstProblem(std::initializer_list<std::string> problems) {
    for (const std::string& p : problems)
        if (!p.empty()) return p + unreadableLine;
    return "";
}

}  // namespace

std::string trainingEntryProblem(float acuity, float meanTime, int32_t volume, float distanceCm) {
    std::string time, count;
    if (!fits(meanTime, 10, 2) || meanTime < 0)
        time = "Среднее время ответа " + shown(meanTime, 2) +
               " с не помещается в поле журнала (от 0 до 9999999.99 с).";
    if (volume < 0 || volume > 999999)
        count = "Объём тренировки " + std::to_string(volume) +
                " не помещается в поле журнала (от 0 до 999999).";
    return firstProblem({acuityProblem(acuity), time, count, distanceProblem(distanceCm)});
}

std::string checkEntryProblem(float acuity, float distanceCm, std::optional<float> trueTo) {
    std::string mark;
    if (trueTo && (!fits(*trueTo, 4, 2) || *trueTo < 0))
        mark = "Отметка точности экрана " + shown(*trueTo, 2) + " не помещается в журнал.";
    return firstProblem({acuityProblem(acuity), distanceProblem(distanceCm), mark});
}

bool appendTrainingEntry(int day, int month, int year, int hour, int minute, int second,
                         float acuity, float meanTime, int32_t volume, float distanceCm,
                         const std::string& path, std::string* errorText, std::optional<Eye> eye) {
    const std::string problem = trainingEntryProblem(acuity, meanTime, volume, distanceCm);
    if (!problem.empty()) {
        if (errorText != nullptr) *errorText = problem;
        return false;
    }
    return append(path, trainingHeader(),
                  trainingEntryLine(day, month, year, hour, minute, second, acuity, meanTime,
                                    volume, distanceCm, eye),
                  errorText);
}

bool appendCheckEntry(int day, int month, int year, int hour, int minute, int second, float acuity,
                      float distanceCm, const std::string& path, std::string* errorText,
                      std::optional<float> trueTo, std::optional<Eye> eye) {
    const std::string problem = checkEntryProblem(acuity, distanceCm, trueTo);
    if (!problem.empty()) {
        if (errorText != nullptr) *errorText = problem;
        return false;
    }
    return append(
        path, checkHeader(),
        checkEntryLine(day, month, year, hour, minute, second, acuity, distanceCm, trueTo, eye),
        errorText);
}

JournalLine parseJournalDateTime(std::string_view line) {
    line = line.substr(0, JournalReader::maxLineLength);
    JournalLine result;

    // Date and time: 1X, I2, 1X, I2, 1X, I4, 3X, I2, 2X, I2, 2X, I2.
    fields::LineReader date(line);
    date.skip(1);
    const std::optional<int64_t> day = date.i(2);
    date.skip(1);
    const std::optional<int64_t> month = date.i(2);
    date.skip(1);
    const std::optional<int64_t> year = date.i(4);
    date.skip(3);
    const std::optional<int64_t> hour = date.i(2);
    date.skip(2);
    const std::optional<int64_t> minute = date.i(2);
    date.skip(2);
    const std::optional<int64_t> second = date.i(2);
    // The day count adds the lengths of the months before the month, from a table of twelve:
    // a month of 0 or less adds none and 13 adds the whole year, but beyond 13 there is no
    // table entry to add, so such a month is as unreadable as letters. A line whose date and
    // time are all blank (an empty line, say) is no entry either.
    if (!day || !month || !year || !hour || !minute || !second || *month > 13 ||
        allDateFieldsBlank(line)) {
        result.status = LineStatus::badDate;
        return result;
    }
    result.day = static_cast<int>(*day);
    result.month = static_cast<int>(*month);
    result.year = static_cast<int>(*year);
    result.hour = static_cast<int>(*hour);
    result.minute = static_cast<int>(*minute);
    result.second = static_cast<int>(*second);
    return result;
}

JournalLine parseJournalLine(std::string_view line) {
    line = line.substr(0, JournalReader::maxLineLength);
    JournalLine result = parseJournalDateTime(line);
    if (result.status != LineStatus::ok) return result;

    const Texts& t = texts();
    result.isCheck = hasMarker(line, 30, t.checkMarker);
    result.isTraining = hasMarker(line, 43, t.trainingMarker);
    bool valuesRead = true;

    if (result.isCheck) {
        // 33X, F4.0, 30X, F7.0
        fields::LineReader values(line);
        values.skip(33);
        const std::optional<double> acuity = values.f(4, 0);
        values.skip(30);
        const std::optional<double> distance = values.f(7, 0);
        if (acuity && distance) {
            result.checkRead = true;
            result.checkAcuity = static_cast<float>(*acuity);
            result.checkDistance = static_cast<float>(*distance);
            // The mark is read where this program writes it and is only an addition: any
            // other text in these skipped columns leaves the check unmarked.
            if (hasMarker(line, limitMarkColumn, t.limitMark)) {
                fields::LineReader mark(line);
                mark.skip(static_cast<int>(limitMarkColumn - 1 + t.limitMark.size()));
                const std::string_view field = mark.take(4);
                const std::optional<double> trueTo = fields::readF(field, 2);
                if (trueTo && field.find_first_not_of(' ') != std::string_view::npos &&
                    *trueTo >= 0)
                    result.checkTrueTo = static_cast<float>(*trueTo);
            }
            result.eye = eyeAt(line, checkEyeColumn);
        } else {
            valuesRead = false;
        }
    }
    if (result.isTraining) {
        // 46X, F4.2, F10.0, I6, F7.0
        fields::LineReader values(line);
        values.skip(46);
        const std::optional<double> acuity = values.f(4, 2);
        const std::optional<double> meanTime = values.f(10, 0);
        const std::optional<int64_t> volume = values.i(6);
        const std::optional<double> distance = values.f(7, 0);
        if (acuity && meanTime && volume && distance) {
            result.trainingAcuity = static_cast<float>(*acuity);
            result.meanTime = static_cast<float>(*meanTime);
            result.volume = static_cast<int32_t>(*volume);  // six columns always fit
            result.trainingDistance = static_cast<float>(*distance);
            if (!result.isCheck) result.eye = eyeAt(line, trainingEyeColumn);
        } else {
            valuesRead = false;
        }
    }
    if (!valuesRead) {
        // The date stands; none of the values is to be used but a check's read whole.
        result.status = LineStatus::badValues;
        result.trainingAcuity = result.meanTime = result.trainingDistance = 0.0f;
        result.volume = 0;
    }
    return result;
}

bool isCyrillicUtf8(std::string_view text) {
    bool cyrillic = false;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 1;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
        } else if (lead >= 0x80) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if (i + k >= text.size()) return cyrillic;  // cut off by the line's bound
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        if (lead == 0xD0 || lead == 0xD1) cyrillic = true;
        i += length;
    }
    return cyrillic;
}

JournalReader::JournalReader(const std::string& path, FileKind kind)
    : input_(path, maxLineLength, kind) {}

std::optional<JournalLine> JournalReader::next() {
    if (ended_) return std::nullopt;
    if (!headerSkipped_) {
        headerSkipped_ = true;
        const std::optional<std::string> header = input_.next();
        if (!header) {
            ended_ = true;
            return std::nullopt;
        }
        if (header->find('\r') != std::string::npos) {
            ended_ = true;
            endStatus_ = LineStatus::bareCarriageReturn;
            endLine_ = input_.lineNumber();
            return std::nullopt;
        }
    }
    if (!input_.next(text_)) {
        ended_ = true;
        return std::nullopt;
    }
    JournalLine line = parseJournalLine(text_);
    line.lineNumber = input_.lineNumber();
    if (text_.find('\r') != std::string::npos) {
        line = JournalLine{};
        line.status = LineStatus::bareCarriageReturn;
        line.lineNumber = input_.lineNumber();
    } else if (line.status != LineStatus::ok && isCyrillicUtf8(text_)) {
        line.status = LineStatus::notWindows1251;
    }
    if (line.status != LineStatus::ok) {
        ended_ = true;
        endStatus_ = line.status;
        endLine_ = line.lineNumber;
    }
    return line;
}

}  // namespace trelvan
