#include "window_parts.h"

#include <QLabel>

namespace quillet {

QLabel* keyboard_indicator(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
    return label;
}

}  // namespace quillet
