#include "desktop/views/list_pane.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "desktop/views/conversation_list.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/message_page.h"
#include "desktop/views/message_rows.h"
#include "desktop/views/result_list.h"
#include "desktop/views/search_results_model.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/window_parts.h"

namespace quillet {

ListPane::ListPane(SmsBox& inbox, SmsBox& sent, SmsBox& deleted, HtmlFormView& view,
                   QWidget* parent)
    : QWidget(parent), state_{KeptIndex(inbox, sent, deleted), view, nullptr, {}, {}} {
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
    box_rows_ = std::make_unique<BoxRows>(state_, *list_view_);
    conversations_ = new ConversationList(state_, *make_list("conversationList"), this);
    results_ = new ResultList(state_, *make_list("searchResults"), this);
    conversation_view().viewport()->installEventFilter(this);
    results_view().viewport()->installEventFilter(this);

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
    connect(list_view_, &SmsListView::messageShown, this,
            [this](const SmsMessage& message) { state_.last_shown = message; });
    connect(search_, &QLineEdit::textChanged, this, &ListPane::on_search_changed);
    connect(all_boxes_, &QCheckBox::toggled, this, &ListPane::on_scope_changed);
    connect(conversations_, &ConversationList::replyRequested, this, &ListPane::replyRequested);
    connect(conversations_, &ConversationList::deleteRequested, this, &ListPane::deleteRequested);
    connect(conversations_, &ConversationList::deleteOnDeviceRequested, this,
            &ListPane::deleteOnDeviceRequested);
    // Told after the header's click has ended: the header shows the order
    // the rows kept.
    connect(
        &conversations(), &ConversationListModel::sortOutOfMemory, this,
        [this] {
            sort_did_not_fit(conversation_view(), conversations().sort_column(),
                             conversations().sort_order());
        },
        Qt::QueuedConnection);
    connect(
        &results(), &SearchResultsModel::sortOutOfMemory, this,
        [this] {
            sort_did_not_fit(results_view(), results().sort_column(), results().sort_order());
        },
        Qt::QueuedConnection);
}

void ListPane::sort_did_not_fit(FlatListView& view, int column, Qt::SortOrder order) {
    {
        const QSignalBlocker quiet(view.header());
        view.header()->setSortIndicator(column, order);
    }
    show_message_box(this, tr("There is not enough memory to sort this list; it keeps its "
                              "order. Close other programs and try again."));
}

FlatListView* ListPane::make_list(const char* name) {
    auto* view = new FlatListView(stack_);
    view->setObjectName(QLatin1String(name));
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(true);
    view->header()->setStretchLastSection(false);
    stack_->addWidget(view);
    return view;
}

FlatListView& ListPane::conversation_view() {
    return conversations_->view();
}

QMenu* ListPane::conversation_menu() const {
    return conversations_->menu();
}

FlatListView& ListPane::results_view() {
    return results_->view();
}

ConversationListModel& ListPane::conversations() {
    return conversations_->model();
}

SearchResultsModel& ListPane::results() {
    return results_->model();
}

void ListPane::set_contacts(const ContactList* contacts) {
    state_.contacts = contacts;
    list_view_->set_contacts(contacts);
    conversations().set_contacts(contacts);
    results().set_contacts(contacts);
    names_changed();
}

void ListPane::names_changed() {
    state_.index.names_changed();
    list_view_->list_model().names_changed();
    if (conversations_shown_)
        conversations_->refill();
    else if (showing_results())
        results_->fill();
}

const ConversationIndex& ListPane::index() {
    state_.index.update();
    return state_.index.index();
}

std::optional<std::vector<char>> ListPane::filter_box(const SmsBox& box) {
    if (state_.query.empty())
        return std::nullopt;
    // The list's fill says that its rows did not fit.
    if (!state_.index.update())
        throw std::bad_alloc();
    return state_.index.index().matches(box.kind(), state_.query, state_.contacts);
}

bool ListPane::showing_results() const {
    return !conversations_shown_ && all_boxes_->isChecked() && !state_.query.empty();
}

ShownList& ListPane::shown() {
    if (conversations_shown_)
        return *conversations_;
    if (showing_results())
        return *results_;
    return *box_rows_;
}

void ListPane::show_current_list() {
    if (conversations_shown_) {
        stack_->setCurrentWidget(&conversation_view());
    } else if (showing_results()) {
        stack_->setCurrentWidget(&results_view());
    } else {
        stack_->setCurrentWidget(list_view_);
    }
}

void ListPane::show_box(SmsBox& box) {
    // Another box: nothing of it is shown yet. The same box again keeps the
    // message shown and selected (back from the conversations: shown again).
    const bool from_conversations = conversations_shown_;
    if (window()->isVisible() && (list_view_->current_box() != &box || from_conversations))
        state_.view.show_message(nullptr, kIdleTemplate);
    state_.index.retry();
    conversations_shown_ = false;
    conversations_->leave();
    box_shown_ = &box;
    if (showing_results()) {
        results_->fill();
    } else {
        list_view_->fill_from_box(box);
    }
    show_current_list();
    if (from_conversations && !showing_results())
        list_view_->redisplay();
}

void ListPane::show_conversations() {
    if (window()->isVisible() && !conversations_shown_)
        state_.view.show_message(nullptr, kIdleTemplate);
    state_.index.retry();
    conversations_shown_ = true;
    results_->leave();
    conversations_->start();
    show_current_list();
    conversation_view().scrollToTop();
}

void ListPane::index_ahead(size_t from, size_t slice) {
    size_t messages = 0;
    for (const SmsBox* box : state_.index.box_pointers())
        messages += box->count();
    if (messages < from)
        return;
    index_slice_ = std::max<size_t>(slice, 1);
    if (index_ahead_ == nullptr) {
        index_ahead_ = new QTimer(this);
        connect(index_ahead_, &QTimer::timeout, this, &ListPane::index_a_slice);
    }
    // The first slice waits until the window has drawn its list.
    constexpr int kSettleMs = 250;
    index_ahead_->start(kSettleMs);
}

bool ListPane::indexing_ahead() const {
    return index_ahead_ != nullptr && index_ahead_->isActive();
}

void ListPane::index_a_slice() {
    const MemoryReserve::Held reserve;
    if (state_.index.update_some(index_slice_) != KeptIndex::Progress::Pending)
        index_ahead_->stop();
    else
        index_ahead_->setInterval(0);
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
    if (event->type() == QEvent::Resize && watched == conversation_view().viewport())
        fit_columns(conversation_view(), ConversationListModel::kLastMessage, 120);
    if (event->type() == QEvent::Resize && watched == results_view().viewport())
        fit_columns(results_view(), SearchResultsModel::kMessage, 120);
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
    state_.index.retry();
    state_.query = SearchQuery(search_->text().toStdU16String(), state_.index.numbers());
    state_.view.set_highlight(state_.query.folded());
    if (conversations_shown_) {
        conversations_->search_changed();
    } else if (showing_results()) {
        results_->fill();
        results_->redisplay();
    } else if (box_shown_ != nullptr) {
        list_view_->fill_from_box(*box_shown_);
        list_view_->redisplay();
    }
    show_current_list();
}

void ListPane::on_scope_changed() {
    if (conversations_shown_)
        return;
    const MemoryReserve::Held reserve;
    state_.index.retry();
    if (showing_results()) {
        results_->fill();
    } else if (box_shown_ != nullptr) {
        results_->leave();
        list_view_->fill_from_box(*box_shown_);
    }
    show_current_list();
}

void ListPane::boxes_changed() {
    if (conversations_shown_ || showing_results()) {
        // Without room for the index, a list shown that reads it is emptied
        // and says so, once for the boxes as they are.
        state_.index.update();
        if (conversations_shown_)
            conversations_->boxes_changed();
        else
            results_->boxes_changed();
        return;
    }
    // A box's own list does not read the index: that is brought up to date
    // when a list that reads it is next shown, not after every command.
    SmsBox* box = list_view_->current_box();
    if (box != nullptr && !list_view_->list_model().rows_match_box())
        list_view_->fill_from_box(*box);  // its box gained or lost messages elsewhere
}

}  // namespace quillet
