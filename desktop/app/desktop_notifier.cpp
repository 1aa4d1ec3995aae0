#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace quillet {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kShowAction = QStringLiteral("show");
const QString kDefaultAction = QStringLiteral("default");
// A notice stays until the desktop's own rule removes it.
constexpr int kServerTimeout = -1;
constexpr int kMostBody = 200;

QString service() {
    return QLatin1String(DesktopNotifier::kService);
}

QString path() {
    return QLatin1String(DesktopNotifier::kPath);
}

}  // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {}

bool DesktopNotifier::available() const {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr)
        return false;
    QDBusConnectionInterface* daemon = bus.interface();
    if (daemon->isServiceRegistered(service()))
        return true;
    const QDBusReply<QStringList> startable = daemon->activatableServiceNames();
    return startable.isValid() && startable.value().contains(service());
}

void DesktopNotifier::notify(const QString& summary, const QString& body) {
    if (markup_ != Markup::Unknown) {
        send(summary, body);
        return;
    }
    // Once: whether the service reads markup in bodies, and so needs "<"
    // and "&" of a message escaped.
    QDBusMessage ask = QDBusMessage::createMethodCall(service(), path(), kInterface,
                                                      QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body] {
        watcher->deleteLater();
        const QDBusPendingReply<QStringList> reply = *watcher;
        markup_ = reply.isValid() && reply.value().contains(QStringLiteral("body-markup"))
                      ? Markup::Read
                      : Markup::Plain;
        send(summary, body);
    });
}

void DesktopNotifier::send(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!listening_) {
        // QtDBus offers signal receivers by name and signature only.
        listening_ =
            bus.connect(service(), path(), kInterface, QStringLiteral("ActionInvoked"), this,
                        SLOT(on_action_invoked(uint, QString))) &&
            bus.connect(service(), path(), kInterface, QStringLiteral("NotificationClosed"), this,
                        SLOT(on_closed(uint, uint)));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service(), path(), kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.quillet.Quillet"));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    const QString shown =
        markup_ == Markup::Read ? body.left(kMostBody).toHtmlEscaped() : body.left(kMostBody);
    call << QStringLiteral("Quillet") << id_ << QStringLiteral("org.quillet.Quillet") << summary
         << shown << QStringList{kDefaultAction, tr("Show"), kShowAction, tr("Show")} << hints
         << kServerTimeout;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotifier::on_notify_reply);
}

void DesktopNotifier::on_notify_reply(QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        id_ = 0;
        Q_EMIT failed();
        return;
    }
    id_ = reply.value();
}

void DesktopNotifier::on_action_invoked(uint id, const QString& action) {
    if (id == 0 || id != id_)
        return;  // another program's notice
    if (action == kShowAction || action == kDefaultAction)
        Q_EMIT showRequested();
}

void DesktopNotifier::on_closed(uint id, uint /*reason*/) {
    if (id == 0 || id != id_)
        return;
    id_ = 0;
    Q_EMIT dismissed();
}

}  // namespace quillet
