// SPDX-License-Identifier: GPL-3.0-or-later
#include "exercise/random.h"

#include <bit>
#include <cmath>

#include "platform/graphics_window.h"

namespace trelvan {

namespace {

constexpr double kModulus = 2147483647.0;  // 2^31 - 1
constexpr double kDivisor = 2147483648.0;  // 2^31
constexpr double kMultiplier = 16807.0;    // 7^5
// 1.2147483647 rounded to single precision and widened: the state keeps a fractional part.
constexpr double kStartState = std::bit_cast<double>(uint64_t{0x3FF36F9C00000000});

double state = kStartState;

}  // namespace

float RAN11() {
    state = std::fmod(kMultiplier * state, kModulus);
    return static_cast<float>(state / kDivisor);
}

void resetRan11() {
    state = kStartState;
}

void DATETIMEWR(int32_t& day, int32_t& month, int32_t& year, int32_t& hour, int32_t& minute,
                int32_t& second) {
    gw().READLOCALDATE(year, month, day);
    int32_t hundredths = 0;
    gw().READLOCALTIME(hour, minute, second, hundredths);
}

}  // namespace trelvan
