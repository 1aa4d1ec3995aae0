// The places where the program waits for the user or the sound card: message
// boxes, file dialogs and sound. Each goes through one function here, so a
// test can answer it instead of a person, and see what was asked.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QFileDialog;
class QPrinter;
class QWidget;

namespace quillet {

// A modal message box with caption "Quillet" and an OK button. `icon` is
// QMessageBox::Warning (the exclamation) for failures, NoIcon for the new
// message popup. The arrow shows while it is open, also inside a command.
void show_message_box(QWidget* parent, const QString& text,
                      QMessageBox::Icon icon = QMessageBox::Warning,
                      const QString& caption = QStringLiteral("Quillet"));

// A modal question with caption "Quillet" and Yes / No buttons, No the
// default (Esc answers No). True for Yes.
bool ask_yes_no(QWidget* parent, const QString& text);

// From now on no message box or question opens, for the program is ending
// on a signal and nobody may be there to answer: a message goes to standard
// error instead, and a question takes its default answer, No. Safe from any
// thread.
void stop_asking();

// A modal box with caption "Quillet" (a warning unless `icon` says
// otherwise), one button per entry of `choices` and Cancel (the default,
// and Esc). The index of the choice taken, -1 for Cancel.
int ask_choice(QWidget* parent, const QString& text, const QStringList& choices,
               QMessageBox::Icon icon = QMessageBox::Warning);

// Runs a dialog the caller has set up (its choices, its texts) modally;
// true when the user accepted it. A test handler sees the dialog itself: it
// may change its choices and read what it shows before it answers.
bool ask_dialog(QDialog& dialog);

// A save-file dialog offering `suggested` as the name; an empty string when
// the user cancelled.
QString ask_save_file_name(QWidget* parent, const QString& caption, const QString& filter,
                           const QString& default_suffix, const QString& suggested = {});
// The name an export suggests: what it holds and today's date,
// "Inbox-2026-12-09.csv"; characters no file name may hold become "_".
QString dated_file_name(const QString& what, const QString& suffix);
// The print dialog on `printer`; false when the user cancelled.
bool ask_printer(QWidget* parent, QPrinter& printer);
// An open-file dialog; an empty string when the user cancelled.
QString ask_open_file_name(QWidget* parent, const QString& caption, const QString& filter);

// An open-files dialog taking several files, or (`folder`) a folder
// chooser; empty when the user cancelled. A test handler answers with the
// names separated by line breaks.
QStringList ask_open_file_names(QWidget* parent, const QString& caption, const QString& filter,
                                bool folder);

// The same on a dialog the caller has set up (for instance one that acts on
// each selection); its window title is the caption a test handler sees.
QString ask_open_file_name(QFileDialog& dialog);

// Opens a file in the desktop's program for its kind (an attachment).
void open_file(const QString& path);

// Plays a WAV file without waiting; a file that cannot be played gives the
// system's beep.
void play_sound_file(const QString& path);

// Whether the desktop shows tray icons (many do not): the program then
// minimises to the taskbar instead.
bool system_tray_available();

// Test seams. While a handler is set, it replaces the real thing.
struct MessageBoxRequest {
    QString caption;
    QString text;
    QMessageBox::Icon icon;
};
void set_message_box_handler(std::function<void(const MessageBoxRequest&)> handler);
// Answers the next file dialogs in order; an empty name is a Cancel. It sees
// the caption and the name suggested.
void set_file_dialog_handler(
    std::function<QString(const QString& caption, const QString& suggested)> handler);
// Answers the print dialogs: sets the printer up and says whether to print.
void set_printer_handler(std::function<bool(QPrinter&)> handler);
// Answers the next questions; it sees each question's text.
void set_question_handler(std::function<bool(const QString& text)> handler);
// Answers ask_dialog: it sees the dialog, returns whether it was accepted.
void set_dialog_handler(std::function<bool(QDialog&)> handler);
// Answers ask_choice: it sees the text and the choices, returns the index.
void set_choice_handler(
    std::function<int(const QString& text, const QStringList& choices)> handler);
void set_sound_handler(std::function<void(const QString& path)> handler);
void set_open_file_handler(std::function<void(const QString& path)> handler);
void set_tray_availability_handler(std::function<bool()> handler);

}  // namespace quillet
