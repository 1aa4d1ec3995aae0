// The desktop's copy of the phone's address book, kept sorted by name, and
// the lookup that shows a name for a number.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "desktop/store/contact_number_index.h"
#include "desktop/store/contacts_names.h"
#include "desktop/store/device_operations.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/phone_number.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/sms_message.h"

namespace quillet {

inline constexpr std::u16string_view kContactsFileName = u"contacts.sql";
// Beside it: the full names its 8-bit name field cannot hold whole
// (doc/contacts_file.md). Older versions ignore it.
inline constexpr std::string_view kContactNamesFileName = "contacts.names";
inline constexpr std::u16string_view kNoContactsText =
    u"No contacts available. Please Check your ActiveSync connection.";

struct LoadContactsResult {
    enum class Status {
        Missing,     // no file: nothing to say
        Loaded,      // read whole
        Damaged,     // the complete records were kept; a copy of the file was kept aside
        Unreadable,  // there but not readable: the list is as it was
    };
    Status status = Status::Missing;
    size_t records = 0;
    // Done for Missing and Loaded; else what was wrong, of kind Damaged or
    // Unreadable.
    Outcome outcome;
    // Damaged: where the file as found was kept ("contacts.sql.damaged-<n>");
    // empty when no copy could be made.
    std::filesystem::path kept_aside;
};

struct ImportContactsResult {
    enum class Status {
        Imported,    // the list now holds the phone's contacts
        NoContacts,  // the phone gave none: the list is empty
        LinkFailed,  // the link failed: the list is as it was before
    };
    Status status = Status::Imported;
    size_t count = 0;
    std::optional<ORX_Exception> link_failure;  // LinkFailed: why

    // In English: Imported: empty. NoContacts: kNoContactsText. LinkFailed:
    // kNoContactsText, "\ndetails:\n" and the link's failure.
    std::u16string message() const;
};

class ContactList {
  public:
    // Numbers are read with the region of the user's locale.
    ContactList();
    explicit ContactList(const PhoneNumbers& numbers);
    virtual ~ContactList() = default;

    // Appends the file's records (resolved by app_file_path), then sorts. A
    // missing or unreadable file leaves the list as it was, unsorted. The
    // full names kept beside it (kContactNamesFileName) are read too.
    LoadContactsResult load_contacts(std::u16string_view file_name);
    // The same for a file at `path`; reads it and the names beside it.
    LoadContactsResult load_contacts_file(const std::filesystem::path& path);
    // Writes the whole list atomically, and the full names beside it (the
    // names file is removed when no name needs it).
    Outcome save_contacts(std::u16string_view file_name) const;

    // Selection sort by name, byte-wise on unsigned bytes: the first of equal
    // smallest names is taken at each position (equal names need not keep
    // their order; this is the defined order).
    void sort_contacts();
    // Replaces the list by the phone's contacts and sorts; `sink` hears each
    // contact received. On a link failure the list is left as it was.
    ImportContactsResult import_contacts(DeviceOperations& device, StatusSink* sink = nullptr);

    // Appends one contact at the end (not sorted until sort_contacts).
    // `full_name`, when the record's 8-bit name cannot hold it whole, is
    // kept beside it (shown, exported, saved in the names file).
    void append(const Contact& contact, std::u16string_view full_name = {});
    // The same for many at once (one re-index).
    void append_all(const std::vector<std::pair<Contact, std::u16string>>& contacts);
    // Removes the contacts equal to each given record (one each); returns
    // how many were removed. Keeps the order of the rest.
    size_t remove(const std::vector<Contact>& contacts);
    void clear();

    // The contact's name whole: the full name kept for it, else its
    // 8-bit name.
    std::u16string full_name(const Contact& contact) const;

    size_t count() const { return contacts_.size(); }
    // A copy of the record; throws std::out_of_range past the end.
    Contact contact_at(size_t index) const { return contacts_.at(index); }
    const std::vector<Contact>& contacts() const { return contacts_; }

    // The region numbers are read with; changing it re-indexes.
    void set_phone_numbers(const PhoneNumbers& numbers);
    const PhoneNumbers& phone_numbers() const { return numbers_; }
    // How names are shown (the contacts window's choice); changing it
    // re-indexes.
    void set_name_order(NameOrder order);
    NameOrder name_order() const { return order_; }

    // The shown name (UTF-16, as the contacts window shows it) of the contact
    // `number` belongs to (see ContactNumberIndex); without one, `number`
    // itself. Answers from an index kept current by every change of the
    // list, so a call costs no scan. A field naming several people ("a;b",
    // a message to a group) names each: "Ben; Chloé Martin".
    std::u16string find_name_by_number(std::string_view number) const;
    // The same, without a contact nullopt.
    std::optional<std::u16string> name_for_number(std::string_view number) const;
    // The contact's name as stored ("Martin,Chloé"), for files that have
    // always held it; without a contact, `number`.
    std::u16string find_stored_name_by_number(std::string_view number) const;

  private:
    void rebuild_index();
    void keep_full_name(const Contact& contact, std::u16string_view full_name);

    std::vector<Contact> contacts_;
    PhoneNumbers numbers_;
    NameOrder order_ = NameOrder::BeforeCommaFirst;
    ContactNumberIndex index_;
    std::vector<std::u16string> names_;  // each contact's shown name
    // Full names by record (name field, TAB, number field).
    std::unordered_map<std::string, std::u16string> full_names_;
};

}  // namespace quillet
