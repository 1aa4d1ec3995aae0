// What every window test sets up: a temp data folder (and XDG_DATA_HOME), a
// temp platform root (registry and phone image), the real program folder (so
// the real ondevice/phonelet.exe is copied and started), a free link port,
// message boxes, file dialogs and sounds answered by the test, and the real
// phone tool.
#pragma once

#include <sys/types.h>
#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <vector>

#include "desktop/views/gui_seams.h"

namespace quillet::testing {

class GuiTestEnv {
  public:
    // Points the program's folders, the platform root and the link port at
    // fresh places. Create it before any link object.
    GuiTestEnv();
    ~GuiTestEnv();
    GuiTestEnv(const GuiTestEnv&) = delete;
    GuiTestEnv& operator=(const GuiTestEnv&) = delete;

    QString data_path(const QString& name = {}) const;
    QString temp_path(const QString& name) const;
    QString platform_root() const;
    // XDG_DATA_HOME while the test runs (not created).
    QString xdg_data_home() const;

    // Called as each message box is shown, while it is open (none: nothing).
    void when_box_shown(std::function<void()> seen) { box_seen_ = std::move(seen); }
    // Message boxes shown since the last take_message_boxes().
    std::vector<MessageBoxRequest> take_message_boxes();
    const std::vector<MessageBoxRequest>& message_boxes() const { return boxes_; }
    // Message boxes that were shown with the wait cursor over them; always 0
    // unless the command scope's rule broke.
    int boxes_under_wait_cursor() const { return boxes_under_wait_cursor_; }
    // Sounds played.
    const QStringList& sounds() const { return sounds_; }
    // Questions asked (ask_yes_no), and the answer every later one gets
    // (Yes until set).
    const QStringList& questions() const { return questions_; }
    void answer_questions(bool yes) { question_answer_ = yes; }
    // Whether the desktop offers a tray (yes until set).
    void set_tray_available(bool available) { tray_available_ = available; }
    // Answers for the coming file dialogs, in order ("" is a Cancel).
    void answer_file_dialogs(QStringList answers);
    // Captions of the file dialogs shown, and the names they suggested.
    const QStringList& file_dialogs() const { return dialogs_; }
    const QStringList& file_suggestions() const { return suggestions_; }

    // The processes running the agent that the link copied onto this phone.
    std::vector<pid_t> running_agents() const;

    // Runs the real quillet-phone with `args`; its standard output goes to
    // `out`. True when it exited with 0.
    bool phone(const QStringList& args, QByteArray* out = nullptr) const;
    QByteArray phone_output(const QStringList& args) const;
    // A folder of the phone ("inbox", "sent", "deleted") as its JSON rows.
    QJsonArray phone_folder(const QString& folder) const;

    // A whole file's bytes, empty when missing.
    static QByteArray read_file(const QString& path);

  private:
    QTemporaryDir dir_;
    std::vector<MessageBoxRequest> boxes_;
    std::function<void()> box_seen_;
    int boxes_under_wait_cursor_ = 0;
    QStringList sounds_;
    QStringList questions_;
    bool question_answer_ = true;
    bool tray_available_ = true;
    QStringList answers_;
    QStringList dialogs_;
    QStringList suggestions_;
};

// A TCP port on the loopback address that nobody listens on right now.
quint16 free_loopback_port();

// Copies the build's program folder into `to`: the program and its
// resources only, never data an earlier run left there. With `portable`, a
// "portable" file makes the copy its own data folder.
bool copy_program_folder(const QString& to, bool portable);

}  // namespace quillet::testing
