// File > Import... and Import Folder...: other phones' backups brought into
// the boxes (desktop/library/importer.h) with a progress dialog
// ("importProgress", Cancel keeps nothing) and one summary at the end
// ("importSummary": added, already kept, possible duplicates with the first
// of them listed, attachments saved, problems).
#pragma once

#include <QString>
#include <filesystem>
#include <vector>

class QWidget;

namespace quillet {

class ContactsWindow;
class MessageLibrary;

// Asks for the files (or the folder), imports them and shows the summary.
// Returns the text for the status bar; empty when the user cancelled the
// choice. `contacts` takes the contacts read (may be null).
QString run_import_command(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts,
                           bool folder);
// Imports `paths` with the progress dialog and shows the summary; returns
// the text for the status bar.
QString import_paths(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts,
                     const std::vector<std::filesystem::path>& paths);

// At start (sync_copies.h): when `folder` lies in a folder a file-sync
// program keeps in step, says what that means and returns true; else
// nothing and false. The caller says it once.
bool tell_sync_folder(QWidget* parent, const std::filesystem::path& folder);
// At start: offers to take in the conflict copies of the boxes no import
// read yet, each as one import. Returns the status bar's text; empty when
// there were none or the user said No.
QString offer_conflict_copies(QWidget* parent, MessageLibrary& library, ContactsWindow* contacts);

// What the window says when another program is importing or undoing.
QString another_import_text();

}  // namespace quillet
