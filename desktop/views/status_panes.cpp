#include "desktop/views/status_panes.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>

#include "desktop/views/engine_texts.h"
#include "desktop/views/window_parts.h"

namespace quillet {

StatusPanes::StatusPanes(QMainWindow& window) : bar_(*window.statusBar()) {
    pane_ = add_status_panes(&window);
    pane_->setText(tr("Ready"));
    pane_->setMinimumWidth(120);
    progress_ = new QProgressBar(&window);
    progress_->setObjectName(QStringLiteral("statusProgress"));
    progress_->setRange(0, 100);
    progress_->setMaximumWidth(180);
    progress_->setMaximumHeight(bar_.fontMetrics().height() + 4);
    progress_->hide();
    bar_.addWidget(progress_);
}

void StatusPanes::report(const EngineStatus& status) {
    show(shown_status(status));
}

void StatusPanes::set_status_text(std::u16string_view text) {
    show(to_qstring(text));
}

void StatusPanes::show(const QString& text) {
    if (pane_->text() == text)
        return;
    pane_->setText(text);
    if (pane_->isVisible())
        pane_->repaint();
}

QString StatusPanes::text() const {
    return pane_->text();
}

void StatusPanes::set_progress(int percent) {
    if (percent < 0) {
        progress_->hide();
        return;
    }
    progress_->setValue(percent);
    if (!progress_->isVisible() && bar_.isVisible())
        progress_->show();
    if (progress_->isVisible())
        progress_->repaint();
}

}  // namespace quillet
