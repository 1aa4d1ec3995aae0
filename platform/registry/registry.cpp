#include "registry.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "protocol/text_codec.h"

namespace quillet::registry {
namespace fs = std::filesystem;
namespace {

struct Entry {
    std::string key;
    std::string name;
    std::string value;  // UTF-8, unescaped
};

std::string escape(std::string_view v) {
    std::string out;
    for (char c : v) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        const char next = v[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

std::vector<Entry> read_all() {
    std::vector<Entry> entries;
    std::ifstream in(registry_file(), std::ios::binary);
    std::string line, key;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find('=');
        if (key.empty() || eq == std::string::npos)
            continue;
        entries.push_back({key, line.substr(0, eq), unescape(line.substr(eq + 1))});
    }
    return entries;
}

bool write_all(const std::vector<Entry>& entries) {
    std::ostringstream out;
    std::string key;
    for (const Entry& e : entries) {
        if (e.key != key) {
            key = e.key;
            out << '[' << key << "]\n";
        }
        out << e.name << '=' << escape(e.value) << '\n';
    }
    const fs::path file = registry_file();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    const fs::path temp = file.string() + ".new";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        f << out.str();
        f.flush();
        if (!f)
            return false;
    }
    fs::rename(temp, file, ec);
    return !ec;
}

}  // namespace

fs::path registry_file() {
    if (const char* root = std::getenv("QUILLET_PLATFORM_ROOT"); root && *root) {
        return fs::path(root) / "registry.ini";
    }
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        return fs::path(xdg) / "quillet-platform/registry.ini";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : "/tmp") / ".local/share/quillet-platform/registry.ini";
}

std::optional<std::u16string> query_string(std::string_view key, std::string_view name) {
    for (const Entry& e : read_all()) {
        if (e.key == key && e.name == name)
            return from_utf8(e.value);
    }
    return std::nullopt;
}

bool set_string(std::string_view key, std::string_view name, std::u16string_view value) {
    std::vector<Entry> entries = read_all();
    const std::string utf8 = to_utf8(value);
    for (Entry& e : entries) {
        if (e.key == key && e.name == name) {
            e.value = utf8;
            return write_all(entries);
        }
    }
    // Keep the key's values together: insert after its last value.
    auto pos = entries.end();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->key == key)
            pos = it + 1;
    }
    entries.insert(pos, Entry{std::string(key), std::string(name), utf8});
    return write_all(entries);
}

bool delete_value(std::string_view key, std::string_view name) {
    std::vector<Entry> entries = read_all();
    const auto removed =
        std::erase_if(entries, [&](const Entry& e) { return e.key == key && e.name == name; });
    return removed == 0 || write_all(entries);
}

std::vector<std::pair<std::string, std::u16string>> values(std::string_view key) {
    std::vector<std::pair<std::string, std::u16string>> out;
    for (const Entry& e : read_all()) {
        if (e.key == key)
            out.emplace_back(e.name, from_utf8(e.value));
    }
    return out;
}

}  // namespace quillet::registry
