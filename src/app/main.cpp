// SPDX-License-Identifier: GPL-3.0-or-later
// The eye trainer: desktop window services running the main program.
#include <csignal>

#include "app/main_program.h"
#include "platform/qt/desktop.h"

int main(int argc, char** argv) {
    // A file size limit makes a write fail with EFBIG instead of ending the program: the
    // journal's append rolls back and the user is told.
    std::signal(SIGXFSZ, SIG_IGN);
    return trelvan::runDesktop(argc, argv, trelvan::INITIALSETTINGS, trelvan::MAIN__);
}
