// Adds restored contacts to the phone: to its own contacts (the Pocket
// Outlook object model) or to the SIM card's phone book.
#pragma once

#include <memory>

#include "phonelet/service_holder.h"
#include "platform/ce/poom.h"
#include "platform/ce/sim.h"
#include "protocol/wire_format.h"

namespace quillet {

class ContactWriter : public ServiceHolder {
  public:
    ~ContactWriter() override;

    // Opens the list to write; false when it cannot be (no SIM card, the
    // contacts application refused).
    bool open(ContactTarget target);
    // Adds one contact; false when it was not added. A phone contact's
    // name is split at its first "," into first and last name (as the
    // phone's contacts travel), its number is the mobile number. A SIM
    // entry goes into the first empty slot; false once the SIM is full.
    bool write(const ContactWireRecord& contact);
    void close();

  private:
    bool write_phone_contact(const ContactWireRecord& contact);
    bool write_sim_entry(const ContactWireRecord& contact);

    ContactTarget target_ = ContactTarget::PhoneContacts;
    std::unique_ptr<ce::IPOutlookApp> app_;
    ce::HSIM sim_ = 0;
    // The SIM's size and the slot to look at next: slots before it are
    // taken.
    ce::DWORD sim_slots_ = 0;
    ce::DWORD next_slot_ = 1;
};

}  // namespace quillet
