// The program's pictures, drawn in code so that they stay crisp at every
// screen scale: each is drawn on a 32x32 (or larger) grid and rendered at 1x
// and 2x into one QIcon. The windows' toolbars all take theirs from here.
#pragma once

#include <QAction>
#include <QIcon>
#include <QList>
#include <QPalette>
#include <QPixmap>

namespace quillet {

enum class ToolbarPicture {
    GetSms,
    NewSms,
    Reply,
    Forward,
    Contacts,
    Send,          // the composer's Send
    GetContacts,   // the contacts window's fetch from the phone
    AddRecipient,  // the contacts window's Add to the composer
};

// A toolbar button's picture at 16, 24 and 32 logical pixels, each at 1x and
// 2x, its outlines in the ink that stands out on `palette`'s window (light
// on a dark desktop).
QIcon toolbar_icon(ToolbarPicture picture, const QPalette& palette);
// Puts `picture` on `action` in `palette`'s ink and notes which picture it
// is, so that redraw_toolbar_pictures draws it again.
void set_toolbar_picture(QAction& action, ToolbarPicture picture, const QPalette& palette);
// Draws the pictures set by set_toolbar_picture on `actions` again in
// `palette`'s ink: a window calls it when its palette changes (the desktop
// switched between light and dark while it was open).
void redraw_toolbar_pictures(const QList<QAction*>& actions, const QPalette& palette);
// The program's icon (window, tray), at 16, 24, 32, 48 and 64 pixels and
// their 2x forms.
QIcon application_icon();
// The two pictures of the About box: the program's emblem and a phone beside
// a PC, `size` logical pixels square, at `scale`.
QPixmap about_emblem(int size, qreal scale);
QPixmap about_link_picture(int size, qreal scale);

}  // namespace quillet
