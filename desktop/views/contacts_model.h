// The rows of the contacts window: one per contact that has a name, with the
// name as the user chose to show it and the number, ordered by the shown
// name without regard to case. The model reads the ContactList and keeps no
// contact data beyond the rows it last built; refill rebuilds them.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "desktop/store/contact_list.h"
#include "desktop/store/contacts_names.h"

namespace quillet {

class ContactsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { NameColumn = 0, NumberColumn = 1, ColumnCount = 2 };

    // `contacts` must outlive the model.
    explicit ContactsModel(const ContactList& contacts, QObject* parent = nullptr);

    // Rebuilds every row from the contact list in the given name order.
    void refill(NameOrder order);

    // The row's texts as shown ("Name" and "Number" columns).
    QString shown_name(int row) const;
    QString number(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    struct Row {
        QString name;
        QString number;
    };

    const ContactList& contacts_;
    std::vector<Row> rows_;
};

}  // namespace quillet
