// The tray icon and the new-message notification, with the real link and
// agent: a message delivered on the emulated phone while the window runs.
#include <QMessageBox>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>

#include "desktop/store/config_list.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

void minimise(MainFrame& frame) {
    frame.showMinimized();
    QCoreApplication::processEvents();  // the move to the tray is queued
}

}  // namespace

class MainTrayTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

    bool deliver(const QString& text) {
        return env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                            QStringLiteral("+4930123456"), QStringLiteral("--text"), text});
    }

    // Waits until the keep-alive thread has seen the phone's newest message.
    static bool link_watching(RunningFrame& f) {
        return QTest::qWaitFor([&f] { return f.link->tick_count() >= 2; }, 20000);
    }

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() { QCOMPARE(end_test_env(env_), 0); }

    void minimisingWithoutTheTraySettingStaysOnTheTaskbar() {
        RunningFrame f;
        f->options().minimize_to_tray = 0;
        minimise(*f.frame);
        QVERIFY(f->isMinimized());
        QVERIFY(f->isVisible());
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(!f->tray_notice().tray_icon().isVisible());
    }

    void minimisingGoesToTheTrayAndAClickBringsItBack() {
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        f->setGeometry(120, 80, 900, 640);
        const QRect before = f->geometry();
        minimise(*f.frame);
        QVERIFY(f->tray_notice().in_tray());
        QVERIFY(!f->isVisible());
        QVERIFY(f->tray_notice().tray_icon().isVisible());
        QVERIFY(!f->windowState().testFlag(Qt::WindowMinimized));
        // Other clicks on the icon do nothing.
        Q_EMIT f->tray_notice().tray_icon().activated(QSystemTrayIcon::Context);
        Q_EMIT f->tray_notice().tray_icon().activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(f->tray_notice().in_tray());
        Q_EMIT f->tray_notice().tray_icon().activated(QSystemTrayIcon::Trigger);
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(f->isVisible());
        QVERIFY(!f->isMinimized());
        QVERIFY(!f->tray_notice().tray_icon().isVisible());
        QCOMPARE(f->geometry(), before);
    }

    void maximisedWindowComesBackFromTheTrayRestored() {
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        f->showMaximized();
        f->tray_notice().hide_to_tray();
        f->tray_notice().bring_to_front();
        QVERIFY(f->isVisible());
        QVERIFY(!f->isMaximized());
    }

    void traySettingSwitchedOffWhileInTheTray() {
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        f->tray_notice().hide_to_tray();
        f->options().minimize_to_tray = 0;
        f->tray_notice().bring_to_front();
        // Shown again, but the icon stays until the setting is back on.
        QVERIFY(f->isVisible());
        QVERIFY(f->tray_notice().in_tray());
        QVERIFY(f->tray_notice().tray_icon().isVisible());
        f->options().minimize_to_tray = 1;
        f->tray_notice().bring_to_front();
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(!f->tray_notice().tray_icon().isVisible());
    }

    void startingMinimisedToTheTray() {
        ConfigList settings;
        settings.set_bool("minimize_on_open", true);
        settings.set_bool("minimize_to_tray", true);
        QVERIFY(settings.save_config("options.cfg").ok());
        RunningFrame f;
        QVERIFY(f->tray_notice().in_tray());
        QVERIFY(!f->isVisible());
        QVERIFY(f->tray_notice().tray_icon().isVisible());
    }

    void startingMinimisedToTheTaskbar() {
        ConfigList settings;
        settings.set_bool("minimize_on_open", true);
        QVERIFY(settings.save_config("options.cfg").ok());
        RunningFrame f;
        QVERIFY(f->isMinimized());
        QVERIFY(!f->tray_notice().in_tray());
    }

    void newMessageGetsSmsOncePopsUpAndPlaysTheSound() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        QVERIFY(f.get_sms() > 0);
        f->tray_notice().hide_to_tray();
        QVERIFY(link_watching(f));
        QSignalSpy imports(f.frame.get(), &MainFrame::getSmsFinished);
        const size_t before = f->inbox().count();
        QVERIFY(deliver(QStringLiteral("A new message while the window is in the tray")));
        QTRY_VERIFY_WITH_TIMEOUT(f->tray_notice().new_message_notice() != nullptr, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(imports.count(), 1, 20000);
        // A while longer: the keep-alive ticks go on, and no second import comes.
        QTest::qWait(1500);
        QCOMPARE(imports.count(), 1);
        QCOMPARE(imports.at(0).at(0).toInt(), 1);
        QCOMPARE(f->inbox().count(), before + 1);

        QVERIFY(env_->message_boxes().empty());
        const QMessageBox* notice = f->tray_notice().new_message_notice();
        QCOMPARE(notice->windowTitle(), QStringLiteral("Quillet"));
        QCOMPARE(notice->icon(), QMessageBox::NoIcon);
        QCOMPARE(notice->text(), QString::fromStdU16String(f->options().popup_message_text) +
                                     QStringLiteral("\n\nFrom +4930123456"));
        QCOMPARE(env_->sounds(),
                 QStringList{QString::fromStdU16String(f->options().sound_filename)});
        QVERIFY(f->options().sound_filename.ends_with(u"templates/voice/message4you.wav"));
        // Brought out of the tray.
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(f->isVisible());
    }

    void newMessageWithoutSoundOrPopupOnlyImports() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        f->options().sound_notification = 0;
        f->options().popup_message = 0;
        QVERIFY(f.get_sms() > 0);
        f->tray_notice().hide_to_tray();
        QVERIFY(link_watching(f));
        QSignalSpy imports(f.frame.get(), &MainFrame::getSmsFinished);
        QVERIFY(deliver(QStringLiteral("Quietly imported")));
        QTRY_COMPARE_WITH_TIMEOUT(imports.count(), 1, 20000);
        QCOMPARE(imports.at(0).at(0).toInt(), 1);
        QVERIFY(f->tray_notice().in_tray());
        QVERIFY(!f->isVisible());
        QVERIFY(env_->message_boxes().empty());
        QVERIFY(f->tray_notice().new_message_notice() == nullptr);
        QVERIFY(env_->sounds().isEmpty());
    }

    void noNewMessageNoNotification() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QSignalSpy imports(f.frame.get(), &MainFrame::getSmsFinished);
        QVERIFY(link_watching(f));
        QTest::qWait(800);
        QCOMPARE(imports.count(), 0);
        QVERIFY(env_->message_boxes().empty());
    }

    void notificationAfterTheWindowIsGoneIsDropped() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(link_watching(f));
        f.frame.reset();  // the link and its keep-alive thread live on
        QVERIFY(deliver(QStringLiteral("Nobody is listening")));
        QTest::qWait(1000);
        QVERIFY(env_->message_boxes().empty());
    }
};

QTEST_MAIN(MainTrayTest)
#include "main_tray_test.moc"
