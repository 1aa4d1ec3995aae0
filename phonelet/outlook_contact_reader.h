// Sends the phone's own contacts that have a number as contact records.
#pragma once

#include <functional>
#include <memory>

#include "phonelet/desktop_connection.h"
#include "phonelet/service_holder.h"
#include "platform/ce/poom.h"
#include "protocol/wire_format.h"

namespace quillet {

class OutlookContactReader : public ServiceHolder {
  public:
    ~OutlookContactReader() override;

    // Starts COM, creates the contacts application and logs on; true when
    // all of it succeeded.
    bool open();
    // Sends one record per contact with a mobile number: the number, and
    // the name as first name, "," and last name (each cut to 31 bytes).
    // Returns the number sent.
    int send_all(DesktopConnection& connection);
    // How many contacts have a number.
    int count();
    // Sends the record of the index-th (0-based) contact with a number;
    // false (nothing sent) when there are fewer.
    bool send_one(DesktopConnection& connection, int index);
    void close();

  private:
    // Fills the current record for each numbered contact in turn and calls
    // `visit` until it returns false; the number of contacts visited.
    int for_each_numbered(const std::function<bool()>& visit);

    ContactWireRecord current_;
    std::unique_ptr<ce::IPOutlookApp> app_;
};

}  // namespace quillet
