// "quillet-cli move [--box inbox|sent|deleted|all] [--older-than DAYS]
// [--keep-newest N] [--dry-run]": makes room on the phone by Move to PC
// (desktop/library/move_to_pc.h), into Quillet's own data folder.
//
// Like get, it takes the link lock and refuses while Quillet runs. --dry-run
// fetches and prints what would be deleted (counts by box, oldest and newest
// date), saving and deleting nothing; otherwise the report: how many moved,
// how many stayed and why.
// Exit codes: 0 done, 1 refused or a fault (nothing or only part deleted;
// the reason on standard error), 2 bad usage.
#pragma once

#include <ostream>

#include "desktop/cli/cli_arguments.h"

namespace quillet::cli {

int run_move(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace quillet::cli
