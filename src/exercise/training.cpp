#include "exercise/exercises.h"

namespace trelvan {

void TEST(int32_t, const int32_t (&)[9], const SymbolOffsets&, int16_t, int16_t) {}

}  // namespace trelvan
