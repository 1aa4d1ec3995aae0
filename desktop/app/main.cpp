// quillet: the desktop program.
#include <unistd.h>

#include <cstdio>

#include "desktop/app/quillet_app.h"

int main(int argc, char** argv) {
    if (quillet::QuilletApp::asks_help_or_version(argc, argv))
        return quillet::QuilletApp::print_help_or_version(argc, argv);
    quillet::QuilletApp app(argc, argv);
    const int code = app.run();
    // run() has saved the boxes and released the locks. What is left is Qt
    // tearing down the window system, whose accessibility bridge waits on
    // the session bus: a stalled bus at logout would hold the program until
    // the watchdog ends it. Nothing of ours is left to do, so end here.
    std::fflush(nullptr);
    ::_exit(code);
}
