// The desktop's copy of the phone's address book, kept sorted by name, and
// the lookup that shows a name for a number.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/store/device_operations.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/sms_message.h"

namespace quillet {

inline constexpr std::u16string_view kContactsFileName = u"contacts.sql";
inline constexpr std::u16string_view kNoContactsText =
    u"No contacts available. Please Check your ActiveSync connection.";

struct LoadContactsResult {
    enum class Status { Missing, Loaded, Damaged };
    Status status = Status::Missing;
    size_t records = 0;
    std::string detail;  // Damaged: what was wrong
};

struct ImportContactsResult {
    enum class Status {
        Imported,    // the list now holds the phone's contacts
        NoContacts,  // the phone gave none: the list is empty
        LinkFailed,  // the link failed: the list is as it was before
    };
    Status status = Status::Imported;
    size_t count = 0;
    std::u16string error;  // LinkFailed: the exception's text

    // Imported: empty. NoContacts: kNoContactsText. LinkFailed: kNoContactsText,
    // "\ndetails:\n" and the error.
    std::u16string message() const;
};

class ContactList {
  public:
    ContactList() = default;
    virtual ~ContactList() = default;

    // Appends the file's records (resolved by app_file_path), then sorts. A
    // missing file leaves the list as it was, unsorted.
    LoadContactsResult load_contacts(std::u16string_view file_name);
    // Writes the whole list atomically.
    SaveResult save_contacts(std::u16string_view file_name) const;

    // Selection sort by name, byte-wise on unsigned bytes: the first of equal
    // smallest names is taken at each position (equal names need not keep
    // their order; this is the defined order).
    void sort_contacts();
    // Replaces the list by the phone's contacts and sorts; `sink` hears each
    // contact received. On a link failure the list is left as it was.
    ImportContactsResult import_contacts(DeviceOperations& device, StatusSink* sink = nullptr);

    // Appends one contact at the end (not sorted until sort_contacts).
    void append(const Contact& contact);
    void clear();

    size_t count() const { return contacts_.size(); }
    // A copy of the record; throws std::out_of_range past the end.
    Contact contact_at(size_t index) const { return contacts_.at(index); }
    const std::vector<Contact>& contacts() const { return contacts_; }

    // The name (UTF-16) of the first contact in list order whose cleaned
    // number (every "+" and digit kept) matches `number`: on the last 7
    // characters when both have more than 7, else whole. Without a match,
    // `number` itself. Answers from an index kept current by every change of
    // the list, so a call costs no scan.
    std::u16string find_name_by_number(std::string_view number) const;

  private:
    void rebuild_index();

    std::vector<Contact> contacts_;
    // Index of the first contact for each key: cleaned numbers of at most 7
    // characters whole, longer ones by their last 7.
    std::unordered_map<std::string, size_t> short_numbers_;
    std::unordered_map<std::string, size_t> long_tails_;
    std::vector<std::u16string> names_;  // each contact's name in UTF-16
};

// Keeps every "+" and digit of `number`, in order.
std::string clean_contact_number(std::string_view number);

}  // namespace quillet
