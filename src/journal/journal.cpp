#include "journal/journal.h"

#include <optional>
#include <utility>

#include "platform/fields.h"

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
};

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

bool append(const std::string& path, const std::string& header, const std::string& line,
            std::string* errorText) {
    return appendToFile(path, header + lineEnd, line, errorText) == WriteResult::ok;
}

}  // namespace

const std::string& trainingHeader() {
    return texts().trainingHeader;
}

const std::string& checkHeader() {
    return texts().checkHeader;
}

std::string trainingEntryLine(int day, int month, int year, int hour, int minute, int second,
                              float acuity, float meanTime, int32_t volume, float distanceCm) {
    return dateAndTime(day, month, year, hour, minute, second) + texts().trainingSecond +
           F(acuity, 4, 2) + F(meanTime, 10, 2) + I(volume, 6) + X(2) + F(distanceCm, 5, 0) +
           lineEnd;
}

std::string checkEntryLine(int day, int month, int year, int hour, int minute, int second,
                           float acuity, float distanceCm) {
    return dateAndTime(day, month, year, hour, minute, second) + texts().checkSecond +
           F(acuity, 4, 2) + X(32) + F(distanceCm, 5, 0) + lineEnd;
}

bool appendTrainingEntry(int day, int month, int year, int hour, int minute, int second,
                         float acuity, float meanTime, int32_t volume, float distanceCm,
                         const std::string& path, std::string* errorText) {
    return append(path, trainingHeader(),
                  trainingEntryLine(day, month, year, hour, minute, second, acuity, meanTime,
                                    volume, distanceCm),
                  errorText);
}

bool appendCheckEntry(int day, int month, int year, int hour, int minute, int second, float acuity,
                      float distanceCm, const std::string& path, std::string* errorText) {
    return append(path, checkHeader(),
                  checkEntryLine(day, month, year, hour, minute, second, acuity, distanceCm),
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
            result.checkAcuity = static_cast<float>(*acuity);
            result.checkDistance = static_cast<float>(*distance);
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
        } else {
            valuesRead = false;
        }
    }
    if (!valuesRead) {
        // The date stands; none of the values is to be used.
        result.status = LineStatus::badValues;
        result.checkAcuity = result.checkDistance = 0.0f;
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
