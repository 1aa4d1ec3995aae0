// A list of rows in columns that keeps nothing per row: the message lists,
// the conversations, the search results (which may hold a lifetime of
// messages) and the contacts. A tree view keeps a 40-byte record for every row (32 MiB for
// 800,000 messages); this table keeps only its rows' common height.
//
// It looks and behaves as a flat tree view would: whole rows are selected
// and framed when current, no grid and no row numbers, headers aligned to
// the left, Home and End go to the first and last row, Left and Right
// scroll, Tab leaves the list. Every row has the height of a line in the
// list's font, bold or not, so the models must not size rows themselves.
#pragma once

#include <QTableView>

namespace quillet {

class FlatListView : public QTableView {
    Q_OBJECT

  public:
    explicit FlatListView(QWidget* parent = nullptr);

    // The column header, under the name the lists and their callers use.
    QHeaderView* header() const { return horizontalHeader(); }
    // The height every row has in the list's font and style.
    int row_height() const;
    // The width of `column` the layout keeps across runs.
    virtual int kept_width(int column) const { return columnWidth(column); }

  protected:
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // The visible part of `row` on the viewport; empty when it is not shown.
    QRect row_rect(int row) const;
    void update_row(int row);
};

}  // namespace quillet
