#include "desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QIcon>
#include <QThread>
#include <QTimer>
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
// The longest one call to the bus may take on the courier's thread.
constexpr int kCallLimitMs = 2000;
// How long the window waits on its way out for the courier to finish.
constexpr unsigned long kQuitWaitMs = 500;
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

// The notifier's side on the bus, on its own thread: each call may wait
// there (for the connection, a stalled daemon) up to its limit.
class NoticeCourier : public QObject {
    Q_OBJECT

  public:
    // Sends the notice replacing `replaces` (0: none); answers with
    // answered() or refused().
    void send(const QString& summary, const QString& body, uint replaces);

  Q_SIGNALS:
    void answered(uint id);
    void refused();
    void actionInvoked(uint id, const QString& action);
    void closed(uint id);

  private Q_SLOTS:
    // Bus signals (QtDBus names its receivers by signature).
    void on_action_invoked(uint id, const QString& action) { Q_EMIT actionInvoked(id, action); }
    void on_closed(uint id, uint /*reason*/) { Q_EMIT closed(id); }

  private:
    enum class Markup { Unknown, Read, Plain };
    Markup markup_ = Markup::Unknown;
    bool listening_ = false;
};

void NoticeCourier::send(const QString& summary, const QString& body, uint replaces) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Q_EMIT refused();
        return;
    }
    if (markup_ == Markup::Unknown) {
        // Once: whether the service reads markup in bodies, and so needs "<"
        // and "&" of a message escaped.
        const QDBusReply<QStringList> caps =
            bus.call(QDBusMessage::createMethodCall(service(), path(), kInterface,
                                                    QStringLiteral("GetCapabilities")),
                     QDBus::Block, kCallLimitMs);
        if (!caps.isValid()) {
            Q_EMIT refused();
            return;
        }
        markup_ =
            caps.value().contains(QStringLiteral("body-markup")) ? Markup::Read : Markup::Plain;
    }
    if (!listening_) {
        // Only once the service has answered within the limit: subscribing
        // waits on the bus without one (the bus's own 25 s), and would hold
        // the bus's thread that long on a stalled daemon.
        listening_ =
            bus.connect(service(), path(), kInterface, QStringLiteral("ActionInvoked"), this,
                        SLOT(on_action_invoked(uint, QString))) &&
            bus.connect(service(), path(), kInterface, QStringLiteral("NotificationClosed"), this,
                        SLOT(on_closed(uint, uint)));
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(service(), path(), kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QLatin1String(DesktopNotifier::kIconName));
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    const QString shown =
        markup_ == Markup::Read ? body.left(kMostBody).toHtmlEscaped() : body.left(kMostBody);
    call << QStringLiteral("Quillet") << replaces << notice_icon() << summary << shown
         << QStringList{kDefaultAction, DesktopNotifier::tr("Show"), kShowAction,
                        DesktopNotifier::tr("Show")}
         << hints << kServerTimeout;
    const QDBusReply<uint> reply = bus.call(call, QDBus::Block, kCallLimitMs);
    if (reply.isValid()) {
        Q_EMIT answered(reply.value());
    } else {
        Q_EMIT refused();
    }
}

DesktopNotifier::DesktopNotifier(QObject* parent, std::chrono::milliseconds answer_wait,
                                 std::chrono::milliseconds rest)
    : QObject(parent), rest_(rest), thread_(std::make_unique<QThread>()) {
    answer_timer_ = new QTimer(this);
    answer_timer_->setSingleShot(true);
    answer_timer_->setInterval(answer_wait);
    connect(answer_timer_, &QTimer::timeout, this, &DesktopNotifier::give_up);
    courier_ = new NoticeCourier;  // deleted on its thread when the thread ends
    courier_->moveToThread(thread_.get());
    connect(thread_.get(), &QThread::finished, courier_, &QObject::deleteLater);
    connect(courier_, &NoticeCourier::answered, this, &DesktopNotifier::on_answered);
    connect(courier_, &NoticeCourier::refused, this, &DesktopNotifier::give_up);
    connect(courier_, &NoticeCourier::actionInvoked, this, &DesktopNotifier::on_action_invoked);
    connect(courier_, &NoticeCourier::closed, this, &DesktopNotifier::on_closed);
    thread_->start();
}

DesktopNotifier::~DesktopNotifier() {
    thread_->quit();
    // A courier stuck in a call to a stalled bus must not hold the window on
    // its way out: its thread is left to the end of the process.
    if (!thread_->wait(kQuitWaitMs)) [[maybe_unused]]
        QThread* left = thread_.release();
}

bool DesktopNotifier::available() const {
    return std::chrono::steady_clock::now() >= resting_until_;
}

void DesktopNotifier::notify(const QString& summary, const QString& body) {
    if (!available()) {
        Q_EMIT failed();
        return;
    }
    in_flight_ = true;
    answer_timer_->start();
    const uint replaces = id_;
    QMetaObject::invokeMethod(
        courier_,
        [courier = courier_, summary, body, replaces] { courier->send(summary, body, replaces); },
        Qt::QueuedConnection);
}

void DesktopNotifier::on_answered(uint id) {
    // A late answer still names the notice on the screen.
    answer_timer_->stop();
    in_flight_ = false;
    id_ = id;
}

void DesktopNotifier::give_up() {
    answer_timer_->stop();
    if (!in_flight_)
        return;  // this notice has failed already (unanswered, then refused)
    in_flight_ = false;
    id_ = 0;
    resting_until_ = std::chrono::steady_clock::now() + rest_;
    Q_EMIT failed();
}

void DesktopNotifier::on_action_invoked(uint id, const QString& action) {
    if (id == 0 || id != id_)
        return;  // another program's notice
    if (action == kShowAction || action == kDefaultAction)
        Q_EMIT showRequested();
}

void DesktopNotifier::on_closed(uint id) {
    if (id == 0 || id != id_)
        return;
    id_ = 0;
    Q_EMIT dismissed();
}

}  // namespace quillet

#include "desktop_notifier.moc"
