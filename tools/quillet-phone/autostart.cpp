#include "tools/quillet-phone/autostart.h"

#include <spawn.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "protocol/text_codec.h"

extern char** environ;

namespace quillet::phone_tool {
namespace {

// The words of a command line: split at blanks, a double-quoted stretch
// kept as one word (its quotes dropped).
std::vector<std::string> split_words(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool in_word = false;
    for (const char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_word = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_word)
                words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word)
        words.push_back(std::move(word));
    return words;
}

// A value names a program and, after it, the arguments it is started with:
// "\"/opt/my tools/quillet-cli\" get". A value that names an existing file
// as a whole is that program alone, as values always could, even with
// blanks in its path.
std::vector<std::string> command_line(std::u16string_view value) {
    const std::string line = to_utf8(value);
    std::error_code ec;
    if (!line.empty() && line.front() != '"' && std::filesystem::is_regular_file(line, ec))
        return {line};
    return split_words(line);
}

}  // namespace

void start_autostart_programs() {
    for (const auto& [name, value] : registry::values(registry::kAutoStartKey)) {
        std::vector<std::string> words = command_line(value);
        if (words.empty() || words.front().empty())
            continue;
        const std::string path = words.front();
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            std::cerr << "quillet-phone: cannot start " << name << " (" << path << ")\n";
            continue;
        }
        std::cout << "started " << name << " (" << path << ")\n";
    }
}

}  // namespace quillet::phone_tool
