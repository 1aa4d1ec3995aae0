#include "single_instance.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace quillet {
namespace {

constexpr int kConnectWaitMs = 2000;
const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");

QString user_name() {
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return QString::number(getuid());
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::guard_name() {
    return QStringLiteral("QuilletMutexStringStuff-") + user_name();
}

bool SingleInstance::claim() {
    lock_ = std::make_unique<QLockFile>(
        QDir(QDir::tempPath()).filePath(guard_name() + QStringLiteral(".lock")));
    lock_->setStaleLockTime(0);  // only a dead owner's lock is stale
    if (!lock_->tryLock(0)) {
        lock_.reset();
        ask_running_instance_to_raise();
        return false;
    }
    listen();
    return true;
}

void SingleInstance::listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket left behind belongs to a dead program.
    QLocalServer::removeServer(guard_name());
    if (!server_->listen(guard_name()))
        return;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().startsWith(kRaiseRequest.trimmed()))
                    Q_EMIT raiseRequested();
                peer->disconnectFromServer();
            });
        }
    });
}

bool SingleInstance::ask_running_instance_to_raise() {
    QLocalSocket socket;
    socket.connectToServer(guard_name());
    if (!socket.waitForConnected(kConnectWaitMs))
        return false;
    socket.write(kRaiseRequest);
    const bool sent = socket.waitForBytesWritten(kConnectWaitMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectWaitMs);
    return sent;
}

}  // namespace quillet
