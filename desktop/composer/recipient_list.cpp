#include "desktop/composer/recipient_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>
#include <stdexcept>

#include "protocol/text_codec.h"

namespace quillet {
namespace {

constexpr int kNumberWidth = 100;
constexpr int kNameWidth = 130;

QString from_8bit(std::string_view text) {
    const std::u16string wide = from_ansi(text);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

}  // namespace

bool RecipientModel::add_recipient(const Contact& contact) {
    const std::string_view number = text_field(contact.number);
    const bool known = std::any_of(recipients_.begin(), recipients_.end(), [&](const Recipient& r) {
        return to_ansi(r.number.toStdU16String()) == number;
    });
    if (known)
        return false;
    append({from_8bit(number), from_8bit(text_field(contact.name))});
    return true;
}

// The new recipient goes before the placeholder, which stays last.
void RecipientModel::append(Recipient recipient) {
    const int row = static_cast<int>(recipients_.size());
    beginInsertRows({}, row, row);
    recipients_.push_back(std::move(recipient));
    endInsertRows();
}

Contact RecipientModel::recipient_at(size_t i) const {
    const Recipient& r = recipients_.at(i);
    return make_contact(to_ansi_field(r.name.toStdU16String()),
                        to_ansi_field(r.number.toStdU16String()));
}

bool RecipientModel::remove_recipient(int row) {
    if (row < 0 || static_cast<size_t>(row) >= recipients_.size())
        return false;
    beginRemoveRows({}, row, row);
    recipients_.erase(recipients_.begin() + row);
    endRemoveRows();
    return true;
}

int RecipientModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(recipients_.size()) + 1;
}

int RecipientModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RecipientModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    if (is_placeholder(index.row())) {
        // The editor of the placeholder starts empty.
        if (index.column() != NumberColumn || role == Qt::EditRole)
            return QString();
        return tr(kPlaceholderText);
    }
    const Recipient& r = recipients_[static_cast<size_t>(index.row())];
    return index.column() == NumberColumn ? r.number : r.name;
}

QVariant RecipientModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == NumberColumn)
        return tr("Number");
    if (section == NameColumn)
        return tr("Name");
    return {};
}

Qt::ItemFlags RecipientModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (index.column() == NumberColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool RecipientModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != NumberColumn)
        return false;
    if (index.row() >= rowCount())
        return false;
    const QString text = value.toString();
    const int row = index.row();
    if (is_placeholder(row)) {
        if (text.isEmpty())
            return false;
        append({text, QString()});
        return true;
    }
    if (text.isEmpty())
        return remove_recipient(row);
    recipients_[static_cast<size_t>(row)].number = text;
    Q_EMIT dataChanged(index, index);
    return true;
}

RecipientList::RecipientList(QWidget* parent) : QTreeView(parent) {
    setObjectName(QStringLiteral("recipientList"));
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::DoubleClicked);
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    header()->resizeSection(RecipientModel::NumberColumn, kNumberWidth);
    header()->resizeSection(RecipientModel::NameColumn, kNameWidth);
    connect(&model_, &QAbstractItemModel::rowsInserted, this, &RecipientList::widen_to_contents);
    connect(&model_, &QAbstractItemModel::dataChanged, this, &RecipientList::widen_to_contents);
}

// The Number column starts at its set width and grows when a number would
// not fit.
void RecipientList::widen_to_contents() {
    const int needed = sizeHintForColumn(RecipientModel::NumberColumn);
    if (needed > header()->sectionSize(RecipientModel::NumberColumn))
        header()->resizeSection(RecipientModel::NumberColumn, needed);
}

void RecipientList::keyPressEvent(QKeyEvent* event) {
    const bool delete_key = event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace;
    if (!delete_key || state() == QAbstractItemView::EditingState) {
        QTreeView::keyPressEvent(event);
        return;
    }
    const QModelIndex current = currentIndex();
    if (current.isValid())
        model_.remove_recipient(current.row());
    event->accept();
}

void RecipientList::commit_open_editor() {
    if (state() != QAbstractItemView::EditingState)
        return;
    // The delegate's editor is a child of the viewport; a closed one may
    // linger hidden until it is deleted.
    for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (editor->isHidden())
            continue;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool RecipientList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const QModelIndex number =
        index.isValid() ? index.siblingAtColumn(RecipientModel::NumberColumn) : index;
    return QTreeView::edit(number, trigger, event);
}

void RecipientList::mark_recipient(size_t index) {
    const QModelIndex cell = model_.index(static_cast<int>(index), RecipientModel::NumberColumn);
    selectionModel()->setCurrentIndex(
        cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(cell);
    setFocus();
}

}  // namespace quillet
