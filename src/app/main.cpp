// The eye trainer: desktop window services running the main program.
#include "app/main_program.h"
#include "platform/qt/desktop.h"

int main(int argc, char** argv) {
    return trelvan::runDesktop(argc, argv, trelvan::INITIALSETTINGS, trelvan::MAIN__);
}
