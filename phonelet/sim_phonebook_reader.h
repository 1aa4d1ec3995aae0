// Sends the entries of the SIM card's phone book as contact records.
#pragma once

#include "phonelet/desktop_connection.h"
#include "phonelet/service_holder.h"
#include "platform/ce/sim.h"
#include "protocol/wire_format.h"

namespace quillet {

class SimPhonebookReader : public ServiceHolder {
  public:
    ~SimPhonebookReader() override;

    // Opens the SIM service; false without a SIM card.
    bool open();
    // Sends one record per readable entry (name and number, each cut to 31
    // bytes), trying indexes from 0 up to the phone book's size until as
    // many entries as it holds have been sent. An entry whose name and
    // number are both empty is not sent: it would read as the end marker.
    // Returns the number sent.
    int send_all(DesktopConnection& connection);
    void close();

  private:
    ce::HSIM sim_ = 0;
    ContactWireRecord current_;
};

}  // namespace quillet
