// The contact list as vCard 3.0 (RFC 2426), UTF-8, CR LF line ends:
//
//   BEGIN:VCARD
//   VERSION:3.0
//   UID:urn:uuid:…   (made of the FN: the same at every export)
//   N:Martin;Chloé;;;
//   FN:Chloé Martin
//   TEL;TYPE=CELL:+33612345678
//   END:VCARD
//
// One card per person: entries whose shown names are equal make one card,
// with one TEL per distinct number among them, so the same name and number
// from the SIM and from the phone's contacts is written once. Two spellings
// of one number count as the same number when the contact list would match
// them to each other (same digits, or same last seven of longer ones); the
// international spelling (leading "+") is kept.
//
// A phone contact arrives as "First,Last" and is written N:Last;First;;;
// and FN "First Last"; any other name (the SIM's, "Doe, John" too) is the
// given name whole, as written.
// Text values escape "\", ",", ";" and line breaks ("\n"); lines longer than
// 75 octets are folded (CR LF and a space), never inside a UTF-8 sequence;
// other control characters are written as U+FFFD.
// Cards follow the list's order.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "desktop/store/contact_list.h"
#include "desktop/store/safe_file.h"

namespace quillet {

// The bytes of every card; `cards`, when given, receives how many.
std::string vcard_bytes(const ContactList& contacts, size_t* cards = nullptr);

// Writes them atomically.
Outcome export_vcard(const std::filesystem::path& path, const ContactList& contacts,
                     size_t* cards = nullptr);

}  // namespace quillet
