// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/journal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

#include "platform/fields.h"
#include "platform/graphics_window.h"

namespace trelvan {

namespace {

using fields::F;
using fields::I;

const std::string lineEnd = "\r\n";

// Windows-1251 forms of the header texts, made once.
struct Texts {
    std::string trainingHeader =
        cp1251("     Дата        Время   ОЗизмеренное ОЗподтвержденное   t(c)   N    D(см)");
    std::string checkHeader = cp1251(
        "     Дата             Время        Дальность    Размер Nпоказов Nверн_отв Nошибок "
        "Nнет_отв Ср.вр._отв    Nотжиманий");
};

const Texts& texts() {
    static const Texts instance;
    return instance;
}

// Putting fields into a line of blanks as long as the entry.
void put(std::string& line, const layout::Text& text) {
    line.replace(text.offset(), text.bytes.size(), text.bytes);
}
void put(std::string& line, const layout::Field& field, const std::string& written) {
    line.replace(field.offset(), static_cast<size_t>(field.width), written);
}
void putF(std::string& line, const layout::Value& value, double number) {
    put(line, value.written, F(number, value.written.width, value.written.digits));
}

// A line of blanks of the entry's length with the date and time in columns 1-26.
std::string withDateAndTime(int length, int day, int month, int year, int hour, int minute,
                            int second) {
    const layout::DateAndTimeLayout& d = layout::dateAndTime;
    std::string line(static_cast<size_t>(length), ' ');
    const int values[] = {day, month, year, hour, minute, second};
    for (size_t i = 0; i < std::size(values); ++i) {
        const layout::Field field = d.fields()[i];
        put(line, field,
            field.digits > 0 ? I(values[i], field.width, field.digits) : I(values[i], field.width));
        put(line, d.texts[i]);
    }
    return line;
}

// Whether the line holds the text at its columns.
bool has(std::string_view line, const layout::Text& text) {
    return line.size() >= text.offset() + text.bytes.size() &&
           std::string_view(line.data() + text.offset(), text.bytes.size()) == text.bytes;
}

// The same for a marker, four bytes compared at once.
bool hasMarker(std::string_view line, const layout::Text& marker) {
    if (marker.bytes.size() != 4) return has(line, marker);
    if (line.size() < marker.offset() + 4) return false;
    uint32_t found = 0, wanted = 0;
    std::memcpy(&found, line.data() + marker.offset(), 4);
    std::memcpy(&wanted, marker.bytes.data(), 4);
    return found == wanted;
}

// Whether the date and time fields hold nothing but blanks; columns past the end of the line
// are blank.
bool allDateFieldsBlank(std::string_view line) {
    for (const layout::Field& field : layout::dateAndTime.fields()) {
        if (field.in(line).find_first_not_of(' ') != std::string_view::npos) return false;
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
    // Up to the end of the last field, the distance.
    return line.size() >=
           static_cast<size_t>(entry.isCheck ? layout::check.length : layout::training.length);
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
    return std::string(layout::wordingOf(eye).mark);
}

namespace {

// The eye read from the mark field: both unless it holds a mark (blank-padded where the line
// ends inside it).
Eye eyeAt(std::string_view line, const layout::Field& field) {
    if (line.size() < field.offset()) return Eye::both;
    const std::string_view text = field.in(line);
    for (const layout::EyeWording& w : layout::eyeWordings) {
        if (w.eye != Eye::both && w.mark.substr(0, text.size()) == text &&
            w.mark.find_first_not_of(' ', text.size()) == std::string_view::npos)
            return w.eye;
    }
    return Eye::both;
}

}  // namespace

std::string trainingEntryLine(int day, int month, int year, int hour, int minute, int second,
                              float acuity, float meanTime, int32_t volume, float distanceCm,
                              std::optional<Eye> eye) {
    const layout::TrainingLayout& t = layout::training;
    std::string line = withDateAndTime(t.length, day, month, year, hour, minute, second);
    if (eye) put(line, t.eye, eyeMark(*eye));
    put(line, t.marker);
    putF(line, t.acuity, acuity);
    putF(line, t.meanTime, meanTime);
    put(line, t.volume.written, I(volume, t.volume.written.width));
    putF(line, t.distance, distanceCm);
    return line + lineEnd;
}

std::string checkEntryLine(int day, int month, int year, int hour, int minute, int second,
                           float acuity, float distanceCm, std::optional<float> trueTo,
                           std::optional<Eye> eye) {
    const layout::CheckLayout& c = layout::check;
    std::string line = withDateAndTime(c.length, day, month, year, hour, minute, second);
    put(line, c.marker);
    putF(line, c.acuity, acuity);
    if (trueTo) {
        put(line, c.limitMark);
        putF(line, c.trueTo, *trueTo);
    }
    if (eye) put(line, c.eye, eyeMark(*eye));
    putF(line, c.distance, distanceCm);
    return line + lineEnd;
}

namespace {

// Whether the number, written in the value's field, reads back as itself.
bool fits(double number, const layout::Value& value) {
    return std::isfinite(number) &&
           F(number, value.written.width, value.written.digits).find('*') == std::string::npos;
}

// Both kinds write the acuity and the distance alike, so one text says what fits.
static_assert(layout::training.acuity.written.width == layout::check.acuity.written.width &&
              layout::training.acuity.written.digits == layout::check.acuity.written.digits &&
              layout::training.distance.written.width == layout::check.distance.written.width &&
              layout::training.distance.written.digits == layout::check.distance.written.digits);

std::string shown(double value, int d) {
    if (!std::isfinite(value)) return "не число";
    const std::string text = F(value, 40, d);
    return text.substr(text.find_first_not_of(' '));
}

// The common reasons of both entry kinds.
std::string acuityProblem(float acuity) {
    if (!fits(acuity, layout::check.acuity) || acuity < 0)
        return "Острота зрения " + shown(acuity, 2) +
               " не помещается в поле журнала (от 0 до 9.99).";
    return "";
}

std::string distanceProblem(float distanceCm) {
    if (!fits(distanceCm, layout::check.distance) || !(distanceCm > 0))
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
    if (!fits(meanTime, layout::training.meanTime) || meanTime < 0)
        time = "Среднее время ответа " + shown(meanTime, 2) +
               " с не помещается в поле журнала (от 0 до 9999999.99 с).";
    if (volume < 0 ||
        I(volume, layout::training.volume.written.width).find('*') != std::string::npos)
        count = "Объём тренировки " + std::to_string(volume) +
                " не помещается в поле журнала (от 0 до 999999).";
    return firstProblem({acuityProblem(acuity), time, count, distanceProblem(distanceCm)});
}

std::string checkEntryProblem(float acuity, float distanceCm, std::optional<float> trueTo) {
    std::string mark;
    if (trueTo && (!fits(*trueTo, layout::check.trueTo) || *trueTo < 0))
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

namespace {

// The value of a date or time field in the form the program writes it, blanks and then digits
// up to the field's end (at least one); -1 for any other form, which the general reader takes.
// The fields are at most four digits wide, so the value cannot overflow.
template <int width>
int plainDigits(const char* field) {
    if constexpr (width == 2) {
        // A digit after a digit or a blank: the two forms the writer uses, taken at once.
        const unsigned low = static_cast<unsigned char>(field[1]) - unsigned{'0'};
        const unsigned high = static_cast<unsigned char>(field[0]) - unsigned{'0'};
        if (low > 9) return -1;
        if (high <= 9) return static_cast<int>(high * 10 + low);
        return field[0] == ' ' ? static_cast<int>(low) : -1;
    }
    if constexpr (width == 4) {
        // Four digits, the year as the writer puts it; any other form goes the long way.
        const auto digit = [&](int i) {
            return static_cast<unsigned char>(field[i]) - unsigned{'0'};
        };
        const unsigned d0 = digit(0), d1 = digit(1), d2 = digit(2), d3 = digit(3);
        if ((d0 | d1 | d2 | d3) <= 9) return static_cast<int>(((d0 * 10 + d1) * 10 + d2) * 10 + d3);
    }
    int value = 0;
    bool digits = false;  // a digit has come: no blank may follow
    for (int i = 0; i < width; ++i) {
        const unsigned digit = static_cast<unsigned char>(field[i]) - unsigned{'0'};
        if (digit <= 9) {
            value = value * 10 + static_cast<int>(digit);
            digits = true;
        } else if (field[i] != ' ' || digits) {
            return -1;
        }
    }
    return digits ? value : -1;
}

// The fields are at most four wide and the seconds come last.
static_assert(std::ranges::all_of(layout::dateAndTime.fields(), [](const layout::Field& field) {
    return field.width <= 4 && field.last() <= layout::dateAndTime.second.last();
}));

// The date and time of a line whose six fields all stand in their usual form (day, month,
// year, hour, minute, second in values), without making any optional (reading one back that
// GCC stored a byte at a time stalls): the same values as the general reader, which takes
// every other line. False when a field is in another form. The month is not checked.
bool plainDateTime(std::string_view line, int (&values)[6]) {
    constexpr const layout::DateAndTimeLayout& d = layout::dateAndTime;
    if (line.size() < static_cast<size_t>(d.second.last())) return false;
    values[0] = plainDigits<d.day.width>(line.data() + d.day.offset());
    values[1] = plainDigits<d.month.width>(line.data() + d.month.offset());
    values[2] = plainDigits<d.year.width>(line.data() + d.year.offset());
    values[3] = plainDigits<d.hour.width>(line.data() + d.hour.offset());
    values[4] = plainDigits<d.minute.width>(line.data() + d.minute.offset());
    values[5] = plainDigits<d.second.width>(line.data() + d.second.offset());
    return (values[0] | values[1] | values[2] | values[3] | values[4] | values[5]) >= 0;
}

// Every field of a plain date and time holds a digit, so the fields are not all blank; a
// month beyond 13 is unreadable (see parseJournalDateTime).
constexpr int maxReadableMonth = 13;

}  // namespace

namespace {

// parseJournalDateTime into result, which is made afresh: a line read in place is not copied
// (a copy read back wider than it was written stalls).
void parseDateTimeInto(std::string_view line, JournalLine& result) {
    line = line.substr(0, JournalReader::maxLineLength);
    result = JournalLine{};
    if (int values[6]; plainDateTime(line, values)) {
        if (values[1] > maxReadableMonth) {
            result.status = LineStatus::badDate;
        } else {
            result.day = values[0];
            result.month = values[1];
            result.year = values[2];
            result.hour = values[3];
            result.minute = values[4];
            result.second = values[5];
        }
        return;
    }

    const layout::DateAndTimeLayout& d = layout::dateAndTime;
    const std::optional<int64_t> day = fields::readI(d.day.in(line));
    const std::optional<int64_t> month = fields::readI(d.month.in(line));
    const std::optional<int64_t> year = fields::readI(d.year.in(line));
    const std::optional<int64_t> hour = fields::readI(d.hour.in(line));
    const std::optional<int64_t> minute = fields::readI(d.minute.in(line));
    const std::optional<int64_t> second = fields::readI(d.second.in(line));
    // The day count adds the lengths of the months before the month, from a table of twelve:
    // a month of 0 or less adds none and 13 adds the whole year, but beyond 13 there is no
    // table entry to add, so such a month is as unreadable as letters. A line whose date and
    // time are all blank (an empty line, say) is no entry either (blank fields read as 0).
    if (!day || !month || !year || !hour || !minute || !second || *month > maxReadableMonth ||
        ((*day | *month | *year | *hour | *minute | *second) == 0 && allDateFieldsBlank(line))) {
        result.status = LineStatus::badDate;
        return;
    }
    result.day = static_cast<int>(*day);
    result.month = static_cast<int>(*month);
    result.year = static_cast<int>(*year);
    result.hour = static_cast<int>(*hour);
    result.minute = static_cast<int>(*minute);
    result.second = static_cast<int>(*second);
}

}  // namespace

JournalLine parseJournalDateTime(std::string_view line) {
    JournalLine result;
    parseDateTimeInto(line, result);
    return result;
}

LineStatus readEntryDateTime(std::string_view line, EntryDateTime& when) {
    // The usual written form: six plain fields, a readable month and no CR in the line.
    if (int values[6]; plainDateTime(line.substr(0, JournalReader::maxLineLength), values) &&
                       values[1] <= maxReadableMonth && line.find('\r') == std::string_view::npos) {
        when = EntryDateTime{values[0], values[1], values[2], values[3], values[4], values[5]};
        return LineStatus::ok;
    }
    const JournalLine parsed = parseJournalDateTime(line);
    const LineStatus status = classifyLine(line, parsed.status);
    if (status == LineStatus::ok)
        when = EntryDateTime{parsed.day,  parsed.month,  parsed.year,
                             parsed.hour, parsed.minute, parsed.second};
    return status;
}

namespace {

// A value as the readers take it; false when the field holds no number.
bool readValue(std::string_view line, const layout::Value& value, double& number) {
    return fields::readF(value.read.in(line), value.read.digits, number);
}

}  // namespace

namespace {

// parseJournalLine into result, made afresh.
void parseLineInto(std::string_view line, bool readEye, JournalLine& result) {
    line = line.substr(0, JournalReader::maxLineLength);
    parseDateTimeInto(line, result);
    if (result.status != LineStatus::ok) return;

    const layout::CheckLayout& c = layout::check;
    const layout::TrainingLayout& t = layout::training;
    result.isCheck = hasMarker(line, c.marker);
    result.isTraining = hasMarker(line, t.marker);
    bool valuesRead = true;

    if (result.isCheck) {
        double acuity = 0.0, distance = 0.0;
        if (readValue(line, c.acuity, acuity) && readValue(line, c.distance, distance)) {
            result.checkRead = true;
            result.checkAcuity = static_cast<float>(acuity);
            result.checkDistance = static_cast<float>(distance);
            // The mark is read where this program writes it and is only an addition: any
            // other text in these skipped columns leaves the check unmarked.
            if (has(line, c.limitMark)) {
                const std::string_view field = c.trueTo.read.in(line);
                const std::optional<double> trueTo = fields::readF(field, c.trueTo.read.digits);
                if (trueTo && field.find_first_not_of(' ') != std::string_view::npos &&
                    *trueTo >= 0)
                    result.checkTrueTo = static_cast<float>(*trueTo);
            }
            if (readEye) result.eye = eyeAt(line, c.eye);
        } else {
            valuesRead = false;
        }
    }
    if (result.isTraining) {
        double acuity = 0.0, meanTime = 0.0, distance = 0.0;
        int64_t volume = 0;
        if (readValue(line, t.acuity, acuity) && readValue(line, t.meanTime, meanTime) &&
            fields::readI(t.volume.read.in(line), volume) &&
            readValue(line, t.distance, distance)) {
            result.trainingAcuity = static_cast<float>(acuity);
            result.meanTime = static_cast<float>(meanTime);
            result.volume = static_cast<int32_t>(volume);  // six columns always fit
            result.trainingDistance = static_cast<float>(distance);
            if (!result.isCheck && readEye) result.eye = eyeAt(line, t.eye);
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
}

}  // namespace

JournalLine parseJournalLine(std::string_view line, bool readEye) {
    JournalLine result;
    parseLineInto(line, readEye, result);
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
    JournalLine line;
    if (!next(line)) return std::nullopt;
    return line;
}

bool JournalReader::next(JournalLine& line) {
    if (ended_) return false;
    if (!headerSkipped_) {
        headerSkipped_ = true;
        const std::optional<std::string> header = input_.next();
        if (!header) {
            ended_ = true;
            return false;
        }
        if (const LineStatus status = classifyLine(*header, LineStatus::ok);
            status != LineStatus::ok) {
            ended_ = true;
            endStatus_ = status;
            endLine_ = input_.lineNumber();
            return false;
        }
    }
    if (!input_.next(text_)) {
        ended_ = true;
        return false;
    }
    parseLineInto(text_, readEye_, line);
    const LineStatus status = classifyLine(text_, line.status);
    if (status == LineStatus::bareCarriageReturn) line = JournalLine{};  // nothing of it counts
    line.status = status;
    line.lineNumber = input_.lineNumber();
    if (line.status != LineStatus::ok) {
        ended_ = true;
        endStatus_ = line.status;
        endLine_ = line.lineNumber;
    }
    return true;
}

}  // namespace trelvan
