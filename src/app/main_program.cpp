#include "app/main_program.h"

#include "app/event_state.h"

namespace trelvan {

void TYPXY(int32_t, int32_t, int32_t, int32_t, int32_t) {}
void TRITOUT_S(bool) { eventState.menuRequest = 3; }
void PROGEXIT(bool) { gw().orderlyStop(0); }
bool INITIALSETTINGS() { return true; }
void MAIN__() { stopProgram(0); }

}  // namespace trelvan
