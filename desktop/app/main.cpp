// quillet: the desktop program.
#include "desktop/app/quillet_app.h"

int main(int argc, char** argv) {
    quillet::QuilletApp app(argc, argv);
    return app.run();
}
