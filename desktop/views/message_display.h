// Where the message list shows the message of a row: the main window's
// message view. The list calls it; it does not own it.
#pragma once

#include <string_view>

#include "desktop/store/device_operations.h"
#include "desktop/store/sms_message.h"

namespace quillet {

// Template files, relative to the program folder.
inline constexpr std::u16string_view kIdleTemplate = u"templates\\idle_template.html";
inline constexpr std::u16string_view kInboxTemplate = u"templates\\inbox_template.html";
inline constexpr std::u16string_view kSendTemplate = u"templates\\send_template.html";
// The page written for every message shown, relative to the data folder.
inline constexpr std::u16string_view kPageFile = u"templates\\tmp.html";

// The Inbox's messages use the inbox template; Sent Items and Deleted Items
// the send template.
inline std::u16string_view template_for(BoxKind kind) {
    return kind == BoxKind::Inbox ? kInboxTemplate : kSendTemplate;
}

class MessageDisplay {
  public:
    virtual ~MessageDisplay() = default;
    // Shows `message` through `template_name` (one of the templates above),
    // or the idle page when `message` is null (the template is then ignored).
    virtual void show_message(const SmsMessage* message, std::u16string_view template_name) = 0;
};

}  // namespace quillet
