// File > Restore to phone...: puts kept messages or contacts back onto the
// phone (desktop/library/restore_to_phone.h). The user chooses what: the
// Inbox and Sent Items, the conversation shown, the selected messages, the
// contacts, or the contacts onto the SIM. The phone's agent is asked
// whether it can restore (an older one cannot: then nothing changes), and
// the phone what it holds already; a question shows what would be written;
// on Yes the writes run under a progress dialog whose Cancel stops before
// the next batch; the report, which speaks only of what was chosen, comes in
// a message box.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "desktop/store/message_ref.h"
#include "desktop/store/sms_message.h"

class QWidget;

namespace quillet {

class MessageLibrary;
class StatusSink;

// What the window can offer besides the boxes.
struct RestoreOffer {
    std::optional<std::string> conversation;  // the number of the one shown
    QString conversation_name;                // as the window names it
    std::vector<MessageRef> selection;        // the messages chosen in the list
    std::vector<Contact> contacts;
};

// Runs the command; returns the text for the status bar. The written
// messages' kept copies stand for their phone messages afterwards; the
// caller saves the boxes and shows them again.
QString run_restore_command(QWidget* parent, MessageLibrary& library, DeviceOperations& device,
                            const RestoreOffer& offer, StatusSink* sink);

}  // namespace quillet
