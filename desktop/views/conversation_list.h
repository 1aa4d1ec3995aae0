// The conversation list of the right pane ("conversationList", a FlatListView
// over ConversationListModel) and the conversation it shows in the message
// view. Its context menu "conversationListMenu" holds "Reply", "Delete" and
// "Delete on device", which only emit their request signals.
//
// Selecting a conversation shows it, newest part first (kConversationPart
// messages, more on "Show earlier messages"), and marks all of its messages
// read; several may be selected (Ctrl, Shift) to be deleted together.
#pragma once

#include <QObject>
#include <array>
#include <optional>
#include <string>

#include "desktop/views/pane_state.h"
#include "desktop/views/shown_list.h"

class QMenu;
class QModelIndex;

namespace quillet {

class ConversationListModel;
class FlatListView;

class ConversationList : public QObject, public ShownList {
    Q_OBJECT

  public:
    // How many of a conversation's newest messages are shown at first, and
    // added by each "Show earlier messages".
    static constexpr size_t kConversationPart = 500;

    // `view` is the pane's, already placed; the list gives it its model.
    ConversationList(PaneState& state, FlatListView& view, QObject* parent);

    ConversationListModel& model() { return *model_; }
    FlatListView& view() { return view_; }
    QMenu* menu() const { return menu_; }

    // The list becomes the one shown, filled anew with no conversation in
    // the view; or it stops being shown.
    void start();
    void leave();
    // Listed anew for the search typed (or the names); the conversation
    // shown stays, its matches marked, while it is listed.
    void refill();
    void search_changed();
    // When a box changed since the list was made, it and the conversation
    // shown follow.
    void boxes_changed();

    // The conversation in the message view: its number and its messages,
    // oldest first (valid until the boxes change); nullopt when none is.
    std::optional<Correspondence> shown_conversation();
    // The correspondent's name where a contact has the number, else "".
    std::u16string shown_conversation_name() const;

    // --- ShownList: every message of the selected conversations ----------
    ChosenMessages chosen() override;
    void after_deletion(const ChosenMessages& chosen, size_t deleted, bool removed) override;
    const SmsMessage* message_shown() const override { return nullptr; }
    std::optional<TextField> correspondent() override;
    std::optional<Correspondence> conversation() override { return shown_conversation(); }
    QString conversation_missing() const override;
    void offer_to_restore(RestoreOffer& offer) override;

  Q_SIGNALS:
    void replyRequested();
    void deleteRequested();
    void deleteOnDeviceRequested();

  private:
    void build_menu();
    void fill();
    void on_chosen(const QModelIndex& current);
    // Out of memory, the view shows the idle page and a message box says so.
    void show(bool mark_read, const QString& anchor = {});
    void show_page(bool mark_read, const QString& anchor);
    void mark_shown_read();
    void show_earlier();
    std::vector<MessageRef> selected_messages();
    ConversationChoice selected_conversations();

    PaneState& state_;
    FlatListView& view_;
    ConversationListModel* model_ = nullptr;
    QMenu* menu_ = nullptr;
    bool active_ = false;
    // The conversation in the view (any spelling of its number; a sender
    // without digits has the empty one) and how many of its newest messages
    // the page holds.
    std::optional<std::string> shown_number_;
    size_t shown_part_ = 0;
    // The revisions the list was made at.
    std::array<uint64_t, 3> listed_{};
    // Set while the list itself changes its rows or selection.
    bool quiet_ = false;
};

}  // namespace quillet
