// The real quillet program at logout while the session bus has stopped
// answering (a desktop tearing itself down): a new message has just sent a
// notice into the stalled bus, then SIGTERM. The program saves the message
// and ends by itself, at once, not by its watchdog.
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTest>

#include "main_test_env.h"

using namespace quillet::testing;

class MainLogoutTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;
    QString program_;
    QProcess bus_;

    QString data_file(const QString& name) const { return program_ + QLatin1Char('/') + name; }
    QByteArray read_log() const {
        return MainTestEnv::read_file(data_file(QStringLiteral("logfile.txt")));
    }
    bool log_shows(const char* line, int wait_ms) const {
        return QTest::qWaitFor([&] { return read_log().contains(line); }, wait_ms);
    }

    // A session bus of the test's own; its address.
    QByteArray start_bus() {
        bus_.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
        if (!bus_.waitForStarted(10000) || !bus_.waitForReadyRead(10000))
            return {};
        return bus_.readLine().trimmed();
    }

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<MainTestEnv>();
        program_ = env_->temp_path(QStringLiteral("program"));
        QVERIFY(copy_program_folder(program_, true));
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
    }

    void cleanup() {
        if (bus_.state() != QProcess::NotRunning) {
            ::kill(static_cast<pid_t>(bus_.processId()), SIGCONT);
            bus_.kill();
            bus_.waitForFinished(5000);
        }
        env_.reset();
    }

    void aStalledSessionBusDoesNotHoldTheLogout() {
        const QByteArray address = start_bus();
        QVERIFY(!address.isEmpty());
        QProcess quillet;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(address));
        quillet.setProcessEnvironment(environment);
        quillet.start(data_file(QStringLiteral("quillet")), {QStringLiteral("--log")});
        // Linked to the phone: the sentinel has asked it once.
        QVERIFY(log_shows("SENTINEL: SentinelTick() end", 30000));

        QCOMPARE(::kill(static_cast<pid_t>(bus_.processId()), SIGSTOP), 0);
        QVERIFY(env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                             QStringLiteral("+4930111222"), QStringLiteral("--text"),
                             QStringLiteral("late news")}));
        QVERIFY(log_shows("new message notice sent to the desktop", 30000));

        ::kill(static_cast<pid_t>(quillet.processId()), SIGTERM);
        // Well under the watchdog's grace, with room for a slow machine.
        QVERIFY2(quillet.waitForFinished(6000), "still running 6 s after SIGTERM");
        const QByteArray errors = quillet.readAllStandardError();
        QVERIFY2(!errors.contains("did not end within"), errors.constData());
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        QVERIFY(read_log().endsWith("Quillet Ended\r\n===\r\n"));
        const QString text = QStringLiteral("late news");
        const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        QVERIFY(MainTestEnv::read_file(data_file(QStringLiteral("inbox1.sms"))).contains(utf16));
    }
};

QTEST_MAIN(MainLogoutTest)
#include "main_logout_test.moc"
