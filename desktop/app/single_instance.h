// One Quillet per user. The guard, named after "QuilletMutexStringStuff", is
// a lock file that the system frees when the process ends, beside a local
// socket on which the running program hears a later start. Both live in the
// user's private runtime folder: $XDG_RUNTIME_DIR when it is the user's own
// and closed to others, else a folder "quillet-<uid>" in the temporary
// folder, else ".quillet-runtime" in the home folder, made with mode 0700
// and used only while it stays the user's own and private
// (private_runtime_folder). Other users can neither plant a lock there nor
// listen in its place, nor turn the guard off by taking the name first.
#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "desktop/link/link_lock.h"

class QLocalServer;

namespace quillet {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    static constexpr const char* kGuardName = "QuilletMutexStringStuff";

    // The folder the guard lives in, made when needed; empty when no private
    // folder can be had (`why` then says why).
    static QString runtime_folder(QString* why = nullptr);

    // True when this process may run: it now holds the guard and listens
    // for later starts, or no private folder could hold a guard (the
    // program then runs unguarded, and says so on standard error). False
    // when another Quillet of this user runs: it has been asked to raise its
    // window. `message` receives what to tell the user in either case where
    // something is not as usual.
    bool claim(QString* message = nullptr);

    // Whether the running program did not answer the request to raise its
    // window (only meaningful after claim() returned false).
    bool running_one_silent() const { return running_one_silent_; }

  Q_SIGNALS:
    // A later start asked for the window to come to the front.
    void raiseRequested();

  private:
    void listen(const QString& folder);
    static bool ask_running_instance_to_raise(const QString& folder);

    std::unique_ptr<LinkLock> lock_;
    QLocalServer* server_ = nullptr;
    bool running_one_silent_ = false;
};

}  // namespace quillet
