// File > Import... and Import Folder...: other phones' backups brought into
// the boxes (desktop/library/importer.h) with a progress dialog
// ("importProgress", Cancel keeps nothing) and one summary at the end
// ("importSummary": added, already kept, possible duplicates with the first
// of them listed, attachments saved, problems).
#pragma once

#include <QString>

class QWidget;

namespace quillet {

class ContactsWindow;
class MessageLibrary;

// Asks for the files (or the folder), imports them and shows the summary.
// Returns the text for the status bar; empty when the user cancelled the
// choice. `contacts` takes the contacts read (may be null).
QString run_import_command(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts,
                           bool folder);
// What the window says when another program is importing or undoing.
QString another_import_text();

}  // namespace quillet
