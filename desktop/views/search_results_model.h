// The rows of a search across the three boxes: one per message found, with
// the box it lies in. Rows are (box, index) references; they are valid until
// the boxes next change, and the owner fills the model anew after every
// change.
//
// Columns: 0 "Box" ("Inbox", "Sent Items", "Deleted"), 1 "Message", 2
// "Correspondent" (contact name, else the number), 3 "Date", 4 "Unread".
// Unread rows are bold. Newest first until a header click chooses another
// order (sort()); the order is kept across fills.
#pragma once

#include <QAbstractTableModel>
#include <array>
#include <vector>

#include "desktop/search/conversation_index.h"
#include "desktop/store/contact_list.h"

namespace quillet {

class SearchResultsModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int { kBox = 0, kMessage, kCorrespondent, kDate, kUnread, kColumnCount };

    explicit SearchResultsModel(QObject* parent = nullptr);

    void set_contacts(const ContactList* contacts) { contacts_ = contacts; }
    // The boxes the references point into, by BoxKind; not owned.
    void set_boxes(const std::array<const SmsBox*, 3>& boxes) { boxes_ = boxes; }
    // The rows, sorted as before. False when they do not fit in memory
    // (memory_room.h): the list is then empty.
    bool fill(std::vector<MessageRef> found);

    // The message of `row`, or null.
    const SmsMessage* message_at(int row) const;
    MessageRef ref_at(int row) const { return rows_.at(static_cast<size_t>(row)); }
    int row_of(MessageRef ref) const;
    // The read flag of `row` changed in its box.
    void row_changed(int row);

    static QString box_name(BoxKind kind);

    int sort_column() const { return sort_column_; }
    Qt::SortOrder sort_order() const { return sort_order_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Out of memory, the rows and the sort state stay as they were and
    // sortOutOfMemory() is emitted.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  Q_SIGNALS:
    // A sort did not fit in memory; nothing changed.
    void sortOutOfMemory();

  private:
    QString cell(const SmsMessage& m, MessageRef ref, int column) const;
    const SmsMessage* message_of(MessageRef ref) const;
    // For each place in the sorted order, the place in `rows` it comes from.
    std::vector<size_t> sorted_positions(const std::vector<MessageRef>& rows) const;
    static std::vector<MessageRef> in_order(const std::vector<MessageRef>& rows,
                                            const std::vector<size_t>& positions);

    const ContactList* contacts_ = nullptr;
    std::array<const SmsBox*, 3> boxes_{};
    std::vector<MessageRef> rows_;
    int sort_column_ = kDate;
    Qt::SortOrder sort_order_ = Qt::DescendingOrder;
};

}  // namespace quillet
