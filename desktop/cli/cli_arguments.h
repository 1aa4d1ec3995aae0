// The command line of quillet-cli, read into what to do.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "desktop/store/device_operations.h"

namespace quillet::cli {

struct Arguments {
    enum class Command { Help, Search, Conversations, Show };
    Command command = Command::Help;
    std::string text;            // search: what to find; show: the number (UTF-8)
    std::optional<BoxKind> box;  // search: one box, or all when unset
    bool json = false;
    std::optional<std::filesystem::path> data;  // --data DIR
};

// The arguments after the program name; nullopt with `error` set when they
// make no sense. Options may stand anywhere; "--" ends them.
std::optional<Arguments> parse_arguments(const std::vector<std::string>& args, std::string& error);

// The text --help prints.
const char* help_text();

}  // namespace quillet::cli
