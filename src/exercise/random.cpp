// SPDX-License-Identifier: GPL-3.0-or-later
#include "exercise/random.h"

#include <cmath>

#include "platform/graphics_window.h"

namespace trelvan {

namespace {

constexpr double kModulus = 2147483647.0;  // 2^31 - 1
constexpr double kDivisor = 2147483648.0;  // 2^31
constexpr double kMultiplier = 16807.0;    // 7^5

}  // namespace

Ran11State ran11State;

float RAN11() {
    double& state = ran11State.state;
    state = std::fmod(kMultiplier * state, kModulus);
    return static_cast<float>(state / kDivisor);
}

void resetRan11() {
    ran11State = Ran11State{};
}

void DATETIMEWR(int32_t& day, int32_t& month, int32_t& year, int32_t& hour, int32_t& minute,
                int32_t& second) {
    gw().READLOCALDATE(year, month, day);
    int32_t hundredths = 0;
    gw().READLOCALTIME(hour, minute, second, hundredths);
}

}  // namespace trelvan
