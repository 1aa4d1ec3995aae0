// The command line of quillet-cli, read into what to do: one parser for
// every command. Options may stand anywhere, as "--name value" or
// "--name=value"; "--" ends them. --data and --json belong to every command;
// the others to the commands named below.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "desktop/store/device_operations.h"

namespace quillet::cli {

enum class ExportFormat { Android, Vcard, Csv, Xml, Pdf, Archive };

struct Arguments {
    enum class Command {
        Help,
        Search,
        Conversations,
        Show,
        Export,
        Get,
        Import,
        Imports,
        Move,
        Restore
    };
    Command command = Command::Help;
    std::string text;  // search: what to find; show: the number (UTF-8)
    // search: one box, or all when unset; export: "inbox", "sent",
    // "deleted" or "all" as given, "" when not.
    std::optional<BoxKind> box;
    std::string box_word;
    bool json = false;
    std::optional<std::filesystem::path> data;  // --data DIR
    // export
    std::optional<ExportFormat> format;
    std::string output;  // "-" is standard output
    std::string number;
    // get, restore
    bool contacts = false;
    // restore (--box, --contacts and --dry-run as above)
    std::optional<std::string> conversation;
    bool sim = false;
    // import: the files and folders, or the import to undo
    std::vector<std::string> paths;
    bool dry_run = false;
    std::optional<int> undo;
    // move (--box and --dry-run as above)
    std::optional<uint32_t> older_than_days;
    std::optional<size_t> keep_newest;
};

// The arguments after the program name; nullopt with `error` set when they
// make no sense.
std::optional<Arguments> parse_arguments(const std::vector<std::string>& args, std::string& error);

// The text --help prints.
const char* help_text();

}  // namespace quillet::cli
