// What the user sees of the main window, over the real link and agent: the
// message the view shows after every selection, switch, deletion and refill;
// long texts; tooltips; status texts of failures; read flags through Get SMS;
// the list's order and scroll position; closing with drafts; the tray, its
// fallback and the new-message notice; held-down Delete.
#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>

#include "desktop/composer/new_sms_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/message_page.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "main_test_env.h"
#include "protocol/filetime.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

const QString kIdleLine = QStringLiteral("Choose a message in the list above");

QString shown(RunningFrame& f) {
    return f->html_view().browser().toPlainText();
}

QString row_text(SmsListView& list, int row) {
    const SmsMessage& m = list.current_box()->message_ref(list.list_model().message_index(row));
    return QString::fromStdU16String(std::u16string(m.text_view())).section(u'\n', 0, 0);
}

void click_row(SmsListView& list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    list.scrollTo(list.list_model().index(row, 0));
    const QRect rect = list.visualRect(list.list_model().index(row, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, rect.center());
}

bool row_visible(SmsListView& list, int row) {
    const QRect rect = list.visualRect(list.list_model().index(row, 0));
    return rect.isValid() && list.viewport()->rect().intersects(rect);
}

QLabel* visible_tooltip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QStringLiteral("qtooltip_label") && widget->isVisible())
            return qobject_cast<QLabel*>(widget);
    }
    return nullptr;
}

void key(QWidget* widget, int code, bool auto_repeat = false) {
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, QString(), auto_repeat);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, QString(), auto_repeat);
    QApplication::sendEvent(widget, &release);
}

}  // namespace

class MainScreenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainTestEnv> env_;

    bool deliver(const QString& text, const QString& from = QStringLiteral("+4930555000")) {
        return env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"), from,
                            QStringLiteral("--text"), text});
    }

    std::unique_ptr<RunningFrame> sample_frame() {
        if (!env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}))
            return nullptr;
        auto f = std::make_unique<RunningFrame>();
        if (f->get_sms() <= 0)
            return nullptr;
        env_->take_message_boxes();
        (*f)->activateWindow();
        if (!QTest::qWaitForWindowActive(f->frame.get()))
            qWarning("main window not active");
        return f;
    }

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() { env_.reset(); }

    void viewShowsTheCurrentMessageAfterEveryChange() {
        auto f = sample_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        QVERIFY(list.list_model().rowCount() >= 3);
        QVERIFY(shown(*f).contains(kIdleLine));
        // Clicks and arrow keys.
        for (const int row : {0, 2, 1}) {
            click_row(list, row);
            QVERIFY2(shown(*f).contains(row_text(list, row)), qPrintable(shown(*f)));
        }
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Down);
        QVERIFY(shown(*f).contains(row_text(list, 2)));
        QCOMPARE(QString::fromStdU16String(std::u16string((*f)->selected_message().text_view()))
                     .section(u'\n', 0, 0),
                 row_text(list, 2));
        // A refill keeps the message shown, selected.
        QVERIFY(deliver(QStringLiteral("Arrived during reading")));
        const QString before = row_text(list, list.current_row());
        QCOMPARE(f->get_sms(), 1);
        QCOMPARE(list.selected_rows().size(), size_t{1});
        QCOMPARE(row_text(list, list.selected_rows().front()), before);
        QVERIFY(shown(*f).contains(before));
        // A deletion shows the row that took the deleted one's place.
        const int row = list.selected_rows().front();
        const QString deleted = row_text(list, row);
        key(&list, Qt::Key_Delete);
        QVERIFY(!shown(*f).contains(deleted));
        QVERIFY(shown(*f).contains(row_text(list, list.current_row())));
        // A box switch shows the idle page, and the other box's messages.
        (*f)->show_box(BoxKind::SentItems);
        QVERIFY(shown(*f).contains(kIdleLine));
        click_row(list, 0);
        QVERIFY(shown(*f).contains(row_text(list, 0)));
        (*f)->show_box(BoxKind::Inbox);
        QVERIFY(shown(*f).contains(kIdleLine));
        QCOMPARE(list.current_row(), -1);
    }

    void longTextShowsItsStartAndAMarkAndForwardsWhole() {
        auto f = sample_frame();
        QVERIFY(f);
        const QString text = QString(100'000, u'x');
        QVERIFY(deliver(text));
        QCOMPARE(f->get_sms(), 1);
        SmsListView& list = (*f)->list_view();
        QCOMPARE(row_text(list, 0).size(), text.size());  // newest first
        click_row(list, 0);
        const QString page = shown(*f);
        QVERIFY(page.contains(QString(kMaxPageText, u'x')));
        QVERIFY(!page.contains(QString(kMaxPageText + 1, u'x')));
        QVERIFY(page.contains(
            QStringLiteral("text continues: %1 more characters").arg(100'000 - kMaxPageText)));
        // The stored text and what Forward takes stay whole.
        QCOMPARE((*f)->selected_message().text_view().size(), size_t{100'000});
        (*f)->forward();
        auto* edit = (*f)->composer()->findChild<QPlainTextEdit*>(QStringLiteral("messageEdit"));
        QCOMPARE(edit->toPlainText(), text);
    }

    void tooltipsShowMarkupAsText() {
        auto f = sample_frame();
        QVERIFY(f);
        const QString hostile =
            QStringLiteral("<img src=/etc/hostname> and <img src=/dev/zero> <b>bold</b>");
        QVERIFY(deliver(hostile));
        QCOMPARE(f->get_sms(), 1);
        SmsListView& list = (*f)->list_view();
        const QModelIndex cell = list.list_model().index(0, MessageListModel::kMessage);
        const QString tip = cell.data(Qt::ToolTipRole).toString();
        QVERIFY(!tip.contains(QStringLiteral("<img")));
        QTextDocument rendered;
        rendered.setHtml(tip);
        QCOMPARE(rendered.toPlainText(), hostile);
        // Hovering shows it as that text (and reads no file).
        const QRect rect = list.visualRect(cell);
        QHelpEvent hover(QEvent::ToolTip, rect.center(),
                         list.viewport()->mapToGlobal(rect.center()));
        QApplication::sendEvent(list.viewport(), &hover);
        QTRY_VERIFY(visible_tooltip() != nullptr);
        QLabel* label = visible_tooltip();
        QTextDocument on_screen;
        on_screen.setHtml(label->text());
        QCOMPARE(on_screen.toPlainText(), hostile);
    }

    void failedAndEmptyDeletionsSayWhatHappened() {
        auto f = sample_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        const int rows = list.list_model().rowCount();
        (*f)->delete_messages();
        QCOMPARE((*f)->status_text(), QStringLiteral("No message selected: nothing deleted."));
        (*f)->delete_messages_on_device();
        QCOMPARE((*f)->status_text(), QStringLiteral("No message selected: nothing deleted."));
        QCOMPARE(list.list_model().rowCount(), rows);
        QVERIFY(env_->message_boxes().empty());
    }

    void heldDownDeleteDeletesOnce() {
        auto f = sample_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        const int rows = list.list_model().rowCount();
        click_row(list, 0);
        key(&list, Qt::Key_Delete, true);  // a repeat of a press not seen
        QCOMPARE(list.list_model().rowCount(), rows);
        key(&list, Qt::Key_Delete);
        key(&list, Qt::Key_Delete, true);
        key(&list, Qt::Key_Delete, true);
        QCOMPARE(list.list_model().rowCount(), rows - 1);
        QCOMPARE((*f)->status_text(), QStringLiteral("Message(s) deleted."));
    }

    void messageReadHereStaysReadThroughGetSms() {
        auto f = sample_frame();
        QVERIFY(f);
        QVERIFY(deliver(QStringLiteral("Read me here")));
        QCOMPARE(f->get_sms(), 1);
        SmsListView& list = (*f)->list_view();
        const QModelIndex unread = list.list_model().index(0, MessageListModel::kUnread);
        QCOMPARE(row_text(list, 0), QStringLiteral("Read me here"));
        QCOMPARE(unread.data().toString(), QStringLiteral("*"));
        click_row(list, 0);
        QCOMPARE(unread.data().toString(), QString());
        // The phone still has it unread; the next Get SMS must not undo it.
        QVERIFY(deliver(QStringLiteral("Another one")));
        QCOMPARE(f->get_sms(), 1);
        const auto unread_mark = [&list](const QString& text) {
            for (int row = 0; row < list.list_model().rowCount(); ++row) {
                if (row_text(list, row) == text)
                    return list.list_model()
                        .index(row, MessageListModel::kUnread)
                        .data()
                        .toString();
            }
            return QStringLiteral("no such row");
        };
        QCOMPARE(unread_mark(QStringLiteral("Read me here")), QString());
        QCOMPARE(unread_mark(QStringLiteral("Another one")), QStringLiteral("*"));
    }

    void newestFirstAndTheSelectedOrNewestRowInView() {
        auto f = sample_frame();
        QVERIFY(f);
        // Enough messages to scroll, appended out of time order.
        SmsBox& inbox = (*f)->inbox();
        SmsMessage m;
        m.set_number("+4930555000");
        for (int i = 0; i < 200; ++i) {
            m.set_text(u"filler " + std::u16string(1, char16_t(u'a' + i % 26)));
            m.set_time(filetime_from_unix(1'600'000'000 + (i * 7919) % 200 * 60));
            inbox.append(m);
        }
        (*f)->show_box(BoxKind::Inbox);
        SmsListView& list = (*f)->list_view();
        for (int row = 1; row < list.list_model().rowCount(); ++row) {
            const auto newer = inbox.message_ref(list.list_model().message_index(row - 1)).time();
            QVERIFY(newer >= inbox.message_ref(list.list_model().message_index(row)).time());
        }
        // Scrolled to the end, another box and back: the newest is in view.
        list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
        QVERIFY(!row_visible(list, 0));
        (*f)->show_box(BoxKind::SentItems);
        (*f)->show_box(BoxKind::Inbox);
        QVERIFY(row_visible(list, 0));
        // Sorted oldest first, the newest (last) row is what comes into view.
        list.list_model().click_column(MessageListModel::kDate);
        (*f)->show_box(BoxKind::Inbox);
        QVERIFY(row_visible(list, list.list_model().rowCount() - 1));
        // A Get SMS that finds nothing new leaves the list where the user
        // scrolled it; one that imports refills it, and the selected row
        // comes into view.
        click_row(list, 40);
        const int selected_index = list.list_model().message_index(40);
        list.verticalScrollBar()->setValue(0);
        QCOMPARE(f->get_sms(), 0);
        QCOMPARE(list.verticalScrollBar()->value(), 0);
        QVERIFY(deliver(QStringLiteral("One more")));
        QCOMPARE(f->get_sms(), 1);
        const std::vector<int> selected = list.selected_rows();
        QCOMPARE(selected.size(), size_t{1});
        QCOMPARE(list.list_model().message_index(selected.front()), selected_index);
        QVERIFY(row_visible(list, selected.front()));
    }

    void closingWithDraftsAsksFirst() {
        RunningFrame f;
        NewSmsWindow* composer = f->new_sms();
        QVERIFY(composer != nullptr);
        composer->set_message_text(u"not sent yet");
        env_->answer_questions(false);
        f->close();
        QCOMPARE(env_->questions().size(), 1);
        QVERIFY(env_->questions().front().contains(QStringLiteral("has not been sent")));
        QVERIFY(f->isVisible());
        QVERIFY(!f->has_shut_down());
        QVERIFY(composer->isVisible());
        env_->answer_questions(true);
        QSignalSpy closed(f.frame.get(), &MainFrame::closed);
        f->close();
        QCOMPARE(closed.count(), 1);
        QVERIFY(f->has_shut_down());
    }

    void withoutATrayMinimisingUsesTheTaskbar() {
        env_->set_tray_available(false);
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        f->showMinimized();
        QCoreApplication::processEvents();
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(f->isMinimized());
        QVERIFY(!f->tray_notice().tray_icon().isVisible());
        f->tray_notice().hide_to_tray();
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(f->isMinimized());
    }

    void trayMenuShowsGetsAndQuits() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        f->options().minimize_to_tray = 1;
        f->tray_notice().hide_to_tray();
        QMenu* menu = f->tray_notice().tray_icon().contextMenu();
        QVERIFY(menu != nullptr);
        QStringList texts;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text();
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("Show Quillet"), QStringLiteral("Get SMS"),
                                     QStringLiteral("Quit")}));
        QSignalSpy imports(f.frame.get(), &MainFrame::getSmsFinished);
        menu->findChild<QAction*>(QStringLiteral("trayGetSmsAction"))->trigger();
        QCOMPARE(imports.count(), 1);
        QVERIFY(imports.at(0).at(0).toInt() > 0);
        menu->findChild<QAction*>(QStringLiteral("trayShowAction"))->trigger();
        QVERIFY(!f->tray_notice().in_tray());
        QVERIFY(f->isVisible());
        QSignalSpy closed(f.frame.get(), &MainFrame::closed);
        menu->findChild<QAction*>(QStringLiteral("trayQuitAction"))->trigger();
        QCOMPARE(closed.count(), 1);
    }

    void oneNoticeNamesTheSenderAndIsUpdated() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QVERIFY(f.get_sms() > 0);
        QVERIFY(QTest::qWaitFor([&f] { return f.link->tick_count() >= 2; }, 20000));
        QSignalSpy imports(f.frame.get(), &MainFrame::getSmsFinished);
        QVERIFY(deliver(QStringLiteral("First news"), QStringLiteral("+4930111")));
        QTRY_VERIFY_WITH_TIMEOUT(f->tray_notice().new_message_notice() != nullptr, 20000);
        QMessageBox* notice = f->tray_notice().new_message_notice();
        QVERIFY(notice->isVisible());
        QVERIFY(!notice->isModal());
        QVERIFY(notice->text().contains(QStringLiteral("From +4930111")));
        QVERIFY(env_->message_boxes().empty());
        QVERIFY(deliver(QStringLiteral("Second news"), QStringLiteral("+4930222")));
        QTRY_VERIFY_WITH_TIMEOUT(
            notice->text().contains(QStringLiteral("2 new messages, the latest from +4930222")),
            20000);
        QCOMPARE(f->findChildren<QMessageBox*>(QStringLiteral("newMessageNotice")).size(), 1);
        notice->accept();
        QTRY_VERIFY(f->tray_notice().new_message_notice() == nullptr);
    }
};

QTEST_MAIN(MainScreenTest)
#include "main_screen_test.moc"
