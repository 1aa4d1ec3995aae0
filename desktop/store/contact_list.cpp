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

std::string record_key(const Contact& c) {
    std::string key(text_field(c.name));
    key += '\t';
    key += text_field(c.number);
    return key;
}

fs::path names_path(const fs::path& contacts_file) {
    return contacts_file.parent_path() / kContactNamesFileName;
}

// A name as one field of a line: no tabs, no line breaks.
std::string line_field(std::u16string_view text) {
    std::string out = to_utf8(text);
    for (char& c : out)
        c = c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
    return out;
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
    // "<stored name>\t<number>\t<full name>" lines, UTF-8; a line that
    // names no record (the file was rewritten by an older version) is
    // simply not used.
    std::string names;
    if (read_data_file(names_path(path), names)) {
        for (size_t at = 0; at < names.size();) {
            const size_t end = std::min(names.find('\n', at), names.size());
            const std::string_view line = std::string_view(names).substr(at, end - at);
            at = end + 1;
            const size_t second = line.find('\t', line.find('\t') + 1);
            if (line.find('\t') == std::string_view::npos || second == std::string_view::npos)
                continue;
            const std::string_view key = line.substr(0, second);
            const std::u16string full = from_utf8(line.substr(second + 1));
            const size_t tab = key.find('\t');
            full_names_[to_ansi(from_utf8(key.substr(0, tab))) + '\t' +
                        std::string(key.substr(tab + 1))] = full;
        }
    }
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
    const fs::path path = app_file_path(file_name);
    const std::vector<uint8_t> bytes = encode_contacts_file(contacts_);
    if (Outcome saved = save_file_atomically(path, std::span<const uint8_t>(bytes)); !saved)
        return saved;
    std::string names;
    std::set<std::string> written;
    for (const Contact& c : contacts_) {
        const std::string key = record_key(c);
        const auto found = full_names_.find(key);
        if (found == full_names_.end() || !written.insert(key).second)
            continue;
        names += line_field(from_ansi(name_of(c))) + '\t' + std::string(text_field(c.number)) +
                 '\t' + line_field(found->second) + '\n';
    }
    std::error_code ec;
    if (names.empty()) {
        fs::remove(names_path(path), ec);
        return Outcome();
    }
    return save_file_atomically(names_path(path), std::string_view(names));
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

void ContactList::keep_full_name(const Contact& contact, std::u16string_view full_name) {
    if (!full_name.empty() && from_ansi(name_of(contact)) != full_name)
        full_names_[record_key(contact)] = std::u16string(full_name);
}

void ContactList::append(const Contact& contact, std::u16string_view full_name) {
    contacts_.push_back(contact);
    keep_full_name(contact, full_name);
    rebuild_index();
}

void ContactList::append_all(const std::vector<std::pair<Contact, std::u16string>>& contacts) {
    for (const auto& [contact, full_name] : contacts) {
        contacts_.push_back(contact);
        keep_full_name(contact, full_name);
    }
    rebuild_index();
}

size_t ContactList::remove(const std::vector<Contact>& contacts) {
    std::unordered_map<std::string, size_t> wanted;
    for (const Contact& c : contacts)
        ++wanted[record_key(c)];
    const size_t before = contacts_.size();
    std::erase_if(contacts_, [&](const Contact& c) {
        const auto found = wanted.find(record_key(c));
        if (found == wanted.end() || found->second == 0)
            return false;
        --found->second;
        return true;
    });
    rebuild_index();
    return before - contacts_.size();
}

void ContactList::clear() {
    contacts_.clear();
    full_names_.clear();
    rebuild_index();
}

std::u16string ContactList::full_name(const Contact& contact) const {
    if (!full_names_.empty()) {
        const auto found = full_names_.find(record_key(contact));
        if (found != full_names_.end())
            return found->second;
    }
    return from_ansi(name_of(contact));
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
        names_.push_back(shown_contact_name(full_name(c), order_));
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
    if (number.find(';') != std::string_view::npos) {
        std::u16string names;
        for (size_t from = 0; from <= number.size();) {
            const size_t end = std::min(number.find(';', from), number.size());
            if (end > from)  // "a;;b" and a trailing ';' name no one more
                names += (names.empty() ? u"" : u"; ") +
                         find_name_by_number(number.substr(from, end - from));
            from = end + 1;
        }
        return names;
    }
    std::optional<std::u16string> name = name_for_number(number);
    return name ? std::move(*name) : from_ansi(number);
}

}  // namespace quillet
