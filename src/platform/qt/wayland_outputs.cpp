// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/wayland_outputs.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace trelvan {

namespace {

struct Output {
    wl_output* proxy = nullptr;
    WaylandOutput info;
    bool turned = false;  // a transform of 90 or 270 degrees
};

void onGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t widthMm, int32_t heightMm,
                int32_t, const char*, const char*, int32_t transform) {
    auto* o = static_cast<Output*>(data);
    o->info.x = x;
    o->info.y = y;
    // Outputs that know nothing of their size say 0 (or -1, against the protocol).
    o->info.widthMm = widthMm > 0 && heightMm > 0 ? widthMm : 0;
    o->info.heightMm = widthMm > 0 && heightMm > 0 ? heightMm : 0;
    o->turned = transform % 2 == 1;
}

void onMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
    auto* o = static_cast<Output*>(data);
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        o->info.width = width;
        o->info.height = height;
    }
}

void onDone(void*, wl_output*) {}

void onScale(void* data, wl_output*, int32_t factor) {
    static_cast<Output*>(data)->info.scale = factor;
}

void onName(void* data, wl_output*, const char* name) {
    static_cast<Output*>(data)->info.name = name != nullptr ? name : "";
}
void onDescription(void*, wl_output*, const char*) {}

const wl_output_listener outputListener{onGeometry, onMode, onDone, onScale, onName, onDescription};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    if (std::strcmp(interface, wl_output_interface.name) != 0 || version < 2) return;
    auto* outputs = static_cast<std::vector<std::unique_ptr<Output>>*>(data);
    auto o = std::make_unique<Output>();
    // Version 4 adds the output's name, which Qt names its screen by.
    o->proxy = static_cast<wl_output*>(
        wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4u)));
    wl_output_add_listener(o->proxy, &outputListener, o.get());
    outputs->push_back(std::move(o));
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

}  // namespace

std::vector<WaylandOutput> waylandOutputs() {
    std::vector<WaylandOutput> result;
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return result;
    std::vector<std::unique_ptr<Output>> outputs;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &outputs);
    // The first round trip announces the outputs, the second their modes and scales.
    if (wl_display_roundtrip(display) >= 0 && wl_display_roundtrip(display) >= 0) {
        for (const auto& o : outputs) {
            WaylandOutput info = o->info;
            if (o->turned) {
                std::swap(info.width, info.height);
                std::swap(info.widthMm, info.heightMm);
            }
            result.push_back(info);
        }
    }
    for (const auto& o : outputs) wl_output_destroy(o->proxy);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return result;
}

const WaylandOutput* findOutput(const std::vector<WaylandOutput>& outputs, const std::string& name,
                                int x, int y) {
    if (!name.empty())
        for (const WaylandOutput& o : outputs)
            if (o.name == name) return &o;
    for (const WaylandOutput& o : outputs)
        if (o.x == x && o.y == y) return &o;
    return outputs.size() == 1 ? &outputs.front() : nullptr;
}

OutputScaling outputScaling(const WaylandOutput& output, int logicalWidth, int logicalHeight,
                            double ratio) {
    const long whole = std::lround(ratio);
    const bool integral = std::abs(ratio - double(whole)) < 1e-9;
    if (logicalWidth <= 0 || logicalHeight <= 0 || output.width <= 0 || output.height <= 0)
        return {ratio, integral};
    if (logicalWidth == output.width && logicalHeight == output.height) {
        // Laid out in device pixels: a surface is enlarged by the output's scale, and a buffer
        // painted at that scale is shown as it is.
        return {double(output.scale), integral && whole == output.scale};
    }
    // Laid out in logical pixels: the buffer of a window as large as the output is fitted into
    // the mode. Less than one logical pixel of difference is already a rescaled picture.
    const bool exact =
        integral && logicalWidth * whole == output.width && logicalHeight * whole == output.height;
    return {exact ? ratio : double(output.width) / logicalWidth, exact};
}

}  // namespace trelvan
