// Quillet's data as it lies in a data folder, read without writing anything:
// the three boxes, the contacts and the order names are shown in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "desktop/store/contact_list.h"
#include "desktop/store/sms_box.h"

namespace quillet::cli {

struct DataFolder {
    std::filesystem::path folder;  // where it was read
    SmsBox inbox{BoxKind::Inbox};
    SmsBox sent{BoxKind::SentItems};
    SmsBox deleted{BoxKind::DeletedItems};
    ContactList contacts;
    // Damage read past (a box or the contacts broke off): one line each.
    std::vector<std::string> warnings;

    const SmsBox& box(BoxKind kind) const;
};

// Reads `folder`. A missing box or contacts file is empty, as for the
// program. nullopt, with a one-line `error`, when the folder is not a
// readable folder or a box file exists but cannot be read or is not a box
// file.
std::optional<DataFolder> read_data_folder(const std::filesystem::path& folder, std::string& error);

}  // namespace quillet::cli
