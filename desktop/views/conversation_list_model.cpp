#include "conversation_list_model.h"

#include <QFont>
#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "desktop/store/shown_time.h"
#include "desktop/views/message_list_model.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

ConversationListModel::ConversationListModel(QObject* parent) : QAbstractTableModel(parent) {}

void ConversationListModel::fill(const ConversationIndex& index, const std::vector<size_t>& which,
                                 const std::array<const SmsBox*, 3>& boxes) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(which.size());
    for (const size_t conversation : which) {
        ConversationSummary s = index.summary(conversation);
        ConversationRow row;
        row.conversation = conversation;
        row.messages = s.messages;
        row.unread = s.unread;
        row.last_time = s.last_time;
        const SmsBox* box = boxes[static_cast<size_t>(s.last.box)];
        if (box != nullptr && s.last.index < box->count()) {
            row.last_line =
                MessageListModel::message_cell(box->message_ref(s.last.index).text_view());
        }
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
        rows_.push_back(std::move(row));
    }
    sort_rows();
    endResetModel();
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
    sort_column_ = column;
    sort_order_ = order;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<size_t> was(rows_.size());
    for (size_t r = 0; r < rows_.size(); ++r)
        was[r] = rows_[r].conversation;
    sort_rows();
    std::unordered_map<size_t, int> now;
    for (size_t r = 0; r < rows_.size(); ++r)
        now.emplace(rows_[r].conversation, static_cast<int>(r));
    // Selections follow their rows.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& i : before)
        after.append(this->index(now.at(was[static_cast<size_t>(i.row())]), i.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ConversationListModel::sort_rows() {
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
    std::stable_sort(rows_.begin(), rows_.end(), [&](const auto& a, const auto& b) {
        if (less(a, b) || less(b, a))
            return descending ? less(b, a) : less(a, b);
        return tie(a, b);
    });
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
