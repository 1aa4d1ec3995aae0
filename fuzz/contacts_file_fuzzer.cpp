// load_contacts' reading of a contacts file, and the lookup index built from
// what it reads: whatever the bytes, no read past them, and a save and second
// read give the same records.
#include <cstdlib>

#include "desktop/store/contact_list.h"
#include "desktop/store/contacts_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const quillet::DecodedContacts decoded = quillet::decode_contacts_file(std::span(data, size));
    const std::vector<uint8_t> saved = quillet::encode_contacts_file(decoded.contacts);
    const quillet::DecodedContacts again = quillet::decode_contacts_file(saved);
    if (!again.damage.empty() || again.contacts.size() != decoded.contacts.size())
        std::abort();
    for (size_t i = 0; i < decoded.contacts.size(); ++i) {
        if (again.contacts[i].encode() != decoded.contacts[i].encode())
            std::abort();
    }
    quillet::ContactList list;
    for (const quillet::Contact& c : decoded.contacts)
        list.append(c);
    list.sort_contacts();
    for (const quillet::Contact& c : decoded.contacts) {
        (void)list.find_name_by_number(quillet::text_field(c.number));
    }
    return 0;
}
