// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace trelvan::fields {

namespace {

std::string stars(int w) {
    return std::string(w > 0 ? w : 0, '*');
}

std::string padLeft(const std::string& text, int w) {
    if (static_cast<int>(text.size()) > w) return stars(w);
    return std::string(w - text.size(), ' ') + text;
}

// A magnitude rounded to d decimals, as decimal digits.
struct Decimal {
    bool negative = false;
    std::string whole;     // at least one digit, no leading zeros unless "0"
    std::string fraction;  // exactly d digits
};

bool isZero(const Decimal& dec) {
    return dec.whole.find_first_not_of('0') == std::string::npos &&
           dec.fraction.find_first_not_of('0') == std::string::npos;
}

// Rounds a finite value to d decimals, halves away from zero. The value is first written out
// with all the decimals its binary form has, so the digit after the last kept one and
// everything behind it are exact: a tie is a true tie and nothing is rounded twice.
Decimal roundedDecimal(double value, int d) {
    Decimal dec;
    dec.negative = std::signbit(value);
    const double magnitude = std::fabs(value);

    int exponent = 0;
    std::frexp(magnitude, &exponent);
    // The lowest bit of a double with this exponent is 2^(exponent - 53); 2^-k has k decimals.
    const int exact = magnitude == 0.0 ? 0 : std::max(0, 53 - exponent);
    const int precision = std::max(d + 1, exact);

    // A double has at most 309 digits before the point.
    std::string text(precision + 320, '\0');
    const std::to_chars_result written = std::to_chars(
        text.data(), text.data() + text.size(), magnitude, std::chars_format::fixed, precision);
    text.resize(written.ptr - text.data());

    const size_t point = text.find('.');
    std::string digits = text.substr(0, point) + text.substr(point + 1, d);
    const bool roundUp = text[point + 1 + d] >= '5';
    if (roundUp) {
        int i = static_cast<int>(digits.size()) - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits.insert(digits.begin(), '1');
        }
    }
    dec.whole = digits.substr(0, digits.size() - d);
    dec.fraction = digits.substr(digits.size() - d);
    const size_t firstNonZero = dec.whole.find_first_not_of('0');
    dec.whole = firstNonZero == std::string::npos ? "0" : dec.whole.substr(firstNonZero);
    if (isZero(dec)) dec.negative = false;
    return dec;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string I(int64_t value, int w) {
    return I(value, w, 1);
}

std::string I(int64_t value, int w, int m) {
    if (w <= 0) return "";
    const bool negative = value < 0;
    // The magnitude through unsigned arithmetic, so that the smallest int64 works too.
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(value) : value;
    std::string digits = std::to_string(magnitude);
    if (static_cast<int>(digits.size()) < m) digits.insert(0, m - digits.size(), '0');
    return padLeft(negative ? "-" + digits : digits, w);
}

std::string F(double value, int w, int d) {
    if (w <= 0) return "";
    if (d < 0 || !std::isfinite(value)) return stars(w);
    const Decimal dec = roundedDecimal(value, d);
    const std::string sign = dec.negative ? "-" : "";
    const std::string full = sign + dec.whole + "." + dec.fraction;
    if (static_cast<int>(full.size()) <= w) return padLeft(full, w);
    // The 0 before the point is dropped when only that makes the value fit; without any
    // decimals it is the only digit and stays.
    if (dec.whole == "0" && d > 0) return padLeft(sign + "." + dec.fraction, w);
    return stars(w);
}

std::string L(bool value, int w) {
    if (w <= 0) return "";
    return std::string(w - 1, ' ') + (value ? 'T' : 'F');
}

std::string X(int n) {
    return std::string(n > 0 ? n : 0, ' ');
}

std::optional<int64_t> readIAnyForm(std::string_view field) {
    // Blanks anywhere are ignored: the characters left are an optional sign and digits.
    size_t pos = 0;
    const size_t size = field.size();
    while (pos < size && field[pos] == ' ') ++pos;
    if (pos == size) return 0;
    const bool negative = field[pos] == '-';
    bool digits = false;
    if (field[pos] == '+' || field[pos] == '-') ++pos;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; pos < size; ++pos) {
        const char c = field[pos];
        if (c == ' ') continue;
        if (!isDigit(c)) return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
        digits = true;
    }
    if (!digits) return std::nullopt;
    if (negative) return static_cast<int64_t>(0 - magnitude);
    return static_cast<int64_t>(magnitude);
}

namespace {

constexpr const auto& kExactPowers = detail::exactPowersOfTen;
constexpr long kMaxExactPower = detail::maxExactPower;
constexpr uint64_t kMaxExactInteger = uint64_t{1} << 53;

// The characters of a field other than blanks, one at a time, without copying them.
class NonBlank {
  public:
    explicit NonBlank(std::string_view field) : field_(field) { skip(); }
    bool done() const { return pos_ == field_.size(); }
    char peek() const { return field_[pos_]; }
    void advance() {
        ++pos_;
        skip();
    }

  private:
    void skip() {
        while (pos_ < field_.size() && field_[pos_] == ' ') ++pos_;
    }
    std::string_view field_;
    size_t pos_ = 0;
};

}  // namespace

std::optional<double> readFAnyForm(std::string_view field, int d) {
    NonBlank text(field);
    if (text.done()) return 0.0;
    const bool negative = text.peek() == '-';
    if (text.peek() == '+' || text.peek() == '-') text.advance();

    // The mantissa's digits as an integer while it holds them all (leading zeros aside).
    uint64_t mantissa = 0;
    int significant = 0;  // digits in mantissa from the first non-zero one
    bool anyDigit = false;
    bool point = false;
    long fractionDigits = 0;
    for (; !text.done(); text.advance()) {
        const char c = text.peek();
        if (isDigit(c)) {
            anyDigit = true;
            if (point) ++fractionDigits;
            if (significant > 0 || c != '0') {
                if (significant < 19) mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
                ++significant;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return std::nullopt;

    long exponent = 0;
    if (!text.done()) {
        const char letter = text.peek();
        if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return std::nullopt;
        text.advance();
        bool negativeExponent = false;
        if (!text.done() && (text.peek() == '+' || text.peek() == '-')) {
            negativeExponent = text.peek() == '-';
            text.advance();
        }
        if (text.done()) return std::nullopt;
        for (; !text.done(); text.advance()) {
            const char c = text.peek();
            if (!isDigit(c)) return std::nullopt;
            if (exponent < 100000) exponent = exponent * 10 + (c - '0');
        }
        if (negativeExponent) exponent = -exponent;
    }
    // Without a point the last d digits are the decimals.
    exponent -= point ? fractionDigits : d;

    // An integer of at most 53 bits and a power of ten up to 10^22 are both exact doubles, so
    // one multiplication or division rounds the exact decimal value once: the same double as
    // the conversion of the text below, which every other number takes.
    if (significant <= 19 && mantissa <= kMaxExactInteger && exponent >= -kMaxExactPower &&
        exponent <= kMaxExactPower) {
        const double magnitude = static_cast<double>(mantissa);
        const double value = exponent >= 0 ? magnitude * kExactPowers[exponent]
                                           : magnitude / kExactPowers[-exponent];
        return negative ? -value : value;
    }

    // The decimal digits and the power of ten go to strtod as one number, so the result is the
    // double nearest to the text, with no rounding in between.
    std::string number = negative ? "-" : "";
    NonBlank again(field);
    if (again.peek() == '+' || again.peek() == '-') again.advance();
    for (; !again.done() && (isDigit(again.peek()) || again.peek() == '.'); again.advance()) {
        if (again.peek() != '.') number += again.peek();
    }
    number += "e" + std::to_string(exponent);
    return std::strtod(number.c_str(), nullptr);
}

std::optional<bool> readL(std::string_view field) {
    size_t pos = 0;
    while (pos < field.size() && field[pos] == ' ') ++pos;
    if (pos < field.size() && field[pos] == '.') ++pos;
    if (pos >= field.size()) return std::nullopt;
    switch (field[pos]) {
        case 'T':
        case 't':
            return true;
        case 'F':
        case 'f':
            return false;
        default:
            return std::nullopt;
    }
}

double roundHalfAway(double value, int d) {
    if (!std::isfinite(value)) return value;
    if (d <= 0) return std::round(value);
    const Decimal dec = roundedDecimal(value, d);
    const std::string number = (dec.negative ? "-" : "") + dec.whole + "." + dec.fraction;
    const double rounded = std::strtod(number.c_str(), nullptr);
    // Keep the sign of a value that rounds to zero, as std::round does.
    return rounded == 0.0 ? std::copysign(0.0, value) : rounded;
}

}  // namespace trelvan::fields
