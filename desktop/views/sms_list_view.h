// The message list of the main window (objectName "messageList"): the
// messages of the current box in five columns, one row each, over a
// MessageListModel. The message view follows the highlighted row: the
// current row, once selected, is shown and marked read (the other rows of a
// selection stay as they are); it marks selections read or unread, deletes selections, and sorts on
// a header click (the sort state is kept in the box). What it changes it changes in the box, whose
// revision tells the main window what to save; a header click and a selection run as commands
// (command_scope.h), so their changes are saved when they end.
//
// The context menu (objectName "messageListMenu") holds "Forward", "Reply",
// "Mark read", "Mark unread", "Delete" and "Delete on device"; each entry
// only emits its request signal, the main window runs the command.
#pragma once

#include "desktop/store/device_operations.h"
#include "desktop/store/message_ref.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/sms_box.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/message_display.h"
#include "desktop/views/message_list_model.h"

class QMenu;

namespace quillet {

class SmsListView : public FlatListView {
    Q_OBJECT

  public:
    explicit SmsListView(QWidget* parent = nullptr);

    // Where rows are shown; not owned, must outlive the view.
    void set_display(MessageDisplay* display) { display_ = display; }
    // Names for the sender column; not owned.
    void set_contacts(const ContactList* contacts) { model_.set_contacts(contacts); }
    // The phone, for the deletions; not owned.

    MessageListModel& list_model() { return model_; }
    const MessageListModel& list_model() const { return model_; }
    QMenu* context_menu() const { return menu_; }

    // The five columns' classic widths, or what a header or a bold date
    // needs in the screen's font when that is more.
    void setup_columns();
    // The message column takes the room the list has beyond the other
    // columns, but is never narrower than the width last given to it (the
    // classic one, the one kept from the last run, or one the user dragged);
    // that width is what the layout keeps. The other columns keep theirs.
    int kept_width(int column) const override;
    // Makes `box` current, rebuilds every row from it and sorts. A refill of
    // the box shown keeps the message shown selected and in view; otherwise
    // the view shows the idle page and the list its newest message. When
    // the rows do not fit in memory, the list stays empty, a message box
    // says so, and the result is false.
    bool fill_from_box(SmsBox& box);
    SmsBox* current_box() const { return model_.box(); }

    // Shows the message of `row` and marks it read; a row below 0 shows the
    // idle page. Emits messageShown when the display changed.
    void show_row(int row);
    // Shows the message shown again (the display's marks changed); marks
    // nothing read.
    void redisplay();
    // The row last shown; -1 until one was. A fill does not reset it.
    int current_row() const { return current_row_; }

    // Sets or clears the read flag of every selected row's message.
    void mark_selected_read();
    void mark_selected_unread();
    // Selects every row and takes the focus; only the message shown is read.
    void select_all();

    // The selected rows' messages, for a deletion.
    std::vector<MessageRef> selected_refs() const;
    // After the messages of selected_refs() were deleted (`removed`: gone
    // from the box, else only marked as no longer on the phone): the list
    // is refilled; when one row was selected and it is gone, the row now at
    // its place (or the last) is selected and shown, else the idle page.
    void after_deletion(const std::vector<MessageRef>& chosen, size_t deleted, bool removed);
    // What the message box says when the phone refused a deletion.
    static QString delete_failure_text(const ORX_Exception& failure);

    // Selects and shows the row of `message` (the same message, as the box
    // holds it now), scrolls to it and takes the focus; nothing when it is
    // not listed.
    void select_message(const SmsMessage& message);

    // The rows selected now, top to bottom.
    std::vector<int> selected_rows() const;

  Q_SIGNALS:
    // A row's message was shown.
    void messageShown(const quillet::SmsMessage& message);
    void forwardRequested();
    void replyRequested();
    void markReadRequested();
    void markUnreadRequested();
    void deleteRequested();
    void deleteOnDeviceRequested();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void build_menu();
    void on_selection_changed(const QItemSelection& selected, const QItemSelection& deselected);
    void on_current_changed(const QModelIndex& current, const QModelIndex& previous);
    void on_header_clicked(int column);
    void on_section_resized(int column, int old_size, int new_size);
    void fit_message_column();
    // Sets the read flag of the messages of `rows`.
    void set_read_of(const QItemSelection& rows, uint8_t value);
    bool mark_read_quietly(int row);
    void select_row(int row);
    void scroll_to_newest();

    MessageListModel model_;
    MessageDisplay* display_ = nullptr;
    QMenu* menu_ = nullptr;
    int current_row_ = -1;
    // What the display shows now, so a row reported twice (selected, then
    // current) is shown once.
    struct Shown {
        const SmsBox* box = nullptr;
        int index = -1;
        uint64_t generation = 0;
        bool operator==(const Shown&) const = default;
    };
    Shown shown_;
    uint64_t generation_ = 1;
    // Set while a deletion rearranges rows: selection changes then show nothing.
    bool quiet_ = false;
    // The least width of the message column, and whether the list is
    // widening it to the room itself.
    int message_width_ = 300;
    bool fitting_ = false;
};

}  // namespace quillet
