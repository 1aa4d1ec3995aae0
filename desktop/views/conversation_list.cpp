#include "desktop/views/conversation_list.h"

#include <QHeaderView>
#include <QMenu>
#include <algorithm>
#include <new>
#include <utility>

#include "desktop/search/text_folding.h"
#include "desktop/store/recipients.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/conversation_page.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/message_page.h"
#include "desktop/views/restore_command.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr int kColumns[ConversationListModel::kColumnCount] = {170, 300, 120, 70, 60};

}  // namespace

ConversationList::ConversationList(PaneState& state, FlatListView& view, QObject* parent)
    : QObject(parent), state_(state), view_(view) {
    model_ = new ConversationListModel(this);
    view_.setModel(model_);
    // Several conversations may be deleted at once.
    view_.setSelectionMode(QAbstractItemView::ExtendedSelection);
    set_up_columns(view_, kColumns, ConversationListModel::kDate);
    build_menu();
    when_row_chosen(view_, this, [this](const QModelIndex& current) { on_chosen(current); });
    connect(&state_.view, &HtmlFormView::earlierRequested, this, &ConversationList::show_earlier);
}

void ConversationList::build_menu() {
    menu_ = new QMenu(&view_);
    menu_->setObjectName(QStringLiteral("conversationListMenu"));
    auto add = [this](const QString& text, const QString& name,
                      void (ConversationList::*request)()) {
        QAction* action = menu_->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, request);
    };
    add(tr("Reply"), QStringLiteral("menuReply"), &ConversationList::replyRequested);
    add(tr("Delete"), QStringLiteral("menuDelete"), &ConversationList::deleteRequested);
    add(tr("Delete on device"), QStringLiteral("menuDeleteOnDevice"),
        &ConversationList::deleteOnDeviceRequested);
    view_.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { menu_->exec(view_.viewport()->mapToGlobal(at)); });
}

void ConversationList::start() {
    active_ = true;
    shown_number_.reset();
    fill();
}

void ConversationList::leave() {
    active_ = false;
    shown_number_.reset();
}

void ConversationList::refill() {
    if (active_)
        fill();
}

void ConversationList::search_changed() {
    fill();
    if (shown_number_.has_value() && model_->row_of(state_.index.index(), *shown_number_) >= 0)
        show(false);
}

void ConversationList::boxes_changed() {
    if (listed_ == state_.index.revisions())
        return;
    fill();
    if (shown_number_.has_value())
        show(false);
}

void ConversationList::fill() {
    KeptIndex& kept = state_.index;
    std::vector<size_t> which;
    bool fits = kept.update();
    try {
        if (!fits) {
            // Nothing to list.
        } else if (state_.query.empty()) {
            which.resize(kept.index().count());
            for (size_t i = 0; i < which.size(); ++i)
                which[i] = i;
        } else {
            which = kept.index().search_conversations(state_.query, state_.contacts);
        }
    } catch (const std::bad_alloc&) {
        fits = false;
        std::vector<size_t>().swap(which);
    }
    const QuietScope quiet(quiet_);
    fits = model_->fill(kept.index(), which, kept.box_pointers()) && fits;
    listed_ = kept.revisions();
    if (!fits) {
        shown_number_.reset();
        state_.view.show_message(nullptr, kIdleTemplate);
        show_message_box(&view_, tr("There is not enough memory to list the conversations. The "
                                    "messages are kept as they are; close other programs and "
                                    "choose Conversations again."));
        return;
    }
    if (!shown_number_)
        return;
    const int row = model_->row_of(kept.index(), *shown_number_);
    if (row >= 0) {
        view_.selectionModel()->setCurrentIndex(
            model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void ConversationList::on_chosen(const QModelIndex& current) {
    // A focus without a click makes the first row current, unselected: that
    // is no choice (sms_list_view.cpp).
    if (quiet_ || !current.isValid() || !view_.selectionModel()->isSelected(current))
        return;
    const ConversationRow* row = model_->row_at(current.row());
    if (row == nullptr)
        return;
    const CommandScope command;
    shown_number_ = row->number;
    shown_part_ = kConversationPart;
    show(true);
    model_->row_read(current.row());
}

std::optional<Correspondence> ConversationList::shown_conversation() {
    if (!active_ || !shown_number_ || !state_.index.update())
        return std::nullopt;
    const ConversationIndex& index = state_.index.index();
    const std::optional<size_t> c = index.find(*shown_number_);
    if (!c)
        return std::nullopt;
    Correspondence out;
    out.number = *shown_number_;
    for (const MessageRef ref : index.messages_of(*c)) {
        out.messages.push_back({&state_.index.box(ref.box).message_ref(ref.index),
                                ref.box == BoxKind::SentItems, ref.box == BoxKind::DeletedItems});
    }
    return out;
}

std::u16string ConversationList::shown_conversation_name() const {
    if (state_.contacts == nullptr || !shown_number_)
        return {};
    return state_.contacts->name_for_number(*shown_number_).value_or(std::u16string());
}

void ConversationList::show(bool mark_read, const QString& anchor) {
    try {
        show_page(mark_read, anchor);
    } catch (const std::bad_alloc&) {
        shown_number_.reset();
        state_.view.show_message(nullptr, kIdleTemplate);
        show_message_box(&view_, tr("There is not enough memory to show this conversation. Its "
                                    "messages are kept as they are; close other programs and "
                                    "choose it again."));
    }
}

void ConversationList::mark_shown_read() {
    // Opening a conversation reads it; the boxes' revisions tell the frame
    // to save them.
    KeptIndex& kept = state_.index;
    kept.update();
    for (const MessageRef ref : kept.index().messages_of(*kept.index().find(*shown_number_)))
        kept.box(ref.box).set_read(1, ref.index);
    // Only read flags changed: the list row is told, not refilled.
    const bool listed = listed_ == kept.indexed_revisions();
    if (!kept.update())
        throw std::bad_alloc();
    if (listed)
        listed_ = kept.indexed_revisions();
}

void ConversationList::show_page(bool mark_read, const QString& anchor) {
    std::optional<Correspondence> c = shown_conversation();
    if (!c) {
        shown_number_.reset();
        state_.view.show_message(nullptr, kIdleTemplate);
        return;
    }
    if (mark_read)
        mark_shown_read();
    ConversationPageFields fields;
    const std::u16string name = shown_conversation_name();
    fields.sender = name.empty() ? from_ansi(*shown_number_) : name;
    if (fields.sender.empty()) {
        fields.sender = ConversationListModel::tr("(no number)").toStdU16String();
    }
    const ConversationIndex& index = state_.index.index();
    for (const std::string& spelling : index.summary(*index.find(*shown_number_)).numbers) {
        if (!fields.phone.empty())
            fields.phone += u", ";
        fields.phone += from_ansi(spelling);
    }
    const size_t total = c->messages.size();
    const size_t shown = std::min(total, shown_part_);
    fields.earlier = total - shown;
    fields.shown.reserve(shown);
    for (size_t i = fields.earlier; i < total; ++i) {
        const ExchangedMessage& e = c->messages[i];
        fields.shown.push_back({e.message, e.sent, e.deleted});
    }
    fields.folded_query = state_.query.folded();
    if (!anchor.isEmpty() || state_.query.empty()) {
        state_.view.show_conversation(fields, anchor);
        return;
    }
    // Opened from a search: in view is the newest message the search found,
    // not the end of the exchange.
    QString match;
    for (size_t i = fields.shown.size(); i-- > 0 && match.isEmpty();) {
        if (!search_hits(page_message_text(fields.shown[i].message->text_view()),
                         fields.folded_query)
                 .empty())
            match = QStringLiteral("m%1").arg(fields.earlier + i);
    }
    state_.view.show_conversation(fields, match);
}

void ConversationList::show_earlier() {
    if (!active_ || !shown_number_)
        return;
    const CommandScope command;
    const std::optional<Correspondence> c = shown_conversation();
    if (!c)
        return;
    // The page then opens where it began before.
    const size_t first_shown = c->messages.size() - std::min(c->messages.size(), shown_part_);
    shown_part_ += kConversationPart;
    show(false, QStringLiteral("m%1").arg(first_shown));
}

std::vector<MessageRef> ConversationList::selected_messages() {
    std::vector<MessageRef> refs;
    if (!active_)
        return refs;
    if (!state_.index.update())
        throw std::bad_alloc();
    const ConversationIndex& index = state_.index.index();
    for (const QModelIndex& selected : view_.selectionModel()->selectedRows()) {
        const ConversationRow* row = model_->row_at(selected.row());
        if (row == nullptr)
            continue;
        const std::optional<size_t> c = index.find(row->number);
        if (!c)
            continue;
        const std::vector<MessageRef> of = index.messages_of(*c);
        refs.insert(refs.end(), of.begin(), of.end());
    }
    // Box by box, each in box order; a message to two of them once.
    auto before = [](const MessageRef& a, const MessageRef& b) {
        return std::pair(a.box, a.index) < std::pair(b.box, b.index);
    };
    std::sort(refs.begin(), refs.end(), before);
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    return refs;
}

ConversationChoice ConversationList::selected_conversations() {
    ConversationChoice choice;
    if (!active_)
        return choice;
    QModelIndexList rows = view_.selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& selected : rows) {
        if (const ConversationRow* row = model_->row_at(selected.row()))
            choice.correspondents << to_qstring(row->correspondent);
    }
    const std::vector<MessageRef> refs = selected_messages();
    choice.messages = refs.size();
    for (const MessageRef ref : refs) {
        const SmsMessage& m = state_.index.box(ref.box).message_ref(ref.index);
        if (recipients_of(m.number()).size() > 1)
            ++choice.shared;
    }
    return choice;
}

ChosenMessages ConversationList::chosen() {
    ChosenMessages chosen;
    chosen.conversations = selected_conversations();
    chosen.refs = selected_messages();
    return chosen;
}

void ConversationList::after_deletion(const ChosenMessages& chosen, size_t deleted, bool removed) {
    const QModelIndexList rows = view_.selectionModel()->selectedRows();
    const int remembered = rows.size() == 1 ? rows.front().row() : -1;
    state_.index.update();
    boxes_changed();
    if (!removed || deleted < chosen.refs.size() || remembered < 0 || shown_number_.has_value())
        return;
    // The conversation is gone, as a deleted message from its box: the one
    // now at its place is shown.
    const int row = std::min(remembered, model_->rowCount() - 1);
    if (row >= 0) {
        view_.selectionModel()->setCurrentIndex(
            model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

std::optional<TextField> ConversationList::correspondent() {
    const std::optional<Correspondence> shown = shown_conversation();
    if (!shown)
        return std::nullopt;
    TextField number;
    set_text_field(number, shown->number);
    return number;
}

QString ConversationList::conversation_missing() const {
    return tr("Select a conversation first.");
}

void ConversationList::offer_to_restore(RestoreOffer& offer) {
    const std::optional<Correspondence> shown = shown_conversation();
    if (!shown)
        return;
    offer.conversation = shown->number;
    const QString name = to_qstring(shown_conversation_name());
    const QString number = to_qstring(from_ansi(shown->number));
    offer.conversation_name = name.isEmpty() ? number : QStringLiteral("%1 (%2)").arg(name, number);
}

}  // namespace quillet
