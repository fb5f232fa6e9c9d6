// SPDX-License-Identifier: GPL-3.0-or-later
// The layouts of the journal's entry lines, in one table: the writer puts every field where
// the table says, the reader takes every field from there, and the CSV export copies the
// values as they stand there. A new column goes into this table, inside the blanks every
// reader skips (columns 27-42 of a training, 38-67 of a check), and the checks at the end of
// this file keep it there.
//
// Columns are 1-based and count bytes (Windows-1251); the notation is that of fields::I
// (Iw.m) and fields::F (Fw.d).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trelvan {

// The eye an exercise was done with. Entries written before the eye was recorded, and entries
// whose mark is missing or unknown, are for both eyes.
enum class Eye : int32_t { both = 0, right = 1, left = 2 };

namespace layout {

// The Windows-1251 bytes of a UTF-8 text of ASCII and Russian letters, made by the compiler
// (any other character does not compile).
template <size_t N>
class Cp1251 {
  public:
    // Made from a literal, like a string_view (so not explicit).
    consteval Cp1251(const char (&utf8)[N]) {
        for (size_t i = 0; i + 1 < N; ++i) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            if (lead < 0x80) {
                bytes_[size_++] = static_cast<char>(lead);
                continue;
            }
            if ((lead & 0xE0u) != 0xC0u || i + 2 >= N) notRussian();
            const unsigned code =
                ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3Fu);
            if (code >= 0x410 && code <= 0x44F) {
                bytes_[size_++] = static_cast<char>(code - 0x410 + 0xC0);  // А-я
            } else if (code == 0x401) {
                bytes_[size_++] = static_cast<char>(0xA8);  // Ё
            } else if (code == 0x451) {
                bytes_[size_++] = static_cast<char>(0xB8);  // ё
            } else {
                notRussian();
            }
        }
    }
    constexpr std::string_view view() const { return {bytes_, size_}; }

  private:
    // Called only for a text it cannot convert, which stops the compilation there.
    static void notRussian() {}

    char bytes_[N]{};
    size_t size_ = 0;
};

// A field of fixed width: Iw.m (digits = m, 0 for a plain Iw) or Fw.d (digits = d).
struct Field {
    int first;  // 1-based column
    int width;
    int digits;
    constexpr size_t offset() const { return static_cast<size_t>(first - 1); }
    constexpr int last() const { return first + width - 1; }
    // The field's columns in the line: shorter, or empty, where the line ends before them.
    constexpr std::string_view in(std::string_view line) const {
        const size_t at = offset();
        if (at >= line.size()) return {};
        const size_t size = line.size() - at < static_cast<size_t>(width)
                                ? line.size() - at
                                : static_cast<size_t>(width);
        return {line.data() + at, size};
    }
};

// A fixed text at a column: a marker, the letters between the date fields, a mark.
struct Text {
    int first;
    std::string_view bytes;  // Windows-1251
    constexpr size_t offset() const { return static_cast<size_t>(first - 1); }
    constexpr int last() const { return first + static_cast<int>(bytes.size()) - 1; }
};

// A value as the writer puts it and as the readers take it. The readers' field of some values
// is wider, reaching into the blanks before it, or has other decimals (a point in the field
// wins over them, and the writer always writes one).
struct Value {
    Field written;
    Field read;
};

// Columns 1-26 of both kinds: 1X,I2.2,'.',I2.2,'.',I4,'г, ',I2,'ч ',I2,'м ',I2,'с,'.
// The readers take the same fields as integers (I2, I4).
struct DateAndTimeLayout {
    Field day, month, year, hour, minute, second;
    Text texts[6];  // after the day, the month, the year, the hour, the minute, the second
    constexpr std::array<Field, 6> fields() const {
        return {day, month, year, hour, minute, second};
    }
};

// A training: date and time, 16 blanks (27-42), the marker and the values.
// 'ОЗп=',F4.2,F10.2,I6,2X,F5.0, read as 46X,F4.2,F10.0,I6,F7.0.
struct TrainingLayout {
    Field skipped;  // the blanks every reader skips
    Text marker;
    Value acuity;
    Value meanTime;  // seconds
    Value volume;    // figures shown
    Value distance;  // cm
    Field eye;       // the eye mark, an addition in the skipped blanks
    int length;      // without the line end
};

// A vision check: date and time, 3 blanks, the marker and the acuity, 32 blanks (38-69) and
// the distance. 'ОЗи=',F4.2,32X,F5.0, read as 33X,F4.0,30X,F7.0.
struct CheckLayout {
    Field skipped;  // the blanks every reader skips (38-67)
    Text marker;
    Value acuity;
    Value distance;  // cm
    // The screen-limit mark, an addition in the skipped blanks: 1X,'экран до ',F4.2 in
    // columns 38-51 when the result lies above the highest level the screen draws true to
    // size (trueTo).
    Text limitMark;
    Value trueTo;
    Field eye;   // the eye mark, an addition in the skipped blanks
    int length;  // without the line end
};

// The eye marks (8 columns, blank-padded) and the names the CSV gives the eyes.
struct EyeWording {
    Eye eye;
    std::string_view mark;     // Windows-1251
    std::string_view csvName;  // ASCII
};

namespace texts {
inline constexpr Cp1251 year("г, ");
inline constexpr Cp1251 hour("ч ");
inline constexpr Cp1251 minute("м ");
inline constexpr Cp1251 second("с,");
inline constexpr Cp1251 trainingMarker("ОЗп=");
inline constexpr Cp1251 checkMarker("ОЗи=");
inline constexpr Cp1251 limitMark("экран до ");
inline constexpr Cp1251 eyeBoth("гл.оба  ");
inline constexpr Cp1251 eyeRight("гл.прав ");
inline constexpr Cp1251 eyeLeft("гл.лев  ");
}  // namespace texts

inline constexpr DateAndTimeLayout dateAndTime{
    .day = {2, 2, 2},
    .month = {5, 2, 2},
    .year = {8, 4, 0},
    .hour = {15, 2, 0},
    .minute = {19, 2, 0},
    .second = {23, 2, 0},
    .texts = {{4, "."},
              {7, "."},
              {12, texts::year.view()},
              {17, texts::hour.view()},
              {21, texts::minute.view()},
              {25, texts::second.view()}},
};

inline constexpr TrainingLayout training{
    .skipped = {27, 16, 0},
    .marker = {43, texts::trainingMarker.view()},
    .acuity = {.written = {47, 4, 2}, .read = {47, 4, 2}},
    .meanTime = {.written = {51, 10, 2}, .read = {51, 10, 0}},
    .volume = {.written = {61, 6, 0}, .read = {61, 6, 0}},
    .distance = {.written = {69, 5, 0}, .read = {67, 7, 0}},
    .eye = {34, 8, 0},
    .length = 73,
};

inline constexpr CheckLayout check{
    .skipped = {38, 30, 0},
    .marker = {30, texts::checkMarker.view()},
    .acuity = {.written = {34, 4, 2}, .read = {34, 4, 0}},
    .distance = {.written = {70, 5, 0}, .read = {68, 7, 0}},
    .limitMark = {39, texts::limitMark.view()},
    .trueTo = {.written = {48, 4, 2}, .read = {48, 4, 2}},
    .eye = {56, 8, 0},
    .length = 74,
};

inline constexpr EyeWording eyeWordings[] = {
    {Eye::both, texts::eyeBoth.view(), "both"},
    {Eye::right, texts::eyeRight.view(), "right"},
    {Eye::left, texts::eyeLeft.view(), "left"},
};

// The wording of an eye.
constexpr const EyeWording& wordingOf(Eye eye) {
    for (const EyeWording& w : eyeWordings)
        if (w.eye == eye) return w;
    return eyeWordings[0];
}

// --- Checks of the table --------------------------------------------------------------------

namespace detail {

// The date and time fields and texts follow each other from column 2 to 26.
constexpr bool dateAndTimeContiguous() {
    int next = 2;
    for (size_t i = 0; i < 6; ++i) {
        const Field field = dateAndTime.fields()[i];
        if (field.first != next || dateAndTime.texts[i].first != field.last() + 1) return false;
        next = dateAndTime.texts[i].last() + 1;
    }
    return next == 27;
}

constexpr bool inside(int first, int last, const Field& within) {
    return first >= within.first && last <= within.last();
}

// The reader's field of the value covers the one written and ends with it.
constexpr bool covers(const Value& v) {
    return v.read.first <= v.written.first && v.read.last() == v.written.last();
}

}  // namespace detail

static_assert(detail::dateAndTimeContiguous());
// Each kind: the blanks, then the marker, then the values, the last one ending the line.
static_assert(training.skipped.first == 27 && training.skipped.last() + 1 == training.marker.first);
static_assert(training.marker.last() + 1 == training.acuity.written.first &&
              training.acuity.written.last() + 1 == training.meanTime.written.first &&
              training.meanTime.written.last() + 1 == training.volume.written.first &&
              training.volume.written.last() + 3 == training.distance.written.first &&  // 2X
              training.distance.written.last() == training.length);
static_assert(check.marker.first == 30 && check.marker.last() + 1 == check.acuity.written.first &&
              check.acuity.written.last() + 1 == check.skipped.first &&
              check.distance.written.last() == check.length);
// The additions stay in the skipped blanks, apart from each other.
static_assert(detail::inside(training.eye.first, training.eye.last(), training.skipped));
static_assert(detail::inside(check.limitMark.first - 1, check.trueTo.written.last(),
                             check.skipped) &&
              check.limitMark.last() + 1 == check.trueTo.written.first);
static_assert(detail::inside(check.eye.first, check.eye.last(), check.skipped) &&
              check.eye.first > check.trueTo.written.last());
static_assert(detail::covers(training.acuity) && detail::covers(training.meanTime) &&
              detail::covers(training.volume) && detail::covers(training.distance) &&
              detail::covers(check.acuity) && detail::covers(check.distance) &&
              detail::covers(check.trueTo));
// The markers are four characters, and the eye marks fill their fields.
static_assert(training.marker.bytes.size() == 4 && check.marker.bytes.size() == 4);
static_assert(eyeWordings[0].mark.size() == 8 && eyeWordings[1].mark.size() == 8 &&
              eyeWordings[2].mark.size() == 8 && training.eye.width == 8 && check.eye.width == 8);

}  // namespace layout
}  // namespace trelvan
