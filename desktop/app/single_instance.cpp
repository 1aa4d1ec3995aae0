#include "single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include "desktop/link/link_lock.h"

namespace quillet {
namespace {

constexpr int kConnectWaitMs = 2000;
const QByteArray kRaiseRequest = QByteArrayLiteral("raise\n");

QString guard_path(const QString& folder, const char* suffix) {
    return QDir(folder).filePath(QLatin1String(SingleInstance::kGuardName) + QLatin1String(suffix));
}

// "123" of a holder's record "quillet (pid 123)"; empty when it has none.
QString holder_pid(const std::string& record) {
    const size_t at = record.rfind("(pid ");
    if (at == std::string::npos)
        return {};
    const std::string digits = record.substr(at + 5, record.find(')', at) - at - 5);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return {};
    return QString::fromStdString(digits);
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::runtime_folder(QString* why) {
    std::string problem;
    const std::filesystem::path folder = private_runtime_folder(&problem);
    if (folder.empty() && why != nullptr)
        *why = QString::fromStdString(problem);
    return QString::fromStdString(folder.string());
}

bool SingleInstance::claim(QString* message) {
    QString why;
    const QString folder = runtime_folder(&why);
    if (folder.isEmpty()) {
        if (message != nullptr) {
            *message = tr("Quillet runs without its one-instance guard: %1.").arg(why);
        }
        return true;
    }
    // A lock the system frees when its holder ends, whatever the file
    // holds: an empty or unreadable one left behind stops no start.
    lock_ =
        std::make_unique<LinkLock>(std::filesystem::path(QFile::encodeName(folder).toStdString()),
                                   std::string(kGuardName) + ".lock");
    if (lock_->try_acquire("quillet")) {
        listen(folder);
        return true;
    }
    if (!lock_->error().empty()) {
        if (message != nullptr) {
            *message = tr("Quillet runs without its one-instance guard: %1.")
                           .arg(QString::fromStdString(lock_->error()));
        }
        lock_.reset();
        return true;
    }
    const QString pid = holder_pid(lock_->other_holder());
    lock_.reset();
    running_one_silent_ = !ask_running_instance_to_raise(folder);
    if (message != nullptr) {
        const QString who = !pid.isEmpty() ? tr("Quillet is already running (process %1).").arg(pid)
                                           : tr("Quillet is already running.");
        *message = running_one_silent_ ? who + tr(" It did not answer; this start ends.")
                                       : who + tr(" Its window was brought to the front.");
    }
    return false;
}

void SingleInstance::listen(const QString& folder) {
    const QString name = guard_path(folder, ".socket");
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // The lock is ours, so a socket left behind belongs to a dead program.
    QLocalServer::removeServer(name);
    if (!server_->listen(name))
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

bool SingleInstance::ask_running_instance_to_raise(const QString& folder) {
    QLocalSocket socket;
    socket.connectToServer(guard_path(folder, ".socket"));
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
