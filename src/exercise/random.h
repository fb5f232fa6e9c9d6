// SPDX-License-Identifier: GPL-3.0-or-later
// The one uniform random source of the program, and the local date and time for journal lines.
#pragma once

#include <bit>
#include <cstdint>

namespace trelvan {

// RAN11's state: 1.2147483647 rounded to single precision and widened, so it keeps a
// fractional part.
struct Ran11State {
    double state = std::bit_cast<double>(uint64_t{0x3FF36F9C00000000});
};

// Part of the program state (app/program_state.h).
extern Ran11State ran11State;

// Next value of the generator, in [0, 1]. The sequence starts from the same state on every run.
float RAN11();

// Puts the generator back to its start state.
void resetRan11();

// Local date and time; the hundredths of a second are dropped.
void DATETIMEWR(int32_t& day, int32_t& month, int32_t& year, int32_t& hour, int32_t& minute,
                int32_t& second);

}  // namespace trelvan
