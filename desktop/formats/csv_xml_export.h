// Writing a box to a CSV or XML file, one entry per message in storage order:
// the display name, the number, the shown date and time, and the text.
//
// CSV: UTF-8 without byte-order mark (every character of a text kept), CR LF
// line ends, no header line. Each line
// is name, ", ", number, ", ", date, ", ", then the text between double
// quotes with its quotes doubled. A name, number or date holding a comma, a
// double quote, CR or LF is quoted the same way. Every LF written becomes
// CR LF, also inside the text. An item that a spreadsheet would take for a
// formula (one starting with "=", "+", "-", "@", tab or CR, but for a plain
// "+" and digits number) is written as text: an apostrophe before it, and
// quoted.
//
// XML: UTF-16LE with a byte-order mark, LF line ends, one <sms> block per
// message; the text stands in a CDATA section. "&", "<", ">" and the double
// quote are escaped in name, number and date, and "]]>" in the text is split
// across two CDATA sections, so the file is always well-formed. Characters
// that XML cannot carry at all (C0 controls other than tab, LF and CR, lone
// surrogates, U+FFFE and U+FFFF) are written as U+FFFD.
//
// Both write atomically: a failed export leaves any old file whole.
#pragma once

#include <filesystem>
#include <string>

#include "desktop/store/contact_list.h"
#include "desktop/store/safe_file.h"
#include "desktop/store/sms_box.h"

namespace quillet {

// The bytes of each format, for the writers below and their tests.
std::string csv_bytes(const SmsBox& box, const ContactList& contacts);
std::string xml_bytes(const SmsBox& box, const ContactList& contacts);

Outcome export_csv(const std::filesystem::path& path, const SmsBox& box,
                   const ContactList& contacts);
Outcome export_xml(const std::filesystem::path& path, const SmsBox& box,
                   const ContactList& contacts);

}  // namespace quillet
