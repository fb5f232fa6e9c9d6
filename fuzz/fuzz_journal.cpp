// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the results journal reader (trelvan.rez) and the chart's date pass.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)trelvan::fuzz::journalInput(data, size);
    return 0;
}
