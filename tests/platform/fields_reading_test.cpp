// SPDX-License-Identifier: GPL-3.0-or-later
// The field readers against a plain model of the notation: the text without its blanks, taken
// apart character by character, and a real converted by strtod from its digits and its power
// of ten (the double nearest to the decimal value). The readers take most numbers without
// building any text; the model shows that the shortcut gives the same values bit for bit and
// refuses the same fields.
#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "platform/fields.h"

namespace trelvan::fields {
namespace {

std::string withoutBlanks(std::string_view field) {
    std::string text;
    for (char c : field) {
        if (c != ' ') text += c;
    }
    return text;
}

bool digit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<int64_t> modelI(std::string_view field) {
    const std::string text = withoutBlanks(field);
    if (text.empty()) return 0;
    size_t pos = text[0] == '+' || text[0] == '-' ? 1 : 0;
    if (pos == text.size()) return std::nullopt;
    for (size_t i = pos; i < text.size(); ++i) {
        if (!digit(text[i])) return std::nullopt;
    }
    const std::string digits = text.substr(pos);
    if (digits.size() > 25) return std::nullopt;  // beyond any int64 whatever the zeros
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return value;
}

std::optional<double> modelF(std::string_view field, int d) {
    const std::string text = withoutBlanks(field);
    if (text.empty()) return 0.0;
    size_t pos = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') pos = 1;
    std::string mantissa;
    bool point = false;
    long fraction = 0;
    for (; pos < text.size(); ++pos) {
        if (digit(text[pos])) {
            mantissa += text[pos];
            if (point) ++fraction;
        } else if (text[pos] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (mantissa.empty()) return std::nullopt;
    long exponent = 0;
    if (pos < text.size()) {
        if (std::string_view("EeDd").find(text[pos]) == std::string_view::npos) return std::nullopt;
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negativeExponent = text[pos++] == '-';
        }
        if (pos == text.size()) return std::nullopt;
        for (; pos < text.size(); ++pos) {
            if (!digit(text[pos])) return std::nullopt;
            if (exponent < 100000) exponent = exponent * 10 + (text[pos] - '0');
        }
        if (negativeExponent) exponent = -exponent;
    }
    exponent -= point ? fraction : d;
    const std::string number = (negative ? "-" : "") + mantissa + "e" + std::to_string(exponent);
    return std::strtod(number.c_str(), nullptr);
}

void expectSameI(std::string_view field) {
    const std::optional<int64_t> got = readI(field);
    const std::optional<int64_t> want = modelI(field);
    ASSERT_EQ(got.has_value(), want.has_value()) << '"' << field << '"';
    if (got) {
        ASSERT_EQ(*got, *want) << '"' << field << '"';
    }
}

void expectSameF(std::string_view field, int d) {
    const std::optional<double> got = readF(field, d);
    const std::optional<double> want = modelF(field, d);
    ASSERT_EQ(got.has_value(), want.has_value()) << '"' << field << "\" d=" << d;
    if (got) {
        ASSERT_EQ(std::bit_cast<uint64_t>(*got), std::bit_cast<uint64_t>(*want))
            << '"' << field << "\" d=" << d << ": " << *got << " against " << *want;
    }
}

GTEST_TEST(FieldsReadingAgainstModel, HandEditedForms) {
    const char* const fields[] = {
        "",
        "    ",
        "0.85",
        " .85",
        "85",
        "8 5",
        "-0",
        "- 0.5",
        "+1.25",
        "1.",
        ".",
        "-",
        "+",
        "1e2",
        "1E-2",
        "1d3",
        "1D+3",
        "2.5e",
        "2.5e+",
        "1e2.5",
        "1.2.3",
        "--1",
        "1-",
        "0.1e1",
        "12345678",
        "1 2 3 . 4 5",
        "00000000.5",
        "1e99999",
        "1e-99999",
        "1e400",
        "1e-400",
        "4.9e-324",
        "2.5e-324",
        "9007199254740993",
        "1.7976931348623157e308",
        "123456789012345678901234567890",
        "0.000000000000000000000000001",
        "1e22",
        "1e23",
        "3e22",
        "9007199254740992e22",
        "1x",
        "\t1",
        "1,5",
        "200.",
        "250.",
        "   1.23",
        "     100",
    };
    for (const char* field : fields) {
        for (int d = -1; d <= 4; ++d) expectSameF(field, d);
        expectSameI(field);
    }
    for (int d : {-30, 20, 23, 100000}) expectSameF("12", d);
}

GTEST_TEST(FieldsReadingAgainstModel, RandomFieldsOfTheNotationsCharacters) {
    std::mt19937_64 random(24);
    constexpr std::string_view alphabet = "0123456789 .+-eEdD 09.5";
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> decimals(0, 3);
    for (int n = 0; n < 200000; ++n) {
        std::string field(static_cast<size_t>(length(random)), ' ');
        for (char& c : field) c = alphabet[pick(random)];
        expectSameF(field, decimals(random));
        expectSameI(field);
    }
}

GTEST_TEST(FieldsReadingAgainstModel, NumbersAroundTheExactRange) {
    // Mantissas of 15 to 20 digits and powers of ten just inside and outside 10^22.
    std::mt19937_64 random(53);
    for (int n = 0; n < 100000; ++n) {
        const int digits = 15 + static_cast<int>(random() % 6);
        std::string field;
        for (int i = 0; i < digits; ++i) field += static_cast<char>('0' + random() % 10);
        if (random() % 2 != 0) field.insert(random() % field.size(), ".");
        field += "e" + std::to_string(static_cast<int>(random() % 61) - 30);
        expectSameF(field, 0);
    }
}

}  // namespace
}  // namespace trelvan::fields
