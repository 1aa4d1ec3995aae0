// 8-bit text of the phone and the PC: code page Windows-1252, by the
// project's own table (glibc's lacks the five bytes the code page leaves
// undefined; here they are the C1 controls of the same code, as on the PC,
// so every byte survives a round trip). A character the code page cannot
// hold becomes "?". UTF-8 goes through iconv.
// Message text is UTF-16 everywhere; UTF-8 is only for the command line
// and the host's file names.
#pragma once

#include <string>
#include <string_view>

namespace quillet {

std::string to_ansi(std::u16string_view text);
std::u16string from_ansi(std::string_view text);

std::string to_utf8(std::u16string_view text);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string from_utf8(std::string_view text);

// The 8-bit text of `text` cut to fit a 32-byte field (31 bytes).
std::string to_ansi_field(std::u16string_view text);

}  // namespace quillet
