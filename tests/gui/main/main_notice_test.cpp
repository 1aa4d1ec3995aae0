// The new-message notice through the desktop's notification service: run on
// a private session bus (dbus-run-session) with a notification service of
// the test's own on a second connection, so every call crosses the real bus
// daemon. The notice names the sender and the first line; its "Show" brings
// the message up in the message view; without the service the popup box
// stays the fallback.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>

#include "desktop/app/desktop_notifier.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

// What a notification daemon offers, recording each Notify.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Notice {
        QString app;
        uint replaces = 0;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    std::vector<Notice> notices;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body"),
                             QStringLiteral("body-markup")};

  public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int /*timeout*/) {
        notices.push_back({app, replaces, icon, summary, body, actions, hints});
        return replaces != 0 ? replaces : static_cast<uint>(notices.size()) + 40;
    }
    void CloseNotification(uint /*id*/) {}
    QString GetServerInformation(QString& vendor, QString& version, QString& protocol) {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        protocol = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }
};

const QString kBusName = QStringLiteral("fake-notifications");

}  // namespace

class MainNoticeTest : public QObject {
    Q_OBJECT

  private:
    QByteArray bus_address_ = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    std::unique_ptr<MainTestEnv> env_;
    std::unique_ptr<FakeNotifications> fake_;

    bool deliver(const QString& text) {
        return env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                            QStringLiteral("+4930123456"), QStringLiteral("--text"), text});
    }

    static bool link_watching(RunningFrame& f) {
        return QTest::qWaitFor([&f] { return f.link->tick_count() >= 2; }, 20000);
    }

    bool start_service() {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kBusName);
        fake_ = std::make_unique<FakeNotifications>();
        return bus.registerObject(QLatin1String(DesktopNotifier::kPath), fake_.get(),
                                  QDBusConnection::ExportAllSlots) &&
               bus.registerService(QLatin1String(DesktopNotifier::kService));
    }

    void stop_service() {
        QDBusConnection bus(kBusName);
        bus.unregisterService(QLatin1String(DesktopNotifier::kService));
        bus.unregisterObject(QLatin1String(DesktopNotifier::kPath));
        fake_.reset();
    }

    void emit_signal(const QString& name, const QVariantList& arguments) {
        QDBusMessage signal =
            QDBusMessage::createSignal(QLatin1String(DesktopNotifier::kPath),
                                       QStringLiteral("org.freedesktop.Notifications"), name);
        signal.setArguments(arguments);
        QVERIFY(QDBusConnection(kBusName).send(signal));
    }

  private Q_SLOTS:
    void initTestCase() {
        if (bus_address_.isEmpty())
            QSKIP("needs a session bus: run it under dbus-run-session");
    }
    void init() {
        env_ = std::make_unique<MainTestEnv>();
        // The test environment cuts the bus off; this test's windows use the
        // private one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_address_);
        QVERIFY(QDBusConnection::sessionBus().isConnected());
    }
    void cleanup() {
        stop_service();
        env_.reset();
    }

    void newMessageIsADesktopNoticeWhoseShowBringsItUp() {
        QVERIFY(start_service());
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f->tray_notice().desktop_notifier().available());
        QVERIFY(f.get_sms() > 0);
        QVERIFY(link_watching(f));
        QVERIFY(deliver(QStringLiteral("Table for <two> & a dog?\r\nsecond line")));
        QTRY_VERIFY_WITH_TIMEOUT(!fake_->notices.empty(), 20000);
        QTest::qWait(300);
        QCOMPARE(fake_->notices.size(), size_t{1});
        const FakeNotifications::Notice& notice = fake_->notices.front();
        QCOMPARE(notice.app, QStringLiteral("Quillet"));
        QCOMPARE(notice.summary, QStringLiteral("+4930123456"));
        // The first line only, escaped for a service that reads markup.
        QCOMPARE(notice.body, QStringLiteral("Table for &lt;two&gt; &amp; a dog?"));
        QVERIFY(notice.actions.contains(QStringLiteral("show")));
        QCOMPARE(notice.hints.value(QStringLiteral("desktop-entry")).toString(),
                 QStringLiteral("org.quillet.Quillet"));
        // An icon the desktop can find: the theme's where it has the
        // program's (installed), else the picture's file (build folder).
        if (notice.icon == QStringLiteral("org.quillet.Quillet")) {
            QVERIFY(QIcon::hasThemeIcon(notice.icon));
        } else {
            const QUrl file(notice.icon);
            QVERIFY2(file.isLocalFile() && !QImage(file.toLocalFile()).isNull(),
                     qPrintable(notice.icon));
        }
        // No popup box besides; the sound as before.
        QVERIFY(f->tray_notice().new_message_notice() == nullptr);
        QCOMPARE(env_->sounds().size(), 1);

        // Another program's action changes nothing; ours shows the message.
        QTRY_VERIFY(f->tray_notice().desktop_notifier().notice_id() != 0);
        const uint id = f->tray_notice().desktop_notifier().notice_id();
        QVERIFY(!f->html_view().browser().toPlainText().contains(QStringLiteral("Table for")));
        emit_signal(QStringLiteral("ActionInvoked"), {id + 1000, QStringLiteral("show")});
        QTest::qWait(300);
        QVERIFY(!f->html_view().browser().toPlainText().contains(QStringLiteral("Table for")));
        emit_signal(QStringLiteral("ActionInvoked"), {id, QStringLiteral("show")});
        QTRY_VERIFY_WITH_TIMEOUT(f->html_view().browser().toPlainText().contains(
                                     QStringLiteral("Table for <two> & a dog?")),
                                 5000);
        QVERIFY(f->isVisible());
        QCOMPARE(&f->current_box(), &f->inbox());

        // A second arrival while the notice is up replaces it and counts.
        QVERIFY(deliver(QStringLiteral("And a cat")));
        QTRY_COMPARE_WITH_TIMEOUT(fake_->notices.size(), size_t{2}, 20000);
        QCOMPARE(fake_->notices.back().replaces, id);
        QCOMPARE(fake_->notices.back().body, QStringLiteral("And a cat"));
    }

    void withoutMarkupTheBodyIsPlainAndClosingResetsTheCount() {
        QVERIFY(start_service());
        fake_->capabilities = {QStringLiteral("actions"), QStringLiteral("body")};
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        QVERIFY(link_watching(f));
        QVERIFY(deliver(QStringLiteral("Fish & chips")));
        QTRY_VERIFY_WITH_TIMEOUT(f->tray_notice().desktop_notifier().notice_id() != 0, 20000);
        QCOMPARE(fake_->notices.front().body, QStringLiteral("Fish & chips"));
        emit_signal(QStringLiteral("NotificationClosed"),
                    {f->tray_notice().desktop_notifier().notice_id(), 2u});
        QTRY_COMPARE(f->tray_notice().desktop_notifier().notice_id(), 0u);
        QVERIFY(deliver(QStringLiteral("Later")));
        QTRY_COMPARE_WITH_TIMEOUT(fake_->notices.size(), size_t{2}, 20000);
        // A new notice, not "2 new messages".
        QCOMPARE(fake_->notices.back().replaces, 0u);
        QCOMPARE(fake_->notices.back().summary, QStringLiteral("+4930123456"));
    }

    // A service that lets its popup expire without NotificationClosed (as
    // notification-daemon does): arrivals count on until the user works in
    // the window, then the next notice names its sender again.
    void workingInTheWindowStartsTheCountAgain() {
        QVERIFY(start_service());
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        QVERIFY(link_watching(f));
        QVERIFY(deliver(QStringLiteral("One")));
        QTRY_COMPARE_WITH_TIMEOUT(fake_->notices.size(), size_t{1}, 20000);
        QVERIFY(deliver(QStringLiteral("Two")));
        QTRY_COMPARE_WITH_TIMEOUT(fake_->notices.size(), size_t{2}, 20000);
        QCOMPARE(fake_->notices.back().summary,
                 QStringLiteral("2 new messages, the latest from +4930123456"));
        QTest::mouseClick(f->list_view().viewport(), Qt::LeftButton, {}, QPoint(20, 5));
        QVERIFY(deliver(QStringLiteral("Three")));
        QTRY_COMPARE_WITH_TIMEOUT(fake_->notices.size(), size_t{3}, 20000);
        QCOMPARE(fake_->notices.back().summary, QStringLiteral("+4930123456"));
        QCOMPARE(fake_->notices.back().body, QStringLiteral("Three"));
    }

    void withoutTheServiceThePopupBoxStays() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        QVERIFY(link_watching(f));
        QVERIFY(deliver(QStringLiteral("Boxed")));
        QTRY_VERIFY_WITH_TIMEOUT(f->tray_notice().new_message_notice() != nullptr, 20000);
        QVERIFY(f->tray_notice().new_message_notice()->text().contains(
            QStringLiteral("From +4930123456")));
        QVERIFY(!f->tray_notice().desktop_notifier().available());  // resting after the refusal
    }

    void popupOffMeansNoNoticeAtAll() {
        QVERIFY(start_service());
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        f->options().popup_message = 0;
        QVERIFY(f.get_sms() > 0);
        QVERIFY(link_watching(f));
        QSignalSpy imports(f.frame.get(), &MainFrame::getSmsFinished);
        QVERIFY(deliver(QStringLiteral("Quiet")));
        QTRY_COMPARE_WITH_TIMEOUT(imports.count(), 1, 20000);
        QTest::qWait(300);
        QVERIFY(fake_->notices.empty());
        QVERIFY(f->tray_notice().new_message_notice() == nullptr);
    }
};

QTEST_MAIN(MainNoticeTest)
#include "main_notice_test.moc"
