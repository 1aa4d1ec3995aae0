#include "desktop/cli/data_reader.h"

#include <unistd.h>

#include "desktop/store/box_file.h"
#include "desktop/store/config_list.h"
#include "desktop/store/options.h"
#include "protocol/text_codec.h"

namespace quillet::cli {
namespace fs = std::filesystem;
namespace {

bool read_box(const fs::path& folder, SmsBox& box, std::vector<std::string>& warnings,
              std::string& error) {
    const fs::path path = folder / to_utf8(box_file_name(box.kind()));
    std::error_code ec;
    if (!fs::exists(path, ec) && !ec)
        return true;
    std::string why;
    std::optional<DecodedBox> decoded = read_box_file(path, why);
    if (!decoded) {
        error = "cannot read " + path.string() + ": " + why;
        return false;
    }
    if (decoded->version == BoxFileVersion::Unknown) {
        error = path.string() + " is not a box file";
        return false;
    }
    if (!decoded->damage.empty())
        warnings.push_back(path.string() + " breaks off (" + decoded->damage + "); " +
                           std::to_string(decoded->messages.size()) + " messages read");
    box.append_loaded(std::move(decoded->messages));
    return true;
}

NameOrder name_order(const fs::path& folder) {
    std::string bytes;
    if (!read_whole_file(folder / std::string(kOptionsFileName), bytes))
        return NameOrder::BeforeCommaFirst;
    ConfigList config;
    config.parse(bytes);
    return config.get_int("contacts_sort") > 0 ? NameOrder::AfterCommaFirst
                                               : NameOrder::BeforeCommaFirst;
}

}  // namespace

const SmsBox& DataFolder::box(BoxKind kind) const {
    switch (kind) {
        case BoxKind::Inbox:
            return inbox;
        case BoxKind::SentItems:
            return sent;
        case BoxKind::DeletedItems:
            break;
    }
    return deleted;
}

std::optional<DataFolder> read_data_folder(const fs::path& folder, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec) || ::access(folder.c_str(), R_OK | X_OK) != 0) {
        error = "cannot read the data folder " + folder.string();
        return std::nullopt;
    }
    std::optional<DataFolder> data(std::in_place);
    data->folder = folder;
    for (SmsBox* box : {&data->inbox, &data->sent, &data->deleted}) {
        if (!read_box(folder, *box, data->warnings, error))
            return std::nullopt;
    }
    const LoadContactsResult contacts =
        data->contacts.load_contacts_file(folder / to_utf8(kContactsFileName));
    if (contacts.status == LoadContactsResult::Status::Damaged)
        data->warnings.push_back("the contacts file breaks off (" + contacts.outcome.what() + ")");
    data->contacts.set_name_order(name_order(folder));
    return data;
}

}  // namespace quillet::cli
