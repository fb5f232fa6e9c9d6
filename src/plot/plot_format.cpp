// Label texts of AXES in the fixed-width field notation.
//
// TODO: use fields::F once available. Until the field module is in place, the two layouts
// AXES needs (Fw.d and Iw) are written here by a small private formatter with the same
// rules: right-justified, a 0 before the point when the field has room, exact ties rounded
// away from zero, and w asterisks for a value that does not fit.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "plot/plot_internal.h"

namespace trelvan::plotdetail {

namespace {

std::string fitOrStars(const std::string& text, int w) {
    if (static_cast<int>(text.size()) > w) return std::string(w, '*');
    return std::string(w - text.size(), ' ') + text;
}

// Fw.d. The value is first written with all the digits of its binary value, so that the
// rounding below sees exact ties (0.125 to two decimals is a tie; 0.15 is not, its binary
// value lies a little below). A negative value keeps its minus sign even when it rounds
// to zero.
std::string F(double value, int w, int d) {
    if (!std::isfinite(value)) return std::string(w, '*');
    const bool negative = value < 0.0;
    // 1074 fractional digits hold every double exactly.
    constexpr int kExactDigits = 1074;
    const int length = std::snprintf(nullptr, 0, "%.*f", kExactDigits, std::fabs(value));
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), "%.*f", kExactDigits, std::fabs(value));
    const std::string exact(buffer.data());
    const size_t point = exact.find('.');

    // Integer digits followed by the d kept decimals, rounded half away from zero on the
    // first dropped digit.
    std::string digits = exact.substr(0, point) + exact.substr(point + 1, d);
    if (exact[point + 1 + d] >= '5') {
        int pos = static_cast<int>(digits.size()) - 1;
        while (pos >= 0 && digits[pos] == '9') digits[pos--] = '0';
        if (pos >= 0) {
            ++digits[pos];
        } else {
            digits.insert(digits.begin(), '1');
        }
    }
    std::string integerPart = digits.substr(0, digits.size() - d);
    const std::string fraction = digits.substr(digits.size() - d);
    while (integerPart.size() > 1 && integerPart[0] == '0') integerPart.erase(0, 1);

    std::string text = (negative ? "-" : "") + integerPart + "." + fraction;
    // The 0 before the point is optional when decimals follow; it goes first when room is
    // short.
    if (static_cast<int>(text.size()) > w && integerPart == "0" && d > 0) {
        text = (negative ? "-" : "") + std::string(".") + fraction;
    }
    return fitOrStars(text, w);
}

// Iw.
std::string I(int64_t value, int w) {
    return fitOrStars(std::to_string(value), w);
}

}  // namespace

std::string valueLabel(float value, int32_t decimals) {
    return F(value, 6, decimals);
}

std::string exponentLabel(int32_t e) {
    if (e > 0) return "*E" + I(-int64_t{e}, 3);
    return "*E+" + I(-int64_t{e}, 2);
}

}  // namespace trelvan::plotdetail
