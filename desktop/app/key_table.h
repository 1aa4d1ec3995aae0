// The main window's keys. They are seen before the focused pane handles
// them and are never consumed: the pane gets the key as usual afterwards,
// and a held key repeats its command.
//
//   Ctrl+A select all      Ctrl+F forward     Ctrl+G Get SMS
//   Ctrl+M mark read       Ctrl+N new SMS     Ctrl+R reply
//   Ctrl+P print the conversation                Ctrl+U mark unread
//   Ctrl+Q quit            (Ctrl+E is the search field's)
//   Shift+Delete           delete on the phone only (not Ctrl); either
//                          Shift key: the copy here, which the archive
//                          keeps, is never lost to the wrong one
//   Delete                 delete (neither Ctrl nor Shift held)
//   F1 help, F4 contacts   (neither Ctrl nor Shift held)
//
// Ctrl+Delete does nothing.
//
// The menus show these keys as their actions' shortcuts (show_frame_key), in
// the shortcut column as the desktop writes them. Those shortcuts are shown
// only, never matched by Qt: Qt's shortcuts would take the key from the pane,
// so this table stays the one that runs them.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QtGlobal>
#include <functional>

class QAction;
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
    Quit,
};

// The command of a key press; `key` is a Qt::Key.
FrameKey frame_key(int key, bool ctrl, bool shift);

// The key of `command` as a shortcut ("Ctrl+G", "Shift+Del", "F1"); empty
// for None.
QKeySequence frame_key_sequence(FrameKey command);

// Gives `action` the key of `command` as its shortcut, shown in its menu's
// shortcut column, in a context Qt never matches while the window has the
// keyboard (the frame's key filter runs the command).
void show_frame_key(QAction& action, FrameKey command);

// Sees every key of `window`'s widgets before the focused one handles it
// and hands the command of a press to `run`; never consumes a key. In
// `search_field` the keys that edit the text typed (Delete, Select All) are
// left to it, and a Delete held down deletes once, not every message below
// it in turn.
class FrameKeys : public QObject {
  public:
    FrameKeys(QWidget& window, const QWidget& search_field, std::function<void(FrameKey)> run);
    ~FrameKeys() override;
    FrameKeys(const FrameKeys&) = delete;
    FrameKeys& operator=(const FrameKeys&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Whether this press was seen already, on its way from the focused
    // widget up to the window.
    bool seen_before(const QKeyEvent& key, QWidget* widget) const;

    QWidget& window_;
    const QWidget& search_field_;
    std::function<void(FrameKey)> run_;
    struct SeenKey {
        const void* event = nullptr;
        quint64 timestamp = 0;
        int key = 0;
        QPointer<QWidget> receiver;
    };
    SeenKey last_key_;
};

}  // namespace quillet
