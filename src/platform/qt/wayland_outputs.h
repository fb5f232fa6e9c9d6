// SPDX-License-Identifier: GPL-3.0-or-later
// The outputs of a Wayland compositor as the compositor itself describes them.
#pragma once

#include <string>
#include <vector>

namespace trelvan {

struct WaylandOutput {
    std::string name;           // the connector's name (empty before wl_output version 4)
    int x = 0, y = 0;           // position in the compositor's space
    int width = 0, height = 0;  // current mode in device pixels, as the output is turned
    int scale = 1;              // integer scale the compositor asks clients to render at
    int widthMm = 0;            // physical size as the output reports it, as it is turned;
    int heightMm = 0;           // 0 when it reports none
};

// Reads every output over a connection of its own to WAYLAND_DISPLAY; empty when there is no
// compositor.
std::vector<WaylandOutput> waylandOutputs();

// The output of the screen Qt calls name at the logical position x, y: by name, else by
// position, else the only one. Null when none fits.
const WaylandOutput* findOutput(const std::vector<WaylandOutput>& outputs, const std::string& name,
                                int x, int y);

// How an output shows a window whose buffer is painted at the device pixel ratio.
struct OutputScaling {
    double shown = 1;   // device pixels of the output per logical pixel of a window
    bool exact = true;  // every pixel of the painted buffer is one device pixel
};

// Compositors lay their outputs out in one of two ways, seen in the logical size (the size
// windows are laid out in, as xdg-output reports it). Either the layout counts device pixels
// (mutter's default: logical size = mode) and a window's surface is enlarged by the output's
// integer scale; or it counts logical pixels (wlroots, KWin, mutter's
// scale-monitor-framebuffer: logical size = mode / desktop scale, rounded) and the compositor
// fits the painted buffer into the logical size, which is exact only when the logical size
// times the ratio is the mode itself.
OutputScaling outputScaling(const WaylandOutput& output, int logicalWidth, int logicalHeight,
                            double ratio);

}  // namespace trelvan
