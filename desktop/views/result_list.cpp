#include "desktop/views/result_list.h"

#include <QHeaderView>
#include <algorithm>
#include <new>

#include "desktop/views/command_scope.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/message_page.h"
#include "desktop/views/search_results_model.h"
#include "desktop/views/window_parts.h"

namespace quillet {
namespace {

constexpr int kColumns[SearchResultsModel::kColumnCount] = {80, 300, 150, 120, 50};

}  // namespace

ResultList::ResultList(PaneState& state, FlatListView& view, QObject* parent)
    : QObject(parent), MessageRows(state), view_(view) {
    model_ = new SearchResultsModel(this);
    model_->set_boxes(state_.index.box_pointers());
    view_.setModel(model_);
    set_up_columns(view_, kColumns, SearchResultsModel::kDate);
    when_row_chosen(view_, this, [this](const QModelIndex& current) { on_chosen(current); });
}

void ResultList::fill() {
    KeptIndex& kept = state_.index;
    std::vector<MessageRef> found;
    bool fits = kept.update();
    try {
        for (const BoxKind kind : {BoxKind::Inbox, BoxKind::SentItems, BoxKind::DeletedItems}) {
            if (!fits)
                break;  // nothing to search
            for (const size_t i : kept.index().search(kind, state_.query, state_.contacts))
                found.push_back({kind, i});
        }
    } catch (const std::bad_alloc&) {
        fits = false;
        std::vector<MessageRef>().swap(found);
    }
    const QuietScope quiet(quiet_);
    fits = model_->fill(std::move(found)) && fits;
    listed_ = kept.revisions();
    if (!fits) {
        shown_.reset();
        show_message_box(&view_, tr("There is not enough memory to search the messages. They are "
                                    "kept as they are; close other programs and search again."));
        return;
    }
    if (!shown_)
        return;
    const int row = model_->row_of(*shown_);
    if (row < 0) {
        shown_.reset();
        return;
    }
    view_.selectionModel()->setCurrentIndex(
        model_->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ResultList::redisplay() {
    if (!shown_)
        return;
    const SmsBox& box = state_.index.box(shown_->box);
    if (shown_->index < box.count())
        state_.view.show_message(&box.message_ref(shown_->index), template_for(box.kind()));
}

void ResultList::boxes_changed() {
    if (listed_ != state_.index.revisions())
        fill();
}

ChosenMessages ResultList::chosen() {
    ChosenMessages chosen;
    const QModelIndex current = view_.currentIndex();
    if (current.isValid() && view_.selectionModel()->isSelected(current))
        chosen.refs.push_back(model_->ref_at(current.row()));
    return chosen;
}

void ResultList::after_deletion(const ChosenMessages&, size_t deleted, bool removed) {
    if (removed && deleted > 0) {
        shown_.reset();
        state_.view.show_message(nullptr, kIdleTemplate);
    }
    state_.index.update();
    boxes_changed();
}

void ResultList::on_chosen(const QModelIndex& current) {
    if (quiet_ || !current.isValid() || !view_.selectionModel()->isSelected(current))
        return;
    const MessageRef ref = model_->ref_at(current.row());
    SmsBox& box = state_.index.box(ref.box);
    if (ref.index >= box.count())
        return;
    const CommandScope command;
    KeptIndex& kept = state_.index;
    const bool listed = listed_ == kept.indexed_revisions();
    box.set_read(1, ref.index);
    kept.update();
    if (listed)
        listed_ = kept.indexed_revisions();
    model_->row_changed(current.row());
    shown_ = ref;
    state_.last_shown = box.message_at(ref.index);
    state_.view.show_message(&state_.last_shown, template_for(box.kind()));
}

}  // namespace quillet
