#include "window_layout.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <algorithm>
#include <string>

#include "desktop/store/config_list.h"
#include "desktop/views/flat_list_view.h"

namespace quillet {
namespace {

constexpr int kMostPane = 16384;
constexpr int kLeastColumn = 10;
constexpr int kMostColumn = 4000;

std::string_view value_of(const ConfigList& list, std::string_view key) {
    return list.find(key).value_or(std::string_view{});
}

// Moves and shrinks the window's normal place onto the screen it is mostly
// on (the primary screen when on none), no larger than that screen's free
// area: a hand-edited or damaged value cannot make a window of 32767
// pixels a side, nor one nobody can reach.
void fit_to_screen(QWidget& window) {
    const bool maximized = window.isMaximized();
    const QRect wanted = maximized ? window.normalGeometry() : window.geometry();
    QScreen* screen = QGuiApplication::screenAt(wanted.center());
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect room = screen->availableGeometry();
    if (room.contains(wanted))
        return;
    QRect fitted(wanted.topLeft(), wanted.size().boundedTo(room.size()));
    fitted.moveLeft(std::clamp(fitted.left(), room.left(), room.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), room.top(), room.bottom() - fitted.height() + 1));
    if (maximized)
        window.setWindowState(window.windowState() & ~Qt::WindowMaximized);
    window.setGeometry(fitted);
    if (maximized)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

}  // namespace

void keep_geometry(ConfigList& list, std::string_view key, const QWidget& window) {
    list.set_string(key, window.saveGeometry().toBase64().toStdString());
}

bool restore_geometry(const ConfigList& list, std::string_view key, QWidget& window) {
    const std::string_view text = value_of(list, key);
    if (text.empty())
        return false;
    const auto decoded =
        QByteArray::fromBase64Encoding(QByteArray(text.data(), static_cast<qsizetype>(text.size())),
                                       QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    if (!window.restoreGeometry(*decoded))
        return false;
    fit_to_screen(window);
    return true;
}

void keep_numbers(ConfigList& list, std::string_view key, const QList<int>& numbers) {
    std::string text;
    for (const int number : numbers) {
        if (!text.empty())
            text += ',';
        text += std::to_string(number);
    }
    list.set_string(key, text);
}

std::optional<QList<int>> kept_numbers(const ConfigList& list, std::string_view key, int count,
                                       int least, int most) {
    const std::string_view text = value_of(list, key);
    QList<int> numbers;
    size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const size_t end = std::min(text.find(',', start), text.size());
        const std::string_view piece = text.substr(start, end - start);
        if (piece.empty() || piece.size() > 6 ||
            piece.find_first_not_of("0123456789") != std::string_view::npos) {
            return std::nullopt;
        }
        const int number = std::stoi(std::string(piece));
        if (number < least || number > most || numbers.size() >= count)
            return std::nullopt;
        numbers.append(number);
        start = end + 1;
    }
    if (numbers.size() != count)
        return std::nullopt;
    return numbers;
}

void keep_size(ConfigList& list, std::string_view key, QSize size) {
    keep_numbers(list, key, {size.width(), size.height()});
}

std::optional<QSize> kept_size(const ConfigList& list, std::string_view key) {
    const auto numbers = kept_numbers(list, key, 2, kLeastWindowSide, kMostWindowSide);
    if (!numbers)
        return std::nullopt;
    return QSize((*numbers)[0], (*numbers)[1]);
}

void keep_splitter(ConfigList& list, std::string_view key, const QSplitter& splitter) {
    keep_numbers(list, key, splitter.sizes());
}

bool restore_splitter(const ConfigList& list, std::string_view key, QSplitter& splitter) {
    const auto sizes = kept_numbers(list, key, splitter.count(), 1, kMostPane);
    if (!sizes)
        return false;
    splitter.setSizes(*sizes);
    return true;
}

void keep_sort(ConfigList& list, std::string_view key, const FlatListView& view) {
    const QHeaderView& header = *view.header();
    keep_numbers(
        list, key,
        {header.sortIndicatorSection(), header.sortIndicatorOrder() == Qt::DescendingOrder});
}

bool restore_sort(const ConfigList& list, std::string_view key, FlatListView& view) {
    const int columns = view.header()->count();
    if (columns == 0)
        return false;
    const auto kept = kept_numbers(list, key, 2, 0, std::max(columns - 1, 1));
    if (!kept || (*kept)[0] >= columns || (*kept)[1] > 1)
        return false;
    view.sortByColumn((*kept)[0], (*kept)[1] == 1 ? Qt::DescendingOrder : Qt::AscendingOrder);
    return true;
}

void keep_columns(ConfigList& list, std::string_view key, const FlatListView& view) {
    QList<int> widths;
    for (int column = 0; column < view.header()->count(); ++column)
        widths.append(view.kept_width(column));
    keep_numbers(list, key, widths);
}

bool restore_columns(const ConfigList& list, std::string_view key, FlatListView& view) {
    const auto widths = kept_numbers(list, key, view.header()->count(), kLeastColumn, kMostColumn);
    if (!widths)
        return false;
    for (int column = 0; column < widths->size(); ++column)
        view.setColumnWidth(column, (*widths)[column]);
    return true;
}

int height_for_rows(const FlatListView& view, int rows) {
    // A row of the list is a line of its font, bold for unread messages,
    // with the item's margins.
    QFont bold = view.font();
    bold.setBold(true);
    const int row = std::max(QFontMetrics(bold).height(), view.fontMetrics().height()) + 4;
    const int header = view.header()->sizeHint().height();
    const int scroll_bar = view.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &view);
    return header + rows * row + scroll_bar + 2 * view.frameWidth();
}

}  // namespace quillet
