// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>

#include "platform/graphics_window.h"

namespace trelvan {

namespace {
GraphicsWindow* current = nullptr;
}

GraphicsWindow& gw() {
    if (current == nullptr) throw ProgramExit{70, "window services not started"};
    return *current;
}

void setGraphicsWindow(GraphicsWindow* window) {
    current = window;
}

void stopProgram(int status) {
    gw().orderlyStop(status);
    __builtin_unreachable();
}

void stopWithMessage(const std::string& messageUtf8) {
    gw().fatalStop(messageUtf8);
    __builtin_unreachable();
}

void DrawingServices::drawShapes(const PenShape* shapes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const PenShape& s = shapes[i];
        SETCOLORRGB(s.colour);
        if (s.kind == PenShape::Kind::line) {
            XYCoord previous;
            MOVETO(s.x1, s.y1, previous);
            LINETO(s.x2, s.y2);
        } else {
            ELLIPSE(GFILLINTERIOR, s.x1, s.y1, s.x2, s.y2);
        }
    }
}

void WINABOUT(bool) {
    gw().showAbout();
}

void indexOutOfBounds(const char* table, int64_t index, int64_t lo, int64_t hi, int subscript) {
    std::string msg = "Subscript #" + std::to_string(subscript) + " of the array ";
    msg += table;
    msg += " has value " + std::to_string(index) + " which is ";
    msg += index < lo ? "less than the lower bound of " + std::to_string(lo)
                      : "greater than the upper bound of " + std::to_string(hi);
    stopWithMessage(msg);
}

}  // namespace trelvan
