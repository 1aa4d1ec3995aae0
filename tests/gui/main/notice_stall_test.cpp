// A notification service that never answers, on a private session bus
// (dbus-run-session), reached across the real bus daemon: the notice falls
// back to the program's own popup within the answer wait, the window's
// event loop runs on meanwhile, and later notices skip the bus while the
// notifier rests.
#include <QDBusConnection>
#include <QDBusContext>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "desktop/app/desktop_notifier.h"

using namespace quillet;
using namespace std::chrono_literals;

namespace {

class SilentNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    int calls = 0;

  public Q_SLOTS:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    uint Notify(const QString&, uint, const QString&, const QString&, const QString&,
                const QStringList&, const QVariantMap&, int) {
        ++calls;
        setDelayedReply(true);  // and never replies
        return 0;
    }
};

}  // namespace

class NoticeStallTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void aSilentServiceFallsBackAtOnceAndIsLeftAlone() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus: run it under dbus-run-session");
        QDBusConnection bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("silent"));
        SilentNotifications silent;
        QVERIFY(bus.registerObject(QLatin1String(DesktopNotifier::kPath), &silent,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(QLatin1String(DesktopNotifier::kService)));

        DesktopNotifier notifier(nullptr, 500ms, 60s);
        QSignalSpy failed(&notifier, &DesktopNotifier::failed);
        int ticks = 0;
        QTimer window_loop;
        QObject::connect(&window_loop, &QTimer::timeout, [&ticks] { ++ticks; });
        window_loop.start(20);
        QElapsedTimer clock;
        clock.start();
        notifier.notify(QStringLiteral("+4930123456"), QStringLiteral("Hello"));
        QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(ticks >= 10);  // the event loop never stopped
        QCOMPARE(silent.calls, 1);

        // Resting: the next notice fails at once and never reaches the bus.
        QVERIFY(!notifier.available());
        notifier.notify(QStringLiteral("+4930123456"), QStringLiteral("Again"));
        QCOMPARE(failed.count(), 2);
        QTest::qWait(300);
        QCOMPARE(silent.calls, 1);
    }
};

QTEST_MAIN(NoticeStallTest)
#include "notice_stall_test.moc"
