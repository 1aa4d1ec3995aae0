#include "desktop/views/contacts_model.h"

#include <algorithm>

#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {
namespace {}  // namespace

ContactsModel::ContactsModel(const ContactList& contacts, QObject* parent)
    : QAbstractTableModel(parent), contacts_(contacts) {}

void ContactsModel::refill(NameOrder order) {
    beginResetModel();
    rows_.clear();
    for (const Contact& contact : contacts_.contacts()) {
        const std::string_view name = text_field(contact.name);
        if (!contact_has_row(name))
            continue;
        rows_.push_back({to_qstring(shown_contact_name(contacts_.full_name(contact), order)),
                         to_qstring(from_ansi(text_field(contact.number)))});
    }
    std::stable_sort(rows_.begin(), rows_.end(), [](const Row& a, const Row& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    endResetModel();
}

QString ContactsModel::shown_name(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size()
               ? rows_[static_cast<size_t>(row)].name
               : QString();
}

QString ContactsModel::number(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size()
               ? rows_[static_cast<size_t>(row)].number
               : QString();
}

int ContactsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ContactsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ContactsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const QString text =
        index.column() == NameColumn ? shown_name(index.row()) : number(index.row());
    return role == Qt::ToolTipRole ? plain_tooltip(text) : text;
}

QVariant ContactsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == NameColumn)
        return tr("Name");
    if (section == NumberColumn)
        return tr("Number");
    return {};
}

}  // namespace quillet
