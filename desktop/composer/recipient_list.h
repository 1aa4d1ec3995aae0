// The composer's recipients: a two-column list ("Number", wider when a
// number needs it, and "Name") with one row per recipient and, always last,
// the placeholder row "(new number)", which is not a recipient.
//
// The Number cell of any row can be edited in place (F2, a click on the
// selected row, a double click). Ending an edit with text sets the row's
// number; on the placeholder that adds a recipient with an empty name and a
// new placeholder. Ending it empty deletes the row (the placeholder stays).
// A cancelled edit changes nothing. Delete and Backspace delete the current
// row unless it is the placeholder.
//
// objectName "recipientList".
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QTreeView>
#include <cstddef>
#include <vector>

#include "desktop/store/sms_message.h"

namespace quillet {

// The placeholder row's text, shown in the desktop's language.
inline constexpr const char* kPlaceholderText =
    QT_TRANSLATE_NOOP("quillet::RecipientModel", "(new number)");

// The rows behind RecipientList: recipients, then the placeholder.
class RecipientModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { NumberColumn = 0, NameColumn = 1, ColumnCount = 2 };

    using QAbstractTableModel::QAbstractTableModel;

    // Adds a recipient before the placeholder unless a recipient's number,
    // as 8-bit text, equals the contact's number byte for byte. True when
    // added.
    bool add_recipient(const Contact& contact);
    size_t recipient_count() const { return recipients_.size(); }
    // The recipient's name and number as 8-bit text, each cut to fit its
    // 32-byte field. Throws std::out_of_range past the last recipient.
    Contact recipient_at(size_t index) const;
    bool is_placeholder(int row) const { return row == static_cast<int>(recipients_.size()); }
    // Deletes a recipient row; false for the placeholder or a row outside.
    bool remove_recipient(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // An edit of a Number cell, as described for RecipientList.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    struct Recipient {
        QString number;  // as typed or as taken from a contact
        QString name;
    };

    void append(Recipient recipient);

    std::vector<Recipient> recipients_;
};

class RecipientList : public QTreeView {
    Q_OBJECT

  public:
    explicit RecipientList(QWidget* parent = nullptr);

    using QTreeView::edit;

    RecipientModel& recipients() { return model_; }
    const RecipientModel& recipients() const { return model_; }
    // Ends an edit under way as if the user had pressed Return: its text is
    // set as the cell's number (on the placeholder, a new recipient).
    void commit_open_editor();
    // Selects a recipient's row, shows it and takes the focus: the one that
    // needs the user's attention.
    void mark_recipient(size_t index);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Every edit of a row edits its Number cell, whichever cell was clicked.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

  private:
    void widen_to_contents();

    RecipientModel model_;
};

}  // namespace quillet
