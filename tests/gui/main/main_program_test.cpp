// The real quillet program, started as a process from a copy of the program
// folder: where it keeps its files (the copy itself when it is portable,
// else $XDG_DATA_HOME/quillet, with an earlier run's files moved there once),
// one instance per user, and SIGTERM and SIGINT ending it as File > Exit does.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "desktop/store/box_file.h"
#include "main_test_env.h"

using namespace quillet::testing;

class MainProgramTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;
    QString program_;
    // Where the program keeps its files: the copy while it is portable.
    QString data_;

    QString program_file(const QString& name) const { return program_ + QLatin1Char('/') + name; }
    QString data_file(const QString& name) const { return data_ + QLatin1Char('/') + name; }
    QString xdg_data_folder() const { return env_->xdg_data_home() + QStringLiteral("/quillet"); }

    void make_not_portable() {
        QVERIFY(QFile::remove(program_file(QStringLiteral("portable"))));
        data_ = xdg_data_folder();
    }

    // `runtime`: the user's runtime folder (where the one-instance guard
    // lives), one per test; empty: none set, the guard goes to the
    // temporary folder.
    void start(QProcess& process, const QStringList& args = {},
               const QString& runtime = QStringLiteral("run")) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), env_->xdg_data_home());
        environment.insert(QStringLiteral("TMPDIR"), env_->temp_path(QStringLiteral("tmp")));
        environment.insert(QStringLiteral("HOME"), env_->temp_path(QStringLiteral("home")));
        if (runtime.isEmpty())
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        else
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), env_->temp_path(runtime));
        process.setProcessEnvironment(environment);
        process.start(program_file(QStringLiteral("quillet")), args);
    }

    // Started, with the window up: the log says so.
    bool wait_until_started() const {
        return QTest::qWaitFor([this] { return read_log().contains("Quillet! started"); }, 20000);
    }

    QByteArray read_log() const {
        return MainTestEnv::read_file(data_file(QStringLiteral("logfile.txt")));
    }

    void ends_and_saves_on(int signal_number) {
        QProcess quillet;
        start(quillet, {QStringLiteral("--log")});
        QVERIFY(wait_until_started());
        QVERIFY(!QFile::exists(data_file(QStringLiteral("inbox1.sms"))));
        ::kill(static_cast<pid_t>(quillet.processId()), signal_number);
        QVERIFY(quillet.waitForFinished(20000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms"}) {
            const QByteArray bytes = MainTestEnv::read_file(data_file(QLatin1String(name)));
            QCOMPARE(bytes.size(), 32);
            QVERIFY(bytes.startsWith("quillet version 1.10"));
        }
        QVERIFY(MainTestEnv::read_file(data_file(QStringLiteral("options.cfg")))
                    .contains("popup_message"));
        QVERIFY(read_log().endsWith("Quillet Ended\r\n===\r\n"));
    }

    // Started with --log (its log then holds `run` starts) and ended as
    // File > Exit does.
    void run_once(int run) {
        QProcess quillet;
        start(quillet, {QStringLiteral("--log")});
        QVERIFY(QTest::qWaitFor([this, run] { return read_log().count("Quillet! started") == run; },
                                20000));
        quillet.terminate();
        QVERIFY(quillet.waitForFinished(20000));
        QCOMPARE(quillet.exitCode(), 0);
    }

  private Q_SLOTS:
    // Help and version need no display: printed, exit 0, no window system.
    void helpAndVersionWithoutADisplay() {
        for (const QString& option : {QStringLiteral("--help"), QStringLiteral("--version")}) {
            QProcess quillet;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(QLatin1String(name));
            quillet.setProcessEnvironment(environment);
            quillet.start(program_file(QStringLiteral("quillet")), {option});
            QVERIFY(quillet.waitForFinished(20000));
            QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
            QCOMPARE(quillet.exitCode(), 0);
            const QByteArray out = quillet.readAllStandardOutput();
            QVERIFY2(out.contains(option == u"--help" ? "--log" : "1.12"), out.constData());
        }
    }

    void init() {
        env_ = std::make_unique<MainTestEnv>();
        program_ = env_->temp_path(QStringLiteral("program"));
        data_ = program_;
        QVERIFY(QDir().mkpath(env_->temp_path(QStringLiteral("tmp"))));
        QVERIFY(QDir().mkpath(env_->temp_path(QStringLiteral("run"))));
        QFile::setPermissions(env_->temp_path(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(copy_program_folder(program_, true));
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
    }

    void cleanup() { env_.reset(); }

    void secondStartRaisesTheFirstAndEnds() {
        QProcess first;
        start(first, {QStringLiteral("--log")});
        QVERIFY(wait_until_started());
        QProcess second;
        start(second);
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        // It says why it ends.
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("Quillet is already running (process %1). Its "
                                              "window was brought to the front.")
                                   .arg(first.processId())),
                 qPrintable(said));
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(QTest::qWaitFor(
            [this] { return read_log().contains("second start: window brought to the front"); },
            10000));
        // The second start wrote nothing of its own.
        QCOMPARE(read_log().count("Quillet! started"), 1);
        first.terminate();
        QVERIFY(first.waitForFinished(20000));
        // With the first one gone, a start runs as the first one.
        QProcess third;
        start(third, {QStringLiteral("--log")});
        QVERIFY(
            QTest::qWaitFor([this] { return read_log().count("Quillet! started") == 2; }, 20000));
        QCOMPARE(third.state(), QProcess::Running);
        third.terminate();
        QVERIFY(third.waitForFinished(20000));
    }

    // Without a runtime folder the guard goes to a private folder in the
    // shared temporary folder. What another user planted there, or a lock
    // file of the old name beside it, neither keeps Quillet from starting
    // nor turns the guard off: it moves to the home folder.
    void guardPlantedInTheSharedTemporaryFolderStopsNothing() {
        const QString shared = env_->temp_path(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(env_->temp_path(QStringLiteral("home"))));
        QFile old_lock(shared + QStringLiteral("/QuilletMutexStringStuff-root.lock"));
        QVERIFY(old_lock.open(QIODevice::WriteOnly));
        old_lock.close();
        const QString own = shared + QStringLiteral("/quillet-%1").arg(::geteuid());
        QVERIFY(QDir().mkpath(own));
        QFile planted(own + QStringLiteral("/QuilletMutexStringStuff.lock"));
        QVERIFY(planted.open(QIODevice::WriteOnly));
        planted.close();
        // Not the user's own: another user's where the tests run as root,
        // else open to every user.
        const bool root = ::geteuid() == 0;
        if (root) {
            QCOMPARE(::chown(QFile::encodeName(own).constData(), 65534, 65534), 0);
        } else {
            QCOMPARE(::chmod(QFile::encodeName(own).constData(), 0777), 0);
        }
        QProcess quillet;
        start(quillet, {QStringLiteral("--log")}, QString());
        QVERIFY(wait_until_started());
        QCOMPARE(quillet.state(), QProcess::Running);
        QVERIFY(QFile::exists(env_->temp_path(QStringLiteral("home")) +
                              QStringLiteral("/.quillet-runtime/QuilletMutexStringStuff.lock")));
        QProcess second;
        start(second, {}, QString());
        QVERIFY(second.waitForFinished(20000));
        QVERIFY(second.readAllStandardError().contains("Quillet is already running"));
        quillet.terminate();
        QVERIFY(quillet.waitForFinished(20000));
    }

    void guardInAPrivateTemporaryFolderStillAllowsOneOnly() {
        QProcess first;
        start(first, {QStringLiteral("--log")}, QString());
        QVERIFY(wait_until_started());
        const QString own =
            env_->temp_path(QStringLiteral("tmp")) + QStringLiteral("/quillet-%1").arg(::geteuid());
        QCOMPARE(QFileInfo(own).permissions() &
                     (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
                 QFileDevice::Permissions());
        QVERIFY(QFile::exists(own + QStringLiteral("/QuilletMutexStringStuff.lock")));
        QProcess second;
        start(second, {}, QString());
        QVERIFY(second.waitForFinished(20000));
        QVERIFY(second.readAllStandardError().contains("Quillet is already running"));
        first.terminate();
        QVERIFY(first.waitForFinished(20000));
    }

    void sigtermEndsItAsExitDoes() { ends_and_saves_on(SIGTERM); }

    // A logout while start-up still shows the box about a damaged Inbox:
    // the program ends at once, and the boxes it had not read yet keep
    // every message.
    void sigtermDuringAStartUpBoxEndsItAndKeepsTheUnreadBoxes() {
        QFile junk(data_file(QStringLiteral("inbox1.sms")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("quillet version 9.99 and then some");
        junk.close();
        std::vector<quillet::SmsMessage> sent(5);
        for (size_t i = 0; i < sent.size(); ++i) {
            sent[i].set_text(u"sent before the logout");
            sent[i].set_number_raw("+15550100");
            sent[i].set_time(quillet::kTicksPerSecond * (13'000'000'000 + static_cast<int64_t>(i)));
        }
        const std::vector<uint8_t> bytes = quillet::encode_box_file(-1, 0, sent);
        QFile sent_file(data_file(QStringLiteral("sent1.sms")));
        QVERIFY(sent_file.open(QIODevice::WriteOnly));
        sent_file.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qint64>(bytes.size()));
        sent_file.close();

        QProcess quillet;
        start(quillet, {QStringLiteral("--log")});
        // The box about the Inbox is open: start-up waits on it.
        QVERIFY(QTest::qWaitFor(
            [this] { return QFile::exists(data_file(QStringLiteral("logfile.txt"))); }, 20000));
        QTest::qWait(500);
        QCOMPARE(quillet.state(), QProcess::Running);
        QVERIFY(!read_log().contains("Quillet Ended"));
        ::kill(static_cast<pid_t>(quillet.processId()), SIGTERM);
        QVERIFY(quillet.waitForFinished(5000));
        QCOMPARE(quillet.exitCode(), 0);
        const QByteArray written(reinterpret_cast<const char*>(bytes.data()),
                                 static_cast<qsizetype>(bytes.size()));
        QCOMPARE(MainTestEnv::read_file(data_file(QStringLiteral("sent1.sms"))), written);
        QVERIFY(!QFile::exists(data_file(QStringLiteral("deleted1.sms"))));
    }

    void sigintEndsItAsExitDoes() { ends_and_saves_on(SIGINT); }

    void withoutTheLogOptionNoLogIsWritten() {
        QProcess quillet;
        start(quillet);
        // The box files appear only at the end; wait for the window instead.
        QTest::qWait(1500);
        QCOMPARE(quillet.state(), QProcess::Running);
        quillet.terminate();
        QVERIFY(quillet.waitForFinished(20000));
        QVERIFY(QFile::exists(data_file(QStringLiteral("inbox1.sms"))));
        QVERIFY(!QFile::exists(data_file(QStringLiteral("logfile.txt"))));
    }

    void withoutPortableItKeepsItsFilesInXdgDataHome() {
        make_not_portable();
        ends_and_saves_on(SIGTERM);
        for (const char* name : {"inbox1.sms", "options.cfg", "logfile.txt"})
            QVERIFY2(!QFile::exists(program_file(QLatin1String(name))), name);
    }

    void anEarlierRunsFilesMoveOutOfTheProgramFolderOnce() {
        run_once(1);  // portable: its files are in the program folder
        const QByteArray inbox = MainTestEnv::read_file(program_file(QStringLiteral("inbox1.sms")));
        QCOMPARE(inbox.size(), 32);
        make_not_portable();
        // A file of the same name already in the data folder stays as it is.
        QVERIFY(QDir().mkpath(data_));
        QFile clash(data_file(QStringLiteral("options.cfg")));
        QVERIFY(clash.open(QIODevice::WriteOnly));
        clash.write("clash_marker = 1\r\n");
        clash.close();

        run_once(2);
        const QByteArray log = read_log();
        QVERIFY2(log.contains("Your messages were moved to " + data_.toUtf8() + "; left in " +
                              program_.toUtf8() + ", as " + data_.toUtf8() +
                              " has its own: options.cfg."),
                 log.constData());
        // The earlier run's log moved too: both runs are in it.
        for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms", "logfile.txt"})
            QVERIFY2(!QFile::exists(program_file(QLatin1String(name))), name);
        QCOMPARE(MainTestEnv::read_file(data_file(QStringLiteral("inbox1.sms"))), inbox);
        QVERIFY(QFile::exists(program_file(QStringLiteral("options.cfg"))));
        QVERIFY(MainTestEnv::read_file(data_file(QStringLiteral("options.cfg")))
                    .contains("clash_marker"));
        QVERIFY(!MainTestEnv::read_file(program_file(QStringLiteral("options.cfg")))
                     .contains("clash_marker"));

        // Once only: the next start moves nothing and says nothing of it.
        run_once(3);
        QCOMPARE(read_log().count("Your messages were moved"), 1);
    }

    void unknownOptionIsRefused() {
        QProcess quillet;
        start(quillet, {QStringLiteral("--no-such-option")});
        QVERIFY(quillet.waitForFinished(20000));
        QVERIFY(quillet.exitCode() != 0);
        QVERIFY(!QFile::exists(data_file(QStringLiteral("inbox1.sms"))));
    }
};

QTEST_MAIN(MainProgramTest)
#include "main_program_test.moc"
