// "quillet-cli restore [--box inbox|sent|all] [--conversation NUMBER]
// [--contacts [--sim]] [--dry-run]": puts Quillet's kept messages (and
// contacts) back onto the phone (desktop/library/restore_to_phone.h).
//
// Like move, it takes the link lock and refuses while Quillet runs. It
// reads the data folder and never writes it; the next get brings the
// written messages back as the ones kept. --dry-run prints what would be
// written.
// Exit codes: 0 done, 1 refused, the agent cannot restore, or not all was
// written (the reason on standard error), 2 bad usage.
#pragma once

#include <ostream>

#include "desktop/cli/cli_arguments.h"

namespace quillet::cli {

int run_restore(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace quillet::cli
