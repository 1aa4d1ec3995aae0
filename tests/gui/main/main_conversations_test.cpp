// Conversations and search in the real main window, over real box and
// contacts files in the data folder: the conversation page as the view
// shows it, the lists after typing in the search field, the scope across
// the boxes, Reply from a conversation, and read marks saved to the files.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QJsonObject>
#include <QLineEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTreeView>

#include "desktop/app/html_form_view.h"
#include "desktop/app/list_pane.h"
#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/contact_list.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/search_results_model.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "main_test_env.h"
#include "protocol/text_codec.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

constexpr int64_t kDay0 = 1'767'261'600;  // 2026-01-01 10:00 UTC
constexpr int64_t kDay = 86'400;

const std::string kNora = "+491701111111";
const std::string kPaul = "+491702222222";

SmsMessage message(const std::string& number, const std::u16string& text, int64_t at,
                   bool read = true) {
    SmsMessage m;
    m.set_number_raw(number);
    m.set_text(text);
    m.set_time(filetime_from_unix(at));
    m.set_read(read ? 1 : 0);
    return m;
}

// The boxes and contacts of the scene, written as the program writes them.
void write_scene() {
    SmsBox inbox(BoxKind::Inbox);
    inbox.append(message(kNora, u"Hello <b>there</b> & you", kDay0 + kDay, false));
    inbox.append(message(kNora, u"Caf\u00e9 tomorrow?", kDay0 + 2 * kDay, false));
    inbox.append(message("Bank", u"Your code is 1234", kDay0 + 2 * kDay - 3600));
    SmsBox sent(BoxKind::SentItems);
    sent.append(message(kNora + ";" + kPaul, u"Group note", kDay0 + kDay + 3600));
    sent.append(message("+49 170 1111111", u"See you", kDay0 + 2 * kDay + 1800));
    SmsBox deleted(BoxKind::DeletedItems);
    deleted.append(message(kNora, u"Old one", kDay0));
    QVERIFY(inbox.save_box(kInboxFileName));
    QVERIFY(sent.save_box(kSentFileName));
    QVERIFY(deleted.save_box(kDeletedFileName));
    ContactList contacts;
    contacts.append(make_contact("Nora,Weiss", kNora));
    contacts.sort_contacts();
    QVERIFY(contacts.save_contacts(kContactsFileName));
}

int row_of(QAbstractItemModel& model, int column, const QString& text) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, column).data().toString() == text)
            return row;
    }
    return -1;
}

void click_row(QTreeView& view, int row) {
    const QModelIndex index = view.model()->index(row, 0);
    view.scrollTo(index);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                      view.visualRect(index).center());
}

// Where the paragraph holding `text` in the view lies: 0 left, 1 right.
int side_of(QTextBrowser& browser, const QString& text) {
    const QTextCursor found = browser.document()->find(text);
    if (found.isNull())
        return -1;
    return found.blockFormat().alignment().testFlag(Qt::AlignRight) ? 1 : 0;
}

QString day_line(int64_t at) {
    return QLocale().toString(QDateTime::fromSecsSinceEpoch(at).date(), QLocale::LongFormat);
}

QStringList cells(QAbstractItemModel& model, int column) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row, column).data().toString();
    out.sort();
    return out;
}

}  // namespace

class MainConversationsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void aConversationShowsTheWholeExchange() {
        MainTestEnv env;
        write_scene();
        RunningFrame f;
        ListPane& pane = f->list_pane();
        QAbstractItemModelTester checked(&pane.conversations(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
        f->tree_view().setCurrentItem(f->tree_view().conversations_node());
        QVERIFY(pane.showing_conversations());
        ConversationListModel& list = pane.conversations();
        QCOMPARE(list.rowCount(), 3);
        // Newest first: Nora's "See you", a spelling of her number with blanks.
        QCOMPARE(list.index(0, ConversationListModel::kCorrespondent).data().toString(),
                 QStringLiteral("Nora Weiss"));
        QCOMPARE(list.index(0, ConversationListModel::kLastMessage).data().toString(),
                 QStringLiteral("See you"));
        QCOMPARE(list.index(0, ConversationListModel::kMessages).data().toString(),
                 QStringLiteral("5"));
        QCOMPARE(list.index(0, ConversationListModel::kUnread).data().toString(),
                 QStringLiteral("2"));
        QCOMPARE(cells(list, ConversationListModel::kCorrespondent),
                 (QStringList{QStringLiteral("+491702222222"), QStringLiteral("Bank"),
                              QStringLiteral("Nora Weiss")}));

        click_row(pane.conversation_view(), 0);
        QTextBrowser& browser = f->html_view().browser();
        const QString shown = browser.toPlainText();
        // Oldest at the top, the markup of a text shown as text.
        const QStringList order = {
            QStringLiteral("Old one"), QStringLiteral("Hello <b>there</b> & you"),
            QStringLiteral("Group note"), QStringLiteral("Caf\u00e9 tomorrow?"),
            QStringLiteral("See you")};
        qsizetype at = 0;
        for (const QString& text : order) {
            const qsizetype next = shown.indexOf(text);
            QVERIFY2(next > at, qPrintable(text + QStringLiteral(" in:\n") + shown));
            at = next;
        }
        QVERIFY(shown.contains(QStringLiteral("Nora Weiss")));
        QVERIFY(shown.contains(QStringLiteral("deleted on device")));
        QVERIFY(!shown.contains(QStringLiteral("Your code")));
        for (const int64_t day : {kDay0, kDay0 + kDay, kDay0 + 2 * kDay})
            QCOMPARE(shown.count(day_line(day)), 1);
        // Received on the left, sent on the right.
        QCOMPARE(side_of(browser, QStringLiteral("Caf\u00e9 tomorrow?")), 0);
        QCOMPARE(side_of(browser, QStringLiteral("See you")), 1);
        QCOMPARE(side_of(browser, QStringLiteral("Group note")), 1);

        // Read now, in the list and in the saved box file.
        QCOMPARE(list.index(0, ConversationListModel::kUnread).data().toString(), QString());
        SmsBox saved(BoxKind::Inbox);
        saved.load_box(kInboxFileName);
        QCOMPARE(saved.message_ref(0).read(), uint8_t{1});
        QCOMPARE(saved.message_ref(1).read(), uint8_t{1});

        // The message to two people is in the other one's conversation too.
        click_row(pane.conversation_view(), row_of(list, ConversationListModel::kCorrespondent,
                                                   QStringLiteral("+491702222222")));
        QVERIFY(browser.toPlainText().contains(QStringLiteral("Group note")));
        QVERIFY(!browser.toPlainText().contains(QStringLiteral("See you")));

        // Reply goes to the conversation's correspondent.
        QTest::keyClick(&pane.conversation_view(), Qt::Key_R, Qt::ControlModifier);
        QVERIFY(f->composer() != nullptr);
        QCOMPARE(f->composer()->form().recipient_count(), size_t{1});
        QCOMPARE(std::string(text_field(f->composer()->form().recipient_at(0).number)), kPaul);
    }

    void theSearchFiltersWhatIsShown() {
        MainTestEnv env;
        write_scene();
        RunningFrame f;
        ListPane& pane = f->list_pane();
        MessageListModel& rows = f->list_view().list_model();
        QAbstractItemModelTester checked(&pane.results(),
                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(rows.rowCount(), 3);

        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.frame.get()));
        f->list_view().setFocus();
        QTest::keyClick(&f->list_view(), Qt::Key_E, Qt::ControlModifier);
        QLineEdit& field = pane.search_field();
        QCOMPARE(QApplication::focusWidget(), &field);
        QTest::keyClicks(&field, QStringLiteral("cafe"));
        QCOMPARE(cells(rows, MessageListModel::kMessage),
                 QStringList{QStringLiteral("Caf\u00e9 tomorrow?")});
        click_row(f->list_view(), 0);
        QVERIFY(f->html_view().browser().toHtml().contains(QStringLiteral("#ffe36e")));

        // Esc clears the search: every message again.
        QTest::keyClick(&field, Qt::Key_Escape);
        QVERIFY(field.text().isEmpty());
        QCOMPARE(rows.rowCount(), 3);

        // Digits find numbers however written; a name finds its numbers.
        QTest::keyClicks(&field, QStringLiteral("170-111"));
        QCOMPARE(rows.rowCount(), 2);
        field.clear();
        QTest::keyClicks(&field, QStringLiteral("NORA"));
        QCOMPARE(rows.rowCount(), 2);

        // All boxes at once, with the box each was found in ("Your code" too).
        field.clear();
        pane.all_boxes().setChecked(true);
        QTest::keyClicks(&field, QStringLiteral("you"));
        QCOMPARE(pane.results_view().isVisible(), true);
        QCOMPARE(cells(pane.results(), SearchResultsModel::kBox),
                 (QStringList{QStringLiteral("Inbox"), QStringLiteral("Inbox"),
                              QStringLiteral("Sent Items")}));
        click_row(pane.results_view(), 0);
        QVERIFY(f->html_view().browser().toPlainText().contains(QStringLiteral("you")));

        // The conversations filter the same way.
        f->show_conversations();
        field.clear();
        QTest::keyClicks(&field, QStringLiteral("group"));
        QCOMPARE(cells(pane.conversations(), ConversationListModel::kCorrespondent),
                 (QStringList{QStringLiteral("+491702222222"), QStringLiteral("Nora Weiss")}));
        QTest::keyClicks(&field, QStringLiteral("zzz"));
        QCOMPARE(pane.conversations().rowCount(), 0);
    }

    // The sample phone over the real link: a result across the boxes is
    // deleted on the phone and in its box, and the results follow.
    void aResultIsDeletedOnThePhoneAndInItsBox() {
        MainTestEnv env;
        QVERIFY(env.phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        ListPane& pane = f->list_pane();
        pane.all_boxes().setChecked(true);
        QTest::keyClicks(&pane.search_field(), QStringLiteral("GRUSSE AUS"));
        QCOMPARE(pane.results().rowCount(), 1);
        QCOMPARE(pane.results().index(0, SearchResultsModel::kBox).data().toString(),
                 QStringLiteral("Inbox"));
        click_row(pane.results_view(), 0);
        QVERIFY(f->html_view().browser().toPlainText().contains(QStringLiteral("M\u00fcnchen")));
        const size_t before = f->inbox().count();

        QTest::keyClick(&pane.results_view(), Qt::Key_Delete);
        QCOMPARE(pane.results().rowCount(), 0);
        QCOMPARE(f->inbox().count(), before - 1);
        QCOMPARE(f->status_text(), QStringLiteral("Message(s) deleted."));
        for (const QJsonValue& row : env.phone_folder(QStringLiteral("inbox"))) {
            QVERIFY(!row.toObject()
                         .value(QStringLiteral("body"))
                         .toString()
                         .startsWith(QStringLiteral("Gr\u00fc\u00dfe")));
        }
    }

    void conversationsFollowChangesAndShowTheNewestPartFirst() {
        MainTestEnv env;
        SmsBox inbox(BoxKind::Inbox);
        for (int i = 0; i < 1'200; ++i)
            inbox.append(message(kPaul, u"Line " + from_utf8(std::to_string(i)), kDay0 + i * 60));
        QVERIFY(inbox.save_box(kInboxFileName));
        RunningFrame f;
        ListPane& pane = f->list_pane();
        f->show_conversations();
        click_row(pane.conversation_view(), 0);
        QTextBrowser& browser = f->html_view().browser();
        QString shown = browser.toPlainText();
        QVERIFY(shown.contains(QStringLiteral("Line 1199")));
        QVERIFY(shown.contains(QStringLiteral("Line 700")));
        QVERIFY(!shown.contains(QStringLiteral("Line 699\n")));
        QVERIFY(shown.contains(QStringLiteral("Show earlier messages (700 more)")));
        QCOMPARE(browser.verticalScrollBar()->value(), browser.verticalScrollBar()->maximum());

        Q_EMIT browser.anchorClicked(QUrl(QStringLiteral("quillet:earlier")));
        shown = browser.toPlainText();
        QVERIFY(shown.contains(QStringLiteral("Line 200\n")));
        QVERIFY(shown.contains(QStringLiteral("Show earlier messages (200 more)")));

        // A new message and a new correspondent: the list follows.
        {
            const CommandScope command;
            f->inbox().append(message(kNora, u"Newcomer", kDay0 + kDay * 30, false));
        }
        ConversationListModel& list = pane.conversations();
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.index(0, ConversationListModel::kLastMessage).data().toString(),
                 QStringLiteral("Newcomer"));
        QCOMPARE(list.index(0, ConversationListModel::kUnread).data().toString(),
                 QStringLiteral("1"));
        // Select all and Mark read act on a box's rows: the box list behind
        // the conversations is left alone.
        QTest::keyClick(&pane.conversation_view(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&pane.conversation_view(), Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(f->inbox().message_ref(1'200).read(), uint8_t{0});
        // Sorting by a column keeps working, and Delete leaves the
        // conversation alone.
        pane.conversation_view().sortByColumn(ConversationListModel::kMessages,
                                              Qt::DescendingOrder);
        QCOMPARE(list.index(0, ConversationListModel::kMessages).data().toString(),
                 QStringLiteral("1200"));
        f->delete_messages();
        QCOMPARE(f->inbox().count(), size_t{1201});
    }
};

QTEST_MAIN(MainConversationsTest)
#include "main_conversations_test.moc"
