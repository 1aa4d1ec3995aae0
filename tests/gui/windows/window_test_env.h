// The window tests' set-up is the one every GUI test shares.
#pragma once

#include "tests/gui/gui_test_env.h"

namespace quillet::testing {

using WindowTestEnv = GuiTestEnv;

}  // namespace quillet::testing
