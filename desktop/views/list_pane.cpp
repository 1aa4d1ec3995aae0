#include "desktop/views/list_pane.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <new>
#include <utility>

#include "desktop/search/text_folding.h"
#include "desktop/store/box_set.h"
#include "desktop/store/orx_exception.h"
#include "desktop/store/recipients.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/conversation_page.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/message_page.h"
#include "desktop/views/search_results_model.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr int kConversationColumns[ConversationListModel::kColumnCount] = {170, 300, 120, 70, 60};
constexpr int kResultColumns[SearchResultsModel::kColumnCount] = {80, 300, 150, 120, 50};

std::array<uint64_t, 3> revisions_of(const std::array<SmsBox*, 3>& boxes) {
    return {boxes[0]->revision(), boxes[1]->revision(), boxes[2]->revision()};
}

}  // namespace

ListPane::ListPane(SmsBox& inbox, SmsBox& sent, SmsBox& deleted, HtmlFormView& view,
                   QWidget* parent)
    : QWidget(parent), boxes_{&inbox, &sent, &deleted}, view_(view), index_(numbers_) {
    setObjectName(QStringLiteral("listPane"));
    build();
}

ListPane::~ListPane() = default;

void ListPane::build() {
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("searchField"));
    search_->setPlaceholderText(tr("Search text, number or name (Ctrl+E)"));
    search_->setClearButtonEnabled(true);
    search_->installEventFilter(this);
    all_boxes_ = new QCheckBox(tr("All boxes"), this);
    all_boxes_->setObjectName(QStringLiteral("searchAllBoxes"));
    all_boxes_->setToolTip(tr("Search Inbox, Sent Items and Deleted on device at once"));

    stack_ = new QStackedWidget(this);
    list_view_ = new SmsListView(stack_);
    stack_->addWidget(list_view_);
    conversations_ = new ConversationListModel(this);
    conversation_view_ = make_list("conversationList");
    conversation_view_->setModel(conversations_);
    // Several conversations may be deleted at once.
    conversation_view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    build_conversation_menu();
    results_ = new SearchResultsModel(this);
    results_->set_boxes(box_pointers());
    results_view_ = make_list("searchResults");
    results_view_->setModel(results_);
    // At least as wide as the header's words, which a translation lengthens.
    // A date in bold (an unread row) keeps its time.
    for (int c = 0; c < ConversationListModel::kColumnCount; ++c) {
        conversation_view_->setColumnWidth(
            c, std::max(
                   {kConversationColumns[c], conversation_view_->header()->sectionSizeHint(c),
                    c == ConversationListModel::kDate ? bold_date_width(*conversation_view_) : 0}));
    }
    for (int c = 0; c < SearchResultsModel::kColumnCount; ++c) {
        results_view_->setColumnWidth(
            c, std::max({kResultColumns[c], results_view_->header()->sectionSizeHint(c),
                         c == SearchResultsModel::kDate ? bold_date_width(*results_view_) : 0}));
    }
    // Newest first, until a header click says otherwise.
    conversation_view_->sortByColumn(ConversationListModel::kDate, Qt::DescendingOrder);
    results_view_->sortByColumn(SearchResultsModel::kDate, Qt::DescendingOrder);
    conversation_view_->viewport()->installEventFilter(this);
    results_view_->viewport()->installEventFilter(this);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(search_, 1);
    bar->addWidget(all_boxes_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(stack_, 1);

    list_view_->list_model().set_row_filter([this](const SmsBox& box) { return filter_box(box); });
    connect(search_, &QLineEdit::textChanged, this, &ListPane::on_search_changed);
    connect(all_boxes_, &QCheckBox::toggled, this, &ListPane::on_scope_changed);
    // A click makes its row current before it selects it, a key selects
    // before it moves: whichever comes last finds the current row selected.
    for (QTreeView* view : {conversation_view_, results_view_}) {
        auto chosen = [this, view] {
            if (view == conversation_view_)
                on_conversation_chosen(view->currentIndex());
            else
                on_result_chosen(view->currentIndex());
        };
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, chosen);
        connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, chosen);
    }
    connect(&view_, &HtmlFormView::earlierRequested, this, &ListPane::show_earlier);
    // Told after the header's click has ended: the header shows the order
    // the rows kept.
    connect(
        conversations_, &ConversationListModel::sortOutOfMemory, this,
        [this] {
            sort_did_not_fit(*conversation_view_, conversations_->sort_column(),
                             conversations_->sort_order());
        },
        Qt::QueuedConnection);
    connect(
        results_, &SearchResultsModel::sortOutOfMemory, this,
        [this] {
            sort_did_not_fit(*results_view_, results_->sort_column(), results_->sort_order());
        },
        Qt::QueuedConnection);
}

void ListPane::sort_did_not_fit(QTreeView& view, int column, Qt::SortOrder order) {
    {
        const QSignalBlocker quiet(view.header());
        view.header()->setSortIndicator(column, order);
    }
    show_message_box(this, tr("There is not enough memory to sort this list; it keeps its "
                              "order. Close other programs and try again."));
}

QTreeView* ListPane::make_list(const char* name) {
    auto* view = new QTreeView(stack_);
    view->setObjectName(QLatin1String(name));
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(true);
    view->header()->setStretchLastSection(false);
    stack_->addWidget(view);
    return view;
}

void ListPane::build_conversation_menu() {
    conversation_menu_ = new QMenu(conversation_view_);
    conversation_menu_->setObjectName(QStringLiteral("conversationListMenu"));
    auto add = [this](const QString& text, const QString& name, void (ListPane::*request)()) {
        QAction* action = conversation_menu_->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, request);
    };
    add(tr("Reply"), QStringLiteral("menuReply"), &ListPane::replyRequested);
    add(tr("Delete"), QStringLiteral("menuDelete"), &ListPane::deleteRequested);
    add(tr("Delete on device"), QStringLiteral("menuDeleteOnDevice"),
        &ListPane::deleteOnDeviceRequested);
    conversation_view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(conversation_view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) {
                conversation_menu_->exec(conversation_view_->viewport()->mapToGlobal(at));
            });
}

void ListPane::set_contacts(const ContactList* contacts) {
    contacts_ = contacts;
    list_view_->set_contacts(contacts);
    conversations_->set_contacts(contacts);
    results_->set_contacts(contacts);
    names_changed();
}

void ListPane::names_changed() {
    index_.names_changed();
    list_view_->list_model().names_changed();
    if (conversations_shown_)
        fill_conversations();
    else if (showing_results())
        fill_results();
}

const ConversationIndex& ListPane::index() {
    update_index();
    return index_;
}

std::array<const SmsBox*, 3> ListPane::box_pointers() const {
    return {boxes_[0], boxes_[1], boxes_[2]};
}

bool ListPane::update_index() {
    const std::array<uint64_t, 3> now = revisions_of(boxes_);
    if (indexed_ && now == indexed_revisions_)
        return true;
    if (index_failed_at_ == now)
        return false;
    try {
        index_.update(*boxes_[0], *boxes_[1], *boxes_[2]);
    } catch (const std::bad_alloc&) {
        // Half made is of no use: its memory goes back, and it is made anew
        // when the boxes change or the user asks for a list again.
        index_.clear();
        indexed_ = false;
        index_failed_at_ = now;
        return false;
    }
    index_failed_at_.reset();
    indexed_revisions_ = now;
    indexed_ = true;
    return true;
}

std::optional<std::vector<size_t>> ListPane::filter_box(const SmsBox& box) {
    if (query_.empty())
        return std::nullopt;
    // The list's fill says that its rows did not fit.
    if (!update_index())
        throw std::bad_alloc();
    return index_.search(box.kind(), query_, contacts_);
}

bool ListPane::showing_results() const {
    return !conversations_shown_ && all_boxes_->isChecked() && !query_.empty();
}

void ListPane::show_current_list() {
    if (conversations_shown_) {
        stack_->setCurrentWidget(conversation_view_);
    } else if (showing_results()) {
        stack_->setCurrentWidget(results_view_);
    } else {
        stack_->setCurrentWidget(list_view_);
    }
}

void ListPane::show_box(SmsBox& box) {
    index_failed_at_.reset();
    conversations_shown_ = false;
    shown_number_.reset();
    box_shown_ = &box;
    if (showing_results()) {
        fill_results();
    } else {
        list_view_->fill_from_box(box);
    }
    show_current_list();
}

void ListPane::show_conversations() {
    index_failed_at_.reset();
    conversations_shown_ = true;
    shown_number_.reset();
    shown_result_.reset();
    fill_conversations();
    show_current_list();
    conversation_view_->scrollToTop();
}

void ListPane::focus_search() {
    search_->setFocus(Qt::ShortcutFocusReason);
    search_->selectAll();
}

void ListPane::clear_search() {
    search_->clear();
}

bool ListPane::eventFilter(QObject* watched, QEvent* event) {
    // The text columns take the room the window gives or takes.
    if (event->type() == QEvent::Resize && watched == conversation_view_->viewport())
        fit_columns(*conversation_view_, ConversationListModel::kLastMessage, 120);
    if (event->type() == QEvent::Resize && watched == results_view_->viewport())
        fit_columns(*results_view_, SearchResultsModel::kMessage, 120);
    if (watched == search_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !search_->text().isEmpty()) {
        clear_search();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ListPane::on_search_changed() {
    // Typing runs a search as a command runs (memory_room.h).
    const MemoryReserve::Held reserve;
    index_failed_at_.reset();
    query_ = SearchQuery(search_->text().toStdU16String(), numbers_);
    view_.set_highlight(query_.folded());
    if (conversations_shown_) {
        fill_conversations();
        // The conversation shown stays, its matches marked, while it is listed.
        if (shown_number_.has_value() && conversations_->row_of(index_, *shown_number_) >= 0)
            show_conversation(false);
    } else if (showing_results()) {
        fill_results();
        redisplay_result();
    } else if (box_shown_ != nullptr) {
        list_view_->fill_from_box(*box_shown_);
        list_view_->redisplay();
    }
    show_current_list();
}

void ListPane::redisplay_result() {
    if (!shown_result_)
        return;
    const SmsBox& box = *boxes_[static_cast<size_t>(shown_result_->box)];
    if (shown_result_->index < box.count())
        view_.show_message(&box.message_ref(shown_result_->index), template_for(box.kind()));
}

void ListPane::on_scope_changed() {
    if (conversations_shown_)
        return;
    const MemoryReserve::Held reserve;
    index_failed_at_.reset();
    if (showing_results()) {
        fill_results();
    } else if (box_shown_ != nullptr) {
        shown_result_.reset();
        list_view_->fill_from_box(*box_shown_);
    }
    show_current_list();
}

void ListPane::boxes_changed() {
    // A box's own list does not read the index: it is brought up to date
    // when a list that reads it is next shown, not after every command.
    if (!conversations_shown_ && !showing_results())
        return;
    // Without room for the index, a list shown that reads it is emptied and
    // says so, once for the boxes as they are.
    update_index();
    if (listed_revisions_ == revisions_of(boxes_))
        return;
    if (conversations_shown_) {
        fill_conversations();
        if (shown_number_.has_value())
            show_conversation(false);
    } else if (showing_results()) {
        fill_results();
    }
}

// --- Conversations --------------------------------------------------------

void ListPane::fill_conversations() {
    std::vector<size_t> which;
    bool fits = update_index();
    try {
        if (!fits) {
            // Nothing to list.
        } else if (query_.empty()) {
            which.resize(index_.count());
            for (size_t i = 0; i < which.size(); ++i)
                which[i] = i;
        } else {
            which = index_.search_conversations(query_, contacts_);
        }
    } catch (const std::bad_alloc&) {
        fits = false;
        std::vector<size_t>().swap(which);
    }
    const QuietScope quiet(quiet_);
    fits = conversations_->fill(index_, which, box_pointers()) && fits;
    listed_revisions_ = revisions_of(boxes_);
    if (!fits) {
        shown_number_.reset();
        view_.show_message(nullptr, kIdleTemplate);
        show_message_box(this, tr("There is not enough memory to list the conversations. The "
                                  "messages are kept as they are; close other programs and "
                                  "choose Conversations again."));
        return;
    }
    if (!shown_number_)
        return;
    const int row = conversations_->row_of(index_, *shown_number_);
    if (row >= 0) {
        conversation_view_->selectionModel()->setCurrentIndex(
            conversations_->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void ListPane::on_conversation_chosen(const QModelIndex& current) {
    // A focus without a click makes the first row current, unselected: that
    // is no choice (sms_list_view.cpp).
    if (quiet_ || !current.isValid() || !conversation_view_->selectionModel()->isSelected(current))
        return;
    const ConversationRow* row = conversations_->row_at(current.row());
    if (row == nullptr)
        return;
    const CommandScope command;
    shown_number_ = row->number;
    shown_part_ = kConversationPart;
    show_conversation(true);
    conversations_->row_read(current.row());
}

std::optional<Correspondence> ListPane::shown_conversation() {
    if (!conversations_shown_ || !shown_number_ || !update_index())
        return std::nullopt;
    const std::optional<size_t> c = index_.find(*shown_number_);
    if (!c)
        return std::nullopt;
    Correspondence out;
    out.number = *shown_number_;
    for (const MessageRef ref : index_.messages_of(*c)) {
        out.messages.push_back({&boxes_[static_cast<size_t>(ref.box)]->message_ref(ref.index),
                                ref.box == BoxKind::SentItems, ref.box == BoxKind::DeletedItems});
    }
    return out;
}

std::u16string ListPane::shown_conversation_name() const {
    if (contacts_ == nullptr || !shown_number_)
        return {};
    return contacts_->name_for_number(*shown_number_).value_or(std::u16string());
}

void ListPane::show_conversation(bool mark_read, const QString& anchor) {
    try {
        show_conversation_page(mark_read, anchor);
    } catch (const std::bad_alloc&) {
        shown_number_.reset();
        view_.show_message(nullptr, kIdleTemplate);
        show_message_box(this, tr("There is not enough memory to show this conversation. Its "
                                  "messages are kept as they are; close other programs and "
                                  "choose it again."));
    }
}

void ListPane::show_conversation_page(bool mark_read, const QString& anchor) {
    std::optional<Correspondence> c = shown_conversation();
    if (!c) {
        shown_number_.reset();
        view_.show_message(nullptr, kIdleTemplate);
        return;
    }
    if (mark_read) {
        // Opening a conversation reads it; the boxes' revisions tell the
        // frame to save them.
        update_index();
        for (const MessageRef ref : index_.messages_of(*index_.find(*shown_number_))) {
            SmsBox& box = *boxes_[static_cast<size_t>(ref.box)];
            box.set_read(1, ref.index);
        }
        // Only read flags changed: the list row is told, not refilled.
        const bool listed = listed_revisions_ == indexed_revisions_;
        if (!update_index())
            throw std::bad_alloc();
        if (listed)
            listed_revisions_ = indexed_revisions_;
    }
    ConversationPageFields fields;
    const std::u16string name = shown_conversation_name();
    fields.sender = name.empty() ? from_ansi(*shown_number_) : name;
    if (fields.sender.empty()) {
        fields.sender = ConversationListModel::tr("(no number)").toStdU16String();
    }
    const std::optional<size_t> at = index_.find(*shown_number_);
    for (const std::string& spelling : index_.summary(*at).numbers) {
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
    fields.folded_query = query_.folded();
    if (!anchor.isEmpty() || query_.empty()) {
        view_.show_conversation(fields, anchor);
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
    view_.show_conversation(fields, match);
}

void ListPane::show_earlier() {
    if (!conversations_shown_ || !shown_number_)
        return;
    const CommandScope command;
    const std::optional<Correspondence> c = shown_conversation();
    if (!c)
        return;
    // The page then opens where it began before.
    const size_t first_shown = c->messages.size() - std::min(c->messages.size(), shown_part_);
    shown_part_ += kConversationPart;
    show_conversation(false, QStringLiteral("m%1").arg(first_shown));
}

// --- Results across the boxes ----------------------------------------------

void ListPane::fill_results() {
    std::vector<MessageRef> found;
    bool fits = update_index();
    try {
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
            if (!fits)
                break;  // nothing to search
            for (const size_t i : index_.search(kind, query_, contacts_))
                found.push_back({kind, i});
        }
    } catch (const std::bad_alloc&) {
        fits = false;
        std::vector<MessageRef>().swap(found);
    }
    const QuietScope quiet(quiet_);
    fits = results_->fill(std::move(found)) && fits;
    listed_revisions_ = revisions_of(boxes_);
    if (!fits) {
        shown_result_.reset();
        show_message_box(this, tr("There is not enough memory to search the messages. They are "
                                  "kept as they are; close other programs and search again."));
        return;
    }
    if (!shown_result_)
        return;
    const int row = results_->row_of(*shown_result_);
    if (row < 0) {
        shown_result_.reset();
        return;
    }
    results_view_->selectionModel()->setCurrentIndex(
        results_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// --- Deleting conversations ----------------------------------------------

std::vector<MessageRef> ListPane::selected_conversation_messages() {
    std::vector<MessageRef> refs;
    if (!conversations_shown_)
        return refs;
    if (!update_index())
        throw std::bad_alloc();
    for (const QModelIndex& selected : conversation_view_->selectionModel()->selectedRows()) {
        const ConversationRow* row = conversations_->row_at(selected.row());
        if (row == nullptr)
            continue;
        const std::optional<size_t> c = index_.find(row->number);
        if (!c)
            continue;
        const std::vector<MessageRef> of = index_.messages_of(*c);
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

ListPane::ConversationChoice ListPane::selected_conversations() {
    ConversationChoice choice;
    if (!conversations_shown_)
        return choice;
    QModelIndexList rows = conversation_view_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& selected : rows) {
        if (const ConversationRow* row = conversations_->row_at(selected.row()))
            choice.correspondents << to_qstring(row->correspondent);
    }
    const std::vector<MessageRef> refs = selected_conversation_messages();
    choice.messages = refs.size();
    for (const MessageRef ref : refs) {
        const SmsMessage& m = boxes_[static_cast<size_t>(ref.box)]->message_ref(ref.index);
        if (recipients_of(m.number()).size() > 1)
            ++choice.shared;
    }
    return choice;
}

ListPane::Chosen ListPane::chosen_messages() {
    Chosen chosen;
    if (conversations_shown_) {
        chosen.conversations = selected_conversations();
        chosen.refs = selected_conversation_messages();
        return chosen;
    }
    if (box_list_shown()) {
        chosen.refs = list_view_->selected_refs();
        return chosen;
    }
    const QModelIndex current = results_view_->currentIndex();
    if (current.isValid() && results_view_->selectionModel()->isSelected(current))
        chosen.refs.push_back(results_->ref_at(current.row()));
    return chosen;
}

void ListPane::after_deletion(const Chosen& chosen, size_t deleted, bool removed) {
    if (box_list_shown()) {
        list_view_->after_deletion(chosen.refs, deleted, removed);
        boxes_changed();
        return;
    }
    if (!conversations_shown_) {
        if (removed && deleted > 0) {
            shown_result_.reset();
            view_.show_message(nullptr, kIdleTemplate);
        }
        boxes_changed();
        return;
    }
    const QModelIndexList rows = conversation_view_->selectionModel()->selectedRows();
    const int remembered = rows.size() == 1 ? rows.front().row() : -1;
    boxes_changed();
    if (!removed || deleted < chosen.refs.size() || remembered < 0 || shown_number_.has_value())
        return;
    // The conversation is gone, as a deleted message from its box: the one
    // now at its place is shown.
    const int row = std::min(remembered, conversations_->rowCount() - 1);
    if (row >= 0) {
        conversation_view_->selectionModel()->setCurrentIndex(
            conversations_->index(row, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

void ListPane::on_result_chosen(const QModelIndex& current) {
    if (quiet_ || !current.isValid() || !results_view_->selectionModel()->isSelected(current))
        return;
    const MessageRef ref = results_->ref_at(current.row());
    SmsBox& box = *boxes_[static_cast<size_t>(ref.box)];
    if (ref.index >= box.count())
        return;
    const CommandScope command;
    const bool listed = listed_revisions_ == indexed_revisions_;
    box.set_read(1, ref.index);
    update_index();
    if (listed)
        listed_revisions_ = indexed_revisions_;
    results_->row_changed(current.row());
    shown_result_ = ref;
    const SmsMessage message = box.message_at(ref.index);
    view_.show_message(&message, template_for(box.kind()));
    Q_EMIT messageShown(message);
}

}  // namespace quillet
