// The real quillet program, started as a process from a copy of the program
// folder (so it writes its files there): one instance per user, and
// SIGTERM and SIGINT ending it as File > Exit does.
#include <signal.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "main_test_env.h"

using namespace quillet::testing;

namespace {

bool copy_folder(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (!QDir().mkpath(QFileInfo(target).path()))
            return false;
        if (!QFile::copy(source, target))
            return false;
        QFile::setPermissions(target, QFile::permissions(source));
    }
    return true;
}

}  // namespace

class MainProgramTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;
    QString program_;

    QString program_file(const QString& name) const { return program_ + QLatin1Char('/') + name; }

    void start(QProcess& process, const QStringList& args = {}) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // The one-instance guard lives in the temporary folder: one per test.
        environment.insert(QStringLiteral("TMPDIR"), env_->temp_path(QStringLiteral("tmp")));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(program_file(QStringLiteral("quillet")), args);
    }

    // Started, with the window up: the log says so.
    bool wait_until_started() const {
        return QTest::qWaitFor([this] { return read_log().contains("Quillet! started"); }, 20000);
    }

    QByteArray read_log() const {
        return MainTestEnv::read_file(program_file(QStringLiteral("logfile.txt")));
    }

    void ends_and_saves_on(int signal_number) {
        QProcess quillet;
        start(quillet, {QStringLiteral("--log")});
        QVERIFY(wait_until_started());
        QVERIFY(!QFile::exists(program_file(QStringLiteral("inbox1.sms"))));
        ::kill(static_cast<pid_t>(quillet.processId()), signal_number);
        QVERIFY(quillet.waitForFinished(20000));
        QCOMPARE(quillet.exitStatus(), QProcess::NormalExit);
        QCOMPARE(quillet.exitCode(), 0);
        for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms"}) {
            const QByteArray bytes = MainTestEnv::read_file(program_file(QLatin1String(name)));
            QCOMPARE(bytes.size(), 32);
            QVERIFY(bytes.startsWith("quillet version 1.10"));
        }
        QVERIFY(MainTestEnv::read_file(program_file(QStringLiteral("options.cfg")))
                    .contains("popup_message"));
        QVERIFY(read_log().endsWith("Quillet Ended\r\n===\r\n"));
    }

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<MainTestEnv>();
        program_ = env_->temp_path(QStringLiteral("program"));
        QVERIFY(QDir().mkpath(env_->temp_path(QStringLiteral("tmp"))));
        QVERIFY(copy_folder(QStringLiteral(QUILLET_PROGRAM_DIR), program_));
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

    void sigtermEndsItAsExitDoes() { ends_and_saves_on(SIGTERM); }

    void sigintEndsItAsExitDoes() { ends_and_saves_on(SIGINT); }

    void withoutTheLogOptionNoLogIsWritten() {
        QProcess quillet;
        start(quillet);
        // The box files appear only at the end; wait for the window instead.
        QTest::qWait(1500);
        QCOMPARE(quillet.state(), QProcess::Running);
        quillet.terminate();
        QVERIFY(quillet.waitForFinished(20000));
        QVERIFY(QFile::exists(program_file(QStringLiteral("inbox1.sms"))));
        QVERIFY(!QFile::exists(program_file(QStringLiteral("logfile.txt"))));
    }

    void unknownOptionIsRefused() {
        QProcess quillet;
        start(quillet, {QStringLiteral("--no-such-option")});
        QVERIFY(quillet.waitForFinished(20000));
        QVERIFY(quillet.exitCode() != 0);
        QVERIFY(!QFile::exists(program_file(QStringLiteral("inbox1.sms"))));
    }
};

QTEST_MAIN(MainProgramTest)
#include "main_program_test.moc"
