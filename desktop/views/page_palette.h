// The message view's pages in the desktop's colours. A template names its
// colours by tokens, which the view replaces by the palette's colours each
// time it loads the page, so a page follows a light or a dark desktop (and a
// change of it). A template that writes its own colours keeps them.
//
//   %page%          the page's background (the palette's window)
//   %card%          a message's background (base)
//   %text%          the text (text)
//   %muted%         secondary text: the text colour halfway to base
//   %border%        lines: the text colour a fifth of the way from base
//   %accent%        the message's header band (highlight)
//   %accent-text%   the text on it (highlighted text)
//   %accent-muted%  the labels on it
//   %title%         headings (link)
//   %tint%          a card of one's own (sent messages): base a quarter of
//                   the way to highlight
//   %alert%         a warning's text: a red that reads on base
//   %alert-tint%    a card of something gone (deleted messages): base a
//                   seventh of the way to red
//
// Colours are written as "#rrggbb". A "%" that starts no token stays.
#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

namespace quillet {

QString with_palette_colours(const QString& page, const QPalette& palette);

// Whether the palette puts light text on a dark window.
bool is_dark(const QPalette& palette);

// `from` moved `share` (0..1) of the way to `to`.
QColor mixed(const QColor& from, const QColor& to, qreal share);

// The contrast ratio of two colours, 1 (none) to 21 (black on white), as
// accessibility guidelines measure it.
qreal contrast_ratio(const QColor& a, const QColor& b);

}  // namespace quillet
