// The main window's status bar: the message pane ("statusPane", "Ready" at
// first), a fetch's progress ("statusProgress", hidden but while a fetch
// runs) and the lock keys' indicators as every window has them
// (add_status_panes). The engine reports to it as a StatusSink; the
// window's own texts, already translated, go to show().
#pragma once

#include <QCoreApplication>
#include <QString>

#include "desktop/store/status_sink.h"

class QLabel;
class QMainWindow;
class QProgressBar;
class QStatusBar;

namespace quillet {

class StatusPanes : public StatusSink {
    Q_DECLARE_TR_FUNCTIONS(StatusPanes)

  public:
    // Fills the status bar of `window`, which owns the panes.
    explicit StatusPanes(QMainWindow& window);

    // The engine's statuses, shown in the desktop's language; a text as it
    // is given.
    void report(const EngineStatus& status) override;
    void set_status_text(std::u16string_view text) override;
    void set_progress(int percent) override;
    // Drawn at once: commands block the event loop.
    void show(const QString& text);
    QString text() const;

  private:
    QStatusBar& bar_;
    QLabel* pane_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace quillet
