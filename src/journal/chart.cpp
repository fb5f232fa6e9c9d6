#include "journal/chart.h"

namespace trelvan {

void TRITOUT() {}

int32_t NDAYS(int32_t, int32_t, int32_t) { return 0; }

}  // namespace trelvan
