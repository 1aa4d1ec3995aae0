// quillet: the desktop program.
#include "desktop/app/quillet_app.h"

int main(int argc, char** argv) {
    return quillet::run_quillet(argc, argv);
}
