// The outputs of a Wayland compositor as the compositor itself describes them.
#pragma once

#include <vector>

namespace trelvan {

struct WaylandOutput {
    int x = 0, y = 0;           // position in the compositor's space
    int width = 0, height = 0;  // current mode in device pixels, as the output is turned
    int scale = 1;              // integer scale the compositor asks clients to render at
};

// Reads every output over a connection of its own to WAYLAND_DISPLAY; empty when there is no
// compositor.
std::vector<WaylandOutput> waylandOutputs();

// Device pixels of the output per logical pixel of its logical size (the size windows are laid
// out in): the ratio a client paints at, unless the output's mode says the compositor shrinks
// or stretches the painted buffer to another, fractional scale.
double screenScale(const WaylandOutput& output, int logicalWidth, int logicalHeight, double ratio);

}  // namespace trelvan
