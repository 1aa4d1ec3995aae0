// The boxes as an Android SMS backup: the XML file that the phones' backup
// and restore apps read back into their messages.
//
//   <?xml version='1.0' encoding='UTF-8' standalone='yes' ?>
//   <smses count="N">
//     <sms protocol="0" address=".." date=".." type="1|2" subject="null"
//          body=".." toa="null" sc_toa="null" service_center="null"
//          read="1|0" status="-1" locked="0" date_sent="0"
//          readable_date=".." contact_name=".." />
//   </smses>
//
// (each <sms> on one line). `date` is milliseconds since 1970 UTC;
// `readable_date` the local time as "Mar 4, 2026 9:05:00 PM". Inbox is
// written as received (type 1), Sent Items as sent (type 2, read), Deleted
// Items only when asked for, as received. A stored number that lists several
// recipients (separated by ";" or ",") gives one element whose address joins
// them with "~", as the phones' backup apps write a group message (its
// contact_name joins their names, or numbers, with ", "). All elements are
// sorted by date, the boxes' order kept among equal dates.
//
// Attribute values escape "&", "<", ">" and the double quote, and write line
// breaks and tabs as "&#10;", "&#13;" and "&#9;" so that a parser's
// attribute normalisation keeps them. Characters outside the Basic
// Multilingual Plane are written as themselves in UTF-8. Characters XML 1.0
// cannot carry (C0 controls other than tab, LF and CR, lone surrogates,
// U+FFFE and U+FFFF) are written as U+FFFD and counted.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "desktop/store/box_set.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/safe_file.h"

namespace quillet {

struct AndroidBackupCounts {
    size_t messages = 0;  // <sms> elements written, one per message
    size_t replaced = 0;  // characters written as U+FFFD
};

struct AndroidBackupReport {
    Outcome outcome;
    AndroidBackupCounts counts;
};

// The whole file, for tests and small boxes.
std::string android_backup_bytes(const BoxSet& boxes, const ContactList& contacts,
                                 AndroidBackupCounts* counts = nullptr);

// Writes the file atomically, piece by piece (no buffer of its whole size).
AndroidBackupReport export_android_backup(const std::filesystem::path& path, const BoxSet& boxes,
                                          const ContactList& contacts);

}  // namespace quillet
