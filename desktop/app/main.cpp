// quillet: the desktop program.
#include "desktop/app/quillet_app.h"

int main(int argc, char** argv) {
    if (quillet::QuilletApp::asks_help_or_version(argc, argv))
        return quillet::QuilletApp::print_help_or_version(argc, argv);
    quillet::QuilletApp app(argc, argv);
    return app.run();
}
