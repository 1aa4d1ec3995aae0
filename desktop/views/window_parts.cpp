#include "window_parts.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

namespace quillet {
namespace {

// A sunken status-bar pane for a keyboard indicator ("CAP", "NUM", "SCRL").
QLabel* keyboard_indicator(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 10);
    return label;
}

}  // namespace

QLabel* add_status_panes(QMainWindow* window) {
    auto* pane = new QLabel(window);
    pane->setObjectName(QStringLiteral("statusPane"));
    QStatusBar* bar = window->statusBar();
    bar->addWidget(pane, 1);
    for (const QString& text :
         {QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")})
        bar->addPermanentWidget(keyboard_indicator(text, window));
    return pane;
}

}  // namespace quillet
