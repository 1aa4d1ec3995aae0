#include "desktop/views/flat_list_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace quillet {
namespace {

// The current row is framed whole by the view; a cell draws no frame of its
// own.
class CellDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

}  // namespace

FlatListView::FlatListView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new CellDelegate(this));
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(row_height());
    QHeaderView& columns = *horizontalHeader();
    columns.setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns.setHighlightSections(false);
    columns.setSectionsMovable(true);
    columns.setFirstSectionMovable(false);
}

int FlatListView::row_height() const {
    // A line of text in the list's font, regular or bold as unread rows
    // are, with the item's margins in this style.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("Xy");
    int height = 0;
    for (const bool bold : {false, true}) {
        option.font.setBold(bold);
        option.fontMetrics = QFontMetrics(option.font);
        height = std::max(
            height, style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, {}, this).height());
    }
    return height;
}

QModelIndex FlatListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    switch (action) {
        case MoveHome:
        case MoveEnd:
            return QTableView::moveCursor(action, modifiers | Qt::ControlModifier);
        case MoveLeft:
        case MoveRight: {
            QScrollBar& bar = *horizontalScrollBar();
            bar.setValue(bar.value() + (action == MoveLeft ? -1 : 1) * bar.singleStep());
            return currentIndex();
        }
        default:
            return QTableView::moveCursor(action, modifiers);
    }
}

QRect FlatListView::row_rect(int row) const {
    if (row < 0)
        return {};
    return QRect(-horizontalOffset(), rowViewportPosition(row), horizontalHeader()->length(),
                 rowHeight(row))
        .intersected(viewport()->rect());
}

void FlatListView::update_row(int row) {
    const QRect rect = row_rect(row);
    if (!rect.isEmpty())
        viewport()->update(rect);
}

void FlatListView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (previous.row() != current.row())
        update_row(previous.row());
    update_row(current.row());
}

void FlatListView::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !(hasFocus() || viewport()->hasFocus()))
        return;
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    frame.state |= QStyle::State_KeyboardFocusChange;
    frame.rect = row_rect(current.row());
    if (frame.rect.isEmpty())
        return;
    const bool selected =
        selectionModel() != nullptr && selectionModel()->isRowSelected(current.row());
    frame.backgroundColor = palette().color(selected ? QPalette::Highlight : QPalette::Window);
    QPainter painter(viewport());
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
}

void FlatListView::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        verticalHeader()->setDefaultSectionSize(row_height());
}

void FlatListView::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    update_row(currentIndex().row());
}

void FlatListView::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    update_row(currentIndex().row());
}

}  // namespace quillet
