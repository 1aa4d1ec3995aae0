// What the commands that work on Quillet's own data folder do first: open
// it (settling an earlier run's files), and for those that reach the phone
// (move, restore) take the link lock and load the boxes whole.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "desktop/library/message_library.h"
#include "desktop/link/link_lock.h"

namespace quillet::cli {

// Opens the user's data folder (MessageLibrary::open_user_folder; a dry
// run moves nothing) and says on `err` what became of an earlier run's
// files, when anything did.
void open_user_folder(MessageLibrary& library, bool dry_run, std::ostream& err);

// Takes the lock as `holder` ("quillet-cli move"); when another program has
// the phone, says so (naming the window's command to use instead) and
// returns false.
bool lock_or_say(LinkLock& lock, std::string_view holder, std::string_view window_command,
                 std::ostream& err);
// Loads the three boxes; false (said on `err`, ending in `consequence`)
// when one could not be read whole.
bool load_whole(MessageLibrary& library, std::string_view consequence, std::ostream& err);
// ": " and why a box file did not load as it is; empty for one of unknown
// version, which the command line has always named alone.
std::string load_reason(const LoadBoxResult& r);

}  // namespace quillet::cli
