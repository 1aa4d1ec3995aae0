// What every reader of another phone's or tool's backup hands on: one
// message at a time, in the order of the file, with what could not be read
// counted and named. The readers know the file formats
// (doc/import_formats.md); what becomes of a message (matched against what
// is kept, added, recorded for undo) is the import's business
// (desktop/library/importer.h).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/outcome.h"
#include "desktop/store/unique_fd.h"

namespace quillet {

enum class ImportFormat {
    Unknown,
    AndroidXml,     // an Android backup XML (<smses> or <allsms>)
    AndroidCalls,   // an Android call log (<calls>): recognised and refused
    SmsIeZip,       // an sms-ie ZIP (messages.ndjson and data/)
    GammuBackup,    // a Gammu .smsbackup (INI)
    QuilletFolder,  // a Quillet data folder or archive folder
    QuilletBox,     // one Quillet box file, such as a file-sync program's copy of one
    Vcard,          // contacts, vCard 2.1 or 3.0
    IphoneBackup,   // an iPhone backup folder (Manifest.db, sms.db)
    PimBackup,      // a Windows Mobile PIM Backup .pib (a ZIP with msgs_*.csm)
    SmsBackupMail,  // SMS Backup+ mails: an mbox, one mail, or a Maildir folder
    WindowsPhone,   // a Windows Phone message backup (.msg XML, <ArrayOfMessage>)
};

// "Android backup", "sms-ie", ...: for summaries and the imports list.
std::string_view format_name(ImportFormat format);

// A file saved beside a message (a picture, a sound, a card).
struct ImportedAttachment {
    std::string kind;  // "picture", "audio", "video", "contact card", "file"
    std::string name;  // the file name as saved (unique within its import)
};

struct ImportedMessage {
    bool received = true;  // else sent
    // The correspondent as the source wrote it (UTF-8): a number in any
    // spelling or a sender name; the recipients of a group message joined
    // by ";" (without the owner's own number where the source tells it).
    std::string address;
    // The text parts joined, then one line per attachment, such as
    // "[picture: IMG_0042.jpg]".
    std::u16string text;
    // Milliseconds since 1970. With `zoneless` the time is the wall-clock
    // time the source wrote with no zone (Gammu's local times), counted as
    // if it were UTC; the matcher then allows the whole-quarter-hour offsets
    // of every zone.
    int64_t time_ms = 0;
    bool zoneless = false;
    bool read = true;
    std::vector<ImportedAttachment> attachments;
};

// Where a reader puts an attachment's bytes: `begin` opens a new file for
// the suggested name and returns the name it got (unique, no folders),
// `write` appends to it, `end` closes it (false: the file is dropped).
// Bytes go straight to disk: a picture is never held whole in memory.
class AttachmentSink {
  public:
    virtual ~AttachmentSink() = default;
    virtual std::optional<std::string> begin(std::string_view suggested_name) = 0;
    virtual bool write(std::string_view bytes) = 0;
    virtual bool end(bool keep) = 0;
    // Where a reader may keep bytes for a while (the Android reader's
    // decoded parts), in files no one else sees: the import's own staging
    // area, on the file system that is to hold the attachments.
    virtual std::filesystem::path spool_folder() const {
        return std::filesystem::temp_directory_path();
    }
};

// What a reader reports as it goes.
class ImportSink {
  public:
    virtual ~ImportSink() = default;
    virtual void message(ImportedMessage&& message) = 0;
    // An element that was not taken, and why ("an MMS without any part",
    // "a date before 1601"); counted and listed in the summary.
    virtual void skipped(std::string_view why) = 0;
    // How far the reading is: bytes of the file read so far. Returns false
    // when the user cancelled: the reader stops at once.
    virtual bool progress(uint64_t done, uint64_t total) = 0;
};

// How reading one file went.
struct ReadReport {
    // Not done: the file could not be read at all (Unreadable), is of a kind
    // or form the reader cannot take (BadInput), or the user stopped it
    // (Cancelled). Nothing of it is kept then.
    Outcome outcome;
    // What the file announced (Android's count), when it did; compared
    // with what was read, never trusted.
    std::optional<uint64_t> announced = std::nullopt;
    // Characters that could not be read as written (invalid UTF-8, a lone
    // UTF-16 half, a NUL) and were taken as U+FFFD.
    uint64_t replaced = 0;
    // Done, but the reading stopped at damage (a file cut short): every
    // message before it was handed on, those after it counted as skipped.
    // Says where and what ("the file is damaged at line 135: ...").
    std::string damage = {};
    // The messages the file holds, when the reader can tell (Android's
    // <sms> and <mms> elements), to set against `announced`.
    std::optional<uint64_t> held = std::nullopt;
};

// Why `path` is neither a regular file nor a folder, the only things a
// backup is read from: "there is no such file or folder", "a named pipe,
// not a file: skipped", ... Never opens it, so a FIFO cannot block.
std::optional<Outcome> unusable_path(const std::filesystem::path& path);

// Opens a regular file for reading without ever blocking: anything else (a
// FIFO, a device, a socket) is refused before it is opened, and again after
// (in case it was swapped meanwhile). `why` receives the reason.
UniqueFd open_regular_file(const std::filesystem::path& path, Outcome& why);

// The format of `path`, told from its content (never its name). A folder is
// a Quillet data or archive folder when it holds box files; what is neither
// a folder nor a regular file is Unknown, and is not opened. A folder with
// cur/ and new/ is a Maildir of SMS Backup+ mails. A folder with
// an iPhone backup's manifest is an IphoneBackup, even one the reader will
// refuse (encrypted, too old), so that the refusal says why.
ImportFormat detect_format(const std::filesystem::path& path);

// Reads the messages of a file of `format` (AndroidXml, SmsIeZip,
// GammuBackup, IphoneBackup, PimBackup, SmsBackupMail, WindowsPhone) into
// `sink`, each attachment's bytes into
// `attachments`. Other formats give BadInput: a call log is refused, a Quillet folder and contacts
// are read elsewhere.
ReadReport read_messages(const std::filesystem::path& path, ImportFormat format, ImportSink& sink,
                         AttachmentSink& attachments);

// One card of a vCard file: the name shown (FN, else N's parts) and every
// TEL, as written.
struct ImportedContact {
    std::string name;
    std::vector<std::string> numbers;
};

// The cards of a vCard 2.1 or 3.0 file that hold a number, appended to
// `contacts`; at most kMaxImportedContacts (more: BadInput, none taken). A
// card without a number, or cut off before its end, is named in
// `sink.skipped`.
constexpr size_t kMaxImportedContacts = 100'000;
ReadReport read_vcards(const std::filesystem::path& path, std::vector<ImportedContact>& contacts,
                       ImportSink& sink);

}  // namespace quillet
