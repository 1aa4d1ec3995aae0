// "quillet-cli import FILE|FOLDER... [--dry-run]", "quillet-cli import
// --undo ID" and "quillet-cli imports": other phones' backups brought into
// Quillet's own data folder (desktop/library/importer.h), listed and undone.
//
// Like get, import writes the data folder: it takes the link lock and
// refuses while Quillet runs. The summary goes to standard output, one line
// per file read; files that could not be read to standard error.
// Exit codes: 0 done, 1 a file could not be read, nothing could be imported,
// or refused; 2 bad usage.
#pragma once

#include <ostream>

#include "desktop/cli/cli_arguments.h"

namespace quillet::cli {

int run_import(const Arguments& args, std::ostream& out, std::ostream& err);
int run_imports(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace quillet::cli
