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

constexpr size_t kTailLength = 7;

// Names compare as C text of unsigned bytes; char_traits<char> orders by
// unsigned byte and a shorter prefix first, as the terminator would.
std::string_view name_of(const Contact& c) {
    return text_field(c.name);
}

}  // namespace

std::string clean_contact_number(std::string_view number) {
    std::string out;
    for (char c : number) {
        if (c == '+' || (c >= '0' && c <= '9'))
            out += c;
    }
    return out;
}

std::u16string ImportContactsResult::message() const {
    switch (status) {
        case Status::Imported:
            return {};
        case Status::NoContacts:
            return std::u16string(kNoContactsText);
        case Status::LinkFailed:
            return std::u16string(kNoContactsText) + u"\ndetails:\n" + error;
    }
    return {};
}

LoadContactsResult ContactList::load_contacts(std::u16string_view file_name) {
    LoadContactsResult result;
    std::string bytes;
    if (!read_whole_file(app_file_path(file_name), bytes))
        return result;
    const DecodedContacts decoded = decode_contacts_file(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    contacts_.insert(contacts_.end(), decoded.contacts.begin(), decoded.contacts.end());
    result.records = decoded.contacts.size();
    result.status = decoded.damage.empty() ? LoadContactsResult::Status::Loaded
                                           : LoadContactsResult::Status::Damaged;
    result.detail = decoded.damage;
    sort_contacts();
    return result;
}

SaveResult ContactList::save_contacts(std::u16string_view file_name) const {
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
        result.error = e.message();
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

void ContactList::rebuild_index() {
    short_numbers_.clear();
    long_tails_.clear();
    names_.clear();
    names_.reserve(contacts_.size());
    for (size_t i = 0; i < contacts_.size(); ++i) {
        names_.push_back(from_ansi(name_of(contacts_[i])));
        const std::string cleaned = clean_contact_number(text_field(contacts_[i].number));
        if (cleaned.size() > kTailLength) {
            long_tails_.emplace(cleaned.substr(cleaned.size() - kTailLength), i);
        } else {
            short_numbers_.emplace(cleaned, i);
        }
    }
}

std::u16string ContactList::find_name_by_number(std::string_view number) const {
    // A query of more than 7 characters can only match a longer cleaned
    // number, on the last 7; a shorter one only a cleaned number equal to it.
    const auto& index = number.size() > kTailLength ? long_tails_ : short_numbers_;
    const std::string key(number.size() > kTailLength ? number.substr(number.size() - kTailLength)
                                                      : number);
    const auto it = index.find(key);
    if (it != index.end())
        return names_[it->second];
    return from_ansi(number);
}

}  // namespace quillet
