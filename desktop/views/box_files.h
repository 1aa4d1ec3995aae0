// The main window's box files as the user hears of them: what loading
// found wrong with a file, what saving could not write, and the choice
// before closing when the boxes cannot be saved (message_library.h has the
// rules; this says what they reported).
#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <functional>

class QWidget;

namespace quillet {

class MessageLibrary;
struct BoxSaveReport;
class StatusPanes;

class BoxFiles {
    Q_DECLARE_TR_FUNCTIONS(BoxFiles)

  public:
    // All three must outlive this.
    BoxFiles(QWidget& parent, MessageLibrary& library, StatusPanes& status);

    // Start-up: reads the three box files; one damaged, unreadable or of an
    // unknown version is said in a message box. `ended` is asked before each
    // file: a window closed while a message box was open leaves the boxes
    // not read yet unread, so they are never saved.
    void load(const std::function<bool()>& ended);
    // After a command: each box whose file is behind it is saved (a large
    // one on a thread of its own, see MessageLibrary); a failure is said
    // once until a save works again.
    void save_changed();
    // Before the window closes: the boxes are saved, or, when they cannot
    // be, the user chooses Retry, another folder, or to quit without them.
    // False: Cancel, the window stays open.
    bool kept_or_let_go();
    // At shut-down: the boxes saved unless the user let them go; what
    // failed, with `failures` of other files, is said even if said before.
    void save_last(QStringList failures);
    // Takes in what another program (quillet-cli import, get) saved in the
    // box files meanwhile, and says so in the status bar.
    void take_in();

  private:
    QStringList save_behind();
    // Says how many messages of another program were taken in; returns the
    // failures.
    QStringList told(const BoxSaveReport& report);
    void report(const QStringList& failures);
    bool saved_elsewhere();

    QWidget& parent_;
    MessageLibrary& library_;
    StatusPanes& status_;
    bool failure_shown_ = false;
    // The user chose to quit without saving the boxes here.
    bool let_go_ = false;
    bool closed_ = false;  // shut down: nothing more is saved in the background
};

}  // namespace quillet
