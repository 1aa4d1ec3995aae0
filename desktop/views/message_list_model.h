// The rows of the message list: a table over the current box, computed from
// the box on demand. The model keeps no message of its own, only the order
// of its rows: row_to_message() maps each row to its message's index in the
// box, exactly, after every fill, sort and deletion.
//
// Columns: 0 "Message" (the first 64 characters of the text, cut at the
// first CR, LF or tab), 1 "Sender" ("Recipient" for Sent Items; the contact
// name for the number, else the number), 2 "Date" (the shown date and time),
// 3 "Unread" ("*" for an unread message), 4 "On phone" ("*" while it is on
// the phone). Unread rows are bold.
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/store/contact_list.h"
#include "desktop/store/sms_box.h"

namespace quillet {

class MessageListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column : int { kMessage = 0, kSender, kDate, kUnread, kOnPhone, kColumnCount };

    explicit MessageListModel(QObject* parent = nullptr);

    // Names for column 1; null shows the numbers. Not owned: it must outlive
    // the model or be replaced first.
    void set_contacts(const ContactList* contacts);
    // Which messages of a box the rows show (one flag per message, in box
    // order: 1 shows it), or nullopt for all of them: a search typed above
    // the list.
    using RowFilter = std::function<std::optional<std::vector<char>>(const SmsBox& box)>;
    // Applies from the next fill on; an empty function shows every message.
    void set_row_filter(RowFilter filter) { filter_ = std::move(filter); }
    // Makes `box` current and builds one row per message the filter lets
    // through (without one, row i is message i), in the order sort_rows()
    // gives. Not owned; the box must outlive its showing. False when the
    // rows do not fit in memory (memory_room.h): the list is then empty
    // until the next fill, and the box is as it was.
    bool fill_from_box(SmsBox* box);
    SmsBox* box() const { return box_; }

    // Orders the rows by the box's sort state: sort_column (-1, a box never
    // sorted: newest first) and sort_order (-1 ascending, +1 descending). The Date
    // column compares the messages' local times in whole seconds, the others
    // compare their cell texts code unit by code unit. Rows of equal keys
    // keep their order. Selections follow their rows. False when the new
    // order does not fit in memory: the rows keep the order they had.
    bool sort_rows();
    // A click on a column header: the same column again reverses the order,
    // another column sorts ascending by it. Then sort_rows(). False, with
    // the order and the box's sort state as they were, when it does not fit.
    bool click_column(int column);

    // False when the box gained or lost messages the list did not make (a
    // composer's copies in Sent Items): then it wants a fill.
    bool rows_match_box() const { return box_ == nullptr || box_count_ == box_->count(); }

    // The box index of the message of `row`; -1 when there is no such row.
    int message_index(int row) const;
    const std::vector<int>& row_to_message() const { return rows_; }
    // The row of the newest message (the first of equal times); -1 with no
    // rows. Listed newest first (by local time), that is the top row, found
    // without a look at the messages.
    int newest_row() const;

    // The box has just removed the message of `row`: the row goes, later rows
    // move up by one, and every index above the removed one drops by one.
    void remove_row(int row);
    // The read or on-phone flags of rows first..last changed in the box.
    void rows_changed(int first, int last);
    // The contact list changed: every name again.
    void names_changed();

    // Cell texts.
    static std::u16string message_cell(std::u16string_view text);
    std::u16string sender_cell(const SmsMessage& message) const;
    // The header of column 1 for a box kind: "Sender" or "Recipient".
    static QString sender_header(BoxKind kind);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    const SmsMessage* message_for_row(int row) const;
    QString cell_text(const SmsMessage& message, int column) const;
    // What may run out of memory throws std::bad_alloc before anything of
    // the model changed.
    std::vector<int> rows_of(const SmsBox& box) const;
    // Every message of the box in the order of its sort state; made once
    // for each state of the box, so a search keystroke filters it in one
    // pass instead of sorting its rows again.
    const std::vector<int>& box_order(const SmsBox& box) const;
    // For each place in the new order, the place in `rows` it comes from.
    std::vector<int> sorted_positions(const SmsBox& box, const std::vector<int>& rows, int column,
                                      int order) const;
    // Sorts the rows shown; false, the order unchanged, out of memory.
    bool reorder(int column, int order);

    SmsBox* box_ = nullptr;
    const ContactList* contacts_ = nullptr;
    std::vector<int> rows_;
    RowFilter filter_;
    size_t box_count_ = 0;  // the messages the box held when the rows were made
    struct BoxOrder {
        const SmsBox* box;
        uint64_t revision;
        size_t count;
        int column, order;
        std::vector<int> rows;
        bool same_state(const BoxOrder& o) const {
            return box == o.box && revision == o.revision && count == o.count &&
                   column == o.column && order == o.order;
        }
    };
    mutable std::vector<BoxOrder> orders_;  // one per box shown, at most
};

}  // namespace quillet
