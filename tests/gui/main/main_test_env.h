// What every main-window test sets up: a temp data folder, a temp platform
// root with a real phone image made by the real quillet-phone, the real
// program folder (so the real ondevice/phonelet.exe is copied and started),
// a free link port, and message boxes, file dialogs and sounds answered by
// the test. Then the real link with short waits, and the real main window.
#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "desktop/app/main_frame.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/views/gui_seams.h"

namespace quillet::testing {

class MainTestEnv {
  public:
    // Points the folders, the platform root and the link port at fresh
    // places. Create it before any link.
    MainTestEnv();
    ~MainTestEnv();
    MainTestEnv(const MainTestEnv&) = delete;
    MainTestEnv& operator=(const MainTestEnv&) = delete;

    QString data_path(const QString& name = {}) const;
    QString temp_path(const QString& name) const;
    QString platform_root() const;

    // The real phone tool; true when it exited with 0.
    bool phone(const QStringList& args, QByteArray* out = nullptr) const;
    // A folder of the phone ("inbox", "sent", "deleted") as its JSON rows.
    QJsonArray phone_folder(const QString& folder) const;
    // Kills every agent running from this phone's image: the link breaks.
    void kill_agents() const;

    std::vector<MessageBoxRequest> take_message_boxes();
    const std::vector<MessageBoxRequest>& message_boxes() const { return boxes_; }
    const QStringList& sounds() const { return sounds_; }
    void answer_file_dialogs(QStringList answers) { answers_ = std::move(answers); }
    const QStringList& file_dialogs() const { return dialogs_; }

    // The link, with waits short enough for tests; `connect_wait_ms` is how
    // long a command waits for the link to be set up.
    static LinkSettings test_link_settings(int connect_wait_ms = 15000);

    static QByteArray read_file(const QString& path);

  private:
    QTemporaryDir dir_;
    std::vector<MessageBoxRequest> boxes_;
    QStringList sounds_;
    QStringList answers_;
    QStringList dialogs_;
};

// The real link and the real main window, shown and started up.
struct RunningFrame {
    std::unique_ptr<SmartphoneSmsConnect> link;
    std::unique_ptr<MainFrame> frame;

    explicit RunningFrame(int connect_wait_ms = 15000);
    ~RunningFrame();
    MainFrame* operator->() const { return frame.get(); }
    // Runs Get SMS and returns the count it reported (-1: link failure).
    int get_sms();
};

quint16 free_loopback_port();

}  // namespace quillet::testing
