// Carries out the desktop's commands, one block at a time, for the life of
// one connection. Each command opens the phone service it needs, uses it
// and closes it again: between commands no service is held.
#pragma once

#include <array>
#include <vector>

#include "phonelet/contact_writer.h"
#include "phonelet/desktop_connection.h"
#include "phonelet/message_folder_reader.h"
#include "phonelet/outlook_contact_reader.h"
#include "phonelet/sim_phonebook_reader.h"
#include "phonelet/sms_sender.h"
#include "protocol/wire_format.h"

namespace quillet {

class CommandSession {
  public:
    // `connection` must outlive the session.
    explicit CommandSession(DesktopConnection& connection);
    virtual ~CommandSession();
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;

    // Carries out one block and writes its reply. False when the stream can
    // no longer be trusted (a WRITESMS whose size is impossible or whose
    // record did not arrive, a folder reply cut short, a write whose count
    // or length is impossible): the command loop must end.
    bool dispatch(const CommandBlock& block);

  private:
    using Handler = bool (CommandSession::*)(const CommandBlock&);
    static const std::array<Handler, kCommandCodeCount> kHandlers;

    bool write_sms(const CommandBlock& block);
    bool count_contacts(const CommandBlock& block);
    bool read_contact(const CommandBlock& block);
    bool count_inbox(const CommandBlock& block);
    bool read_inbox_message(const CommandBlock& block);
    bool sentinel(const CommandBlock& block);
    bool read_all_contacts(const CommandBlock& block);
    bool read_inbox(const CommandBlock& block);
    bool read_sent(const CommandBlock& block);
    bool read_deleted(const CommandBlock& block);
    bool delete_inbox(const CommandBlock& block);
    bool delete_sent(const CommandBlock& block);
    bool delete_deleted(const CommandBlock& block);
    bool read_commands(const CommandBlock& block);
    bool write_messages(const CommandBlock& block);
    bool write_contacts(const CommandBlock& block);
    bool unhandled(const CommandBlock& block);

    bool read_folder(FolderKind kind);
    void delete_in_folder(FolderKind kind, const CommandBlock& block);
    void reply(uint8_t byte);

    DesktopConnection& connection_;
    MessageFolderReader folders_;
    OutlookContactReader contacts_;
    SimPhonebookReader sim_;
    SmsSender sms_;
    ContactWriter contact_writer_;
    // The folder reply being built. Kept between replies (up to a bound),
    // so that the next Get SMS writes into memory that is already there
    // instead of growing and faulting in a new block of the same size.
    std::vector<uint8_t> folder_reply_;
};

}  // namespace quillet
