// Small pieces every window of the program uses.
#pragma once

#include <QCursor>
#include <QGuiApplication>
#include <QString>
#include <string_view>

class QLabel;
class QMainWindow;

namespace quillet {

inline QString to_qstring(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// The wait cursor for as long as a command runs.
class WaitCursor {
  public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Fills the status bar of `window` as every window but the main one has it:
// a text pane (object name "statusPane"), then the sunken CAP, NUM and SCRL
// keyboard indicators. Returns the text pane.
QLabel* add_status_panes(QMainWindow* window);

}  // namespace quillet
