#include "sms_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QResizeEvent>
#include <algorithm>
#include <climits>

#include "desktop/store/orx_exception.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/window_parts.h"

namespace quillet {

namespace {

constexpr int kColumnWidths[MessageListModel::kColumnCount] = {300, 150, 100, 50, 70};

}  // namespace

SmsListView::SmsListView(QWidget* parent) : FlatListView(parent) {
    setObjectName(QStringLiteral("messageList"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setModel(&model_);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, &SmsListView::on_header_clicked);
    connect(header(), &QHeaderView::sectionResized, this, &SmsListView::on_section_resized);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &SmsListView::on_selection_changed);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &SmsListView::on_current_changed);
    build_menu();
}

void SmsListView::build_menu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("messageListMenu"));
    auto add = [this](const QString& text, const QString& name, void (SmsListView::*request)()) {
        QAction* action = menu_->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, request);
    };
    add(tr("Forward"), QStringLiteral("menuForward"), &SmsListView::forwardRequested);
    add(tr("Reply"), QStringLiteral("menuReply"), &SmsListView::replyRequested);
    add(tr("Mark read"), QStringLiteral("menuMarkRead"), &SmsListView::markReadRequested);
    add(tr("Mark unread"), QStringLiteral("menuMarkUnread"), &SmsListView::markUnreadRequested);
    add(tr("Delete"), QStringLiteral("menuDelete"), &SmsListView::deleteRequested);
    add(tr("Delete on device"), QStringLiteral("menuDeleteOnDevice"),
        &SmsListView::deleteOnDeviceRequested);
}

void SmsListView::contextMenuEvent(QContextMenuEvent* event) {
    menu_->exec(event->globalPos());
}

void SmsListView::setup_columns() {
    // The classic widths, widened where this screen's fonts need more room:
    // a header with its sort mark, and a date in bold.
    const QFontMetrics header_metrics(header()->font());
    const int date_width = bold_date_width(*this);
    for (int column = 0; column < MessageListModel::kColumnCount; ++column) {
        const QString title = model_.headerData(column, Qt::Horizontal).toString();
        int width = std::max(kColumnWidths[column], header_metrics.horizontalAdvance(title) + 28);
        if (column == MessageListModel::kDate)
            width = std::max(width, date_width);
        setColumnWidth(column, width);
    }
}

int SmsListView::kept_width(int column) const {
    return column == MessageListModel::kMessage ? message_width_ : columnWidth(column);
}

void SmsListView::resizeEvent(QResizeEvent* event) {
    FlatListView::resizeEvent(event);
    fit_message_column();
}

void SmsListView::on_section_resized(int column, int, int new_size) {
    if (fitting_)
        return;
    if (column == MessageListModel::kMessage)
        message_width_ = new_size;
    fit_message_column();
}

void SmsListView::fit_message_column() {
    const int message = columnWidth(MessageListModel::kMessage);
    const int room = viewport()->width() - (header()->length() - message);
    const int wanted = std::max(message_width_, room);
    if (wanted == message)
        return;
    const QuietScope fitting(fitting_);
    setColumnWidth(MessageListModel::kMessage, wanted);
}

void SmsListView::on_header_clicked(int column) {
    const CommandScope command;
    if (!model_.click_column(column)) {
        show_message_box(this, tr("There is not enough memory to sort the %n messages of this "
                                  "list; they keep their order. Close other programs and try "
                                  "again.",
                                  nullptr, model_.rowCount()));
        return;
    }
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(column, model_.box() != nullptr && model_.box()->sort_order() > 0
                                           ? Qt::DescendingOrder
                                           : Qt::AscendingOrder);
}

bool SmsListView::fill_from_box(SmsBox& box) {
    // Messages only get appended to a box between refills: the index of the
    // message shown still names it.
    const int kept = shown_.box == &box && model_.box() == &box ? shown_.index : -1;
    ++generation_;
    bool fits = true;
    {
        QuietScope quiet(quiet_);
        fits = model_.fill_from_box(&box);
    }
    if (!fits) {
        show_row(-1);
        current_row_ = -1;
        show_message_box(this, tr("There is not enough memory to list the %n messages of this "
                                  "box. They are kept as they are; close other programs and "
                                  "choose the box again.",
                                  nullptr, static_cast<int>(box.count())));
        return false;
    }
    const int column = box.sort_column();
    header()->setSortIndicatorShown(column >= 0 && column < MessageListModel::kColumnCount);
    if (column >= 0) {
        header()->setSortIndicator(column,
                                   box.sort_order() > 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
    }
    const auto& rows = model_.row_to_message();
    const auto found = std::find(rows.begin(), rows.end(), kept);
    if (kept < 0 || found == rows.end()) {
        if (shown_.box != nullptr)
            show_row(-1);
        current_row_ = -1;
        scroll_to_newest();
        return true;
    }
    const int row = static_cast<int>(found - rows.begin());
    {
        QuietScope quiet(quiet_);
        select_row(row);
    }
    current_row_ = row;
    shown_.generation = generation_;
    scrollTo(model_.index(row, 0));
    return true;
}

void SmsListView::scroll_to_newest() {
    const int newest = model_.newest_row();
    if (newest >= 0)
        scrollTo(model_.index(newest, 0));
}

bool SmsListView::mark_read_quietly(int row) {
    SmsBox* box = model_.box();
    const int index = model_.message_index(row);
    if (box == nullptr || index < 0)
        return false;
    if (box->message_ref(static_cast<size_t>(index)).read() != 0)
        return false;
    box->set_read(1, static_cast<size_t>(index));
    model_.rows_changed(row, row);
    return true;
}

void SmsListView::show_row(int row) {
    if (row < 0) {
        shown_ = {};
        if (display_ != nullptr)
            display_->show_message(nullptr, kIdleTemplate);
        return;
    }
    SmsBox* box = model_.box();
    const int index = model_.message_index(row);
    if (box == nullptr || index < 0)
        return;
    current_row_ = row;
    const bool read_changed = mark_read_quietly(row);
    const Shown now{box, index, generation_};
    if (now == shown_ && !read_changed)
        return;
    shown_ = now;
    const SmsMessage message = box->message_at(static_cast<size_t>(index));
    if (display_ != nullptr)
        display_->show_message(&message, template_for(box->kind()));
    Q_EMIT messageShown(message);
}

void SmsListView::redisplay() {
    if (shown_.box == nullptr || display_ == nullptr || shown_.index < 0 ||
        static_cast<size_t>(shown_.index) >= shown_.box->count())
        return;
    const SmsMessage& message = shown_.box->message_ref(static_cast<size_t>(shown_.index));
    display_->show_message(&message, template_for(shown_.box->kind()));
}

void SmsListView::on_selection_changed(const QItemSelection&, const QItemSelection&) {
    if (quiet_)
        return;
    // The view follows the highlighted row: the current one, once it is
    // selected. Only the message shown is read; a selection alone (Ctrl+A,
    // Shift and a click) marks nothing, so a deletion answered No leaves
    // every message as it was.
    const QModelIndex current = selectionModel()->currentIndex();
    if (!current.isValid() || !selectionModel()->isSelected(current))
        return;
    const CommandScope command;
    show_row(current.row());
}

void SmsListView::on_current_changed(const QModelIndex& current, const QModelIndex&) {
    // A focus without a click makes the first row current but leaves it
    // unselected: only a row the user selected is shown and read.
    if (quiet_ || !current.isValid() || !selectionModel()->isSelected(current))
        return;
    const CommandScope command;
    show_row(current.row());
}

std::vector<int> SmsListView::selected_rows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void SmsListView::set_read_of(const QItemSelection& rows, uint8_t value) {
    // Range by range: a selection of every row needs no list of them.
    SmsBox* box = model_.box();
    if (box == nullptr)
        return;
    int first = INT_MAX;
    int last = -1;
    for (const QItemSelectionRange& range : rows) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int index = model_.message_index(row);
            if (index < 0 || box->message_ref(static_cast<size_t>(index)).read() == value)
                continue;
            box->set_read(value, static_cast<size_t>(index));
            first = std::min(first, row);
            last = std::max(last, row);
        }
    }
    if (last >= 0)
        model_.rows_changed(first, last);
}

void SmsListView::mark_selected_read() {
    set_read_of(selectionModel()->selection(), 1);
}

void SmsListView::mark_selected_unread() {
    set_read_of(selectionModel()->selection(), 0);
}

void SmsListView::select_all() {
    selectAll();
    setFocus();
}

void SmsListView::select_row(int row) {
    const QModelIndex index = model_.index(row, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<MessageRef> SmsListView::selected_refs() const {
    std::vector<MessageRef> refs;
    const SmsBox* box = model_.box();
    if (box == nullptr)
        return refs;
    for (const int row : selected_rows()) {
        const int index = model_.message_index(row);
        if (index >= 0)
            refs.push_back({box->kind(), static_cast<size_t>(index)});
    }
    return refs;
}

void SmsListView::after_deletion(const std::vector<MessageRef>& chosen, size_t deleted,
                                 bool removed) {
    SmsBox* box = model_.box();
    if (box == nullptr)
        return;
    ++generation_;
    if (!removed || deleted == 0) {
        fill_from_box(*box);
        return;
    }
    // The rows still stand as they were before the deletion.
    const QItemSelection selection = selectionModel()->selection();
    const int remembered =
        selection.size() == 1 && selection.front().height() == 1 ? selection.front().top() : -1;
    {
        QuietScope quiet(quiet_);
        shown_ = {};  // the message shown may be one of those gone
        fill_from_box(*box);
    }
    const int row = deleted == chosen.size() ? std::min(remembered, model_.rowCount() - 1) : -1;
    if (row < 0) {
        show_row(-1);
        return;
    }
    {
        QuietScope quiet(quiet_);
        select_row(row);
    }
    show_row(row);
}

QString SmsListView::delete_failure_text(const ORX_Exception& failure) {
    return failure_text(
        tr("Unable to delete on device. Please Check your ActiveSync connection.\nDetails:\n"),
        failure);
}

void SmsListView::select_message(const SmsMessage& message) {
    const SmsBox* box = model_.box();
    if (box == nullptr)
        return;
    for (int row = 0; row < model_.rowCount(); ++row) {
        if (!box->message_ref(model_.message_index(row)).same_message(message))
            continue;
        const QModelIndex index = model_.index(row, 0);
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
        setFocus();
        return;
    }
}

}  // namespace quillet
