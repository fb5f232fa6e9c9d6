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

}  // namespace trelvan
