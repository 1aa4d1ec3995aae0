// The rows of the conversation list: one per correspondent of a
// ConversationIndex, copied out when filled, so the model stays valid while
// the boxes change until the next fill.
//
// Columns: 0 "Correspondent" (the contact's name where the number belongs to
// one, else the number), 1 "Last message" (its first line, as the message
// list shows a text), 2 "Date" (the newest message's shown date and time),
// 3 "Messages", 4 "Unread". Rows with unread messages are bold. The order is
// kept across fills: newest first until a header click chooses another
// (sort(), as the view's sorting calls it).
#pragma once

#include <QAbstractTableModel>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "desktop/search/conversation_index.h"
#include "desktop/store/contact_list.h"

namespace quillet {

struct ConversationRow {
    size_t conversation = 0;  // its number in the index at the last fill
    std::string number;       // the spelling of its newest message
    std::vector<std::string> numbers;
    std::u16string correspondent;
    std::u16string last_line;
    FileTime last_time = 0;
    size_t messages = 0;
    size_t unread = 0;
};

class ConversationListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int { kCorrespondent = 0, kLastMessage, kDate, kMessages, kUnread, kColumnCount };

    explicit ConversationListModel(QObject* parent = nullptr);

    // Names for column 0; null shows the numbers. Not owned.
    void set_contacts(const ContactList* contacts) { contacts_ = contacts; }
    // One row per conversation of `which` (numbers of `index`), its last
    // message read from `boxes` (by BoxKind), then sorted as before. False
    // when the rows do not fit in memory (memory_room.h): the list is then
    // empty.
    bool fill(const ConversationIndex& index, const std::vector<size_t>& which,
              const std::array<const SmsBox*, 3>& boxes);

    const ConversationRow* row_at(int row) const;
    // Every message of `row` was just marked read.
    void row_read(int row);
    // The row of the conversation `number` (any spelling of it), or -1.
    int row_of(const ConversationIndex& index, std::string_view number) const;

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
    ConversationRow make_row(const ConversationIndex& index, size_t conversation,
                             const std::array<const SmsBox*, 3>& boxes) const;
    // For each place in the sorted order, the place in `rows` it comes from.
    std::vector<size_t> sorted_positions(const std::vector<ConversationRow>& rows) const;
    // Moves `rows` into `into` in that order; `into` has room for them.
    static void move_in_order(std::vector<ConversationRow>& rows,
                              const std::vector<size_t>& positions,
                              std::vector<ConversationRow>& into);

    const ContactList* contacts_ = nullptr;
    std::vector<ConversationRow> rows_;
    int sort_column_ = kDate;
    Qt::SortOrder sort_order_ = Qt::DescendingOrder;
};

}  // namespace quillet
