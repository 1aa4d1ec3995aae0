// "quillet-cli get [--contacts]": a Get SMS without a window, over the same
// link code and into the same data folder as the program, with the same
// status texts ("Retrieving messages...", the fetch's progress, "N new
// imported messages"). On a terminal the progress is one line rewritten in
// place; otherwise each status text is a line of its own.
//
// The phone is taken through the link lock (link_lock.h): while the program
// runs, get refuses with exit 1, and while get runs the program refuses to
// set its link up. With --contacts the phone's contacts replace the contact
// list afterwards, as the contacts window's import does.
//
// Exit codes: 0 done, 1 refused, a data file unreadable or the link failed
// (the boxes imported before the failure are kept), 2 bad usage.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "desktop/cli/cli_arguments.h"

namespace quillet::cli {

int run_get(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace quillet::cli
