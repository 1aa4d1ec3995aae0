// Where the windows and panes were when the program last ended, kept as
// extra keys of "options.cfg" (which keeps the keys it does not know):
//
//   main_window     the main window's place, size and maximised state
//                   (QWidget::saveGeometry, base64)
//   main_splitter   the box tree's and the right side's widths, "200,780"
//   right_splitter  the message list's and the message view's heights
//   list_columns    the message list's column widths, "300,150,100,50,70"
//   conversation_columns   the conversation list's column widths
//   conversation_sort      the conversation list's sort column and order,
//                   "2,1" (0 ascending, 1 descending)
//   composer_size, contacts_size, options_size   a window's "width,height"
//
// A value that does not read back (hand-edited, damaged, another count of
// columns) is ignored: that part keeps its default layout.
#pragma once

#include <QList>
#include <QSize>
#include <optional>
#include <string_view>

class QSplitter;
class QWidget;

namespace quillet {

class ConfigList;
class FlatListView;

namespace layout_key {
inline constexpr std::string_view kMainWindow = "main_window";
inline constexpr std::string_view kMainSplitter = "main_splitter";
inline constexpr std::string_view kRightSplitter = "right_splitter";
inline constexpr std::string_view kListColumns = "list_columns";
inline constexpr std::string_view kConversationColumns = "conversation_columns";
inline constexpr std::string_view kConversationSort = "conversation_sort";
inline constexpr std::string_view kComposerSize = "composer_size";
inline constexpr std::string_view kContactsSize = "contacts_size";
inline constexpr std::string_view kOptionsSize = "options_size";
}  // namespace layout_key

// Window sizes outside these bounds are not taken from the file.
inline constexpr int kLeastWindowSide = 100;
inline constexpr int kMostWindowSide = 16384;

void keep_geometry(ConfigList& list, std::string_view key, const QWidget& window);
// False, and the window as it was, when the value does not read back. A
// place or size beyond the screens is brought onto the nearest screen.
bool restore_geometry(const ConfigList& list, std::string_view key, QWidget& window);

void keep_numbers(ConfigList& list, std::string_view key, const QList<int>& numbers);
// Exactly `count` numbers from least to most each; nothing otherwise.
std::optional<QList<int>> kept_numbers(const ConfigList& list, std::string_view key, int count,
                                       int least, int most);

void keep_size(ConfigList& list, std::string_view key, QSize size);
std::optional<QSize> kept_size(const ConfigList& list, std::string_view key);

void keep_splitter(ConfigList& list, std::string_view key, const QSplitter& splitter);
// Pane sizes of 0 (a collapsed pane) are not taken.
bool restore_splitter(const ConfigList& list, std::string_view key, QSplitter& splitter);

void keep_columns(ConfigList& list, std::string_view key, const FlatListView& view);
bool restore_columns(const ConfigList& list, std::string_view key, FlatListView& view);

// The column and order a sorting view sorts by (its header's indicator).
void keep_sort(ConfigList& list, std::string_view key, const FlatListView& view);
bool restore_sort(const ConfigList& list, std::string_view key, FlatListView& view);

// The height at which `view` shows `rows` rows of its font below its header,
// a horizontal scroll bar included.
int height_for_rows(const FlatListView& view, int rows);

}  // namespace quillet
