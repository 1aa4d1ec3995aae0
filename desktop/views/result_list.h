// The results across the boxes ("searchResults", a FlatListView over
// SearchResultsModel): while a search with "All boxes" is typed and a box
// is shown, the messages found in any box. Selecting a result shows that
// message with its box's template and marks it read.
#pragma once

#include <QObject>
#include <array>
#include <optional>

#include "desktop/views/message_rows.h"

class QModelIndex;

namespace quillet {

class FlatListView;
class SearchResultsModel;

class ResultList : public QObject, public MessageRows {
    Q_OBJECT

  public:
    // `view` is the pane's, already placed; the list gives it its model.
    ResultList(PaneState& state, FlatListView& view, QObject* parent);

    SearchResultsModel& model() { return *model_; }
    FlatListView& view() { return view_; }

    // Searches the boxes anew; the result shown stays selected while found.
    void fill();
    // The result shown is forgotten (another list is shown).
    void leave() { shown_.reset(); }
    // Shows the result shown again (the search's marks changed).
    void redisplay();
    // When a box changed since the results were made, they follow.
    void boxes_changed();

    // --- ShownList: the result selected -----------------------------------
    ChosenMessages chosen() override;
    void after_deletion(const ChosenMessages& chosen, size_t deleted, bool removed) override;

  protected:
    bool row_shown() const override { return shown_.has_value(); }

  private:
    void on_chosen(const QModelIndex& current);

    FlatListView& view_;
    SearchResultsModel* model_ = nullptr;
    std::optional<MessageRef> shown_;
    // The revisions the results were made at.
    std::array<uint64_t, 3> listed_{};
    // Set while the list itself changes its rows or selection.
    bool quiet_ = false;
};

}  // namespace quillet
