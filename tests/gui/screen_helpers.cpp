#include "tests/gui/screen_helpers.h"

#include <QEvent>

namespace quillet::testing {

QPalette dark_desktop_palette() {
    QPalette p;
    const QColor text(0xe8, 0xe8, 0xe8);
    p.setColor(QPalette::Window, QColor(0x2a, 0x2d, 0x32));
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, QColor(0x1d, 0x1f, 0x23));
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x29, 0x2e));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x33, 0x36, 0x3c));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Highlight, QColor(0x2a, 0x6a, 0xb8));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x7c, 0xb4, 0xf2));
    p.setColor(QPalette::PlaceholderText, QColor(0x90, 0x96, 0x9e));
    return p;
}

PaintedTexts::PaintedTexts(QLabel* label) : label_(label), alive_(label) {
    label_->installEventFilter(this);
}

PaintedTexts::~PaintedTexts() {
    if (alive_)
        label_->removeEventFilter(this);
}

bool PaintedTexts::eventFilter(QObject* watched, QEvent* event) {
    if (watched == label_ && event->type() == QEvent::Paint &&
        (texts.isEmpty() || texts.last() != label_->text()))
        texts << label_->text();
    return false;
}

}  // namespace quillet::testing
