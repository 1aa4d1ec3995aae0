#include "conversation_list_model.h"

#include <QFont>
#include <algorithm>
#include <new>
#include <numeric>
#include <tuple>
#include <unordered_map>

#include "desktop/store/shown_time.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/message_list_model.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

ConversationListModel::ConversationListModel(QObject* parent) : QAbstractTableModel(parent) {}

bool ConversationListModel::fill(const ConversationIndex& index, const std::vector<size_t>& which,
                                 const std::array<const SmsBox*, 3>& boxes) {
    std::vector<ConversationRow> rows;
    const bool fits = rows_that_fit(rows, [&](std::vector<ConversationRow>& out) {
        std::vector<ConversationRow> made;
        made.reserve(which.size());
        for (const size_t conversation : which)
            made.push_back(make_row(index, conversation, boxes));
        const std::vector<size_t> positions = sorted_positions(made);
        out.reserve(made.size());
        move_in_order(made, positions, out);
    });
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    return fits;
}

ConversationRow ConversationListModel::make_row(const ConversationIndex& index, size_t conversation,
                                                const std::array<const SmsBox*, 3>& boxes) const {
    ConversationSummary s = index.summary(conversation);
    ConversationRow row;
    row.conversation = conversation;
    row.messages = s.messages;
    row.unread = s.unread;
    row.last_time = s.last_time;
    const SmsBox* box = boxes[static_cast<size_t>(s.last.box)];
    if (box != nullptr && s.last.index < box->count())
        row.last_line = MessageListModel::message_cell(box->message_ref(s.last.index).text_view());
    std::optional<std::u16string> name;
    if (contacts_ != nullptr)
        name = contacts_->name_for_number(s.number);
    row.correspondent = name ? *name : from_ansi(s.number);
    // A sender without digits (an e-mail address, a name the network
    // gave) keeps no number: the row still says what it is.
    if (row.correspondent.empty())
        row.correspondent = tr("(no number)").toStdU16String();
    row.number = std::move(s.number);
    row.numbers = std::move(s.numbers);
    return row;
}

const ConversationRow* ConversationListModel::row_at(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return nullptr;
    return &rows_[static_cast<size_t>(row)];
}

void ConversationListModel::row_read(int row) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return;
    rows_[static_cast<size_t>(row)].unread = 0;
    Q_EMIT dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

int ConversationListModel::row_of(const ConversationIndex& index, std::string_view number) const {
    const std::optional<size_t> conversation = index.find(number);
    if (!conversation)
        return -1;
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (rows_[r].conversation == *conversation)
            return static_cast<int>(r);
    }
    return -1;
}

void ConversationListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount)
        return;
    // A header click sorts as a command runs (memory_room.h).
    const MemoryReserve::Held reserve;
    const int was_column = sort_column_;
    const Qt::SortOrder was_order = sort_order_;
    sort_column_ = column;
    sort_order_ = order;
    // Everything the new order needs is made before the views hear of it.
    std::vector<size_t> positions;
    std::vector<int> new_position;
    std::vector<ConversationRow> rows;
    try {
        positions = sorted_positions(rows_);
        rows.reserve(positions.size());
        new_position.resize(positions.size());
        for (size_t p = 0; p < positions.size(); ++p)
            new_position[positions[p]] = static_cast<int>(p);
    } catch (const std::bad_alloc&) {
        sort_column_ = was_column;
        sort_order_ = was_order;
        Q_EMIT sortOutOfMemory();
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    move_in_order(rows_, positions, rows);
    rows_ = std::move(rows);
    // Selections follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& i : before)
        after.append(this->index(new_position[static_cast<size_t>(i.row())], i.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<size_t> ConversationListModel::sorted_positions(
    const std::vector<ConversationRow>& rows) const {
    const bool descending = sort_order_ == Qt::DescendingOrder;
    // Ties: the newest first, then by number, whatever the column.
    auto tie = [](const ConversationRow& a, const ConversationRow& b) {
        return std::tie(b.last_time, a.number) < std::tie(a.last_time, b.number);
    };
    auto less = [&](const ConversationRow& a, const ConversationRow& b) {
        switch (sort_column_) {
            case kCorrespondent:
                return a.correspondent < b.correspondent;
            case kLastMessage:
                return a.last_line < b.last_line;
            case kMessages:
                return a.messages < b.messages;
            case kUnread:
                return a.unread < b.unread;
            default:
                return a.last_time < b.last_time;
        }
    };
    std::vector<size_t> positions(rows.size());
    std::iota(positions.begin(), positions.end(), size_t{0});
    std::stable_sort(positions.begin(), positions.end(), [&](size_t pa, size_t pb) {
        const ConversationRow& a = rows[pa];
        const ConversationRow& b = rows[pb];
        if (less(a, b) || less(b, a))
            return descending ? less(b, a) : less(a, b);
        return tie(a, b);
    });
    return positions;
}

void ConversationListModel::move_in_order(std::vector<ConversationRow>& rows,
                                          const std::vector<size_t>& positions,
                                          std::vector<ConversationRow>& into) {
    for (const size_t p : positions)
        into.push_back(std::move(rows[p]));
}

int ConversationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ConversationListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant ConversationListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ConversationRow& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case kCorrespondent:
                    return to_qstring(row.correspondent);
                case kLastMessage:
                    return to_qstring(row.last_line);
                case kDate:
                    return to_qstring(shown_date_time(row.last_time));
                case kMessages:
                    return QString::number(row.messages);
                case kUnread:
                    return row.unread == 0 ? QString() : QString::number(row.unread);
                default:
                    return {};
            }
        case Qt::ToolTipRole:
            if (index.column() != kCorrespondent)
                return {};
            return plain_tooltip(to_qstring(from_ansi(row.number)));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(index.column() >= kDate
                                           ? Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter)
                                           : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        case Qt::FontRole:
            return unread_row_font(row.unread != 0);
        default:
            return {};
    }
}

QVariant ConversationListModel::headerData(int section, Qt::Orientation orientation,
                                           int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case kCorrespondent:
            return tr("Correspondent");
        case kLastMessage:
            return tr("Last message");
        case kDate:
            return tr("Date");
        case kMessages:
            return tr("Messages");
        case kUnread:
            return tr("Unread");
        default:
            return {};
    }
}

}  // namespace quillet
