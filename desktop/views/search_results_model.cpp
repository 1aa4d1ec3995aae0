#include "search_results_model.h"

#include <QFont>
#include <algorithm>
#include <new>
#include <numeric>
#include <tuple>

#include "desktop/store/shown_time.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/message_list_model.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

SearchResultsModel::SearchResultsModel(QObject* parent) : QAbstractTableModel(parent) {}

bool SearchResultsModel::fill(std::vector<MessageRef> found) {
    std::vector<MessageRef> rows;
    const bool fits = rows_that_fit(rows, [&](std::vector<MessageRef>& out) {
        out = in_order(found, sorted_positions(found));
    });
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
    return fits;
}

const SmsMessage* SearchResultsModel::message_at(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return nullptr;
    return message_of(rows_[static_cast<size_t>(row)]);
}

const SmsMessage* SearchResultsModel::message_of(MessageRef ref) const {
    const SmsBox* box = boxes_[static_cast<size_t>(ref.box)];
    if (box == nullptr || ref.index >= box->count())
        return nullptr;
    return &box->message_ref(ref.index);
}

int SearchResultsModel::row_of(MessageRef ref) const {
    const auto it = std::find(rows_.begin(), rows_.end(), ref);
    return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

void SearchResultsModel::row_changed(int row) {
    if (row >= 0 && row < rowCount())
        Q_EMIT dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

QString SearchResultsModel::box_name(BoxKind kind) {
    switch (kind) {
        case BoxKind::SentItems:
            return tr("Sent Items");
        case BoxKind::DeletedItems:
            return tr("Deleted");
        default:
            return tr("Inbox");
    }
}

void SearchResultsModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount)
        return;
    // A header click sorts as a command runs (memory_room.h).
    const MemoryReserve::Held reserve;
    const int was_column = sort_column_;
    const Qt::SortOrder was_order = sort_order_;
    sort_column_ = column;
    sort_order_ = order;
    // Everything the new order needs is made before the views hear of it.
    std::vector<MessageRef> rows;
    std::vector<int> new_position;
    try {
        const std::vector<size_t> positions = sorted_positions(rows_);
        rows = in_order(rows_, positions);
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
    rows_ = std::move(rows);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex& i : before)
        after.append(index(new_position[static_cast<size_t>(i.row())], i.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<size_t> SearchResultsModel::sorted_positions(
    const std::vector<MessageRef>& rows) const {
    const size_t n = rows.size();
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    // Keys once per row; ties in the boxes' order (Inbox, Sent Items, Deleted).
    auto by = [&](const auto& keys) {
        const bool descending = sort_order_ == Qt::DescendingOrder;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            if (keys[a] < keys[b] || keys[b] < keys[a])
                return descending ? keys[b] < keys[a] : keys[a] < keys[b];
            return std::tie(rows[a].box, rows[a].index) < std::tie(rows[b].box, rows[b].index);
        });
    };
    if (sort_column_ == kDate || sort_column_ == kUnread || sort_column_ == kBox) {
        std::vector<int64_t> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const SmsMessage* m = message_of(rows[i]);
            if (m == nullptr)
                continue;
            keys[i] = sort_column_ == kDate     ? local_seconds(m->time())
                      : sort_column_ == kUnread ? (m->read() == 0)
                                                : static_cast<int64_t>(rows[i].box);
        }
        by(keys);
    } else {
        std::vector<QString> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const SmsMessage* m = message_of(rows[i]);
            if (m != nullptr)
                keys[i] = cell(*m, rows[i], sort_column_);
        }
        by(keys);
    }
    return order;
}

std::vector<MessageRef> SearchResultsModel::in_order(const std::vector<MessageRef>& rows,
                                                     const std::vector<size_t>& positions) {
    std::vector<MessageRef> sorted(positions.size());
    for (size_t p = 0; p < positions.size(); ++p)
        sorted[p] = rows[positions[p]];
    return sorted;
}

QString SearchResultsModel::cell(const SmsMessage& m, MessageRef ref, int column) const {
    switch (column) {
        case kBox:
            return box_name(ref.box);
        case kMessage:
            return to_qstring(MessageListModel::message_cell(m.text_view()));
        case kCorrespondent:
            return to_qstring(contacts_ != nullptr ? contacts_->find_name_by_number(m.number())
                                                   : from_ansi(m.number()));
        case kDate:
            return to_qstring(shown_date_time(m.time()));
        case kUnread:
            return m.read() == 0 ? QStringLiteral("*") : QString();
        default:
            return {};
    }
}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int SearchResultsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SmsMessage* m = message_at(index.row());
    if (m == nullptr)
        return {};
    switch (role) {
        case Qt::DisplayRole:
            return cell(*m, rows_[static_cast<size_t>(index.row())], index.column());
        case Qt::ToolTipRole:
            return index.column() == kMessage ? plain_tooltip(to_qstring(m->text_view()))
                                              : QVariant();
        case Qt::FontRole:
            return unread_row_font(m->read() == 0);
        default:
            return {};
    }
}

QVariant SearchResultsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
        case kBox:
            return tr("Box");
        case kMessage:
            return tr("Message");
        case kCorrespondent:
            return tr("Correspondent");
        case kDate:
            return tr("Date");
        case kUnread:
            return tr("Unread");
        default:
            return {};
    }
}

}  // namespace quillet
