// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the digit figure loader (trelvan.sym). Its stops throw on the headless services.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)trelvan::fuzz::symbolsInput(data, size);
    return 0;
}
