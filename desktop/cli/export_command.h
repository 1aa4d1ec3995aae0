// "quillet-cli export --format F --output PATH [--box B] [--number N]": the
// window's File > Export without a window, from the data folder as it lies
// (nothing in it is written).
//
//   android  Inbox and Sent Items as an Android SMS backup; --box all adds
//            Deleted Items, --box inbox|sent|deleted takes that box alone
//   vcard    the contact list as vCard 3.0
//   csv, xml the program's own export of one box (--box, default inbox)
//   pdf      the conversation with --number (any spelling of it)
//   archive  everything into the new folder PATH
//
// An --output of "-" writes the file to standard output (not an archive),
// and the outcome to standard error.
//
// Files are written atomically, with the modes the umask allows. The
// outcome is printed as the window's status bar says it.
// Exit codes: 0 written, 1 the data could not be read or the file not
// written, 2 bad usage.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "desktop/cli/cli_arguments.h"

namespace quillet::cli {

// `data` is the data folder to read.
int run_export(const Arguments& args, const std::filesystem::path& data, std::ostream& out,
               std::ostream& err);

}  // namespace quillet::cli
