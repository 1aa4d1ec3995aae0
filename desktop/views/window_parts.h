// Small pieces every window of the program uses.
#pragma once

#include <QCursor>
#include <QGuiApplication>
#include <QString>
#include <string_view>

class QLabel;
class QWidget;

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

// A sunken status-bar pane for a keyboard indicator ("CAP", "NUM", "SCRL").
QLabel* keyboard_indicator(const QString& text, QWidget* parent);

}  // namespace quillet
