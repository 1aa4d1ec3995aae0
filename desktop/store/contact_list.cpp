#include "contact_list.h"

#include <set>
#include <utility>

#include "desktop/store/app_paths.h"
#include "desktop/store/contacts_file.h"
#include "desktop/store/orx_exception.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace fs = std::filesystem;
namespace {

// Names compare as C text of unsigned bytes; char_traits<char> orders by
// unsigned byte and a shorter prefix first, as the terminator would.
std::string_view name_of(const Contact& c) {
    return text_field(c.name);
}

}  // namespace

ContactList::ContactList() = default;

ContactList::ContactList(const PhoneNumbers& numbers) : numbers_(numbers) {}

std::u16string ImportContactsResult::message() const {
    switch (status) {
        case Status::Imported:
            return {};
        case Status::NoContacts:
            return std::u16string(kNoContactsText);
        case Status::LinkFailed:
            return std::u16string(kNoContactsText) + u"\ndetails:\n" +
                   (link_failure ? link_failure->message() : std::u16string());
    }
    return {};
}

LoadContactsResult ContactList::load_contacts(std::u16string_view file_name) {
    return load_contacts_file(app_file_path(file_name));
}

LoadContactsResult ContactList::load_contacts_file(const fs::path& path) {
    LoadContactsResult result;
    std::string bytes;
    if (Outcome read = read_data_file(path, bytes); !read) {
        if (read.kind() == Outcome::Kind::Unreadable) {
            result.status = LoadContactsResult::Status::Unreadable;
            result.outcome = std::move(read);
        }
        return result;
    }
    const DecodedContacts decoded = decode_contacts_file(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    contacts_.insert(contacts_.end(), decoded.contacts.begin(), decoded.contacts.end());
    result.records = decoded.contacts.size();
    result.status = decoded.damage.empty() ? LoadContactsResult::Status::Loaded
                                           : LoadContactsResult::Status::Damaged;
    // The next import rewrites the file; what was found stays for a closer look.
    if (result.status == LoadContactsResult::Status::Damaged) {
        result.outcome = Outcome::damaged(decoded.damage);
        result.kept_aside = keep_copy_aside(path, ".damaged-");
    }
    sort_contacts();
    return result;
}

Outcome ContactList::save_contacts(std::u16string_view file_name) const {
    const std::vector<uint8_t> bytes = encode_contacts_file(contacts_);
    return save_file_atomically(app_file_path(file_name), std::span<const uint8_t>(bytes));
}

void ContactList::sort_contacts() {
    // The selection sort's order, found in n log n: at each position p the
    // sort takes the smallest name at the lowest position among p..n-1 and
    // swaps it with p. `rest` holds (name, position) of exactly those.
    using Item = std::pair<std::string_view, size_t>;
    std::set<Item> rest;
    for (size_t i = 0; i < contacts_.size(); ++i)
        rest.emplace(name_of(contacts_[i]), i);
    for (size_t p = 0; p < contacts_.size(); ++p) {
        const size_t m = rest.begin()->second;
        rest.erase(rest.begin());
        if (m != p) {
            rest.erase(Item{name_of(contacts_[p]), p});
            std::swap(contacts_[p], contacts_[m]);
            rest.emplace(name_of(contacts_[m]), m);
        }
    }
    rebuild_index();
}

ImportContactsResult ContactList::import_contacts(DeviceOperations& device, StatusSink* sink) {
    ImportContactsResult result;
    std::vector<Contact> fetched;
    try {
        device.fetch_contacts(fetched, sink);
    } catch (const ORX_Exception& e) {
        result.status = ImportContactsResult::Status::LinkFailed;
        result.link_failure = e;
        sort_contacts();
        return result;
    }
    contacts_ = std::move(fetched);
    sort_contacts();
    result.count = contacts_.size();
    if (contacts_.empty())
        result.status = ImportContactsResult::Status::NoContacts;
    return result;
}

void ContactList::append(const Contact& contact) {
    contacts_.push_back(contact);
    rebuild_index();
}

void ContactList::clear() {
    contacts_.clear();
    rebuild_index();
}

void ContactList::set_phone_numbers(const PhoneNumbers& numbers) {
    numbers_ = numbers;
    rebuild_index();
}

void ContactList::set_name_order(NameOrder order) {
    order_ = order;
    rebuild_index();
}

void ContactList::rebuild_index() {
    index_ = ContactNumberIndex(contacts_, numbers_);
    names_.clear();
    names_.reserve(contacts_.size());
    for (const Contact& c : contacts_)
        names_.push_back(shown_contact_name(from_ansi(name_of(c)), order_));
}

std::optional<std::u16string> ContactList::name_for_number(std::string_view number) const {
    const std::optional<size_t> found = index_.find(number);
    if (!found)
        return std::nullopt;
    return names_[*found];
}

std::u16string ContactList::find_stored_name_by_number(std::string_view number) const {
    const std::optional<size_t> found = index_.find(number);
    return from_ansi(found ? name_of(contacts_[*found]) : number);
}

std::u16string ContactList::find_name_by_number(std::string_view number) const {
    std::optional<std::u16string> name = name_for_number(number);
    return name ? std::move(*name) : from_ansi(number);
}

}  // namespace quillet
