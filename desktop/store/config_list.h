// An ordered list of name/value settings, read from and written to a
// settings file such as "options.cfg". doc/settings_file.md describes the
// file.
//
// File: 8-bit text (code page 1252), one entry per line: name, " = ", value,
// CR LF. Reading is lenient: everything from "#" to the end of a line is a
// comment; a line without "=" is skipped; white space around the name and the
// value is dropped; the name is the first run of characters other than "=",
// the value everything after the first "=". A line is read in pieces of at
// most kMaxLineLength characters, the longest line an entry can produce, so
// every line the writer produces is read back whole.
//
// Entries keep file order; duplicate names may exist and `find` sees the
// first. An entry's name holds at most 63 bytes and its value at most 1023.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/safe_file.h"

namespace quillet {

class ConfigList {
  public:
    static constexpr size_t kMaxName = 63;
    static constexpr size_t kMaxValue = 1023;
    static constexpr std::string_view kSeparator = " = ";
    static constexpr size_t kMaxLineLength = kMaxName + kSeparator.size() + kMaxValue;

    struct Entry {
        std::string name;
        std::string value;
    };

    ConfigList() = default;
    virtual ~ConfigList() = default;

    // Appends one entry per usable line of `file_name` (resolved by
    // app_relative_path). False, and the list unchanged, when the file cannot
    // be read. Names and values longer than their limits (only a hand-edited
    // file has them) are cut to the limits.
    bool load_config(std::string_view file_name);
    // The same, telling a missing file from one that is there but cannot be
    // read (see read_data_file).
    Outcome read_config(std::string_view file_name);
    // Parses file contents as load_config does.
    void parse(std::string_view contents);
    // Writes every entry, head first, atomically.
    Outcome save_config(std::string_view file_name) const;
    // The bytes save_config writes.
    std::string serialise() const;

    // The value of the first entry named `name`.
    std::optional<std::string_view> find(std::string_view name) const;
    // The first such value read as a C integer literal (decimal, 0x hex,
    // leading-0 octal, optional sign; reading stops at the first character
    // that does not fit; no digits give 0), saturated to int32. -1 when there
    // is no such entry.
    int32_t get_int(std::string_view name) const;
    // Replaces the first entry's value, or appends an entry. False, and the
    // list unchanged, when the name is empty, over 63 bytes or holds "=", "#"
    // or a line break, or the value is over 1023 bytes or holds a line
    // break: a value is never cut, and every entry reads back as written
    // (but for a "#" in a value, which starts a comment when read).
    bool set_string(std::string_view name, std::string_view value);
    // set_string with "1" or "0".
    bool set_bool(std::string_view name, bool value);

    const std::vector<Entry>& entries() const { return entries_; }

  private:
    void parse_piece(std::string_view piece);

    std::vector<Entry> entries_;
};

// Reads `file_name`, lets `change` edit the entries, and saves the file. A
// file that is there but cannot be read is left as it is, since writing the
// changed keys alone would lose all the others: the result says so.
Outcome update_config(std::string_view file_name, const std::function<void(ConfigList&)>& change);

// A C integer literal as get_int reads it.
int32_t parse_c_integer(std::string_view text);

}  // namespace quillet
