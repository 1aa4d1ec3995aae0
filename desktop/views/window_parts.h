// Small pieces every window of the program uses.
#pragma once

#include <QString>
#include <string_view>

class QLabel;
class QMainWindow;

namespace quillet {

inline QString to_qstring(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// Fills the status bar of `window` as every window but the main one has it:
// a text pane (object name "statusPane"), then the sunken CAP, NUM and SCRL
// keyboard indicators. Returns the text pane.
QLabel* add_status_panes(QMainWindow* window);

}  // namespace quillet
