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

std::string withoutBlanks(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (char c : field) {
        if (c != ' ') text += c;
    }
    return text;
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

std::optional<int64_t> readI(std::string_view field) {
    const std::string text = withoutBlanks(field);
    if (text.empty()) return 0;
    size_t pos = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') pos = 1;
    if (pos == text.size()) return std::nullopt;
    uint64_t magnitude = 0;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    for (; pos < text.size(); ++pos) {
        if (!isDigit(text[pos])) return std::nullopt;
        const uint64_t digit = text[pos] - '0';
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (negative) return static_cast<int64_t>(0 - magnitude);
    return static_cast<int64_t>(magnitude);
}

std::optional<double> readF(std::string_view field, int d) {
    const std::string text = withoutBlanks(field);
    if (text.empty()) return 0.0;
    size_t pos = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') pos = 1;

    std::string mantissa;
    bool point = false;
    long fractionDigits = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (isDigit(c)) {
            mantissa += c;
            if (point) ++fractionDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissa.empty()) return std::nullopt;

    long exponent = 0;
    if (pos < text.size()) {
        const char letter = text[pos];
        if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return std::nullopt;
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos] == '-';
            ++pos;
        }
        if (pos == text.size()) return std::nullopt;
        for (; pos < text.size(); ++pos) {
            if (!isDigit(text[pos])) return std::nullopt;
            if (exponent < 100000) exponent = exponent * 10 + (text[pos] - '0');
        }
        if (negativeExponent) exponent = -exponent;
    }
    // Without a point the last d digits are the decimals.
    exponent -= point ? fractionDigits : d;

    // The decimal digits and the power of ten go to strtod as one number, so the result is the
    // double nearest to the text, with no rounding in between.
    const std::string number = (negative ? "-" : "") + mantissa + "e" + std::to_string(exponent);
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

std::string_view LineReader::take(int w) {
    const size_t start = pos_;
    pos_ += w > 0 ? w : 0;
    if (start >= line_.size()) return {};
    return line_.substr(start, pos_ - start);
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
