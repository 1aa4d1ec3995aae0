// The one-time move of the files an earlier run kept in the program folder
// (box files, the copies kept aside beside them, contacts, options, log, the
// message page) into the data folder.
//
// It happens only when the program folder holds box files and the data
// folder holds none yet. Every file is first placed in the data folder under
// its own name, never over an existing file (a hard link, or a flushed copy
// across file systems); only when all are placed are the originals removed.
// A file that cannot be placed undoes the ones placed before it: then
// nothing has moved, and this run keeps using the program folder, so the
// user never has two diverging sets of boxes. A file whose name the data
// folder already holds stays where it is.
//
// The move is all or nothing across a crash too: before the first file is
// placed, a journal (".quillet-move-journal" in the data folder) names every
// file to move, and it goes only after the originals. A start that finds a
// journal finishes that move before anything else, so a kill between two
// placements never leaves the data folder looking settled with part of the
// files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillet {

struct DataMoveReport {
    enum class Outcome {
        Nothing,     // no box files in the program folder, or they are the data folder
        Moved,       // the files are in the data folder now
        LeftBehind,  // the data folder has boxes of its own: nothing moved
        Failed,      // a file could not be placed: nothing moved
        Pending,     // a dry run found the move to do and left it: the files
                     // are read where they are
    };
    Outcome outcome = Outcome::Nothing;
    std::filesystem::path from;
    std::filesystem::path to;
    std::vector<std::string> moved;    // names relative to the folders
    std::vector<std::string> clashed;  // left in `from`: `to` has a file of that name
    std::string failure;               // Failed: which file, and why
};

// Moves the earlier run's files from `program` to `data` (created when
// needed) by the rule above.
DataMoveReport move_earlier_data(const std::filesystem::path& program,
                                 const std::filesystem::path& data);

// At start, before any data file is read: the move for this process's
// folders, unless the install is portable or a test has fixed the data
// folder. After a failed move, this run keeps its data in the program folder.
// A dry run (which changes nothing) moves nothing: when the move is still to
// be done it reports Pending and this run reads the files where they are,
// leaving the move to the first command that is not a dry run.
DataMoveReport settle_data_folder(bool dry_run = false);

// What happened, in English, as the log keeps it; empty for Nothing.
std::u16string data_move_notice(const DataMoveReport& report);

}  // namespace quillet
