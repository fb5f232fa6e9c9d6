#include "params/parameters.h"

namespace trelvan {

ParameterSet parameterSet;

void VVDALND() { parameterSet = ParameterSet{}; }

}  // namespace trelvan
