// The program's pictures, drawn in code so that they stay crisp at every
// screen scale: each is drawn on a 32x32 (or larger) grid and rendered at 1x
// and 2x into one QIcon.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace quillet {

enum class ToolbarPicture { GetSms, NewSms, Reply, Forward, Contacts };

// A toolbar button's picture, 32x32 logical pixels, at 1x and 2x.
QIcon toolbar_icon(ToolbarPicture picture);
// The program's icon (window, tray), at 16, 24, 32, 48 and 64 pixels and
// their 2x forms.
QIcon application_icon();
// The two pictures of the About box: the program's emblem and a phone beside
// a PC, `size` logical pixels square, at `scale`.
QPixmap about_emblem(int size, qreal scale);
QPixmap about_link_picture(int size, qreal scale);

}  // namespace quillet
