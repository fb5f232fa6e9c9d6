// SPDX-License-Identifier: GPL-3.0-or-later
// One Qt application for a test program, made on first use. The offscreen platform draws text
// exactly as the desktop does and needs no display.
#pragma once

#include <cstdlib>

namespace trelvan::testing {

// Application is QApplication or QGuiApplication. With forceOffscreen the platform is
// offscreen even where QT_QPA_PLATFORM names another (pixels compared with fixed pictures).
template <class Application>
Application& offscreenApplication(bool forceOffscreen = false) {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static Application* app = [&] {
        setenv("QT_QPA_PLATFORM", "offscreen", forceOffscreen ? 1 : 0);
        return new Application(argc, argv);
    }();
    return *app;
}

}  // namespace trelvan::testing
