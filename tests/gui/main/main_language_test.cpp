// The program in the desktop's language: the German translation built into
// the program loads for a German desktop and the windows show their texts
// in German; a language Quillet has no translation for keeps the English
// texts.
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include "desktop/app/translation.h"
#include "desktop/views/options_window.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

QStringList menu_titles(MainFrame& frame) {
    QStringList titles;
    for (QAction* menu : frame.menuBar()->actions())
        titles << menu->text();
    return titles;
}

QString action_text(MainFrame& frame, const char* name) {
    return frame.findChild<QAction*>(QLatin1String(name))->text();
}

}  // namespace

class MainLanguageTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() { env_.reset(); }

    void aGermanDesktopGetsGermanWindows() {
        const Translation german = install_translation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(german);
        RunningFrame f;
        QCOMPARE(menu_titles(*f.frame),
                 (QStringList{QStringLiteral("&Datei"), QStringLiteral("&SMS"),
                              QStringLiteral("&Ansicht"), QStringLiteral("&Hilfe")}));
        QCOMPARE(action_text(*f.frame, "getSmsAction"), QStringLiteral("SMS &abrufen"));
        QCOMPARE(action_text(*f.frame, "exitAction"), QStringLiteral("&Beenden"));
        // The shortcuts stay as the desktop writes them.
        QCOMPARE(f->findChild<QAction*>(QStringLiteral("getSmsAction"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_G));
        QCOMPARE(action_text(*f.frame, "toolGetSms"), QStringLiteral("SMS abrufen"));
        QCOMPARE(f->status_text(), QStringLiteral("Bereit"));
        QCOMPARE(f->tree_view().topLevelItem(0)->text(0), QStringLiteral("Posteingang"));
        QCOMPARE(f->list_view().model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Nachricht"));
        QCOMPARE(f->options_window()->windowTitle(), QStringLiteral("Optionen"));
    }

    void aLanguageWithoutTranslationKeepsTheEnglishTexts() {
        const Translation french = install_translation(QLocale(QLocale::French, QLocale::France));
        QVERIFY(!french);
        RunningFrame f;
        QCOMPARE(menu_titles(*f.frame).first(), QStringLiteral("&File"));
        QCOMPARE(action_text(*f.frame, "getSmsAction"), QStringLiteral("&Get SMSes"));
        QCOMPARE(f->status_text(), QStringLiteral("Ready"));
    }
};

QTEST_MAIN(MainLanguageTest)
#include "main_language_test.moc"
