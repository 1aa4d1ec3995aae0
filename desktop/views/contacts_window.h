// The contacts window: the program's one contact list, shown as names and
// numbers, fetched from the phone on request, and offered to a composer as
// recipients.
//
// Created once, hidden, by the main window; closing it only hides it. It
// owns the ContactList that every other window reads names from. It hands
// itself to the contact fetch as its status sink, so each contact received
// shows in its status bar.
//
// Widgets (objectName):
//   "contactsWindow"   the window, titled "Contacts"
//   "contactsList"     ContactsListView
//   "contactsToolBar"  toolbar: "getContactsAction" ("Get Contacts from SIM"),
//                      "addContactAction" ("Add Contact", shown only while a
//                      composer is the target)
//   "importAction"     menu "Contacts" > "Import from phone"
//   "statusPane"       QLabel, the status bar's message pane
#pragma once

#include <QMainWindow>
#include <string_view>

#include "desktop/store/contact_list.h"
#include "desktop/store/device_operations.h"
#include "desktop/store/status_sink.h"
#include "desktop/views/recipient_sink.h"

class QAction;
class QLabel;
class QToolBar;

namespace quillet {

class ContactsListView;

class ContactsWindow : public QMainWindow, public StatusSink {
    Q_OBJECT

  public:
    // Loads "contacts.sql" and the name order ("contacts_sort" in
    // "options.cfg"). `phone` must outlive the window.
    explicit ContactsWindow(DeviceOperations& phone, QWidget* parent = nullptr);
    ~ContactsWindow() override;

    // Shows the window in front. With a target (a composer) the "Add
    // Contact" button is shown and a double click adds the selected rows to
    // it; with nullptr (from the main window) picking does nothing. The
    // target must call forget_target before it goes away.
    void show_for(RecipientSink* target);
    // The target is going away: picking does nothing until the next show_for
    // names a target. Another target is left as it is.
    void forget_target(RecipientSink* target);
    RecipientSink* target() const { return target_; }

    const ContactList& contacts() const { return contacts_; }
    // For an import that adds contacts: call contacts_added() after.
    ContactList& contacts_to_extend() { return contacts_; }
    // Contacts were added to the list (and saved) elsewhere: refills and
    // tells the other windows.
    void contacts_added();

    // Replaces the list by the phone's contacts, saves "contacts.sql" and
    // refills; failures are reported in message boxes. A failed link leaves
    // the previous contacts in place.
    void import_from_phone();
    // Hands every selected row, top to bottom, to the target and unselects it.
    void add_selected();
    // Rebuilds the rows from the list.
    void refill();

    ContactsListView& list_view() { return *list_; }

    // StatusSink: the message pane of the status bar; the engine's statuses
    // are shown in the desktop's language, a text as it is given.
    void report(const EngineStatus& status) override;
    void set_status_text(std::u16string_view text) override;
    void set_progress(int percent) override;
    // A text of the window's own, already translated.
    void show_status(const QString& text);

  Q_SIGNALS:
    // The contact list was replaced; names shown elsewhere may change.
    void contactsChanged();

  protected:
    void closeEvent(QCloseEvent* event) override;
    // A new palette (the desktop turned dark or light): the toolbar's
    // pictures are drawn again in its ink.
    void changeEvent(QEvent* event) override;

  private:
    void build_bars();
    void show_add_button(bool shown);

    DeviceOperations& phone_;
    ContactList contacts_;
    RecipientSink* target_ = nullptr;
    ContactsListView* list_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    QAction* add_action_ = nullptr;
    QLabel* status_pane_ = nullptr;
};

}  // namespace quillet
