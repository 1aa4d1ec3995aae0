// How quillet-cli prints what it found: one line per item (fields separated
// by tabs, tabs and line breaks inside a text shown as blanks), or a JSON
// array of objects.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/cli/data_reader.h"
#include "desktop/search/conversation_index.h"

namespace quillet::cli {

// Messages: box, time (UTC), number, contact name or null, text, read, on_phone.
void print_messages(std::ostream& out, const DataFolder& data,
                    const std::vector<MessageRef>& messages, bool json);
// Conversations: name or null, number, every spelling, messages, unread,
// last time.
void print_conversations(std::ostream& out, const DataFolder& data, const ConversationIndex& index,
                         const std::vector<size_t>& conversations, bool json);

// One field of a line, safe on a terminal: tabs and line breaks become
// blanks (they separate fields and lines), every other control character
// (ESC, BEL, C1 controls, DEL) is written as its escape, as JSON would.
// Every text from a file or a box (a file name too) goes through it.
std::string field(std::string_view text);
// A JSON string literal of UTF-8 `text`.
std::string json_string(std::string_view text);
// "2026-01-02T03:04:05Z".
std::string utc_time(FileTime time);

}  // namespace quillet::cli
