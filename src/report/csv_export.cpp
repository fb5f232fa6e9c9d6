// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/csv_export.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/fields.h"

namespace trelvan::report {

namespace {

constexpr std::string_view recordEnd = "\r\n";

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The value with d decimals as an F field writes it, without the padding and without a point
// that ends it.
std::string decimal(double value, int d) {
    std::string text = trimmed(fields::F(value, 40, d));
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// Appends value with at least width digits, zero-filled; true when it was done here (values
// of 0 to 9999, every date and time the program writes).
bool appendDigits(std::string& out, int value, int width) {
    if (value < 0 || value > 9999) return false;
    char digits[4];
    int n = 0;
    do {
        digits[3 - n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < width && n < 4) digits[3 - n++] = '0';
    out.append(digits + 4 - n, static_cast<size_t>(n));
    return true;
}

bool isDigitChar(char c) {
    return c >= '0' && c <= '9';
}

// Whether a field holds the separator, a quote, a CR or an LF.
bool needsQuotes(std::string_view text, char separator) {
    for (const char c : text)
        if (c == separator || c == '"' || c == '\r' || c == '\n') return true;
    return false;
}

// writtenValue appended to out. It never needs quoting: it is digits with a sign and a point,
// or asterisks.
void appendWrittenValue(std::string& out, std::string_view line, int first, int width, double value,
                        int decimals) {
    std::string_view field;
    if (static_cast<size_t>(first - 1) < line.size()) field = line.substr(first - 1, width);
    size_t begin = 0;
    size_t end = field.size();
    while (begin < end && field[begin] == ' ') ++begin;
    while (end > begin && field[end - 1] == ' ') --end;
    // Digits with one point and an optional leading minus, the form of every value the
    // program writes, is copied tidied: "200." to 200, ".85" to 0.85. Any other form is
    // written as the value read.
    size_t i = begin;
    const bool negative = i < end && field[i] == '-';
    if (negative) ++i;
    const size_t wholeFrom = i;
    while (i < end && isDigitChar(field[i])) ++i;
    const size_t wholeLength = i - wholeFrom;
    if (i < end && field[i] == '.') {
        const size_t fractionFrom = ++i;
        while (i < end && isDigitChar(field[i])) ++i;
        const size_t fractionLength = i - fractionFrom;
        if (i == end && wholeLength + fractionLength > 0) {
            if (negative) out += '-';
            if (wholeLength == 0) {
                out += '0';
            } else {
                out.append(field.data() + wholeFrom, wholeLength);
            }
            if (fractionLength > 0) {
                out += '.';
                out.append(field.data() + fractionFrom, fractionLength);
            }
            return;
        }
    }
    out += decimal(value, decimals);
}

// A record under construction in one style.
class Record {
  public:
    Record(std::string& rows, CsvStyle style)
        : rows_(rows), separator_(style.decimalComma ? ';' : ','), comma_(style.decimalComma) {}

    void dateTime(const JournalLine& line) {
        start();
        const size_t at = rows_.size();
        appendIsoDateTime(line, rows_);
        // A spreadsheet takes "2013-03-03 12:00:00" for a date and time in every locale.
        if (comma_ && rows_.size() > at + 10 && rows_[at + 10] == 'T') rows_[at + 10] = ' ';
    }
    // A word of letters, which never needs quoting.
    void word(std::string_view letters) {
        start();
        rows_ += letters;
    }
    // A number never needs quoting: digits, a sign, a point, or asterisks.
    void number(std::string_view field) {
        start();
        const size_t at = rows_.size();
        rows_ += field;
        decimalComma(at);
    }
    void integer(int32_t value) {
        start();
        char digits[16];
        const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
        rows_.append(digits, r.ptr);
    }
    // The value as written in the line (see writtenValue).
    void written(std::string_view line, const layout::Value& field, double value) {
        start();
        const size_t at = rows_.size();
        appendWrittenValue(rows_, line, field.read.first, field.read.width, value,
                           field.written.digits);
        decimalComma(at);
    }
    void empty() { start(); }
    void end() {
        rows_ += recordEnd;
        first_ = true;
    }

  private:
    // Points from at on become commas in the decimal-comma form.
    void decimalComma(size_t at) {
        if (comma_)
            for (size_t i = at; i < rows_.size(); ++i)
                if (rows_[i] == '.') rows_[i] = ',';
    }
    void start() {
        if (!first_) rows_ += separator_;
        first_ = false;
    }
    std::string& rows_;
    char separator_;
    bool comma_;
    bool first_ = true;
};

}  // namespace

// The eyes' names are words (see Record::word).
static_assert(std::ranges::all_of(layout::eyeWordings, [](const layout::EyeWording& w) {
    return std::ranges::all_of(w.csvName, [](char c) { return c >= 'a' && c <= 'z'; });
}));

std::string_view eyeName(Eye eye) {
    return layout::wordingOf(eye).csvName;
}

std::string csvField(std::string_view text, char separator) {
    if (!needsQuotes(text, separator)) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

namespace {

// logMar's text, kept: a journal holds few distinct acuities, and the texts of those met last
// are kept by value. It never needs quoting (digits, a sign and a point).
const std::string& logMarText(double acuity) {
    static const std::string none;
    if (!(acuity > 0.0)) return none;
    struct Cached {
        double acuity = 0.0;  // 0: empty (never a key, see above)
        std::string text;
    };
    thread_local std::vector<Cached> cache(4096);
    const uint64_t bits = std::bit_cast<uint64_t>(acuity);
    Cached& slot = cache[(bits * 0x9E3779B97F4A7C15u) >> 52];
    if (slot.acuity != acuity) {
        slot.text = trimmed(fields::F(-std::log10(acuity), 40, 2));
        slot.acuity = acuity;
    }
    return slot.text;
}

}  // namespace

std::string logMar(double acuity) {
    return logMarText(acuity);
}

std::string isoDateTime(const JournalLine& line) {
    std::string text;
    appendIsoDateTime(line, text);
    return text;
}

std::string writtenValue(std::string_view line, int first, int width, double value, int decimals) {
    std::string text;
    appendWrittenValue(text, line, first, width, value, decimals);
    return text;
}

void appendIsoDateTime(const JournalLine& line, std::string& out) {
    // Every date and time the program writes: the 19 characters at once.
    const auto upTo = [](int value, int limit) {
        return static_cast<unsigned>(value) <= static_cast<unsigned>(limit);
    };
    if (upTo(line.year, 9999) && upTo(line.month, 99) && upTo(line.day, 99) &&
        upTo(line.hour, 99) && upTo(line.minute, 99) && upTo(line.second, 99)) {
        const auto two = [](char* at, int value) {
            at[0] = static_cast<char>('0' + value / 10);
            at[1] = static_cast<char>('0' + value % 10);
        };
        char text[19];
        two(text, line.year / 100);
        two(text + 2, line.year % 100);
        text[4] = '-';
        two(text + 5, line.month);
        text[7] = '-';
        two(text + 8, line.day);
        text[10] = 'T';
        two(text + 11, line.hour);
        text[13] = ':';
        two(text + 14, line.minute);
        text[16] = ':';
        two(text + 17, line.second);
        out.append(text, sizeof text);
        return;
    }
    const size_t start = out.size();
    const bool done = appendDigits(out, line.year, 4) && (out += '-', true) &&
                      appendDigits(out, line.month, 2) && (out += '-', true) &&
                      appendDigits(out, line.day, 2) && (out += 'T', true) &&
                      appendDigits(out, line.hour, 2) && (out += ':', true) &&
                      appendDigits(out, line.minute, 2) && (out += ':', true) &&
                      appendDigits(out, line.second, 2);
    if (done) return;
    // Hand-edited fields out of that range (a negative hour, say): written as read.
    out.resize(start);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", line.year, line.month,
                  line.day, line.hour, line.minute, line.second);
    out += text;
}

void appendRows(const JournalLine& line, std::string_view text, std::string& rows, CsvStyle style) {
    if (!line.isCheck && !line.isTraining) return;
    Record r(rows, style);
    const layout::CheckLayout& c = layout::check;
    const layout::TrainingLayout& t = layout::training;
    if (line.isCheck) {
        r.dateTime(line);
        r.word("check");
        r.written(text, c.acuity, line.checkAcuity);
        r.number(logMarText(line.checkAcuity));
        r.empty();
        r.empty();
        r.written(text, c.distance, line.checkDistance);
        if (line.checkTrueTo)
            r.written(text, c.trueTo, *line.checkTrueTo);
        else
            r.empty();
        r.word(eyeName(line.eye));
        r.end();
    }
    if (line.isTraining) {
        r.dateTime(line);
        r.word("training");
        r.written(text, t.acuity, line.trainingAcuity);
        r.number(logMarText(line.trainingAcuity));
        r.written(text, t.meanTime, line.meanTime);
        r.integer(line.volume);
        r.written(text, t.distance, line.trainingDistance);
        r.empty();  // true_to belongs to checks only
        r.word(eyeName(line.eye));
        r.end();
    }
}

CsvExport writeJournalCsv(JournalReader& reader, std::FILE* out, CsvStyle style) {
    CsvExport result;
    std::string rows;
    rows.reserve(1 << 16);
    rows += csvHeader;
    if (style.decimalComma)
        for (char& c : rows)
            if (c == ',') c = ';';
    rows += recordEnd;
    // Rows go out in blocks of about 64 KiB; a failed write ends the export.
    auto flush = [&] {
        errno = 0;
        if (result.writeError == 0 && !rows.empty() &&
            std::fwrite(rows.data(), 1, rows.size(), out) != rows.size()) {
            result.writeError = errno != 0 ? errno : EIO;
        }
        rows.clear();
    };
    for (JournalLine line; reader.next(line);) {
        if (line.status != LineStatus::ok) {
            // As the chart draws it: the check of a line whose training values are
            // unreadable comes out before the reading stops.
            if (line.status == LineStatus::badValues && line.isCheck && line.checkRead) {
                JournalLine check = line;
                check.isTraining = false;
                result.rows += 1;
                appendRows(check, reader.text(), rows, style);
            }
            break;
        }
        result.rows += (line.isCheck ? 1 : 0) + (line.isTraining ? 1 : 0);
        appendRows(line, reader.text(), rows, style);
        if (rows.size() >= (1u << 16) - 512) {
            flush();
            if (result.writeError != 0) return result;
        }
    }
    flush();
    errno = 0;
    if (result.writeError == 0 && std::fflush(out) != 0)
        result.writeError = errno != 0 ? errno : EIO;
    result.endStatus = reader.endStatus();
    result.endLine = reader.endLine();
    result.readError = reader.error();
    return result;
}

}  // namespace trelvan::report
