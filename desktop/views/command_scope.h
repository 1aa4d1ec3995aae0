// One command of any window, from start to end: the wait cursor while it
// runs, and, when the outermost command ends, the program's after-command
// step (the main window saves the boxes whose revision moved and brings its
// list up to date). A command that starts while another runs (a message box
// lets events in) nests in it; only the outer one's end runs the step.
//
// show_message_box lifts the wait cursor while its box is open, so no
// message box ever shows it.
//
// While the outermost command runs, and through its after-command step,
// the memory reserve is set aside (memory_room.h); a command's own data
// thus runs out before the window system's does.
#pragma once

#include <functional>

#include "desktop/views/memory_room.h"

namespace quillet {

class CommandScope {
  public:
    // True while any command runs.
    static bool running();
    // The step run each time the outermost command ends; replaces the one
    // before, an empty function clears it.
    static void set_after_command(std::function<void()> step);

    // The command starts: the wait cursor shows.
    CommandScope();
    // The command ends; the outermost one runs the after-command step.
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

  private:
    MemoryReserve::Held reserve_;
};

}  // namespace quillet
