// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: the fixed-width field readers and the line cursor.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    trelvan::fuzz::fieldsInput(data, size);
    return 0;
}
