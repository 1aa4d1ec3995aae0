// The upper part of the main window's right side (objectName "listPane"):
// the search bar over one of three lists.
//
// Widgets (objectName):
//   "searchField" (QLineEdit; Ctrl+E focuses it, Esc clears it),
//   "searchAllBoxes" (QCheckBox "All boxes"),
//   "messageList" (SmsListView: the box shown, filtered by the search),
//   "conversationList" (QTreeView over ConversationListModel; its context
//   menu "conversationListMenu" holds "Reply", "Delete" and "Delete on
//   device", which only emit their request signals),
//   "searchResults" (QTreeView over SearchResultsModel: while a search with
//   "All boxes" is typed and a box is shown, the messages found in any box).
//
// The pane keeps one ConversationIndex over the frame's three boxes, brought
// up to date (never rebuilt) whenever a box's revision moved: the
// conversation list, the search and the results all read it.
//
// Selecting a conversation shows it in the message view, newest part first
// (kConversationPart messages, more on "Show earlier messages"), and marks
// all of its messages read; several may be selected (Ctrl, Shift) to be
// deleted together. Selecting a result shows that message with its box's
// template and marks it read.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "desktop/search/conversation_index.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/correspondence.h"
#include "desktop/views/sms_list_view.h"

class QCheckBox;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QTreeView;

namespace quillet {

class ConversationListModel;
class HtmlFormView;
class SearchResultsModel;
class SmsListView;

class ListPane : public QWidget {
    Q_OBJECT

  public:
    // How many of a conversation's newest messages are shown at first, and
    // added by each "Show earlier messages".
    static constexpr size_t kConversationPart = 500;

    // The boxes and the view are the frame's; they must outlive the pane.
    ListPane(SmsBox& inbox, SmsBox& sent, SmsBox& deleted, HtmlFormView& view,
             QWidget* parent = nullptr);
    ~ListPane() override;

    // Names for the lists and the search; not owned.
    void set_contacts(const ContactList* contacts);
    // The contacts changed: names again, searched anew.
    void names_changed();

    SmsListView& list_view() { return *list_view_; }
    QLineEdit& search_field() { return *search_; }
    QCheckBox& all_boxes() { return *all_boxes_; }
    QTreeView& conversation_view() { return *conversation_view_; }
    QMenu* conversation_menu() const { return conversation_menu_; }
    QTreeView& results_view() { return *results_view_; }
    ConversationListModel& conversations() { return *conversations_; }
    SearchResultsModel& results() { return *results_; }
    // Brought up to date first.
    const ConversationIndex& index();

    // Shows `box` in the message list (filtered by the search), or the
    // results across the boxes while such a search is typed.
    void show_box(SmsBox& box);
    void show_conversations();
    bool showing_conversations() const { return conversations_shown_; }
    bool showing_results() const;
    // The message list of a box is the list shown.
    bool box_list_shown() const { return !conversations_shown_ && !showing_results(); }

    // The conversation in the message view: its number and its messages,
    // oldest first (valid until the boxes change); nullopt when none is.
    std::optional<Correspondence> shown_conversation();
    // The correspondent's name where a contact has the number, else "".
    std::u16string shown_conversation_name() const;
    // Whether a result's message is in the message view.
    bool result_shown() const { return shown_result_.has_value(); }
    // The conversations selected in the list, for the question before they
    // are deleted: who (the names or numbers the list shows, in its order),
    // how many messages (one in two of them counted once), and how many of
    // those went to others as well, whose conversations lose them too.
    struct ConversationChoice {
        QStringList correspondents;
        size_t messages = 0;
        size_t shared = 0;
    };
    ConversationChoice selected_conversations();

    // What a Delete acts on in the list shown, whichever it is: the selected
    // rows of a box, the selected result, or every message of the selected
    // conversations (then `conversations` says whose, for the question).
    struct Chosen {
        std::vector<MessageRef> refs;
        std::optional<ConversationChoice> conversations;
    };
    // Throws std::bad_alloc when the choice does not fit in memory.
    Chosen chosen_messages();
    // After `deleted` of the chosen messages were deleted (`removed`: gone
    // from their boxes, else only from the phone): the list shown follows,
    // and where one row was chosen and is gone, the one now at its place is
    // shown, as a box shows the next message.
    void after_deletion(const Chosen& chosen, size_t deleted, bool removed);

    // After every command: when a box changed, the index catches up and the
    // list shown (and the conversation shown) follow.
    void boxes_changed();
    void focus_search();
    void clear_search();

  Q_SIGNALS:
    // A result's message was shown.
    void messageShown(const quillet::SmsMessage& message);
    // The conversation list's context menu.
    void replyRequested();
    void deleteRequested();
    void deleteOnDeviceRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    QTreeView* make_list(const char* name);
    void build_conversation_menu();
    void on_search_changed();
    void on_scope_changed();
    void show_current_list();
    // Brings the index up to date; false when it does not fit in memory
    // (then it is empty, and not tried again for the same boxes until the
    // user asks for a list anew).
    bool update_index();
    std::array<const SmsBox*, 3> box_pointers() const;
    std::optional<std::vector<size_t>> filter_box(const SmsBox& box);

    void fill_conversations();
    void on_conversation_chosen(const QModelIndex& current);
    // Out of memory, the view shows the idle page and a message box says so.
    void show_conversation(bool mark_read, const QString& anchor = {});
    void show_conversation_page(bool mark_read, const QString& anchor);
    void show_earlier();
    std::vector<MessageRef> selected_conversation_messages();

    void fill_results();
    // A header click's sort did not fit: the header shows the order kept.
    void sort_did_not_fit(QTreeView& view, int column, Qt::SortOrder order);
    void on_result_chosen(const QModelIndex& current);
    void redisplay_result();

    std::array<SmsBox*, 3> boxes_;
    HtmlFormView& view_;
    const ContactList* contacts_ = nullptr;
    PhoneNumbers numbers_;
    ConversationIndex index_;
    std::array<uint64_t, 3> indexed_revisions_{};
    bool indexed_ = false;
    // The boxes' revisions when the index last did not fit in memory.
    std::optional<std::array<uint64_t, 3>> index_failed_at_;
    // The revisions the conversation list or the results were made at.
    std::array<uint64_t, 3> listed_revisions_{};

    QLineEdit* search_ = nullptr;
    QCheckBox* all_boxes_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    SmsListView* list_view_ = nullptr;
    QTreeView* conversation_view_ = nullptr;
    QTreeView* results_view_ = nullptr;
    ConversationListModel* conversations_ = nullptr;
    QMenu* conversation_menu_ = nullptr;
    SearchResultsModel* results_ = nullptr;

    SmsBox* box_shown_ = nullptr;
    bool conversations_shown_ = false;
    SearchQuery query_;
    // The conversation in the view (any spelling of its number; a sender
    // without digits has the empty one) and how many of its newest messages
    // the page holds.
    std::optional<std::string> shown_number_;
    size_t shown_part_ = 0;
    std::optional<MessageRef> shown_result_;
    // Set while the pane itself changes a list's rows or selection.
    bool quiet_ = false;
};

}  // namespace quillet
