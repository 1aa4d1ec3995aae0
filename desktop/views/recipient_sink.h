// Where the contacts window hands the contacts the user picked: a composer.
#pragma once

#include "desktop/store/sms_message.h"

namespace quillet {

class RecipientSink {
  public:
    virtual ~RecipientSink() = default;
    // One picked contact; the sink ignores a number it already has.
    virtual void add_recipient(const Contact& contact) = 0;
};

}  // namespace quillet
