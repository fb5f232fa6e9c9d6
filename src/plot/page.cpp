#include "plot/plot.h"

namespace trelvan {

PlotState plotState;

void resetPlotState() { plotState = PlotState{}; }

}  // namespace trelvan
