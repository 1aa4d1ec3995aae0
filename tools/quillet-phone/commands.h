// The phone tool's commands. Each takes the words after the command name,
// prints its result on standard output and throws UsageError for bad usage
// or input, phone::PhoneDbError when the phone image fails.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/phone/phone_store.h"

namespace quillet::phone_tool {

using Words = std::vector<std::string>;

// The phone the tool plays: the one plugged in under the platform root.
std::filesystem::path tool_image();
// Opens it; PhoneDbError naming "quillet-phone init" when there is none.
phone::PhoneStore open_image();

void run_init(const Words& words);
void run_plug(const Words& words, bool plug);
void run_deliver(const Words& words);
void run_add(const Words& words);
void run_list(const Words& words);
void run_bulk(const Words& words);
void run_sim(const Words& words);
void run_contact(const Words& words);
void run_outbox(const Words& words);
void run_refuse(const Words& words);
void run_screen(const Words& words);

// Fills a new image with sample messages, SIM entries and contacts.
void fill_sample(phone::PhoneStore& store);

// The folder a command names: inbox, sent, deleted or any other folder's
// name. With `create` a missing other folder is made; otherwise UsageError.
phone::Folder named_folder(phone::PhoneStore& store, const std::string& name, bool create);

}  // namespace quillet::phone_tool
