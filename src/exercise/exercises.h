// SPDX-License-Identifier: GPL-3.0-or-later
// The two exercises the start screen starts.
#pragma once

#include <cstdint>

#include "app/symbols.h"

namespace trelvan {

// Training at element size p; returns when finished or abandoned.
void TEST(int32_t p, const int32_t (&cellCounts)[9], const SymbolOffsets& cellOffsets,
          int16_t windowWidth, int16_t windowHeight);

// Vision check; returns when finished or abandoned.
void EVETEST(int32_t windowWidth, int32_t windowHeight);

}  // namespace trelvan
