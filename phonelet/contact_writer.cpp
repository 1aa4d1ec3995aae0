#include "phonelet/contact_writer.h"

#include "platform/ce/mapi.h"
#include "protocol/byte_order.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

void put_entry_text(ce::SIMPHONEBOOKENTRY& entry, size_t offset, std::u16string_view text) {
    const size_t n = std::min(text.size(), ce::sim_entry::kMaxUnits - 1);
    for (size_t i = 0; i < n; ++i)
        put_u16le(entry, offset + 2 * i, static_cast<uint16_t>(text[i]));
}

}  // namespace

ContactWriter::~ContactWriter() {
    close();
}

bool ContactWriter::open(ContactTarget target) {
    close();
    target_ = target;
    if (target == ContactTarget::Sim) {
        if (ce::SimInitialize(0, nullptr, 0, &sim_) != ce::S_OK)
            return false;
        ce::DWORD used = 0;
        if (ce::SimGetPhonebookStatus(sim_, ce::SIM_PBSTORAGE_SIM, &used, &sim_slots_) !=
            ce::S_OK) {
            close();
            return false;
        }
        next_slot_ = 1;
        return true;
    }
    if (ce::FAILED(ce::CoInitializeEx(nullptr, ce::COINIT_MULTITHREADED)) ||
        ce::FAILED(ce::CoCreateInstance(ce::CLSID_Application, nullptr, ce::CLSCTX_INPROC_SERVER,
                                        ce::IID_IPOutlookApp, app_)) ||
        ce::FAILED(app_->Logon(0))) {
        close();
        return false;
    }
    return true;
}

bool ContactWriter::write(const ContactWireRecord& contact) {
    if (contact.is_blank())
        return false;
    return target_ == ContactTarget::Sim ? write_sim_entry(contact) : write_phone_contact(contact);
}

bool ContactWriter::write_phone_contact(const ContactWireRecord& contact) {
    std::unique_ptr<ce::IContact> item;
    if (!app_ || ce::FAILED(app_->CreateItem(ce::olContactItem, item)))
        return false;
    const std::u16string name = from_ansi(text_field(contact.name));
    const size_t comma = name.find(u',');
    const std::u16string_view first = std::u16string_view(name).substr(0, comma);
    const std::u16string_view last = comma == std::u16string::npos
                                         ? std::u16string_view()
                                         : std::u16string_view(name).substr(comma + 1);
    return ce::SUCCEEDED(item->put_FirstName(first)) && ce::SUCCEEDED(item->put_LastName(last)) &&
           ce::SUCCEEDED(item->put_MobileTelephoneNumber(from_ansi(text_field(contact.number)))) &&
           ce::SUCCEEDED(item->Save());
}

bool ContactWriter::write_sim_entry(const ContactWireRecord& contact) {
    if (sim_ == 0)
        return false;
    // An empty slot reads as not found; the slots before next_slot_ are
    // known to be taken.
    for (; next_slot_ <= sim_slots_; ++next_slot_) {
        ce::SIMPHONEBOOKENTRY entry{};
        put_u32le(entry, 0, ce::sim_entry::kSize);
        if (ce::SimReadPhonebookEntry(sim_, ce::SIM_PBSTORAGE_SIM, next_slot_, entry) !=
            ce::SIM_E_NOTFOUND) {
            continue;
        }
        put_entry_text(entry, ce::sim_entry::kNumber, from_ansi(text_field(contact.number)));
        put_entry_text(entry, ce::sim_entry::kName, from_ansi(text_field(contact.name)));
        if (ce::SimWritePhonebookEntry(sim_, ce::SIM_PBSTORAGE_SIM, next_slot_, entry) !=
            ce::S_OK) {
            return false;
        }
        ++next_slot_;
        return true;
    }
    return false;
}

void ContactWriter::close() {
    if (app_) {
        app_->Logoff();
        app_.reset();
    }
    if (sim_ != 0) {
        ce::SimDeinitialize(sim_);
        sim_ = 0;
    }
}

}  // namespace quillet
