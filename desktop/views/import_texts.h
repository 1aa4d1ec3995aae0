// What an import reports about each file (why something was skipped, notes
// on the file, why a file was not read, the kind of backup) is the engine's
// English, kept so in the import records. The windows show it in the
// desktop's language where the translation has the text, else as it is.
#pragma once

#include <QString>
#include <string_view>

namespace quillet {

// One reason, note or kind of backup ("a draft", "the file announces 20
// messages but holds 15", "Gammu backup").
QString shown_import_text(std::string_view english);

// A file that was not read, as "FILE: why": the file as it is, the reason
// translated.
QString shown_import_failure(std::string_view english);

}  // namespace quillet
