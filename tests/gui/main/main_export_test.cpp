// File > Export and File > Print of the main window over the real link and
// agent with the sample phone: every format from its menu entry, what the
// status bar says, the files read back, and the conversation of the message
// shown as PDF and on a (PDF) printer, also by Ctrl+P.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include "desktop/formats/android_backup.h"
#include "desktop/formats/vcard.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/import_history.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"
#include "tests/formats/iphone_backup_builder.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

QString pdf_text(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!p.waitForFinished(60'000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

void trigger(MainFrame& frame, const char* action) {
    QAction* a = frame.findChild<QAction*>(QLatin1String(action));
    QVERIFY2(a != nullptr, action);
    a->trigger();
}

void show_first_message(MainFrame& frame) {
    SmsListView& list = frame.list_view();
    const QModelIndex first = list.list_model().index(0, 0);
    list.scrollTo(first);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                      list.visualRect(first).center());
}

}  // namespace

class MainExportTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

    std::unique_ptr<RunningFrame> imported_frame() {
        if (!env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}))
            return nullptr;
        auto frame = RunningFrame::after_get_sms();
        if (frame) {
            (*frame)->contacts_window()->import_from_phone();
            env_->take_message_boxes();
        }
        return frame;
    }

    // What the window shows after `action` imported what its dialogs were
    // answered with: the list's rows with their texts, and the boxes shown.
    struct Shown {
        int rows = 0;
        QStringList texts;
        std::vector<MessageBoxRequest> boxes;
    };
    Shown import_through(RunningFrame& f, const char* action, const QStringList& answers) {
        env_->answer_file_dialogs(answers);
        trigger(*f.frame, action);
        Shown shown;
        const auto& model = f->list_view().list_model();
        shown.rows = model.rowCount();
        for (int row = 0; row < shown.rows; ++row)
            shown.texts << model.index(row, 0).data().toString();
        shown.boxes = env_->take_message_boxes();
        return shown;
    }

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() {
        set_printer_handler({});
        env_.reset();
    }

    void exportMenuHoldsEveryFormat() {
        RunningFrame f;
        QMenu* menu = f->findChild<QMenu*>(QStringLiteral("exportMenu"));
        QVERIFY(menu != nullptr);
        QStringList texts;
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator())
                texts << a->text();
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("to CSV file"), QStringLiteral("to XML file"),
                                     QStringLiteral("Android SMS backup..."),
                                     QStringLiteral("Android SMS backup with Deleted Items..."),
                                     QStringLiteral("Contacts as vCard..."),
                                     QStringLiteral("Conversation as PDF..."),
                                     QStringLiteral("Archive...")}));
        QAction* print = f->findChild<QAction*>(QStringLiteral("printAction"));
        QVERIFY(print != nullptr);
        QCOMPARE(print->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    }

    void androidBackupAndCardsFromTheMenu() {
        auto f = imported_frame();
        QVERIFY(f);
        MainFrame& frame = *f->frame;
        QVERIFY(frame.contacts_window()->contacts().count() > 0);
        const QString android = env_->temp_path(QStringLiteral("backup.xml"));
        const QString all = env_->temp_path(QStringLiteral("all.xml"));
        const QString cards = env_->temp_path(QStringLiteral("contacts.vcf"));
        env_->answer_file_dialogs({android, all, cards});
        const ContactList& contacts = frame.contacts_window()->contacts();

        trigger(frame, "exportAndroidAction");
        const size_t both = frame.inbox().count() + frame.sent_items().count();
        QCOMPARE(frame.status_text(), QStringLiteral("%1 messages exported").arg(both));
        QCOMPARE(MainTestEnv::read_file(android),
                 QByteArray::fromStdString(
                     android_backup_bytes({frame.inbox(), frame.sent_items()}, contacts)));

        trigger(frame, "exportAndroidAllAction");
        QCOMPARE(frame.status_text(),
                 QStringLiteral("%1 messages exported").arg(both + frame.deleted_items().count()));
        QVERIFY(MainTestEnv::read_file(all).size() > MainTestEnv::read_file(android).size());

        trigger(frame, "exportVcardAction");
        QVERIFY(frame.status_text().endsWith(QStringLiteral("contacts exported")));
        QCOMPARE(MainTestEnv::read_file(cards), QByteArray::fromStdString(vcard_bytes(contacts)));
        QVERIFY(MainTestEnv::read_file(cards).startsWith("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
        QVERIFY(env_->message_boxes().empty());
    }

    void conversationAsPdfAndPrintedByCtrlP() {
        auto f = imported_frame();
        QVERIFY(f);
        MainFrame& frame = *f->frame;

        env_->answer_file_dialogs({});
        trigger(frame, "exportPdfAction");  // nothing shown yet
        std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text, QStringLiteral("Select a message of the conversation first."));

        show_first_message(frame);
        const SmsMessage shown = frame.selected_message();
        QVERIFY(shown.text().has_value());
        const QString first_line = QString::fromStdU16String(std::u16string(shown.text_view()))
                                       .section(QLatin1Char('\n'), 0, 0)
                                       .left(20);

        const QString pdf = env_->temp_path(QStringLiteral("conversation.pdf"));
        env_->answer_file_dialogs({pdf});
        trigger(frame, "exportPdfAction");
        QVERIFY2(frame.status_text().startsWith(QStringLiteral("Conversation of ")),
                 qPrintable(frame.status_text()));
        const QString text = pdf_text(pdf);
        QVERIFY2(text.contains(first_line), qPrintable(first_line + QStringLiteral(" / ") + text));
        QVERIFY(text.contains(QStringLiteral("Page 1 of ")));

        const QString printed = env_->temp_path(QStringLiteral("printed.pdf"));
        int asked = 0;
        set_printer_handler([&](QPrinter& printer) {
            ++asked;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(printed);
            return true;
        });
        QTest::keyClick(&frame.list_view(), Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(asked, 1);
        QCOMPARE(frame.status_text(), QStringLiteral("Conversation printed."));
        QVERIFY(pdf_text(printed).contains(first_line));
        QVERIFY(env_->message_boxes().empty());
    }

    void archiveFromTheMenu() {
        auto f = imported_frame();
        QVERIFY(f);
        MainFrame& frame = *f->frame;
        const QString folder = env_->temp_path(QStringLiteral("archive"));
        env_->answer_file_dialogs({folder, folder});
        trigger(frame, "exportArchiveAction");
        QVERIFY2(frame.status_text().startsWith(QStringLiteral("Archive written: ")),
                 qPrintable(frame.status_text()));
        const QDir archive(folder);
        for (const char* name : {"sms-backup.xml", "contacts.vcf", "inbox.csv", "sent.csv",
                                 "deleted.csv", "README.txt"})
            QVERIFY2(archive.exists(QLatin1String(name)), name);
        QVERIFY(!QDir(archive.filePath(QStringLiteral("conversations")))
                     .entryList({QStringLiteral("*.pdf")}, QDir::Files)
                     .isEmpty());
        QVERIFY(env_->message_boxes().empty());

        trigger(frame, "exportArchiveAction");  // never into an existing folder
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.contains(QStringLiteral("exists already")));
    }

    // File > Import Folder... with an older PC's data folder: the one
    // message the phone does not hold shows in the list, the summary says
    // what was added and kept, and a second import adds nothing.
    void importFolderFromTheMenu() {
        const auto f = imported_frame();
        QVERIFY(f != nullptr);
        const QString older = env_->temp_path(QStringLiteral("older-pc"));
        QVERIFY(QDir().mkpath(older));
        SmsBox inbox = (*f)->inbox();
        SmsMessage m;
        m.set_text(u"kept on the old phone");
        m.set_number("+4930555");
        m.set_time(filetime_from_unix(1'500'000'000));
        inbox.append(m);
        QVERIFY(inbox.save_box_file(std::filesystem::path(older.toStdString()) / "inbox1.sms"));
        const int before = (*f)->list_view().list_model().rowCount();

        const Shown shown = import_through(*f, "importFolderAction", {older, older});
        QCOMPARE(shown.rows, before + 1);
        QVERIFY(shown.texts.contains(QStringLiteral("kept on the old phone")));
        std::vector<MessageBoxRequest> boxes = shown.boxes;
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes[0].text.contains(QStringLiteral("1 added, %1 already kept").arg(before)),
                 qPrintable(boxes[0].text));
        QVERIFY2((*f)->status_text().startsWith(QStringLiteral("1 message")) &&
                     (*f)->status_text().endsWith(QStringLiteral(" imported")),
                 qPrintable((*f)->status_text()));

        trigger(*f->frame, "importFolderAction");
        QCOMPARE((*f)->list_view().list_model().rowCount(), before + 1);
        boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes[0].text.contains(QStringLiteral("0 added")), qPrintable(boxes[0].text));
    }

    // File > Import Folder... with an iPhone backup folder: its message
    // shows in the list, the summary names the reaction skipped, and the
    // name from its address book is a contact.
    void importAnIphoneBackupFolderFromTheMenu() {
        const auto f = imported_frame();
        QVERIFY(f != nullptr);
        const std::filesystem::path folder =
            env_->temp_path(QStringLiteral("iphone")).toStdString();
        test::BackupFolder backup(folder);
        {
            test::TestDb db(folder.parent_path() / "sms.db");
            db.exec(std::string(test::kSmsEras[2].message_table) + ";" + test::kSmsTables);
            db.exec(
                "INSERT INTO handle (id) VALUES ('+4930888');"
                "INSERT INTO message (guid, handle_id, is_from_me, is_read, date, "
                "associated_message_type) VALUES ('a', 1, 0, 1, 600000000000000000, 0), "
                "('b', 1, 0, 1, 600000001000000000, 2000)");
            db.exec_with_blob("UPDATE message SET attributedBody = ?1 WHERE guid = 'a'",
                              test::typedstream("from the iPhone \xF0\x9F\x93\xB1"));
        }
        backup.add_file("HomeDomain", "Library/SMS/sms.db",
                        test::read_file(folder.parent_path() / "sms.db"));
        {
            test::TestDb db(folder.parent_path() / "ab.db");
            db.exec(
                "CREATE TABLE ABPerson (ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT);"
                "CREATE TABLE ABMultiValue (record_id INTEGER, property INTEGER, value TEXT);"
                "INSERT INTO ABPerson VALUES (1, 'Iris', 'Apfel');"
                "INSERT INTO ABMultiValue VALUES (1, 3, '+49 30 888')");
        }
        backup.add_file("HomeDomain", "Library/AddressBook/AddressBook.sqlitedb",
                        test::read_file(folder.parent_path() / "ab.db"));
        const int before = (*f)->list_view().list_model().rowCount();

        const Shown shown =
            import_through(*f, "importFolderAction", {QString::fromStdString(folder.string())});
        QCOMPARE(shown.rows, before + 1);
        QVERIFY(shown.texts.contains(QStringLiteral("from the iPhone \U0001F4F1")));
        const std::vector<MessageBoxRequest>& boxes = shown.boxes;
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes[0].text.contains(QStringLiteral("1 added")) &&
                     boxes[0].text.contains(QStringLiteral("a reaction")),
                 qPrintable(boxes[0].text));
        QCOMPARE(f->frame->contacts_window()->contacts().name_for_number("+4930888"),
                 std::optional<std::u16string>(u"Iris Apfel"));
    }

    // File > Import... with an SMS Backup+ mbox: its MMS shows in the list,
    // and the summary counts its picture and the call log skipped.
    void importAnMboxFromTheMenu() {
        const auto f = imported_frame();
        QVERIFY(f != nullptr);
        const QString mbox = env_->temp_path(QStringLiteral("takeout.mbox"));
        QFile file(mbox);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "From 1@xxx Mon Jan 01 00:00:00 2024\nX-smssync-datatype: CALLLOG\n\n12s\n\n"
            "From 2@xxx Mon Jan 01 00:00:00 2024\nX-smssync-datatype: MMS\n"
            "X-smssync-address: +4930777\nX-smssync-type: 132\nX-smssync-date: 1600000000\n"
            "Content-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: text/plain; "
            "charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\nfrom the mailbox "
            "=E2=9C=89\n--b\nContent-Type: image/png\nContent-Disposition: attachment; "
            "filename*=UTF-8''caf%C3%A9.png\nContent-Transfer-Encoding: base64\n\nUE5H\n--b--\n");
        file.close();
        const int before = (*f)->list_view().list_model().rowCount();

        const Shown shown = import_through(*f, "importAction", {mbox});
        QCOMPARE(shown.rows, before + 1);
        QVERIFY2(shown.texts.contains(QStringLiteral("from the mailbox \u2709")),
                 qPrintable(shown.texts.join(QLatin1Char('|'))));
        const std::vector<MessageBoxRequest>& boxes = shown.boxes;
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes[0].text.contains(QStringLiteral("1 added")) &&
                     boxes[0].text.contains(QStringLiteral("a call log entry")) &&
                     boxes[0].text.contains(QStringLiteral("1 attachment")),
                 qPrintable(boxes[0].text));
    }

    // An MMS imported from an Android backup: the message view says where
    // it came from and its picture opens from there.
    void anImportedMessageSaysWhereItCameFromAndOpensItsPicture() {
        const auto f = imported_frame();
        QVERIFY(f != nullptr);
        const QByteArray picture("\x89PNG picture bytes", 19);
        const QString backup = env_->temp_path(QStringLiteral("old-phone.xml"));
        QFile file(backup);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "<smses count=\"1\"><mms date=\"1500000000000\" msg_box=\"1\" read=\"1\" "
            "address=\"+4930777\"><parts><part seq=\"0\" ct=\"image/png\" "
            "name=\"IMG_0042.png\" data=\"" +
            picture.toBase64() +
            "\"/><part seq=\"1\" ct=\"text/plain\" text=\"Look\"/></parts></mms>"
            "</smses>");
        file.close();
        env_->answer_file_dialogs({backup});
        trigger(*f->frame, "importAction");
        env_->take_message_boxes();

        SmsListView& list = (*f)->list_view();
        QModelIndex imported;
        for (int row = 0; row < list.list_model().rowCount(); ++row) {
            const QModelIndex i = list.list_model().index(row, 0);
            if (i.data().toString().startsWith(QStringLiteral("Look")))
                imported = i;
        }
        QVERIFY(imported.isValid());
        list.scrollTo(imported);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                          list.visualRect(imported).center());
        QTextBrowser& view = (*f)->html_view().browser();
        QVERIFY2(view.toPlainText().contains(
                     QStringLiteral("Imported from old-phone.xml (Android backup) on ")),
                 qPrintable(view.toPlainText()));
        QVERIFY(view.toPlainText().contains(QStringLiteral("Attachments: IMG_0042.png")));

        QString opened;
        set_open_file_handler([&](const QString& path) { opened = path; });
        const QTextCursor link = view.document()->find(
            QStringLiteral("IMG_0042.png"), view.document()->find(QStringLiteral("Attachments")));
        QVERIFY(!link.isNull());
        QTextCursor inside(view.document());
        inside.setPosition(link.selectionStart() + 3);
        view.setTextCursor(inside);
        view.ensureCursorVisible();
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                          view.cursorRect(inside).center());
        set_open_file_handler({});
        QFile opened_file(opened);
        QVERIFY2(opened_file.open(QIODevice::ReadOnly), qPrintable(opened));
        QCOMPARE(opened_file.readAll(), picture);
    }

    // File > Imports...: the import's number, file and figures, what it
    // brought; Undo asks, takes its messages out of the list and marks it
    // undone. The import's summary names its number too.
    void theImportsWindowShowsEachImportAndUndoesIt() {
        const auto f = imported_frame();
        QVERIFY(f != nullptr);
        const int before = (*f)->list_view().list_model().rowCount();
        const QString backup = env_->temp_path(QStringLiteral("old-phone.xml"));
        QFile file(backup);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "<smses count=\"2\"><sms address=\"+4930777\" date=\"1500000000000\" type=\"1\" "
            "body=\"from the old phone\" read=\"1\"/><sms address=\"+4930777\" "
            "date=\"1500000060000\" type=\"1\" body=\"and more\" read=\"1\"/></smses>");
        file.close();
        env_->answer_file_dialogs({backup});
        trigger(*f->frame, "importAction");
        const std::vector<MessageBoxRequest> summary = env_->take_message_boxes();
        QCOMPARE(summary.size(), size_t{1});
        QVERIFY2(summary[0].text.startsWith(QStringLiteral("Import 1: ")),
                 qPrintable(summary[0].text));
        QCOMPARE((*f)->list_view().list_model().rowCount(), before + 2);

        trigger(*f->frame, "importsAction");
        auto* history = f->frame->findChild<ImportHistoryWindow*>(QStringLiteral("importHistory"));
        QVERIFY(history != nullptr && history->isVisible());
        QTreeWidget& list = history->list();
        QCOMPARE(list.topLevelItemCount(), 1);
        const QTreeWidgetItem* row = list.topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("1"));
        QCOMPARE(row->text(2), QStringLiteral("old-phone.xml"));
        QCOMPARE(row->text(3), QStringLiteral("Android backup"));
        QCOMPARE(row->text(4), QStringLiteral("2"));
        QCOMPARE(row->text(8), QString());
        const auto* details = history->findChild<QLabel*>(QStringLiteral("importDetails"));
        QVERIFY2(details->text().contains(QStringLiteral("2 messages added, 0 already kept")),
                 qPrintable(details->text()));

        auto* undo = history->findChild<QPushButton*>(QStringLiteral("undoImportButton"));
        QVERIFY(undo->isEnabled());
        QTest::mouseClick(undo, Qt::LeftButton);
        QCOMPARE(env_->questions().size(), 1);
        QVERIFY2(env_->questions()[0].startsWith(QStringLiteral("Undo import 1 of old-phone.xml?")),
                 qPrintable(env_->questions()[0]));
        QCOMPARE((*f)->list_view().list_model().rowCount(), before);
        QCOMPARE(list.topLevelItem(0)->text(8), QStringLiteral("undone"));
        QVERIFY(!undo->isEnabled());
        QCOMPARE((*f)->status_text(), QStringLiteral("Import 1 undone: 2 messages removed"));
        QVERIFY(env_->take_message_boxes().empty());
    }

    // Sms > Move to PC...: the choices show at every change what would
    // leave the phone; the status says how the move ended while its report
    // is read, and the phone keeps what the choices left there.
    void moveToPcFromTheMenu() {
        const auto f = imported_frame();
        QVERIFY(f != nullptr);
        // The phone's messages with a text, which the agent hands over (its
        // folders hold other items too).
        const auto texts = [&](const char* folder) {
            const QJsonArray rows = env_->phone_folder(QLatin1String(folder));
            return std::count_if(rows.begin(), rows.end(), [](const QJsonValue& row) {
                return row[QLatin1String("body")].isString();
            });
        };
        const qsizetype inbox = texts("inbox");
        const qsizetype sent = texts("sent");
        const int rows = (*f)->list_view().list_model().rowCount();
        QVERIFY(inbox > 3 && rows == inbox);

        QStringList shown;  // the summary after each change
        set_dialog_handler([&](QDialog& dialog) {
            const auto* summary = dialog.findChild<QLabel*>(QStringLiteral("moveSummary"));
            const auto* move = dialog.findChild<QPushButton*>(QStringLiteral("moveButton"));
            const auto check = [&](const char* name, bool on) {
                dialog.findChild<QCheckBox*>(QLatin1String(name))->setChecked(on);
                shown << summary->text();
            };
            const auto spin = [&](const char* name, int value) {
                dialog.findChild<QSpinBox*>(QLatin1String(name))->setValue(value);
                shown << summary->text();
            };
            shown << summary->text();
            check("moveBox1", false);
            check("moveBox2", false);
            check("moveOlderThan", true);  // 30 days: none
            const bool none_enabled = move->isEnabled();
            check("moveOlderThan", false);
            check("moveKeepNewest", true);
            spin("moveKeepCount", 3);
            return !none_enabled;
        });
        QString status_under_report;
        env_->when_box_shown([&] { status_under_report = (*f)->status_text(); });
        trigger(*f->frame, "moveToPcAction");
        set_dialog_handler({});
        env_->when_box_shown({});

        QCOMPARE(shown.size(), 7);
        QVERIFY2(shown[0].startsWith(QStringLiteral("%1 messages will be deleted on the phone.\n"
                                                    "Inbox: %2, Sent Items: %3, Deleted Items: ")
                                         .arg(inbox + sent + texts("deleted"))
                                         .arg(inbox)
                                         .arg(sent)),
                 qPrintable(shown[0]));
        QVERIFY2(shown[2].startsWith(QStringLiteral("%1 messages will be deleted on the phone.\n"
                                                    "Inbox: %1, Sent Items: 0, Deleted Items: 0\n"
                                                    "Oldest: ")
                                         .arg(inbox)),
                 qPrintable(shown[2]));
        QCOMPARE(shown[3], QStringLiteral("With these choices no message leaves the phone."));
        QCOMPARE(shown[4], shown[2]);
        QVERIFY2(shown[6].startsWith(QStringLiteral("%1 messages will be deleted on the phone.\n"
                                                    "Inbox: %1, Sent Items: 0, Deleted Items: 0")
                                         .arg(inbox - 3)),
                 qPrintable(shown[6]));
        // Keeping the newest three moves the newest date back.
        QVERIFY(shown[6].section(QStringLiteral("newest: "), 1) !=
                shown[2].section(QStringLiteral("newest: "), 1));

        const QString moved = QStringLiteral("%1 messages moved to the PC").arg(inbox - 3);
        QCOMPARE(status_under_report, moved);
        QCOMPARE((*f)->status_text(), moved);
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY2(boxes[0].text.startsWith(moved + QLatin1Char('.')), qPrintable(boxes[0].text));
        QCOMPARE(texts("inbox"), qsizetype{3});
        QCOMPARE(texts("sent"), sent);
        QCOMPARE((*f)->list_view().list_model().rowCount(), rows);
    }

    // File > Restore to Phone... onto a new, empty phone, with the program
    // started on it: the contacts alone, said alone; then the messages,
    // a message to two people among them, which the next Get SMS brings
    // back as the one kept and names as the contacts list knows them. The
    // program's own writes are no arrival: no notice, no sound.
    void restoreToPhoneFromTheMenu() {
        {
            const auto old_phone = imported_frame();
            QVERIFY(old_phone != nullptr);
            (*old_phone)
                ->sent_items()
                .append(scene_message("+447700900123;+33612345678", u"See you both at eight",
                                      1'767'261'600));
        }
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--force")}));
        RunningFrame f;
        QVERIFY(QTest::qWaitFor(
            [&] {
                try {
                    return f.link->known_commands() != kCommandsBeforeRestore;
                } catch (const ORX_Exception&) {
                    return false;
                }
            },
            30'000));
        const auto restore = [&](const QString& choice) {
            QStringList offered;
            set_choice_handler([&](const QString&, const QStringList& choices) {
                offered = choices;
                return static_cast<int>(choices.indexOf(choice));
            });
            trigger(*f.frame, "restoreAction");
            set_choice_handler({});
            QVERIFY2(offered.contains(choice), qPrintable(offered.join(QLatin1Char('|'))));
        };
        const qsizetype questions = env_->questions().size();
        restore(QStringLiteral("Contacts"));
        QCOMPARE(env_->questions().size(), questions + 1);
        QCOMPARE(
            env_->questions().back(),
            QStringLiteral("Write 8 contacts to the phone?\nNothing on the phone is deleted."));
        std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text, QStringLiteral("8 contacts written to the phone."));
        QVERIFY(env_->phone_output({QStringLiteral("contact"), QStringLiteral("list")})
                    .contains("Anna Schmidt  +491701234567"));

        restore(QStringLiteral("Inbox and Sent Items"));
        const QString asked = env_->questions().back();
        QVERIFY2(asked.startsWith(QStringLiteral("Write 30 messages to the phone?\nInbox: 18, "
                                                 "Sent Items: 12")),
                 qPrintable(asked));
        QCOMPARE(f->status_text(), QStringLiteral("30 messages restored to the phone"));
        boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text, QStringLiteral("30 messages written to the phone."));
        QCOMPARE(env_->phone_folder(QStringLiteral("inbox")).size(), qsizetype{18});
        const QJsonArray sent = env_->phone_folder(QStringLiteral("sent"));
        QCOMPARE(sent.size(), qsizetype{12});
        QVERIFY(std::any_of(sent.begin(), sent.end(), [](const QJsonValue& row) {
            return row[QLatin1String("recipients")].toArray().size() == 2;
        }));

        // The keep-alive thread looks at the Inbox a few times meanwhile.
        const uint64_t ticks = f.link->tick_count();
        QVERIFY(QTest::qWaitFor([&] { return f.link->tick_count() >= ticks + 3; }, 10'000));
        QTest::qWait(300);
        QCOMPARE(f.get_sms(), 0);
        QCOMPARE(f->status_text(), QStringLiteral("0 new imported messages"));
        QVERIFY(env_->take_message_boxes().empty());
        QVERIFY(env_->sounds().isEmpty());

        f->show_box(BoxKind::SentItems);
        const MessageListModel& list = f->list_view().list_model();
        QCOMPARE(list.rowCount(), 12);
        QStringList recipients;
        for (int row = 0; row < list.rowCount(); ++row)
            recipients << list.index(row, MessageListModel::kSender).data().toString();
        QVERIFY2(recipients.contains(QStringLiteral("Ben; Chlo\u00e9 Martin")),
                 qPrintable(recipients.join(QLatin1Char('|'))));
    }
};

QTEST_MAIN(MainExportTest)
#include "main_export_test.moc"
