// The upper part of the main window's right side (objectName "listPane"):
// the search bar over one of three lists.
//
// Widgets (objectName):
//   "searchField" (QLineEdit; Ctrl+E focuses it, Esc clears it),
//   "searchAllBoxes" (QCheckBox "All boxes"),
//   "messageList" (SmsListView: the box shown, filtered by the search),
//   "conversationList" (conversation_list.h),
//   "searchResults" (result_list.h: while a search with "All boxes" is
//   typed and a box is shown, the messages found in any box).
//
// The pane keeps one ConversationIndex over the frame's three boxes
// (pane_state.h): the conversation list, the search and the results all
// read it. Whichever list is shown, shown() hands it to the commands as a
// ShownList.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "desktop/views/pane_state.h"
#include "desktop/views/shown_list.h"

class QCheckBox;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QTimer;

namespace quillet {

class BoxRows;
class FlatListView;
class ConversationList;
class ConversationListModel;
class HtmlFormView;
class ResultList;
class SearchResultsModel;
class SmsListView;

class ListPane : public QWidget {
    Q_OBJECT

  public:
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
    FlatListView& conversation_view();
    QMenu* conversation_menu() const;
    FlatListView& results_view();
    ConversationListModel& conversations();
    SearchResultsModel& results();
    // Brought up to date first.
    const ConversationIndex& index();

    // Shows `box` in the message list (filtered by the search), or the
    // results across the boxes while such a search is typed. Another box
    // than the one shown, or a box after the conversations, starts with
    // the idle page in the view.
    void show_box(SmsBox& box);
    // The conversations, with the idle page in the view.
    void show_conversations();
    bool showing_conversations() const { return conversations_shown_; }
    bool showing_results() const;

    // The list shown now, whichever it is.
    ShownList& shown();
    // The message a box's list or a result put in the view last.
    const SmsMessage& last_shown() const { return state_.last_shown; }

    // After every command: when a box changed, the index catches up and the
    // list shown (and the conversation shown) follow.
    void boxes_changed();
    // A history of `from` messages or more is indexed `slice` messages at a
    // time while the window waits for the user, so that the first search
    // keystroke does not wait for it. Below 200,000 messages, indexing at
    // the first search takes a fraction of a second, and memory is not
    // spent on an index nobody asked for; 20,000 messages take about 25 ms,
    // and the window answers between two slices.
    static constexpr size_t kIndexAheadFrom = 200'000;
    static constexpr size_t kIndexSlice = 20'000;
    void index_ahead(size_t from = kIndexAheadFrom, size_t slice = kIndexSlice);
    bool indexing_ahead() const;
    void focus_search();
    void clear_search();

  Q_SIGNALS:
    // The conversation list's context menu.
    void replyRequested();
    void deleteRequested();
    void deleteOnDeviceRequested();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void build();
    FlatListView* make_list(const char* name);
    void on_search_changed();
    void on_scope_changed();
    void show_current_list();
    void index_a_slice();
    std::optional<std::vector<char>> filter_box(const SmsBox& box);
    // A header click's sort did not fit: the header shows the order kept.
    void sort_did_not_fit(FlatListView& view, int column, Qt::SortOrder order);

    PaneState state_;

    QLineEdit* search_ = nullptr;
    QCheckBox* all_boxes_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    SmsListView* list_view_ = nullptr;
    ConversationList* conversations_ = nullptr;
    ResultList* results_ = nullptr;
    std::unique_ptr<BoxRows> box_rows_;
    QTimer* index_ahead_ = nullptr;
    size_t index_slice_ = kIndexSlice;

    SmsBox* box_shown_ = nullptr;
    bool conversations_shown_ = false;
};

}  // namespace quillet
