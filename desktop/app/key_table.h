// The main window's keys. They are seen before the focused pane handles
// them and are never consumed: the pane gets the key as usual afterwards,
// and a held key repeats its command.
//
//   Ctrl+A select all      Ctrl+F forward     Ctrl+G Get SMS
//   Ctrl+M mark read       Ctrl+N new SMS     Ctrl+R reply
//   Ctrl+P print the conversation                Ctrl+U mark unread
//   left Shift+Delete      delete on the phone only (not Ctrl)
//   Delete                 delete (neither Ctrl nor left Shift held)
//   F1 help, F4 contacts   (neither Ctrl nor left Shift held)
//
// Only the LEFT Shift key selects deleting on the phone only; Delete with the
// right Shift deletes everywhere, Ctrl+Delete does nothing.
#pragma once

#include <QtGlobal>

class QKeyEvent;

namespace quillet {

enum class FrameKey {
    None,
    SelectAll,
    Forward,
    GetSms,
    MarkRead,
    NewSms,
    Reply,
    MarkUnread,
    DeleteOnDevice,
    Delete,
    Help,
    Contacts,
    Print,
};

// The command of a key press; `key` is a Qt::Key.
FrameKey frame_key(int key, bool ctrl, bool left_shift);

// Which Shift key is down, learnt from the Shift keys' own presses and
// releases by their native scan codes (X11/xkb 50 left, 62 right; evdev 42
// and 54). A Shift press whose side the platform does not tell (scan code 0)
// counts as the left one, the key nearly everyone uses.
class ShiftTracker {
  public:
    // Feed every key press and release seen.
    void key_event(const QKeyEvent& event);
    // Whether the left Shift is held at the moment of `event` (a key press).
    bool left_shift_held(const QKeyEvent& event) const;

    static bool is_right_shift(quint32 native_scan_code);

  private:
    bool left_down_ = false;
    bool right_down_ = false;
};

}  // namespace quillet
