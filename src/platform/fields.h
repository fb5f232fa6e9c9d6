// SPDX-License-Identifier: GPL-3.0-or-later
// Fixed-width text fields: the one notation every file and every screen text is written and
// read in.
//
//   Iw, Iw.m  integer, right-justified (at least m digits, zero-filled)
//   Fw.d      real rounded to d decimals (exact ties away from zero), right-justified,
//             a 0 before the point when there is room
//   Lw        T or F right-justified
//   A         text unchanged
//   nX        n blanks / skip n characters
//   'text'    literal text
//   /         next line
//
// A value that does not fit its field is written as w asterisks; in an F field the 0 before
// the point is dropped first when that alone makes the value fit (F3.2 of 0.5 is ".50").
// A value that rounds to zero is written without a minus sign. w <= 0 gives an empty text. Texts
// are byte strings (Windows-1251); column numbers count bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trelvan::fields {

// --- Writing: each returns exactly w characters -----------------------------------------
std::string I(int64_t value, int w);
std::string I(int64_t value, int w, int m);  // Iw.m
std::string F(double value, int w, int d);
std::string L(bool value, int w);
std::string X(int n);

// --- Reading a field of w characters --------------------------------------------------
// The field is text[0 .. w); a text shorter than w is treated as padded with blanks.
// Blanks are ignored; an all-blank field is 0. Anything else that is not a number gives
// no value (a conversion error).
std::optional<int64_t> readI(std::string_view field);
// readI of a field in any form; readI itself takes the commonest, blanks and then a few
// digits (which cannot overflow), inline, and hands every other to this.
std::optional<int64_t> readIAnyForm(std::string_view field);
// readI into value, without an optional: false, value untouched, where readI gives none.
inline bool readI(std::string_view field, int64_t& value) {
    size_t i = 0;
    const size_t size = field.size();
    while (i < size && field[i] == ' ') ++i;
    if (size - i <= 18) {
        int64_t v = 0;
        for (; i < size && field[i] >= '0' && field[i] <= '9'; ++i) v = v * 10 + (field[i] - '0');
        if (i == size) {
            value = v;
            return true;
        }
    }
    const std::optional<int64_t> read = readIAnyForm(field);
    if (read) value = *read;
    return read.has_value();
}
inline std::optional<int64_t> readI(std::string_view field) {
    int64_t value = 0;
    if (!readI(field, value)) return std::nullopt;
    return value;
}
// An explicit decimal point wins over d; without one the digits are scaled by 10^-d.
// Accepts an optional sign, digits, one point, and an exponent (E or D, optionally signed).
std::optional<double> readF(std::string_view field, int d);
// readF of a field in any form; readF itself takes the commonest, blanks and then an optional
// sign, digits and a point up to the end, whose digits make an exact double, inline, and
// hands every other to this.
std::optional<double> readFAnyForm(std::string_view field, int d);
namespace detail {
// Powers of ten that a double holds exactly.
inline constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
inline constexpr long maxExactPower = 22;
inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
}  // namespace detail
// readF into value, without an optional (one returned from a call that is not inlined is
// stored and read back, which stalls): false, value untouched, where readF gives none.
inline bool readF(std::string_view field, int d, double& value) {
    // At most 15 digits are an integer below 2^53, exact in a double, and a power of ten up
    // to 10^22 is exact too: one multiplication or division rounds the exact decimal value
    // once, as the conversion of the text would.
    using detail::isDigit;
    const char* p = field.data();
    const char* const end = p + field.size();
    while (p != end && *p == ' ') ++p;
    if (p == end) {
        value = 0.0;
        return true;
    }
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    uint64_t mantissa = 0;
    const char* const first = p;
    for (; p != end && isDigit(*p); ++p) mantissa = mantissa * 10 + uint64_t(*p - '0');
    long fractionDigits = 0;
    const bool point = p != end && *p == '.';
    if (point) {
        const char* const fraction = ++p;
        for (; p != end && isDigit(*p); ++p) mantissa = mantissa * 10 + uint64_t(*p - '0');
        fractionDigits = p - fraction;
    }
    const long digits = (p - first) - (point ? 1 : 0);
    if (p == end && digits > 0 && digits <= 15) {
        const long exponent = point ? -fractionDigits : -static_cast<long>(d);
        if (exponent >= -detail::maxExactPower && exponent <= detail::maxExactPower) {
            const double magnitude = static_cast<double>(mantissa);
            const double v = exponent >= 0 ? magnitude * detail::exactPowersOfTen[exponent]
                                           : magnitude / detail::exactPowersOfTen[-exponent];
            value = negative ? -v : v;
            return true;
        }
    }
    const std::optional<double> read = readFAnyForm(field, d);
    if (read) value = *read;
    return read.has_value();
}
inline std::optional<double> readF(std::string_view field, int d) {
    double value = 0.0;
    if (!readF(field, d, value)) return std::nullopt;
    return value;
}
// The first letter T or F (either case) after optional blanks and a point; the rest ignored.
std::optional<bool> readL(std::string_view field);

// Cursor over one line for reading a layout left to right (blank-padded past the end).
class LineReader {
  public:
    explicit LineReader(std::string_view line) : line_(line) {}
    void skip(int n) { pos_ += n; }  // nX
    // The next w columns (may be short).
    std::string_view take(int w) {
        const size_t start = pos_;
        pos_ += w > 0 ? static_cast<size_t>(w) : 0;
        if (start >= line_.size()) return {};
        return line_.substr(start, pos_ - start);
    }
    std::optional<int64_t> i(int w) { return readI(take(w)); }
    std::optional<double> f(int w, int d) { return readF(take(w), d); }
    std::optional<bool> l(int w) { return readL(take(w)); }
    size_t position() const { return pos_; }

  private:
    std::string_view line_;
    size_t pos_ = 0;
};

// Round half away from zero to d decimals (d >= 0; a negative d counts as 0), the rule of
// every F field and every pixel coordinate that is rounded. A tie is judged on the exact
// binary value: 1.125 is a tie and becomes 1.13, while 1.005, stored as 1.00499999999999989...,
// is not and becomes 1.0. The result is the double nearest to the rounded decimal.
double roundHalfAway(double value, int d = 0);

}  // namespace trelvan::fields
