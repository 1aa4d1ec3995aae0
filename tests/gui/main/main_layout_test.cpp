// The windows' layout across runs: the main window's size and maximised
// state, the splitters, the list's columns and the side windows' sizes come
// back after a restart from "options.cfg"; a damaged value leaves the
// default; the first start shows a dozen rows in the list.
#include <QFile>
#include <QHeaderView>
#include <QSplitter>
#include <QTest>

#include "desktop/composer/new_sms_window.h"
#include "desktop/store/config_list.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/conversation_list_model.h"
#include "desktop/views/list_pane.h"
#include "desktop/views/options_window.h"
#include "desktop/views/sms_list_view.h"
#include "main_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

QSplitter* splitter(RunningFrame& f, const char* name) {
    return f->findChild<QSplitter*>(QLatin1String(name));
}

QList<int> column_widths(SmsListView& list) {
    QList<int> widths;
    for (int column = 0; column < list.header()->count(); ++column)
        widths.append(list.columnWidth(column));
    return widths;
}

// The columns end where the list does, or go beyond when the message
// column is at its own width: never an empty band.
bool columns_fill(SmsListView& list) {
    const int length = list.header()->length();
    return length == list.viewport()->width() ||
           (length > list.viewport()->width() && list.columnWidth(MessageListModel::kMessage) ==
                                                     list.kept_width(MessageListModel::kMessage));
}

ConfigList saved_options(const MainTestEnv& env) {
    ConfigList list;
    list.parse(MainTestEnv::read_file(env.data_path(QStringLiteral("options.cfg"))).toStdString());
    return list;
}

}  // namespace

class MainLayoutTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    void cleanup() { env_.reset(); }

    void firstStartShowsADozenRowsAndATreeAFifthWide() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        for (int i = 0; i < 12; ++i) {
            QVERIFY(env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                                 QStringLiteral("+4930555%1").arg(100 + i),
                                 QStringLiteral("--text"), QStringLiteral("row %1").arg(i)}));
        }
        RunningFrame f;
        QVERIFY(f->width() <= 1280 && f->height() <= 800 - 40);  // fits a 1280x800 screen
        QVERIFY(f.get_sms() >= 12);
        SmsListView& list = f->list_view();
        QVERIFY(list.list_model().rowCount() >= 12);
        list.scrollToTop();
        const QRect twelfth = list.visualRect(list.list_model().index(11, 0));
        QVERIFY2(twelfth.isValid() && twelfth.bottom() < list.viewport()->height(),
                 qPrintable(QStringLiteral("row 12 ends at %1 of %2")
                                .arg(twelfth.bottom())
                                .arg(list.viewport()->height())));
        const QList<int> across = splitter(f, "mainSplitter")->sizes();
        QVERIFY(qAbs(across[1] - 4 * across[0]) < 20);
        // The message view keeps the larger part.
        const QList<int> down = splitter(f, "rightSplitter")->sizes();
        QVERIFY(down[1] > down[0]);
    }

    void layoutComesBackAfterARestart() {
        const QList<int> columns{260, 180, 140, 60, 90};
        QList<int> across;
        QList<int> down;
        {
            RunningFrame f;
            f->resize(780, 640);  // within the offscreen screen of 800 x 800
            QTest::qWait(20);
            splitter(f, "mainSplitter")->setSizes({200, 560});
            splitter(f, "rightSplitter")->setSizes({330, 220});
            across = splitter(f, "mainSplitter")->sizes();
            down = splitter(f, "rightSplitter")->sizes();
            for (int column = 0; column < columns.size(); ++column)
                f->list_view().setColumnWidth(column, columns[column]);
            NewSmsWindow* composer = f->new_sms();
            QVERIFY(composer != nullptr);
            QCOMPARE(composer->size(), QSize(400, 400));
            composer->resize(520, 430);
            QVERIFY(composer->close());
            f->contacts_window()->resize(450, 380);
            f->options_window()->resize(560, 420);
            f->close();
        }
        // The layout's keys join the options' ones; keys others own stay.
        const ConfigList saved = saved_options(*env_);
        QCOMPARE(QLatin1String(saved.find("list_columns").value_or("")),
                 QLatin1String("260,180,140,60,90"));
        QCOMPARE(QLatin1String(saved.find("composer_size").value_or("")), QLatin1String("520,430"));
        QVERIFY(saved.find("popup_message").has_value());
        {
            RunningFrame f;
            QCOMPARE(f->size(), QSize(780, 640));
            QVERIFY(!f->isMaximized());
            QCOMPARE(splitter(f, "mainSplitter")->sizes(), across);
            QCOMPARE(splitter(f, "rightSplitter")->sizes(), down);
            QCOMPARE(column_widths(f->list_view()), columns);
            QCOMPARE(f->contacts_window()->size(), QSize(450, 380));
            QCOMPARE(f->options_window()->size(), QSize(560, 420));
            NewSmsWindow* composer = f->new_sms();
            QVERIFY(composer != nullptr);
            QCOMPARE(composer->size(), QSize(520, 430));
            // Maximised at the end: maximised at the next start.
            f->showMaximized();
            QTRY_VERIFY(f->isMaximized());
            f->close();
        }
        RunningFrame f;
        QTRY_VERIFY(f->isMaximized());
        // Maximised, the message column takes the room; the others are as kept.
        const QList<int> widths = column_widths(f->list_view());
        QCOMPARE(widths.mid(1), columns.mid(1));
        QCOMPARE(f->list_view().kept_width(MessageListModel::kMessage), columns[0]);
        QTRY_VERIFY(columns_fill(f->list_view()));
    }

    // The message column takes what the window gives and gives it back down
    // to its own width; a column the user dragged keeps its width, across
    // the boxes and a restart.
    void theMessageColumnTakesTheRoomAndDraggedWidthsStay() {
        int sender = 0;
        {
            RunningFrame f;
            SmsListView& list = f->list_view();
            f->resize(560, 500);
            QTest::qWait(20);
            QCOMPARE(list.columnWidth(0), 300);  // too narrow: the list scrolls
            QVERIFY(list.header()->length() > list.viewport()->width());
            const QList<int> narrow = column_widths(list);
            struct Size {
                int width;
                int height;
            };
            for (const Size size : {Size{1200, 600}, Size{1400, 640}, Size{1100, 600}}) {
                f->resize(size.width, size.height);
                QTest::qWait(20);
                QCOMPARE(list.header()->length(), list.viewport()->width());
                QCOMPARE(column_widths(list).mid(1), narrow.mid(1));
            }
            // The user widens the sender column: the message column gives
            // the room, the date stays in sight.
            const int message = list.columnWidth(MessageListModel::kMessage);
            list.header()->resizeSection(MessageListModel::kSender, narrow[1] + 40);
            QCOMPARE(list.columnWidth(MessageListModel::kMessage), std::max(300, message - 40));
            f->show_box(BoxKind::SentItems);
            f->show_box(BoxKind::Inbox);
            sender = narrow[1] + 40;
            QCOMPARE(list.columnWidth(MessageListModel::kSender), sender);
            // A message column dragged wider stays so when the window shrinks.
            list.header()->resizeSection(MessageListModel::kMessage, 420);
            f->resize(620, 600);
            QTest::qWait(20);
            QCOMPARE(list.columnWidth(MessageListModel::kMessage), 420);
            QVERIFY(columns_fill(list));
            f->close();
        }
        const ConfigList saved = saved_options(*env_);
        const std::string_view columns = saved.find("list_columns").value_or("");
        const QString kept =
            QString::fromUtf8(columns.data(), static_cast<qsizetype>(columns.size()));
        QCOMPARE(kept.section(QLatin1Char(','), 0, 1), QStringLiteral("420,%1").arg(sender));
        RunningFrame f;
        QCOMPARE(f->list_view().columnWidth(MessageListModel::kMessage), 420);
        QCOMPARE(f->list_view().columnWidth(MessageListModel::kSender), sender);
    }

    void damagedLayoutValuesLeaveTheDefaults() {
        // What a hand edit or a damaged file may hold.
        QFile file(env_->data_path(QStringLiteral("options.cfg")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "contacts_sort = 1\r\n"
            "main_window = !!not base64!!\r\n"
            "main_splitter = -5,abc\r\n"
            "right_splitter = 0,400\r\n"
            "list_columns = 300,150,100\r\n"
            "composer_size = 99999999999999999999,12\r\n"
            "contacts_size = 5,5\r\n"
            "options_size = 500,\r\n"
            "conversation_sort = 7,1\r\n"
            "conversation_columns = 10,20\r\n");
        file.close();
        SmsListView fresh;
        fresh.setup_columns();
        RunningFrame f;
        QCOMPARE(f->size(), QSize(980, 700));
        QCOMPARE(column_widths(f->list_view()).mid(1), column_widths(fresh).mid(1));
        QCOMPARE(f->list_view().kept_width(MessageListModel::kMessage), fresh.columnWidth(0));
        QTRY_VERIFY(columns_fill(f->list_view()));
        QVERIFY(splitter(f, "rightSplitter")->sizes()[0] > 0);
        QVERIFY(splitter(f, "mainSplitter")->sizes()[0] > 0);
        QCOMPARE(f->contacts_window()->size(), QSize(400, 400));
        QCOMPARE(f->options_window()->size(), QSize(500, 400));
        NewSmsWindow* composer = f->new_sms();
        QVERIFY(composer != nullptr);
        QCOMPARE(composer->size(), QSize(400, 400));
        // The conversations: newest first, the usual widths.
        const QHeaderView& conversations = *f->list_pane().conversation_view().header();
        QCOMPARE(conversations.sortIndicatorSection(), int{ConversationListModel::kDate});
        QCOMPARE(conversations.sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(conversations.sectionSize(0) > 20);
        f->close();
        // Closing writes sound values again, and keeps the others' keys.
        const ConfigList saved = saved_options(*env_);
        QCOMPARE(saved.get_int("contacts_sort"), 1);
        QCOMPARE(QLatin1String(saved.find("options_size").value_or("")), QLatin1String("500,400"));
        QVERIFY(!saved.find("right_splitter").value_or("0").starts_with('0'));
    }
};

QTEST_MAIN(MainLayoutTest)
#include "main_layout_test.moc"
