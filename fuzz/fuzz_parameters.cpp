// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the parameter file reader (trelvan.vvd).
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)trelvan::fuzz::parametersInput(data, size);
    return 0;
}
