// The program in the desktop's language: the German translation built into
// the program loads for a German desktop and the windows show their texts
// in German, also the texts that come from the link and the data files
// (English in the engine) and the message boxes; a language Quillet has no
// translation for keeps the English texts, counted in English.
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>
#include <vector>

#include "desktop/app/translation.h"
#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/composer/recipient_list.h"
#include "desktop/store/contact_list.h"
#include "desktop/store/data_move.h"
#include "desktop/store/options.h"
#include "desktop/views/about_box.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/engine_texts.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/options_window.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "desktop/views/window_parts.h"
#include "main_test_env.h"
#include "tests/gui/screen_helpers.h"

Q_DECLARE_METATYPE(quillet::EngineStatus)

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

    void deliver_two() {
        for (const char* text : {"One more", "And another"}) {
            QVERIFY(env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                                 QStringLiteral("+4917012345"), QStringLiteral("--text"),
                                 QLatin1String(text)}));
        }
    }

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
        QCOMPARE(action_text(*f.frame, "viewInboxAction"), QStringLiteral("&Posteingang"));
        QCOMPARE(action_text(*f.frame, "viewConversationsAction"),
                 QStringLiteral("&Unterhaltungen"));
        QCOMPARE(f->status_text(), QStringLiteral("Bereit"));
        QCOMPARE(f->tree_view().topLevelItem(0)->text(0), QStringLiteral("Posteingang"));
        QCOMPARE(f->list_view().model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Nachricht"));
        QCOMPARE(f->options_window()->windowTitle(), QStringLiteral("Optionen"));
        // The conversations' German headers are not cut short.
        FlatListView& conversations = f->list_pane().conversation_view();
        QCOMPARE(conversations.model()->headerData(3, Qt::Horizontal).toString(),
                 QStringLiteral("Nachrichten"));
        for (int c = 0; c < conversations.header()->count(); ++c)
            QVERIFY(conversations.columnWidth(c) >= conversations.header()->sectionSizeHint(c));
        // The composer's placeholder row and counter, and the idle page.
        NewSmsWindow* composer = f->new_sms();
        QVERIFY(composer);
        QCOMPARE(composer->form().recipient_list().model()->index(0, 0).data().toString(),
                 QStringLiteral("(neue Nummer)"));
        const QList<QLabel*> labels = composer->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(),
                            [](const QLabel* l) { return l->text() == u"Zeichen"_qs; }));
        QTRY_VERIFY(f->html_view().browser().toPlainText().contains(
            u"Wählen Sie oben in der Liste eine Nachricht"_qs));
        const AboutBox about;
        QVERIFY2(about.findChild<QLabel*>(QStringLiteral("aboutText"))->text().contains(u"Liest"),
                 qPrintable(about.findChild<QLabel*>(QStringLiteral("aboutText"))->text()));
    }

    // What the engine reports as a value: the English it says (the command
    // line's and the log's), the same on a desktop without the translation,
    // and in German with the names, numbers and paths it gave carried over
    // as they were.
    void typedNoticesInEitherLanguage() {
        using Kind = ORX_Exception::Kind;
        const ORX_Exception in_use(Kind::PhoneInUse, u"quillet-cli get (pid 7)");
        const ORX_Exception port(u"the link's port 5678 is held by another program (ann)");
        const std::vector<ORX_Exception> failures{ORX_Exception(Kind::NotSent, u"+49 %1"),
                                                  ORX_Exception::not_connected(nullptr),
                                                  ORX_Exception::not_connected(&port),
                                                  ORX_Exception(Kind::LinkBusy, u""),
                                                  in_use,
                                                  ORX_Exception::not_connected(&in_use),
                                                  ORX_Exception("receive_data socket error")};
        std::vector<ImportContactsResult> imports(2);
        imports[0].status = ImportContactsResult::Status::NoContacts;
        imports[1].status = ImportContactsResult::Status::LinkFailed;
        imports[1].link_failure = failures[3];
        using Move = DataMoveReport::Outcome;
        std::vector<DataMoveReport> moves;
        for (Move outcome : {Move::LeftBehind, Move::Failed, Move::Moved, Move::Moved})
            moves.push_back({outcome, "/p", "/d/q", {}, {}, "%2 disk full"});
        moves[3].clashed = {"inbox1.sms", "sent1.sms"};
        const std::vector<std::u16string> popups{std::u16string(kDefaultPopupText), u"Post %1!"};
        const auto shown = [&] {
            QStringList texts;
            for (const ORX_Exception& failure : failures)
                texts << shown_link_failure(failure);
            for (const ImportContactsResult& import : imports)
                texts << shown_contacts_import(import);
            for (const DataMoveReport& move : moves)
                texts << shown_data_move(move);
            for (const std::u16string& popup : popups)
                texts << shown_popup_text(popup);
            return texts;
        };
        QStringList engine;
        for (const ORX_Exception& failure : failures)
            engine << to_qstring(failure.message());
        for (const ImportContactsResult& import : imports)
            engine << to_qstring(import.message());
        for (const DataMoveReport& move : moves)
            engine << to_qstring(data_move_notice(move));
        for (const std::u16string& popup : popups)
            engine << to_qstring(popup);

        const QStringList english{
            u"OnDeviceError: could not send sms to +49 %1"_qs,
            u"Could not connect"_qs,
            u"Could not connect: the link's port 5678 is held by another program (ann)"_qs,
            u"Could not connect: the link is busy"_qs,
            u"The phone is in use by quillet-cli get (pid 7); try again when it has finished."_qs,
            u"Could not connect: The phone is in use by quillet-cli get (pid 7); try again when "
            u"it has finished."_qs,
            u"receive_data socket error"_qs,
            u"No contacts available. Please Check your ActiveSync connection."_qs,
            u"No contacts available. Please Check your ActiveSync connection.\ndetails:\nCould "
            u"not connect: the link is busy"_qs,
            u"Box files of an earlier run remain in /p; your messages are kept in /d/q."_qs,
            u"Your messages could not be moved from /p to /d/q (%2 disk full); they are used "
            u"where they are for now."_qs,
            u"Your messages were moved from /p to /d/q."_qs,
            u"Your messages were moved to /d/q; left in /p, as /d/q has its own: inbox1.sms "
            u"sent1.sms."_qs,
            u"You have received a new SMS message."_qs,
            u"Post %1!"_qs};
        QCOMPARE(engine, english);
        QCOMPARE(shown(), english);

        const Translation translation =
            install_translation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(translation);
        const QStringList german{
            u"Fehler auf dem Telefon: Die SMS an +49 %1 konnte nicht gesendet werden"_qs,
            u"Keine Verbindung zum Telefon"_qs,
            u"Keine Verbindung zum Telefon: the link's port 5678 is held by another program "
            u"(ann)"_qs,
            u"Keine Verbindung zum Telefon: Die Verbindung ist gerade belegt"_qs,
            u"Das Telefon wird gerade von quillet-cli get (pid 7) verwendet; versuchen Sie es "
            u"erneut, wenn es fertig ist."_qs,
            u"Keine Verbindung zum Telefon: Das Telefon wird gerade von quillet-cli get (pid 7) "
            u"verwendet; versuchen Sie es erneut, wenn es fertig ist."_qs,
            u"receive_data socket error"_qs,
            u"Keine Kontakte verfügbar. Bitte prüfen Sie die ActiveSync-Verbindung."_qs,
            u"Keine Kontakte verfügbar. Bitte prüfen Sie die ActiveSync-Verbindung.\n"
            u"Einzelheiten:\nKeine Verbindung zum Telefon: Die Verbindung ist gerade belegt"_qs,
            u"In /p liegen noch Postfachdateien eines früheren Laufs; Ihre Nachrichten werden in "
            u"/d/q aufbewahrt."_qs,
            u"Ihre Nachrichten konnten nicht von /p nach /d/q verschoben werden (%2 disk full); "
            u"sie werden vorerst dort verwendet, wo sie sind."_qs,
            u"Ihre Nachrichten wurden von /p nach /d/q verschoben."_qs,
            u"Ihre Nachrichten wurden nach /d/q verschoben; in /p geblieben, weil /d/q eigene "
            u"hat: inbox1.sms sent1.sms."_qs,
            u"Sie haben eine neue SMS erhalten."_qs,
            u"Post %1!"_qs};
        QCOMPARE(shown(), german);
    }

    // The engine's statuses: the command line's English and the window's
    // German words, with the figures and the names as the engine gave them.
    void statusesInEitherLanguage_data() {
        using What = EngineStatus::What;
        QTest::addColumn<EngineStatus>("status");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("folder started")
            << EngineStatus{What::FolderStarted, BoxKind::DeletedItems, 0, {}}
            << u"importing deleted sms..."_qs << u"Gelöschte SMS werden importiert …"_qs;
        QTest::newRow("folder progress")
            << EngineStatus{What::FolderProgress, BoxKind::SentItems, 45, {}}
            << u"importing sent sms: 45%"_qs << u"Gesendete SMS werden importiert: 45 %"_qs;
        // A name with a placeholder or a colon in it is not read as one.
        QTest::newRow("contact") << EngineStatus{What::ContactRetrieved, BoxKind::Inbox, 3,
                                                 u"Dr. %2: Office"}
                                 << u"retrieving contact 3: Dr. %2: Office"_qs
                                 << u"Kontakt 3 wird abgerufen: Dr. %2: Office"_qs;
        QTest::newRow("restore") << EngineStatus{What::RestoreProgress, BoxKind::Inbox, 7, {}}
                                 << u"restoring to the phone: 7%"_qs
                                 << u"Wiederherstellen auf dem Telefon: 7%"_qs;
    }

    void statusesInEitherLanguage() {
        QFETCH(EngineStatus, status);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QCOMPARE(to_qstring(quillet::english(status)), english);
        QCOMPARE(shown_status(status), english);
        const Translation translation =
            install_translation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(translation);
        QCOMPARE(shown_status(status), german);
    }

    // The fetch's progress comes from the link in English; the window shows
    // it in German, with the link's figures in it.
    void getSmsTellsItsProgressInGerman() {
        QVERIFY(env_->phone({QStringLiteral("init")}));
        QVERIFY(env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                             QStringLiteral("+4930777000"), QStringLiteral("--text"),
                             QStringLiteral("Bis morgen")}));
        const Translation german = install_translation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(german);
        RunningFrame f;
        QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
        PaintedTexts trail(f->findChild<QLabel*>(QStringLiteral("statusPane")));
        QCOMPARE(f.get_sms(), 1);
        const QString seen = trail.texts.join(QStringLiteral(" | "));
        QVERIFY2(trail.texts.contains(QStringLiteral("Nachrichten werden abgerufen …")),
                 qPrintable(seen));
        QVERIFY2(trail.texts.contains(QStringLiteral("Posteingang wird importiert …")),
                 qPrintable(seen));
        QVERIFY2(trail.texts.contains(QStringLiteral("Posteingang wird importiert: 0 %")),
                 qPrintable(seen));
        QVERIFY2(!seen.contains(QStringLiteral("importing")), qPrintable(seen));
        QCOMPARE(f->status_text(), QStringLiteral("1 neue Nachricht importiert"));

        // The message view's template words are German too.
        f->list_view().setCurrentIndex(f->list_view().list_model().index(0, 0));
        QTRY_VERIFY(f->html_view().browser().toPlainText().contains(u"Bis morgen"_qs));
        const QString page = f->html_view().browser().toPlainText();
        QVERIFY2(page.contains(u"VON"_qs) && page.contains(u"EMPFANGEN"_qs), qPrintable(page));
        QVERIFY2(page.contains(u"Auf Ihrem Telefon empfangen und im Posteingang aufbewahrt."_qs),
                 qPrintable(page));

        // A deletion with nothing selected says so in German.
        f->list_view().clearSelection();
        f->delete_messages();
        QCOMPARE(f->status_text(),
                 QStringLiteral("Keine Nachricht ausgewählt: Es wurde nichts gelöscht."));

        // The conversation page's own words: the count and the mark of a
        // message kept from Deleted on device.
        SmsMessage gone = f->inbox().message_at(0);
        gone.set_text(u"Schon weg");
        f->deleted_items().append(gone);
        f->show_conversations();
        const QModelIndex row = f->list_pane().conversations().index(0, 0);
        f->list_pane().conversation_view().setCurrentIndex(row);
        QTRY_VERIFY(f->html_view().browser().toPlainText().contains(u"Schon weg"_qs));
        const QString exchange = f->html_view().browser().toPlainText();
        QVERIFY2(exchange.contains(u"auf dem Gerät gelöscht"_qs), qPrintable(exchange));
        QVERIFY2(exchange.contains(u"2 Nachrichten"_qs), qPrintable(exchange));
    }

    // An import on a German desktop: the summary with its counts, every
    // reason and note on the file, the possible duplicates and the status.
    void anImportIsSummedUpInGerman() {
        QVERIFY(env_->phone({QStringLiteral("init")}));
        const Translation german = install_translation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(german);
        RunningFrame f;
        QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
        const auto backup = [&](const QString& name, const QByteArray& body) {
            const QString path = env_->temp_path(name);
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write("<smses count=\"5\">" + body + "</smses>");
            return path;
        };
        const QByteArray hallo = "<sms address=\"+4930777\" type=\"1\" body=\"Hallo\" date=\"";
        env_->answer_file_dialogs({backup(
            QStringLiteral("a.xml"), hallo + "1500000000000\"/>"
                                             "<sms address=\"1\" type=\"3\" body=\"x\" date=\"1\"/>"
                                             "<sms address=\"2\" type=\"1\" date=\"1\" "
                                             "body=\"&#55357;\"/>")});
        f.frame->findChild<QAction*>(QStringLiteral("importAction"))->trigger();
        std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        const QString summary = boxes[0].text;
        for (const char* words :
             {"(Android-Sicherung): 2 hinzugefügt, 0 schon vorhanden", "0 Anhänge",
              "1 übersprungen: ein Entwurf", "die Datei kündigt 5 Nachrichten an, enthält aber 3",
              "1 Zeichen konnten nicht wie geschrieben gelesen werden und wurden durch "
              "\xEF\xBF\xBD "
              "ersetzt"})
            QVERIFY2(summary.contains(QString::fromUtf8(words)), qPrintable(summary));
        for (const char* english : {"added", "skipped", "draft", "announces", "characters"})
            QVERIFY2(!summary.contains(QLatin1String(english)), qPrintable(summary));
        QCOMPARE(f->status_text(), QStringLiteral("2 Nachrichten importiert"));

        env_->answer_file_dialogs({backup(QStringLiteral("b.xml"), hallo + "1500000010000\"/>") +
                                   QLatin1Char('\n') +
                                   env_->temp_path(QStringLiteral("gone.xml"))});
        f.frame->findChild<QAction*>(QStringLiteral("importAction"))->trigger();
        boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes[0].text.contains(QString::fromUtf8(
                     "M\xC3\xB6gliche Doppelte (behalten; nach Datum und Nummer nachschlagen):")),
                 qPrintable(boxes[0].text));
        QVERIFY2(boxes[0].text.contains(QStringLiteral(", +4930777")), qPrintable(boxes[0].text));
        QVERIFY2(boxes[0].text.contains(
                     QString::fromUtf8("gone.xml: diese Datei oder diesen Ordner gibt es nicht")),
                 qPrintable(boxes[0].text));
        QVERIFY2(!boxes[0].text.contains(QLatin1String("Possible")), qPrintable(boxes[0].text));
    }

    // A phone that is not there: the message box, its sentence and the
    // link's reason, in German.
    void theLinkFailureIsToldInGerman() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        QVERIFY(env_->phone({QStringLiteral("unplug")}));
        const Translation german = install_translation(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(german);
        RunningFrame f(1000);
        QCOMPARE(f.get_sms(), -1);
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text, QStringLiteral("Bitte prüfen Sie die ActiveSync-Verbindung.\n"
                                               "Einzelheiten:\nKeine Verbindung zum Telefon"));
    }

    // The new-message popup's default text shows in German in the options,
    // and OK keeps it as the default: an English desktop later shows it in
    // English again, not the German words saved as the user's own.
    void theDefaultPopupTextFollowsTheLanguage() {
        {
            const Translation german =
                install_translation(QLocale(QLocale::German, QLocale::Germany));
            QVERIFY(german);
            Options options;
            OptionsWindow window;
            window.show_with(options);
            QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("popupTextEdit"))->text(),
                     QStringLiteral("Sie haben eine neue SMS erhalten."));
            QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("okButton")),
                              Qt::LeftButton);
            QCOMPARE(options.popup_message_text, std::u16string(kDefaultPopupText));
        }
        Options loaded;
        QVERIFY(load_options(loaded));
        OptionsWindow window;
        window.show_with(loaded);
        QCOMPARE(window.findChild<QLineEdit*>(QStringLiteral("popupTextEdit"))->text(),
                 QStringLiteral("You have received a new SMS message."));
    }

    void aLanguageWithoutTranslationKeepsTheEnglishTexts() {
        const Translation french = install_translation(QLocale(QLocale::French, QLocale::France));
        QVERIFY(!french);
        RunningFrame f;
        QCOMPARE(menu_titles(*f.frame).first(), QStringLiteral("&File"));
        QCOMPARE(action_text(*f.frame, "getSmsAction"), QStringLiteral("&Get SMSes"));
        QCOMPARE(f->status_text(), QStringLiteral("Ready"));
    }

    // English counts in the singular and the plural, on an English desktop
    // and wherever Quillet has no translation.
    void englishTextsCountOneAsOne() {
        for (const QLocale& locale :
             {QLocale(QLocale::English, QLocale::UnitedKingdom), QLocale(QLocale::French)}) {
            const Translation translation = install_translation(locale);
            env_ = std::make_unique<MainTestEnv>();
            QVERIFY(env_->phone({QStringLiteral("init")}));
            QVERIFY(env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                                 QStringLiteral("+4917012345"), QStringLiteral("--text"),
                                 QStringLiteral("Just one")}));
            RunningFrame f;
            QCOMPARE(f.get_sms(), 1);
            QCOMPARE(f->status_text(), QStringLiteral("1 new imported message"));
            deliver_two();
            QCOMPARE(f.get_sms(), 2);
            QCOMPARE(f->status_text(), QStringLiteral("2 new imported messages"));
        }
    }
};

QTEST_MAIN(MainLanguageTest)
#include "main_language_test.moc"
