#include "message_list_model.h"

#include <QFont>
#include <algorithm>
#include <new>
#include <numeric>

#include "desktop/store/shown_time.h"
#include "desktop/views/memory_room.h"
#include "desktop/views/window_parts.h"
#include "protocol/text_codec.h"

namespace quillet {

namespace {

constexpr size_t kMessageCellLength = 64;

// Equal keys list newest first, then in the box's own order, whichever way
// the column sorts and whatever order came before: a new start then shows
// exactly the rows the window showed.
struct TieOrder {
    std::vector<FileTime> times;
    std::vector<int> box_order;
    bool before(size_t a, size_t b) const {
        if (times[a] != times[b])
            return times[b] < times[a];
        return box_order[a] < box_order[b];
    }
};

template <typename Key>
std::vector<int> stable_order(const std::vector<Key>& keys, const TieOrder& ties, int order) {
    std::vector<int> positions(keys.size());
    std::iota(positions.begin(), positions.end(), 0);
    const bool descending = order > 0;
    std::sort(positions.begin(), positions.end(), [&](int a, int b) {
        const auto pa = static_cast<size_t>(a);
        const auto pb = static_cast<size_t>(b);
        if (keys[pa] < keys[pb] || keys[pb] < keys[pa])
            return descending ? keys[pb] < keys[pa] : keys[pa] < keys[pb];
        return ties.before(pa, pb);
    });
    return positions;
}

}  // namespace

MessageListModel::MessageListModel(QObject* parent) : QAbstractTableModel(parent) {}

void MessageListModel::set_contacts(const ContactList* contacts) {
    contacts_ = contacts;
    names_changed();
}

bool MessageListModel::fill_from_box(SmsBox* box) {
    std::vector<int> rows;
    const bool fits =
        box == nullptr || rows_that_fit(rows, [&](std::vector<int>& out) { out = rows_of(*box); });
    beginResetModel();
    box_ = box;
    rows_ = std::move(rows);
    box_count_ = box_ != nullptr ? box_->count() : 0;
    endResetModel();
    Q_EMIT headerDataChanged(Qt::Horizontal, kSender, kSender);
    return fits;
}

std::vector<int> MessageListModel::rows_of(const SmsBox& box) const {
    const std::vector<int>& order = box_order(box);
    std::optional<std::vector<char>> shown;
    if (filter_)
        shown = filter_(box);
    if (!shown)
        return order;
    // The order is total, so the rows a filter lets through keep the places
    // they have in the whole box's order: no second sort.
    std::vector<int> rows;
    for (int index : order) {
        if (static_cast<size_t>(index) < shown->size() && (*shown)[static_cast<size_t>(index)] != 0)
            rows.push_back(index);
    }
    return rows;
}

const std::vector<int>& MessageListModel::box_order(const SmsBox& box) const {
    const BoxOrder key{&box, box.revision(), box.count(), box.sort_column(), box.sort_order(), {}};
    for (const BoxOrder& known : orders_) {
        if (known.same_state(key))
            return known.rows;
    }
    std::vector<int> all(box.count());
    std::iota(all.begin(), all.end(), 0);
    const int column = box.sort_column();
    // Never sorted: newest first, the box's own sort state left alone.
    if (column < 0)
        all = sorted_positions(box, all, kDate, 1);
    else if (column < kColumnCount)
        all = sorted_positions(box, all, column, box.sort_order());
    std::erase_if(orders_, [&](const BoxOrder& known) { return known.box == &box; });
    orders_.push_back(key);
    orders_.back().rows = std::move(all);
    return orders_.back().rows;
}

bool MessageListModel::sort_rows() {
    if (box_ == nullptr)
        return true;
    const int column = box_->sort_column();
    if (column < 0)
        return reorder(kDate, 1);
    if (column >= kColumnCount)
        return true;
    return reorder(column, box_->sort_order());
}

bool MessageListModel::click_column(int column) {
    if (box_ == nullptr || column < 0 || column >= kColumnCount)
        return true;
    // The same column again reverses the order, another sorts ascending.
    const int order = box_->sort_column() == column && box_->sort_order() <= 0 ? 1 : -1;
    if (!reorder(column, order))
        return false;
    box_->set_sort_column(column);
    box_->set_sort_order(order);
    return true;
}

std::vector<int> MessageListModel::sorted_positions(const SmsBox& box, const std::vector<int>& rows,
                                                    int column, int order) const {
    const std::vector<SmsMessage>& messages = box.messages();
    const size_t n = rows.size();
    auto message = [&](size_t p) -> const SmsMessage& {
        return messages[static_cast<size_t>(rows[p])];
    };
    TieOrder ties{std::vector<FileTime>(n), rows};
    for (size_t p = 0; p < n; ++p)
        ties.times[p] = message(p).time();
    switch (column) {
        case kDate: {
            // One local-time conversion per row, none per comparison.
            std::vector<int64_t> keys(n);
            for (size_t p = 0; p < n; ++p)
                keys[p] = local_seconds(message(p).time());
            return stable_order(keys, ties, order);
        }
        case kUnread:
        case kOnPhone: {
            // "" sorts before "*".
            std::vector<int> keys(n);
            for (size_t p = 0; p < n; ++p) {
                const SmsMessage& m = message(p);
                keys[p] = column == kUnread ? (m.read() == 0) : (m.on_phone() == 1);
            }
            return stable_order(keys, ties, order);
        }
        default: {
            std::vector<std::u16string> keys(n);
            for (size_t p = 0; p < n; ++p) {
                keys[p] = column == kMessage ? message_cell(message(p).text_view())
                                             : sender_cell(message(p));
            }
            return stable_order(keys, ties, order);
        }
    }
}

bool MessageListModel::reorder(int column, int order) {
    // Everything the new order needs is made before the views hear of it.
    std::vector<int> new_position;
    std::vector<int> rows;
    try {
        const std::vector<int> positions = sorted_positions(*box_, rows_, column, order);
        new_position.resize(positions.size());
        rows.resize(positions.size());
        for (size_t p = 0; p < positions.size(); ++p) {
            new_position[static_cast<size_t>(positions[p])] = static_cast<int>(p);
            rows[p] = rows_[static_cast<size_t>(positions[p])];
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    rows_ = std::move(rows);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.append(this->index(new_position[static_cast<size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

int MessageListModel::message_index(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size())
        return -1;
    return rows_[static_cast<size_t>(row)];
}

int MessageListModel::newest_row() const {
    if (box_ == nullptr || rows_.empty())
        return -1;
    const bool newest_first =
        box_->sort_column() < 0 || (box_->sort_column() == kDate && box_->sort_order() > 0);
    if (newest_first)
        return 0;
    int newest = 0;
    for (size_t row = 1; row < rows_.size(); ++row) {
        const auto time = [&](size_t r) {
            return box_->message_ref(static_cast<size_t>(rows_[r])).time();
        };
        if (time(row) > time(static_cast<size_t>(newest)))
            newest = static_cast<int>(row);
    }
    return newest;
}

void MessageListModel::remove_row(int row) {
    const int removed = message_index(row);
    if (removed < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    --box_count_;
    for (int& index : rows_) {
        if (index > removed)
            --index;
    }
    endRemoveRows();
}

void MessageListModel::rows_changed(int first, int last) {
    if (rows_.empty())
        return;
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    if (first > last)
        return;
    Q_EMIT dataChanged(index(first, 0), index(last, kColumnCount - 1));
}

void MessageListModel::names_changed() {
    orders_.clear();  // the Sender column sorts by the names
    if (rows_.empty())
        return;
    Q_EMIT dataChanged(index(0, kSender), index(rowCount() - 1, kSender), {Qt::DisplayRole});
}

std::u16string MessageListModel::message_cell(std::u16string_view text) {
    std::u16string_view cell = text.substr(0, kMessageCellLength);
    const size_t cut = cell.find_first_of(u"\r\n\t");
    if (cut != std::u16string_view::npos)
        cell = cell.substr(0, cut);
    return std::u16string(cell);
}

std::u16string MessageListModel::sender_cell(const SmsMessage& message) const {
    if (contacts_ == nullptr)
        return from_ansi(message.number());
    return contacts_->find_name_by_number(message.number());
}

QString MessageListModel::sender_header(BoxKind kind) {
    return kind == BoxKind::SentItems ? tr("Recipient") : tr("Sender");
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

const SmsMessage* MessageListModel::message_for_row(int row) const {
    const int index = message_index(row);
    if (box_ == nullptr || index < 0 || static_cast<size_t>(index) >= box_->count())
        return nullptr;
    return &box_->message_ref(static_cast<size_t>(index));
}

QString MessageListModel::cell_text(const SmsMessage& message, int column) const {
    switch (column) {
        case kMessage:
            return to_qstring(message_cell(message.text_view()));
        case kSender:
            return to_qstring(sender_cell(message));
        case kDate:
            return to_qstring(shown_date_time(message.time()));
        case kUnread:
            return message.read() == 0 ? QStringLiteral("*") : QString();
        case kOnPhone:
            return message.on_phone() == 1 ? QStringLiteral("*") : QString();
        default:
            return {};
    }
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const SmsMessage* message = message_for_row(index.row());
    if (message == nullptr)
        return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            if (role == Qt::ToolTipRole && index.column() != kMessage)
                return {};
            if (role == Qt::ToolTipRole)
                return plain_tooltip(to_qstring(message->text_view()));
            return cell_text(*message, index.column());
        case Qt::TextAlignmentRole:
            if (index.column() >= kDate) {
                return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
            }
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        case Qt::FontRole:
            return unread_row_font(message->read() == 0);
        default:
            return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(section >= kDate
                                       ? Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter)
                                       : Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
        case kMessage:
            return tr("Message");
        case kSender:
            return sender_header(box_ != nullptr ? box_->kind() : BoxKind::Inbox);
        case kDate:
            return tr("Date");
        case kUnread:
            return tr("Unread");
        case kOnPhone:
            return tr("On phone");
        default:
            return {};
    }
}

}  // namespace quillet
