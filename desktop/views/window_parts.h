// Small pieces every window of the program uses.
#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

class QLabel;
class QMainWindow;
class QModelIndex;
class QObject;

namespace quillet {

class FlatListView;

inline QString to_qstring(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// A tooltip that shows `text` as it is: escaped into a paragraph, so that
// markup in a message or a name is shown, never run (no picture is loaded),
// with its line breaks kept. A long text is cut after kMaxTooltipText
// characters and ends with "...".
inline constexpr qsizetype kMaxTooltipText = 600;
QString plain_tooltip(QString text);

// What a progress dialog says is left of a task that did `done` of `total`
// in `spent` seconds: "About 5 seconds left", from 90 seconds on "About 3
// minutes left", rounded up, so that it never says 0. Empty before a second
// has passed, before anything was done, and once all is done.
QString time_left(double spent, uint64_t done, uint64_t total);

// Fills the status bar of `window` as every window but the main one has it:
// a text pane (object name "statusPane"), then the sunken CAP, NUM and SCRL
// keyboard indicators ("capsPane", "numPane", "scrollPane"), each showing
// its name while its lock key is on. Returns the text pane.
QLabel* add_status_panes(QMainWindow* window);

// Gives the room a list's viewport has beyond its columns to `flexible`
// (the message text), or takes what they overrun from it down to `least`
// pixels: the columns fill the list as the window grows and shrinks, and
// the last one stays in sight.
void fit_columns(FlatListView& view, int flexible, int least);

// The columns of a list of the right pane: each at least `widths[c]` wide,
// as wide as its header's words (which a translation lengthens) and, in
// column `date`, as a date in bold (an unread row) with its time; newest
// first until a header click says otherwise.
void set_up_columns(FlatListView& view, std::span<const int> widths, int date);

// Calls `chosen` with the current row whenever the current row or the
// selection of `view` changed: a click makes its row current before it
// selects it, a key selects before it moves, so whichever comes last finds
// the current row selected.
void when_row_chosen(FlatListView& view, QObject* context,
                     const std::function<void(const QModelIndex&)>& chosen);

// The width a list's date column needs for a date and time in bold (the
// rows of unread messages) in `list`'s font, with room for the cell's margins.
int bold_date_width(const QWidget& list);

// The font role of a list row: bold while it holds something unread,
// otherwise the view's own font (an empty value).
QVariant unread_row_font(bool unread);

// Sets `flag` for its lifetime and puts back what it was: a view marks the
// changes it makes itself, so that its own signal handlers let them pass.
class QuietScope {
  public:
    explicit QuietScope(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~QuietScope() { flag_ = before_; }
    QuietScope(const QuietScope&) = delete;
    QuietScope& operator=(const QuietScope&) = delete;

  private:
    bool& flag_;
    bool before_;
};

}  // namespace quillet
