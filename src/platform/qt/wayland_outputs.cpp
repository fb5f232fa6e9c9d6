#include "platform/qt/wayland_outputs.h"

#include <wayland-client.h>

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

void onGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                const char*, const char*, int32_t transform) {
    auto* o = static_cast<Output*>(data);
    o->info.x = x;
    o->info.y = y;
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

void onName(void*, wl_output*, const char*) {}
void onDescription(void*, wl_output*, const char*) {}

const wl_output_listener outputListener{onGeometry, onMode, onDone, onScale, onName, onDescription};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    if (std::strcmp(interface, wl_output_interface.name) != 0 || version < 2) return;
    auto* outputs = static_cast<std::vector<std::unique_ptr<Output>>*>(data);
    auto o = std::make_unique<Output>();
    o->proxy = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 2));
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
            if (o->turned) std::swap(info.width, info.height);
            result.push_back(info);
        }
    }
    for (const auto& o : outputs) wl_output_destroy(o->proxy);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return result;
}

double screenScale(const WaylandOutput& output, int logicalWidth, int logicalHeight, double ratio) {
    if (logicalWidth <= 0 || logicalHeight <= 0 || output.width <= 0 || output.height <= 0)
        return ratio;
    // A logical size rounded by the compositor is off by less than one logical pixel.
    if (std::abs(output.width - logicalWidth * ratio) < ratio &&
        std::abs(output.height - logicalHeight * ratio) < ratio)
        return ratio;
    return double(output.width) / logicalWidth;
}

}  // namespace trelvan
