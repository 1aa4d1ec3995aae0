// The program: one instance per user, the link to the phone, the main
// window, its start-up, the event loop and the shutdown.
//
// Command line: `quillet [--log]`; --log writes a trace of what the program
// does to "logfile.txt" in the data folder. A start while the program runs
// asks the running one to bring its window ("Quillet!") to the front and
// ends at once.
#pragma once

namespace quillet {

// Runs the program; the process's exit code.
int run_quillet(int argc, char** argv);

}  // namespace quillet
