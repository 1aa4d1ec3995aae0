// Everything at once: one new folder that holds
//   sms-backup.xml       the Android SMS backup of Inbox and Sent Items
//   contacts.vcf         the contact list as vCard 3.0
//   inbox.csv, sent.csv, deleted.csv   each box as the program's CSV export
//   conversations/       one PDF per correspondent
//   attachments/<id>/    the files of imported messages, per import (when
//                        there are any)
//   imports.txt          the imports the messages came from (when any)
//   README.txt           what each file is
// The folder is filled under a temporary name beside it and renamed into
// place only when every file was written, so a failed archive leaves
// nothing half-written behind. An existing folder is never written into.
// The folder and its files are made with the modes the umask allows.
#pragma once

#include <QLocale>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "desktop/store/box_set.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/outcome.h"

namespace quillet {

// What the archive carries of the imports: each attachment file, where in
// the archive it goes ("attachments/3/IMG.png") and where it is; the
// imports' listing for imports.txt (desktop/library/import_origins.h).
struct ArchiveImports {
    std::vector<std::pair<std::string, std::filesystem::path>> attachments;
    std::string listing;
};

struct ArchiveReport {
    // Done when the archive was written; else its line is in the desktop's
    // language (print translates its own texts).
    Outcome outcome;
    size_t messages = 0;
    size_t replaced = 0;  // characters the XML could not carry
    size_t cards = 0;
    size_t conversations = 0;
    size_t attachments = 0;
};

// Called before each conversation's PDF with how many are done and how
// many there are, so a window or a terminal can show progress.
using ArchiveProgress = std::function<void(size_t done, size_t total)>;

// `boxes.deleted` must be set: the archive holds a CSV of every box.
ArchiveReport write_archive(const QString& folder, const BoxSet& boxes, const ContactList& contacts,
                            const QLocale& locale, const ArchiveProgress& progress = {},
                            const ArchiveImports& imports = {});

// A file name for a conversation's PDF: the title with characters that file
// systems refuse replaced by "_", and ".pdf".
QString conversation_file_name(const QString& title);

}  // namespace quillet
