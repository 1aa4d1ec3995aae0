#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QUrl>
#include <QVariantMap>
#include <filesystem>
#include <system_error>

#include "desktop/store/app_paths.h"

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

// The program's icon by name where the icon theme has it (installed). Run
// from the build folder the theme has none, and the popup would show no
// picture: the service gets the program's picture file instead.
QString notice_icon() {
    const QString name = QLatin1String(DesktopNotifier::kIconName);
    if (QIcon::hasThemeIcon(name))
        return name;
    const std::filesystem::path file = resource_path(u"templates/images/quillet.png");
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error))
        return name;
    return QUrl::fromLocalFile(QString::fromStdString(file.string())).toString();
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
    hints.insert(QStringLiteral("desktop-entry"), QLatin1String(kIconName));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    const QString shown =
        markup_ == Markup::Read ? body.left(kMostBody).toHtmlEscaped() : body.left(kMostBody);
    call << QStringLiteral("Quillet") << id_ << notice_icon() << summary << shown
         << QStringList{kDefaultAction, tr("Show"), kShowAction, tr("Show")} << hints
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
