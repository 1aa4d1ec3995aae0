// One Quillet per user. The guard is named after "QuilletMutexStringStuff"
// and the user: a lock file that the system frees when the process ends, and
// a local socket of the same name on which the running program hears a later
// start. Both live in the temporary folder (QDir::tempPath()).
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace quillet {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // "QuilletMutexStringStuff-" followed by the user's name.
    static QString guard_name();

    // True when this process is the first one: it now holds the guard and
    // listens for later starts. False when another one holds it: that one
    // has been asked to raise its window (if it listens yet).
    bool claim();

  Q_SIGNALS:
    // A later start asked for the window to come to the front.
    void raiseRequested();

  private:
    void listen();
    static bool ask_running_instance_to_raise();

    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

}  // namespace quillet
