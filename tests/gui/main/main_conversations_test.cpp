// Conversations and search in the real main window, over real box and
// contacts files in the data folder: the conversation page as the view
// shows it, the lists after typing in the search field, the scope across
// the boxes, Reply from a conversation, and read marks saved to the files.
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/store/config_list.h"
#include "desktop/store/contact_list.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/flat_list_view.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/list_pane.h"
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

// The boxes and contacts of the scene, written as the program writes them.
void write_scene() {
    SmsBox inbox(BoxKind::Inbox);
    inbox.append(scene_message(kNora, u"Hello <b>there</b> & you", kDay0 + kDay, false));
    inbox.append(scene_message(kNora, u"Caf\u00e9 tomorrow?", kDay0 + 2 * kDay, false));
    inbox.append(scene_message("Bank", u"Your code is 1234", kDay0 + 2 * kDay - 3600));
    SmsBox sent(BoxKind::SentItems);
    sent.append(scene_message(kNora + ";" + kPaul, u"Group note", kDay0 + kDay + 3600));
    sent.append(scene_message("+49 170 1111111", u"See you", kDay0 + 2 * kDay + 1800));
    SmsBox deleted(BoxKind::DeletedItems);
    deleted.append(scene_message(kNora, u"Old one", kDay0));
    QVERIFY(inbox.save_box(kInboxFileName));
    QVERIFY(sent.save_box(kSentFileName));
    QVERIFY(deleted.save_box(kDeletedFileName));
    ContactList contacts;
    contacts.append(make_contact("Nora,Weiss", kNora));
    contacts.sort_contacts();
    QVERIFY(contacts.save_contacts(kContactsFileName));
}

// A column's cells, top to bottom as the list shows them.
QStringList rows_in_order(QAbstractItemModel& model, int column) {
    QStringList out;
    for (int row = 0; row < model.rowCount(); ++row)
        out << model.index(row, column).data().toString();
    return out;
}

int row_of(QAbstractItemModel& model, int column, const QString& text) {
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.index(row, column).data().toString() == text)
            return row;
    }
    return -1;
}

void click_row(FlatListView& view, int row) {
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
    QStringList out = rows_in_order(model, column);
    out.sort();
    return out;
}

void click_header(FlatListView& view, int column) {
    QHeaderView* header = view.header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, header->height() / 2));
}

// A click on `text` in the view, scrolled into view first, as a user
// clicks a link.
void click_text(QTextBrowser& browser, const QString& text) {
    const QTextCursor found = browser.document()->find(text);
    QVERIFY2(!found.isNull(), qPrintable(text));
    QTextCursor middle(browser.document());
    middle.setPosition((found.selectionStart() + found.selectionEnd()) / 2);
    browser.setTextCursor(middle);
    browser.ensureCursorVisible();
    const QPoint at = browser.cursorRect(middle).center();
    QTest::mouseClick(browser.viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

// Whether the paragraph holding `text` lies within the view's visible part.
bool in_view(QTextBrowser& browser, const QString& text) {
    const QTextCursor found = browser.document()->find(text);
    if (found.isNull())
        return false;
    const QRect rect = browser.cursorRect(found);
    return rect.top() >= 0 && rect.bottom() <= browser.viewport()->height();
}

// The messages of a phone folder, by their text.
QStringList phone_texts(const MainTestEnv& env, const QString& folder) {
    QStringList out;
    for (const QJsonValue& row : env.phone_folder(folder))
        out << row.toObject().value(QStringLiteral("body")).toString();
    return out;
}

bool phone_holds(const MainTestEnv& env, const QString& text) {
    for (const QString& folder :
         {QStringLiteral("inbox"), QStringLiteral("sent"), QStringLiteral("deleted")}) {
        if (phone_texts(env, folder).contains(text))
            return true;
    }
    return false;
}

}  // namespace

class MainConversationsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void aHistoryIndexedAheadIsListedAndSearchedAsItIs() {
        MainTestEnv env;
        write_scene();
        RunningFrame f;
        ListPane& pane = f->list_pane();
        // Every history counts as long here, and a slice is two messages:
        // slices end inside boxes and between them.
        pane.index_ahead(0, 2);
        QVERIFY(pane.indexing_ahead());
        QTRY_VERIFY(!pane.indexing_ahead());
        f->tree_view().setCurrentItem(f->tree_view().conversations_node());
        ConversationListModel& list = pane.conversations();
        QCOMPARE(cells(list, ConversationListModel::kCorrespondent),
                 (QStringList{QStringLiteral("+491702222222"), QStringLiteral("Bank"),
                              QStringLiteral("Nora Weiss")}));
        const int nora =
            row_of(list, ConversationListModel::kCorrespondent, QStringLiteral("Nora Weiss"));
        QCOMPARE(list.index(nora, ConversationListModel::kMessages).data().toString(),
                 QStringLiteral("5"));
        QCOMPARE(list.index(nora, ConversationListModel::kUnread).data().toString(),
                 QStringLiteral("2"));
        pane.search_field().setText(QStringLiteral("cafe"));
        QCOMPARE(cells(list, ConversationListModel::kCorrespondent),
                 QStringList{QStringLiteral("Nora Weiss")});
    }

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
            inbox.append(
                scene_message(kPaul, u"Line " + from_utf8(std::to_string(i)), kDay0 + i * 60));
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
        // Searched, the match is in view, not the end of the exchange.
        pane.search_field().setText(QStringLiteral("Line 800"));
        QVERIFY(in_view(browser, QStringLiteral("Line 800")));
        QVERIFY(!in_view(browser, QStringLiteral("Line 1199")));
        pane.search_field().clear();

        // The reader scrolls up to the link and clicks it: the earlier part
        // comes in above, and the message that was first stays in view.
        click_text(browser, QStringLiteral("Show earlier messages"));
        shown = browser.toPlainText();
        QVERIFY(shown.contains(QStringLiteral("Line 200\n")));
        QVERIFY(!shown.contains(QStringLiteral("Line 199\n")));
        QVERIFY(shown.contains(QStringLiteral("Show earlier messages (200 more)")));
        QVERIFY(shown.indexOf(QStringLiteral("Line 200\n")) <
                shown.indexOf(QStringLiteral("Line 700\n")));
        QVERIFY(in_view(browser, QStringLiteral("Line 700")));
        QVERIFY(!in_view(browser, QStringLiteral("Line 1199")));
        QVERIFY(!in_view(browser, QStringLiteral("Line 200")));
        // Once more: the last 200, and no link any more.
        click_text(browser, QStringLiteral("Show earlier messages"));
        shown = browser.toPlainText();
        QVERIFY(shown.contains(QStringLiteral("Line 0\n")));
        QVERIFY(!shown.contains(QStringLiteral("Show earlier messages")));
        QVERIFY(in_view(browser, QStringLiteral("Line 200")));

        // A new message and a new correspondent: the list follows.
        {
            const CommandScope command;
            f->inbox().append(scene_message(kNora, u"Newcomer", kDay0 + kDay * 30, false));
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
        // Sorting by a column keeps working. Ctrl+A selected every
        // conversation: Delete asks first, and No keeps them all.
        pane.conversation_view().sortByColumn(ConversationListModel::kMessages,
                                              Qt::DescendingOrder);
        QCOMPARE(list.index(0, ConversationListModel::kMessages).data().toString(),
                 QStringLiteral("1200"));
        env.answer_questions(false);
        f->delete_messages();
        QCOMPARE(env.questions().size(), 1);
        QVERIFY2(env.questions().back().startsWith(QStringLiteral(
                     "Delete the 1201 messages exchanged with +491702222222 and +491701111111,")),
                 qPrintable(env.questions().back()));
        QCOMPARE(f->inbox().count(), size_t{1201});
        QCOMPARE(list.rowCount(), 2);
    }

    // Delete on selected conversations removes their messages from their
    // boxes as a box's Delete does, after a question that says how many and
    // whose; the lists and the view follow, the box files keep it.
    void deletingConversationsAsksThenEmptiesThemFromTheirBoxes() {
        MainTestEnv env;
        QVERIFY(env.phone({QStringLiteral("init")}));
        write_scene();
        RunningFrame f;
        ListPane& pane = f->list_pane();
        ConversationListModel& list = pane.conversations();
        FlatListView& view = pane.conversation_view();
        QTextBrowser& browser = f->html_view().browser();
        f->show_conversations();
        const QString paul = QStringLiteral("+491702222222");
        click_row(view, row_of(list, ConversationListModel::kCorrespondent, paul));
        QVERIFY(browser.toPlainText().contains(QStringLiteral("Group note")));

        // No: nothing goes.
        env.answer_questions(false);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(env.questions(),
                 QStringList{QStringLiteral(
                     "Delete the message exchanged with +491702222222, on the phone and here? One "
                     "of them also went to others and leaves their conversations too.")});
        QCOMPARE(f->sent_items().count(), size_t{2});
        QCOMPARE(list.rowCount(), 3);

        // Yes: the note to Nora and Paul leaves both conversations.
        env.answer_questions(true);
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(env.questions().size(), 2);
        QCOMPARE(f->status_text(), QStringLiteral("Message(s) deleted."));
        QVERIFY(env.message_boxes().empty());
        QCOMPARE(cells(list, ConversationListModel::kCorrespondent),
                 (QStringList{QStringLiteral("Bank"), QStringLiteral("Nora Weiss")}));
        const int nora =
            row_of(list, ConversationListModel::kCorrespondent, QStringLiteral("Nora Weiss"));
        QCOMPARE(list.index(nora, ConversationListModel::kMessages).data().toString(),
                 QStringLiteral("4"));
        QCOMPARE(f->sent_items().count(), size_t{1});
        // As in a box, the conversation now at its place is shown.
        QCOMPARE(view.selectionModel()->selectedRows().size(), 1);
        const QString next = browser.toPlainText();
        QVERIFY(!next.contains(QStringLiteral("Group note")));
        QVERIFY(next.contains(list.index(view.currentIndex().row(), 0).data().toString()));
        SmsBox saved(BoxKind::SentItems);
        saved.load_box(kSentFileName);
        QCOMPARE(saved.count(), size_t{1});
        QCOMPARE(QString::fromStdU16String(std::u16string(saved.message_ref(0).text_view())),
                 QStringLiteral("See you"));

        // Both others at once, chosen with Ctrl: every box empties.
        click_row(view, 0);
        const QModelIndex second = list.index(1, 0);
        QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          view.visualRect(second).center());
        QCOMPARE(view.selectionModel()->selectedRows().size(), 2);
        const QStringList names = rows_in_order(list, ConversationListModel::kCorrespondent);
        // This time from the list's context menu, which shows the keys.
        QStringList entries;
        for (const QAction* action : pane.conversation_menu()->actions())
            entries << action->text() + QLatin1Char(' ') + action->shortcut().toString();
        QCOMPARE(entries, (QStringList{QStringLiteral("Reply Ctrl+R"), QStringLiteral("Delete Del"),
                                       QStringLiteral("Delete on device Shift+Del")}));
        pane.conversation_menu()->findChild<QAction*>(QStringLiteral("menuDelete"))->trigger();
        QCOMPARE(env.questions().back(),
                 QStringLiteral("Delete the 5 messages exchanged with %1 and %2, on the phone "
                                "and here?")
                     .arg(names[0], names[1]));
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(f->inbox().count() + f->sent_items().count() + f->deleted_items().count(),
                 size_t{0});
        QVERIFY(browser.toPlainText().contains(QStringLiteral("Choose a message")));
        QCOMPARE(f->status_text(), QStringLiteral("Message(s) deleted."));
        f->show_box(BoxKind::Inbox);
        QCOMPARE(f->list_view().list_model().rowCount(), 0);
        SmsBox inbox(BoxKind::Inbox);
        inbox.load_box(kInboxFileName);
        QCOMPARE(inbox.count(), size_t{0});

        // Nothing selected: nothing to ask about.
        f->show_conversations();
        f->delete_messages();
        QCOMPARE(env.questions().size(), 3);
        QCOMPARE(f->status_text(), QStringLiteral("No message selected: nothing deleted."));
    }

    // The sample phone over the real link: Delete takes a conversation off
    // the phone and out of the boxes; left Shift+Delete takes one off the
    // phone only, the copies kept and no longer marked as on the phone.
    void conversationsAreDeletedOnThePhone() {
        MainTestEnv env;
        QVERIFY(env.phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        ListPane& pane = f->list_pane();
        ConversationListModel& list = pane.conversations();
        FlatListView& view = pane.conversation_view();
        f->show_conversations();
        // Every row names its correspondent; the e-mail sender, whose address
        // holds no number, is one too.
        for (int r = 0; r < list.rowCount(); ++r) {
            QVERIFY(
                !list.index(r, ConversationListModel::kCorrespondent).data().toString().isEmpty());
        }
        const int mail = row_of(list, ConversationListModel::kCorrespondent,
                                QStringLiteral("chloe@example.org"));
        QVERIFY(mail >= 0);
        click_row(view, mail);
        QTRY_VERIFY(f->html_view().browser().toPlainText().contains(
            QStringLiteral("Photos from the weekend")));
        QVERIFY(
            f->html_view().browser().toPlainText().contains(QStringLiteral("chloe@example.org")));
        const QString daniel = QStringLiteral("+15551234567");
        const QStringList daniels = {QStringLiteral("Call me when you land."),
                                     QStringLiteral("Landed. Taxi in 20 min."),
                                     QStringLiteral("OK, 3pm works.")};
        for (const QString& text : daniels)
            QVERIFY(phone_holds(env, text));
        int row = row_of(list, ConversationListModel::kCorrespondent, daniel);
        QVERIFY(row >= 0);
        const QString count = list.index(row, ConversationListModel::kMessages).data().toString();
        const size_t before = f->inbox().count() + f->sent_items().count();
        click_row(view, row);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(env.questions().back(),
                 QStringLiteral("Delete the %1 messages exchanged with %2, on the phone and here?")
                     .arg(count, daniel));
        QCOMPARE(f->status_text(), QStringLiteral("Message(s) deleted."));
        QCOMPARE(row_of(list, ConversationListModel::kCorrespondent, daniel), -1);
        QCOMPARE(f->inbox().count() + f->sent_items().count(), before - count.toULongLong());
        for (const QString& text : daniels)
            QVERIFY2(!phone_holds(env, text), qPrintable(text));
        QVERIFY(env.message_boxes().empty());

        const QString ben = QStringLiteral("+447700900123");
        row = row_of(list, ConversationListModel::kCorrespondent, ben);
        const QString bens = list.index(row, ConversationListModel::kMessages).data().toString();
        click_row(view, row);
        view.setFocus();
        QTest::keyClick(&view, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(env.questions().back(),
                 QStringLiteral("Delete the %1 messages exchanged with %2 on the phone? Quillet "
                                "keeps its copies, marked as no longer on the phone.")
                     .arg(bens, ben));
        QCOMPARE(f->status_text(), QStringLiteral("SMS Message(s) deleted."));
        // Kept here, in the list and in the view.
        row = row_of(list, ConversationListModel::kCorrespondent, ben);
        QVERIFY(row >= 0);
        QCOMPARE(list.index(row, ConversationListModel::kMessages).data().toString(), bens);
        QVERIFY(f->html_view().browser().toPlainText().contains(QStringLiteral("Happy birthday")));
        for (const QString& text : {QStringLiteral("Happy birthday!!"),
                                    QStringLiteral("Thank you!"), QStringLiteral("Old news.")}) {
            QVERIFY2(!phone_holds(env, text), qPrintable(text));
        }
        QVERIFY(phone_holds(env, QStringLiteral("See you soon \u2013 Anna")));
        // The Inbox's rows show them no longer on the phone, the file too.
        f->show_box(BoxKind::Inbox);
        MessageListModel& rows = f->list_view().list_model();
        const int birthday =
            row_of(rows, MessageListModel::kMessage, QStringLiteral("Happy birthday!!"));
        QVERIFY(birthday >= 0);
        QCOMPARE(rows.index(birthday, MessageListModel::kOnPhone).data().toString(), QString());
        const int anna =
            row_of(rows, MessageListModel::kMessage, QStringLiteral("See you soon \u2013 Anna"));
        QCOMPARE(rows.index(anna, MessageListModel::kOnPhone).data().toString(),
                 QStringLiteral("*"));
        SmsBox saved(BoxKind::Inbox);
        saved.load_box(kInboxFileName);
        for (size_t i = 0; i < saved.count(); ++i) {
            if (saved.message_ref(i).number() == ben.toStdString())
                QCOMPARE(saved.message_ref(i).on_phone(), uint8_t{0});
        }
    }

    // A header click on the conversations is kept like the boxes' sort:
    // the next run lists them in the same order.
    void theConversationSortComesBackAfterARestart() {
        MainTestEnv env;
        write_scene();
        QStringList order;
        {
            RunningFrame f;
            f->show_conversations();
            FlatListView& view = f->list_pane().conversation_view();
            const QStringList newest_first = rows_in_order(f->list_pane().conversations(),
                                                           ConversationListModel::kCorrespondent);
            click_header(view, ConversationListModel::kCorrespondent);
            QCOMPARE(view.header()->sortIndicatorSection(),
                     int{ConversationListModel::kCorrespondent});
            order = rows_in_order(f->list_pane().conversations(),
                                  ConversationListModel::kCorrespondent);
            QVERIFY(order != newest_first);
            // A to Z.
            QCOMPARE(order, (QStringList{QStringLiteral("+491702222222"), QStringLiteral("Bank"),
                                         QStringLiteral("Nora Weiss")}));
            f->close();
        }
        ConfigList saved;
        saved.parse(
            MainTestEnv::read_file(env.data_path(QStringLiteral("options.cfg"))).toStdString());
        QCOMPARE(QLatin1String(saved.find("conversation_sort").value_or("")), QLatin1String("0,0"));
        RunningFrame f;
        f->tree_view().setCurrentItem(f->tree_view().conversations_node());
        QCOMPARE(
            rows_in_order(f->list_pane().conversations(), ConversationListModel::kCorrespondent),
            order);
        QCOMPARE(f->list_pane().conversation_view().header()->sortIndicatorOrder(),
                 Qt::AscendingOrder);
    }

    // No phone to reach: the deletion is reported as the boxes report it
    // and nothing is lost.
    void aConversationIsKeptWhenThePhoneCannotBeReached() {
        MainTestEnv env;
        write_scene();
        RunningFrame f(300);
        ListPane& pane = f->list_pane();
        ConversationListModel& list = pane.conversations();
        f->show_conversations();
        const int nora =
            row_of(list, ConversationListModel::kCorrespondent, QStringLiteral("Nora Weiss"));
        click_row(pane.conversation_view(), nora);
        f->delete_messages();
        std::vector<MessageBoxRequest> boxes = env.take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(QStringLiteral(
            "Unable to delete on device. Please Check your ActiveSync connection.\nDetails:\n")));
        QCOMPARE(f->status_text(),
                 QStringLiteral("No message deleted: the phone could not be reached."));
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.index(row_of(list, ConversationListModel::kCorrespondent,
                                   QStringLiteral("Nora Weiss")),
                            ConversationListModel::kMessages)
                     .data()
                     .toString(),
                 QStringLiteral("5"));
        QCOMPARE(f->inbox().count() + f->sent_items().count() + f->deleted_items().count(),
                 size_t{6});
        QVERIFY(f->html_view().browser().toPlainText().contains(QStringLiteral("See you")));
        f->delete_messages_on_device();
        QCOMPARE(env.take_message_boxes().size(), size_t{1});
        QCOMPARE(f->status_text(),
                 QStringLiteral("No message deleted on device: the phone could not be reached."));
    }
};

QTEST_MAIN(MainConversationsTest)
#include "main_conversations_test.moc"
