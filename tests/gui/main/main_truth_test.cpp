// What the user sees is what is true, in the real main window over real box
// files, the real link, agent and phone tool: a message is read only when the
// user chose it, a sender keeps its name, Reply types into the text and sends
// only to real recipients, a read-only data folder loses nothing at quit, and
// right-to-left texts run from the right.
#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/contact_list.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

constexpr int64_t kDay0 = 1'767'261'600;  // 2026-01-01 10:00 UTC

// Two unread conversations (Nora's the newest) and a read one in Hebrew.
void write_scene() {
    SmsBox inbox(BoxKind::Inbox);
    inbox.append(scene_message("+491701111111", u"Nora unread", kDay0 + 300, false));
    inbox.append(scene_message("+491702222222", u"Paul unread", kDay0 + 200, false));
    inbox.append(scene_message("+972501234567", u"\u05e9\u05dc\u05d5\u05dd \u05d7\u05d1\u05e8",
                               kDay0, true));
    QVERIFY(inbox.save_box(kInboxFileName));
    ContactList contacts;
    contacts.append(make_contact("Pizza", "0301234567"));
    QVERIFY(contacts.save_contacts(kContactsFileName));
}

int bold_rows(QAbstractItemModel& model) {
    int bold = 0;
    for (int row = 0; row < model.rowCount(); ++row)
        bold += model.index(row, 0).data(Qt::FontRole).value<QFont>().bold() ? 1 : 0;
    return bold;
}

void click_row(FlatListView& view, int row) {
    const QModelIndex index = view.model()->index(row, 0);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      view.visualRect(index).center());
}

QStringList column(QAbstractItemModel& model, int c) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row, c).data().toString();
    return out;
}

constexpr int64_t kDelivered = 1'796'464'800;  // 2026-12-05T10:00:00Z

bool deliver(const MainTestEnv& env, const QString& from, const QString& text) {
    return env.phone({QStringLiteral("deliver"), QStringLiteral("--from"), from,
                      QStringLiteral("--text"), text, QStringLiteral("--time"),
                      QStringLiteral("2026-12-05T10:00:00Z")});
}

int row_with(QAbstractItemModel& model, int c, const QString& text) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, c).data().toString().contains(text))
            return row;
    }
    return -1;
}

}  // namespace

class MainTruthTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void init() { qputenv("LANG", "C"); }  // no home region: the names' hard case

    // Keys and window switches move the focus onto lists with no current
    // row: nothing opens by itself, nothing becomes read.
    void aListTakingTheFocusShowsAndReadsNothing() {
        MainTestEnv env;
        write_scene();
        RunningFrame f;
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        ListPane& pane = f->list_pane();
        QTextBrowser& view = f->html_view().browser();
        QTest::keyClick(f.frame.get(), Qt::Key_4, Qt::ControlModifier);
        ConversationListModel& conversations = pane.conversations();
        QCOMPARE(column(conversations, ConversationListModel::kUnread),
                 (QStringList{QStringLiteral("1"), QStringLiteral("1"), QString()}));
        click_row(pane.conversation_view(), 1);
        QVERIFY(view.toPlainText().contains(QStringLiteral("Paul unread")));
        QTest::keyClick(f.frame.get(), Qt::Key_1, Qt::ControlModifier);
        QCOMPARE(bold_rows(f->list_view().list_model()), 1);
        QTest::keyClick(f.frame.get(), Qt::Key_4, Qt::ControlModifier);
        QTest::keyClick(f.frame.get(), Qt::Key_2, Qt::ControlModifier);
        QTest::keyClick(f.frame.get(), Qt::Key_1, Qt::ControlModifier);
        QVERIFY(!view.toPlainText().contains(QStringLiteral("Nora unread")));
        QCOMPARE(bold_rows(f->list_view().list_model()), 1);
        QTest::keyClick(f.frame.get(), Qt::Key_4, Qt::ControlModifier);
        QCOMPARE(conversations.index(0, ConversationListModel::kUnread).data().toString(),
                 QStringLiteral("1"));
        QVERIFY(!view.toPlainText().contains(QStringLiteral("Nora unread")));
        // Keys that move the selection are a choice.
        QTest::keyClick(&pane.conversation_view(), Qt::Key_Down);
        QTest::keyClick(&pane.conversation_view(), Qt::Key_Up);
        QVERIFY(view.toPlainText().contains(QStringLiteral("Nora unread")));
    }

    // With no home region, numbers of other countries that end like a
    // contact's are no contact; a Hebrew text runs from the right.
    void strangersKeepTheirNumbersAndHebrewRunsFromTheRight() {
        MainTestEnv env;
        write_scene();
        RunningFrame f;
        const QStringList senders = column(f->list_view().list_model(), MessageListModel::kSender);
        QVERIFY2(!senders.contains(QStringLiteral("Pizza")), qPrintable(senders.join(u',')));
        QVERIFY(senders.contains(QStringLiteral("+972501234567")));
        click_row(f->list_view(), row_with(f->list_view().list_model(), MessageListModel::kMessage,
                                           QStringLiteral("\u05d7\u05d1\u05e8")));
        QTextBrowser& view = f->html_view().browser();
        const QTextBlock hebrew =
            view.document()->find(QStringLiteral("\u05d7\u05d1\u05e8")).block();
        QVERIFY(hebrew.isValid());
        QCOMPARE(hebrew.textDirection(), Qt::RightToLeft);
    }

    // A sender name arrives as it came; a message stored earlier without it
    // takes it at the next Get SMS, and is not doubled.
    void aSenderNameIsKeptAndTakenByMessagesStoredWithoutIt() {
        MainTestEnv env;
        QVERIFY(env.phone({QStringLiteral("init")}));
        QVERIFY(deliver(env, QStringLiteral("DHL Express"), QStringLiteral("Parcel today")));
        QVERIFY(deliver(env, QStringLiteral("Bank"), QStringLiteral("Code 4711")));
        SmsBox stored(BoxKind::Inbox);  // as the earlier rule stored "Bank"
        stored.append(scene_message("", u"Code 4711", kDelivered, true));
        QVERIFY(stored.save_box(kInboxFileName));

        RunningFrame f;
        QCOMPARE(f.get_sms(), 1);
        MessageListModel& rows = f->list_view().list_model();
        QCOMPARE(rows.rowCount(), 2);
        QStringList senders = column(rows, MessageListModel::kSender);
        senders.sort();
        QCOMPARE(senders, (QStringList{QStringLiteral("Bank"), QStringLiteral("DHL Express")}));
        // Reply goes to the name.
        click_row(f->list_view(), 0);
        f->reply();
        QVERIFY(f->composer() != nullptr);
        QCOMPARE(QString::fromLatin1(text_field(f->composer()->form().recipient_at(0).number)),
                 f->list_view().list_model().index(0, MessageListModel::kSender).data().toString());
        f->composer()->close();
    }

    // Reply puts the cursor in the text; what is typed there is the text.
    // A recipient that is no number is refused before anything is sent, and
    // one number in two spellings gets one SMS.
    void replyTypesTheTextAndSendsOnlyToRealRecipientsOnce() {
        MainTestEnv env;
        QVERIFY(env.phone({QStringLiteral("init")}));
        QVERIFY(deliver(env, QStringLiteral("+4915112345678"), QStringLiteral("Back home?")));
        RunningFrame f;
        QCOMPARE(f.get_sms(), 1);
        click_row(f->list_view(), 0);
        f->reply();
        NewSmsWindow* composer = f->composer();
        QVERIFY(composer != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(composer));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Welcome back"));
        NewSmsForm& form = composer->form();
        QCOMPARE(form.message_text(), u"Welcome back");
        QCOMPARE(form.recipient_count(), size_t{1});

        form.add_recipient(make_contact("", "Welcome back"));
        form.add_recipient(make_contact("", "+49 151 1234 5678"));
        composer->send_message();
        QCOMPARE(env.take_message_boxes().size(), size_t{1});
        QVERIFY(composer->isVisible());
        QCOMPARE(form.recipient_list().currentIndex().row(), 1);  // the entry marked
        QVERIFY(!env.phone_output({QStringLiteral("outbox")}).contains("Welcome back"));

        form.recipient_list().recipients().remove_recipient(1);
        composer->send_message();
        const QByteArray outbox = env.phone_output({QStringLiteral("outbox")});
        QCOMPARE(outbox.count("Welcome back"), 1);
        QVERIFY2(outbox.contains("+4915112345678"), outbox.constData());
        QCOMPARE(f->sent_items().count(), size_t{1});
    }

    // An export says what it wrote and suggests a dated name; what it wrote
    // reads back whole in Python's csv. Hovering the toolbar leaves the
    // status as it was; Print with nothing shown prints nothing.
    void exportsSayWhatTheyWroteAndPrintOnlyWhatIsShown() {
        MainTestEnv env;
        write_scene();
        RunningFrame f;
        const QString path = env.temp_path(QStringLiteral("inbox.csv"));
        env.answer_file_dialogs({path});
        f->export_csv();
        QCOMPARE(env.file_suggestions().back(),
                 QStringLiteral("Inbox-%1.csv").arg(QDate::currentDate().toString(Qt::ISODate)));
        QCOMPARE(f->status_text(), QStringLiteral("3 messages exported to %1").arg(path));
        f->findChild<QAction*>(QStringLiteral("toolGetSms"))->hover();
        QVERIFY(f->statusBar()->currentMessage().isEmpty());
        QProcess python;
        python.start(QStringLiteral("python3"),
                     {QStringLiteral("-c"),
                      QStringLiteral("import csv,sys\nfor r in csv.reader(open(sys.argv[1],"
                                     "encoding='utf-8',newline=''),skipinitialspace=True):"
                                     "print(r[3])"),
                      path});
        QVERIFY(python.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(python.readAllStandardOutput())
                    .contains(QStringLiteral("\u05e9\u05dc\u05d5\u05dd \u05d7\u05d1\u05e8")));

        click_row(f->list_view(), 0);
        QVERIFY(f->html_view().showing_page());
        f->show_box(BoxKind::SentItems);  // the view is empty again
        QVERIFY(!f->html_view().showing_page());
        f->print_conversation();
        QCOMPARE(env.take_message_boxes().size(), size_t{1});
    }

    // A data folder that cannot be written: Cancel keeps the window open,
    // another folder keeps the session's changes.
    void aDataFolderThatCannotBeWrittenOffersAnotherFolderAtQuit() {
        MainTestEnv env;
        write_scene();
        auto f = std::make_unique<RunningFrame>();
        // A folder where the box file belongs: nothing can replace it.
        QVERIFY(QFile::remove(env.data_path(QStringLiteral("inbox1.sms"))));
        QVERIFY(QDir(env.data_path()).mkdir(QStringLiteral("inbox1.sms")));
        click_row(f->frame->list_view(), 0);  // read: a change to save
        std::vector<QStringList> offered;
        QList<int> answers{-1, 1};
        set_choice_handler([&](const QString&, const QStringList& choices) {
            offered.push_back(choices);
            return answers.takeFirst();
        });
        const QString elsewhere = env.temp_path(QStringLiteral("kept"));
        env.answer_file_dialogs({elsewhere});
        f->frame->close();
        const bool open_after_cancel = f->frame->isVisible();
        f->frame->close();
        set_choice_handler({});
        QVERIFY(QDir(env.data_path()).rmdir(QStringLiteral("inbox1.sms")));
        QVERIFY(open_after_cancel);
        QVERIFY(!f->frame->isVisible());
        QCOMPARE(offered.size(), size_t{2});
        QCOMPARE(offered[0],
                 (QStringList{QStringLiteral("Retry"), QStringLiteral("Save to another folder..."),
                              QStringLiteral("Quit without saving")}));
        SmsBox kept(BoxKind::Inbox);
        kept.load_box_file((elsewhere + QStringLiteral("/inbox1.sms")).toStdString());
        QCOMPARE(kept.count(), size_t{3});
        QCOMPARE(kept.message_ref(0).read(), uint8_t{1});
    }
};

QTEST_MAIN(MainTruthTest)
#include "main_truth_test.moc"
