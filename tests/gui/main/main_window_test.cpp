// The main window over the real link, the real agent and a phone image made
// by the real phone tool: start-up, Get SMS, the list, the message page,
// deletions, marking, Reply and Forward, exports, and failures.
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/formats/csv_xml_export.h"
#include "desktop/store/box_file.h"
#include "desktop/store/config_list.h"
#include "desktop/store/shown_time.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/help_window.h"
#include "desktop/views/html_form_view.h"
#include "desktop/views/options_window.h"
#include "desktop/views/sms_list_view.h"
#include "desktop/views/sms_tree_view.h"
#include "main_test_env.h"
#include "protocol/text_codec.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

const QString kUnreadStart = QStringLiteral("Quillet test:");
const QString kUnreadText =
    QStringLiteral("Quillet test: dinner at <b>8</b> & \"bring\" wine\nsecond line");

QString qstring(std::u16string_view text) {
    return QString::fromStdU16String(std::u16string(text));
}

// The row whose message text starts with `start`; -1 when none.
int row_of(SmsListView& list, const QString& start) {
    const MessageListModel& model = list.list_model();
    for (int row = 0; row < model.rowCount(); ++row) {
        const SmsMessage& m = list.current_box()->message_ref(model.message_index(row));
        if (qstring(m.text_view()).startsWith(start))
            return row;
    }
    return -1;
}

void click_row(SmsListView& list, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    list.scrollTo(list.list_model().index(row, 0));
    const QRect rect = list.visualRect(list.list_model().index(row, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, modifiers, rect.center());
}

void click_header(SmsListView& list, int column) {
    QHeaderView* header = list.header();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, header->height() / 2));
}

// A Shift key press as the platform reports it: its native scan code tells
// the side (50 left, 62 right).
void press_shift(QWidget* widget, quint32 scan_code) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier, scan_code, 0, 0);
    QApplication::sendEvent(widget, &press);
}

void release_shift(QWidget* widget, quint32 scan_code) {
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, scan_code, 0, 0);
    QApplication::sendEvent(widget, &release);
}

// Delete while a Shift key is held (QTest would press a Shift of its own).
void shift_delete(QWidget* widget) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::ShiftModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::ShiftModifier);
    QApplication::sendEvent(widget, &release);
}

SmsBox reload(BoxKind kind) {
    SmsBox box(kind);
    box.load_box(box_file_name(kind));
    return box;
}

int find_text(const SmsBox& box, const QString& start) {
    for (size_t i = 0; i < box.count(); ++i) {
        if (qstring(box.message_ref(i).text_view()).startsWith(start))
            return static_cast<int>(i);
    }
    return -1;
}

bool phone_has(const MainTestEnv& env, const QString& folder, const QString& start) {
    for (const QJsonValue& row : env.phone_folder(folder)) {
        if (row.toObject().value(QStringLiteral("body")).toString().startsWith(start))
            return true;
    }
    return false;
}

QString page_text(const MainTestEnv& env) {
    const QByteArray bytes =
        MainTestEnv::read_file(env.data_path(QStringLiteral("templates/tmp.html")));
    if (bytes.size() < 2 || static_cast<uint8_t>(bytes[0]) != 0xFF ||
        static_cast<uint8_t>(bytes[1]) != 0xFE) {
        return {};
    }
    return QString(reinterpret_cast<const QChar*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<MainTestEnv> env_;

    // A sample phone with one unread message more, all imported.
    std::unique_ptr<RunningFrame> imported_frame() {
        if (!env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}))
            return nullptr;
        if (!env_->phone({QStringLiteral("deliver"), QStringLiteral("--from"),
                          QStringLiteral("+4930555000"), QStringLiteral("--text"), kUnreadText,
                          QStringLiteral("--time"), QStringLiteral("2026-12-05T10:00:00Z")})) {
            return nullptr;
        }
        auto frame = RunningFrame::after_get_sms();
        if (frame)
            env_->take_message_boxes();
        return frame;
    }

  private Q_SLOTS:
    void init() { env_ = std::make_unique<MainTestEnv>(); }
    // No test may leave a message box under the wait cursor.
    void cleanup() { QCOMPARE(end_test_env(env_), 0); }

    void firstStartShowsThreeEmptyBoxesAndLeavesEmptyBoxFiles() {
        {
            RunningFrame f;
            SmsTreeView& tree = f->tree_view();
            QCOMPARE(tree.topLevelItemCount(), 4);
            QCOMPARE(tree.topLevelItem(0)->text(0), QStringLiteral("Inbox"));
            QCOMPARE(tree.topLevelItem(1)->text(0), QStringLiteral("Sent Items"));
            QCOMPARE(tree.topLevelItem(2)->text(0), QStringLiteral("Deleted on device"));
            QCOMPARE(tree.topLevelItem(3)->text(0), QStringLiteral("Conversations"));
            QCOMPARE(f->list_view().list_model().rowCount(), 0);
            QCOMPARE(&f->current_box(), &f->inbox());
            QCOMPARE(f->status_text(), QStringLiteral("Ready"));
            QVERIFY(f->contacts_window() != nullptr && !f->contacts_window()->isVisible());
            QVERIFY(f->options_window() != nullptr && !f->options_window()->isVisible());
            QVERIFY(env_->message_boxes().empty());
            f->close();
        }
        for (const char* name : {"inbox1.sms", "sent1.sms", "deleted1.sms"}) {
            const QByteArray bytes = MainTestEnv::read_file(env_->data_path(QLatin1String(name)));
            QCOMPARE(bytes.size(), 32);
            QCOMPARE(bytes.left(20), QByteArray("quillet version 1.10"));
            QCOMPARE(bytes.mid(20), QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\0\0\0\0", 12));
        }
        QVERIFY(QFileInfo::exists(env_->data_path(QStringLiteral("options.cfg"))));
        QVERIFY(!QFileInfo::exists(env_->data_path(QStringLiteral("logfile.txt"))));
    }

    void layoutStartsWithItsShares() {
        RunningFrame f;
        const QList<int> across = f->findChild<QSplitter*>(QStringLiteral("mainSplitter"))->sizes();
        const QList<int> down = f->findChild<QSplitter*>(QStringLiteral("rightSplitter"))->sizes();
        QCOMPARE(across.size(), 2);
        QCOMPARE(down.size(), 2);
        // The tree a fifth of the width, whatever the splitter handle takes;
        // the list a dozen rows high (main_layout_test), the view the rest.
        QVERIFY(qAbs(across[1] - 4 * across[0]) < 20);
        QVERIFY(down[1] > down[0]);
        // The message column takes the room the others leave.
        QVERIFY(f->list_view().columnWidth(0) >= 300);
        QTRY_COMPARE(f->list_view().header()->length(), f->list_view().viewport()->width());
        const int least[] = {300, 150, 100, 50, 70};
        for (int column = 0; column < 5; ++column)
            QVERIFY(f->list_view().columnWidth(column) >= least[column]);
        // A date in bold is not cut.
        QFont bold = f->list_view().font();
        bold.setBold(true);
        const QString date = qstring(shown_date_time(filetime_from_unix(1'700'000'000)));
        QVERIFY(f->list_view().columnWidth(2) > QFontMetrics(bold).horizontalAdvance(date));
        QCOMPARE(f->toolbar().actions().size(), 8);  // five buttons, three gaps
    }

    void getSmsImportsThenFindsNothingNew() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        QProgressBar* progress = f->findChild<QProgressBar*>(QStringLiteral("statusProgress"));
        QVERIFY(progress != nullptr);
        QSignalSpy progress_shown(progress, &QProgressBar::valueChanged);
        const int first = f.get_sms();
        // The fetch showed its progress, and the bar went when it ended.
        QVERIFY(!progress_shown.isEmpty());
        QVERIFY(!progress->isVisible());
        QVERIFY2(first > 0, qPrintable(QString::number(first)));
        QCOMPARE(first, static_cast<int>(f->inbox().count() + f->sent_items().count() +
                                         f->deleted_items().count()));
        QCOMPARE(f->status_text(), QStringLiteral("%1 new imported messages").arg(first));
        QCOMPARE(f->list_view().list_model().rowCount(), static_cast<int>(f->inbox().count()));
        for (const SmsMessage& m : f->inbox().messages())
            QCOMPARE(m.on_phone(), uint8_t{1});
        QCOMPARE(f.get_sms(), 0);
        QCOMPARE(f->status_text(), QStringLiteral("0 new imported messages"));
        // Saved when the command ended, not only at exit.
        QCOMPARE(reload(BoxKind::Inbox).count(), f->inbox().count());
        QCOMPARE(reload(BoxKind::SentItems).count(), f->sent_items().count());
        QVERIFY(env_->message_boxes().empty());
    }

    void getSmsWithEveryImportOffLeavesThePhoneAlone() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        f->options().import_inbox = 0;
        f->options().import_sent_items = 0;
        f->options().import_deleted_items = 0;
        QCOMPARE(f.get_sms(), 0);
        QCOMPARE(f->inbox().count(), size_t{0});
        QCOMPARE(f->status_text(), QStringLiteral("0 new imported messages"));
    }

    void unpluggedPhoneReportsTheLinkFailure() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        QVERIFY(env_->phone({QStringLiteral("unplug")}));
        RunningFrame f(1000);
        QCOMPARE(f.get_sms(), -1);
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].caption, QStringLiteral("Quillet"));
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].text,
                 QStringLiteral(
                     "Please Check your ActiveSync connection.\nDetails:\nCould not connect"));
        QCOMPARE(f->status_text(), QString());
        QCOMPARE(f->inbox().count(), size_t{0});
    }

    void syncOnStartImportsDuringStartUp() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        ConfigList settings;
        settings.set_bool("sync_on_open", true);
        QVERIFY(settings.save_config("options.cfg").ok());
        RunningFrame f;
        QVERIFY(f->inbox().count() > 0);
        QCOMPARE(f->list_view().list_model().rowCount(), static_cast<int>(f->inbox().count()));
        QVERIFY(f->status_text().endsWith(QStringLiteral(" new imported messages")));
    }

    void syncOnStartWithoutAPhoneReportsAndStartsAllTheSame() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        QVERIFY(env_->phone({QStringLiteral("unplug")}));
        ConfigList settings;
        settings.set_bool("sync_on_open", true);
        QVERIFY(settings.save_config("options.cfg").ok());
        RunningFrame f(1000);
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(
            QStringLiteral("Please Check your ActiveSync connection.\nDetails:\n")));
        QVERIFY(f->isVisible());
    }

    void dateSortsAscendingThenDescending() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_header(list, MessageListModel::kDate);
        QCOMPARE((*f)->inbox().sort_column(), 2);
        QCOMPARE((*f)->inbox().sort_order(), -1);
        auto times = [&list] {
            std::vector<int64_t> out;
            for (const int index : list.list_model().row_to_message()) {
                out.push_back(local_seconds(list.current_box()->message_ref(index).time()));
            }
            return out;
        };
        std::vector<int64_t> shown = times();
        QVERIFY(std::is_sorted(shown.begin(), shown.end()));
        click_header(list, MessageListModel::kDate);
        QCOMPARE((*f)->inbox().sort_order(), 1);
        shown = times();
        QVERIFY(std::is_sorted(shown.rbegin(), shown.rend()));
        // Each box keeps its own sort.
        (*f)->show_box(BoxKind::SentItems);
        QCOMPARE((*f)->sent_items().sort_column(), -1);
        (*f)->show_box(BoxKind::Inbox);
        shown = times();
        QVERIFY(std::is_sorted(shown.rbegin(), shown.rend()));
    }

    // Killed right after a header click, the program finds the new order at
    // its next start: the click is saved when it ends, not at shut-down.
    void headerClickIsSavedAtOnce() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_header(list, MessageListModel::kSender);
        SmsBox on_disk = reload(BoxKind::Inbox);
        QCOMPARE(on_disk.sort_column(), int{MessageListModel::kSender});
        QCOMPARE(on_disk.sort_order(), -1);
        click_header(list, MessageListModel::kSender);
        QCOMPARE(reload(BoxKind::Inbox).sort_order(), 1);

        // The rows a new start shows from that file: the order on screen.
        MessageListModel next_start;
        next_start.set_contacts(&(*f)->contacts_window()->contacts());
        SmsBox reread = reload(BoxKind::Inbox);
        next_start.fill_from_box(&reread);
        QCOMPARE(next_start.row_to_message(), list.list_model().row_to_message());
    }

    // A box whose file has not been read yet (start-up still shows the
    // message box about an earlier one) is not written by a command that
    // ends meanwhile; the boxes that were read are.
    void aBoxNotLoadedYetIsNeverSaved() {
        QFile junk(env_->data_path(QStringLiteral("inbox1.sms")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a box file at all, not at all");
        junk.close();
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        QStringList files_during_box;
        set_message_box_handler([&](const MessageBoxRequest&) {
            { const CommandScope command; }
            files_during_box = QDir(env_->data_path()).entryList({QStringLiteral("*.sms")});
        });
        {
            RunningFrame f;
            QCOMPARE(files_during_box, QStringList{QStringLiteral("inbox1.sms")});
            QCOMPARE(f->inbox().count(), size_t{0});
        }
        QCOMPARE(QDir(env_->data_path()).entryList({QStringLiteral("*.sms")}),
                 (QStringList{QStringLiteral("deleted1.sms"), QStringLiteral("inbox1.sms"),
                              QStringLiteral("sent1.sms")}));
    }

    void selectingARowMarksItReadAndWritesItsPage() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_header(list, MessageListModel::kDate);  // rows no longer in box order
        const int row = row_of(list, kUnreadStart);
        QVERIFY(row >= 0);
        const int index = list.list_model().message_index(row);
        QCOMPARE((*f)->inbox().message_ref(index).read(), uint8_t{0});
        QVERIFY(list.list_model()
                    .data(list.list_model().index(row, 0), Qt::FontRole)
                    .value<QFont>()
                    .bold());
        click_row(list, row);
        QCOMPARE(list.current_row(), row);
        QCOMPARE((*f)->inbox().message_ref(index).read(), uint8_t{1});
        QVERIFY(!list.list_model().data(list.list_model().index(row, 0), Qt::FontRole).isValid());
        // Every other message keeps its flag.
        QCOMPARE(find_text((*f)->inbox(), kUnreadStart), index);

        const SmsMessage& shown = (*f)->inbox().message_ref(index);
        const QString page = page_text(*env_);
        QVERIFY(
            page.contains(QStringLiteral("Quillet test: dinner at &lt;b&gt;8&lt;/b&gt; &amp; "
                                         "&quot;bring&quot; wine<br>second line")));
        QVERIFY(!page.contains(QStringLiteral("<b>8</b>")));
        QVERIFY(page.contains(QStringLiteral("+4930555000")));
        QVERIFY(page.contains(qstring(shown_date_time(shown.time()))));
        QVERIFY(!page.contains(QStringLiteral("not defined]")));
        QCOMPARE(qstring((*f)->selected_message().text_view()), kUnreadText);

        // The browser shows that page, with the program's pictures.
        HtmlFormView& view = (*f)->html_view();
        QCOMPARE(view.browser().source(),
                 QUrl::fromLocalFile(env_->data_path(QStringLiteral("templates/tmp.html"))));
        QVERIFY(view.browser().toPlainText().contains(QStringLiteral("second line")));
        QVERIFY(!view.browser()
                     .loadResource(QTextDocument::ImageResource,
                                   QUrl(QStringLiteral("images/received.png")))
                     .toByteArray()
                     .isEmpty());
        // Reading it was saved at once.
        const SmsBox saved = reload(BoxKind::Inbox);
        QCOMPARE(saved.message_ref(find_text(saved, kUnreadStart)).read(), uint8_t{1});
    }

    void pageThatCannotBeWrittenIsShownAllTheSame() {
        auto f = imported_frame();
        QVERIFY(f);
        // A file where the page's folder belongs.
        QDir(env_->data_path(QStringLiteral("templates"))).removeRecursively();
        QFile blocker(env_->data_path(QStringLiteral("templates")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        SmsListView& list = (*f)->list_view();
        click_row(list, row_of(list, kUnreadStart));
        const QString shown = (*f)->html_view().browser().toPlainText();
        QVERIFY(shown.contains(QStringLiteral("dinner at <b>8</b>")));
        QVERIFY(shown.contains(QStringLiteral("second line")));
    }

    void sentItemsUseTheSendTemplate() {
        auto f = imported_frame();
        QVERIFY(f);
        (*f)->show_box(BoxKind::SentItems);
        QCOMPARE(&(*f)->current_box(), &(*f)->sent_items());
        QCOMPARE((*f)->tree_view().currentItem(), (*f)->tree_view().topLevelItem(1));
        QCOMPARE((*f)->list_view().list_model().headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Recipient"));
        click_row((*f)->list_view(), 0);
        QVERIFY(page_text(*env_).contains(QStringLiteral("images/sent.png")));
        (*f)->show_box(BoxKind::Inbox);
        QVERIFY((*f)->html_view().browser().source().toLocalFile().endsWith(
            QStringLiteral("idle_template.html")));
    }

    void treeSwitchesBoxesByClickAndByKeyboard() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsTreeView& tree = (*f)->tree_view();
        const QRect sent = tree.visualItemRect(tree.topLevelItem(1));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::NoModifier, sent.center());
        QCOMPARE(&(*f)->current_box(), &(*f)->sent_items());
        QCOMPARE((*f)->list_view().list_model().rowCount(),
                 static_cast<int>((*f)->sent_items().count()));
        tree.setFocus();
        QTest::keyClick(&tree, Qt::Key_Down);
        QCOMPARE(tree.currentItem(), tree.topLevelItem(2));
        QCOMPARE(&(*f)->current_box(), &(*f)->deleted_items());
        QCOMPARE((*f)->list_view().list_model().rowCount(),
                 static_cast<int>((*f)->deleted_items().count()));
        // View > Inbox, Sent Items, Deleted on device: Ctrl+1, 2, 3.
        const char* names[] = {"viewInboxAction", "viewSentAction", "viewDeletedAction"};
        const Qt::Key keys[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3};
        SmsBox* boxes[] = {&(*f)->inbox(), &(*f)->sent_items(), &(*f)->deleted_items()};
        for (const int kind : {0, 2, 1}) {
            QAction* action = (*f)->findChild<QAction*>(QLatin1String(names[kind]));
            QCOMPARE(action->shortcut(), QKeySequence(Qt::CTRL | keys[kind]));
            action->trigger();
            QCOMPARE(&(*f)->current_box(), boxes[kind]);
            QCOMPARE(tree.currentItem(), tree.topLevelItem(kind));
            QCOMPARE((*f)->list_view().list_model().rowCount(),
                     static_cast<int>(boxes[kind]->count()));
        }
    }

    void deleteRemovesTheMessageHereAndOnThePhone() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_header(list, MessageListModel::kDate);
        const int row = row_of(list, kUnreadStart);
        QVERIFY(row >= 0);
        const size_t before = (*f)->inbox().count();
        QVERIFY(phone_has(*env_, QStringLiteral("inbox"), kUnreadStart));
        click_row(list, row);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE((*f)->inbox().count(), before - 1);
        QCOMPARE(find_text((*f)->inbox(), kUnreadStart), -1);
        QVERIFY(!phone_has(*env_, QStringLiteral("inbox"), kUnreadStart));
        QCOMPARE((*f)->status_text(), QStringLiteral("Message(s) deleted."));
        // The row at the same place is selected and shown now.
        const int expected = std::min(row, static_cast<int>(before) - 2);
        QCOMPARE(list.selected_rows(), std::vector<int>{expected});
        QCOMPARE(list.current_row(), expected);
        QCOMPARE(reload(BoxKind::Inbox).count(), before - 1);
        QVERIFY(env_->message_boxes().empty());
    }

    void deletingSeveralRowsLeavesNoneSelected() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        const size_t before = (*f)->inbox().count();
        click_row(list, 0);
        click_row(list, 2, Qt::ControlModifier);
        QCOMPARE(list.selected_rows(), (std::vector<int>{0, 2}));
        const SmsMessage first = (*f)->inbox().message_at(list.list_model().message_index(0));
        const SmsMessage third = (*f)->inbox().message_at(list.list_model().message_index(2));
        (*f)->delete_messages();
        QCOMPARE((*f)->inbox().count(), before - 2);
        for (const SmsMessage& m : (*f)->inbox().messages()) {
            QVERIFY(!m.same_message(first));
            QVERIFY(!m.same_message(third));
        }
        QVERIFY(list.selected_rows().empty());
        QVERIFY((*f)->html_view().browser().source().toLocalFile().endsWith(
            QStringLiteral("idle_template.html")));
    }

    // Either Shift key: the copy here, which the archive keeps, is never
    // lost to the one the hand found.
    void shiftDeleteDeletesOnThePhoneOnly_data() {
        QTest::addColumn<quint32>("scan_code");
        QTest::newRow("left Shift") << quint32{50};
        QTest::newRow("right Shift") << quint32{62};
    }

    void shiftDeleteDeletesOnThePhoneOnly() {
        QFETCH(quint32, scan_code);
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        const int row = row_of(list, kUnreadStart);
        click_row(list, row);
        list.setFocus();
        const size_t before = (*f)->inbox().count();
        press_shift(&list, scan_code);
        shift_delete(&list);
        release_shift(&list, scan_code);
        QCOMPARE((*f)->inbox().count(), before);
        const int index = find_text((*f)->inbox(), kUnreadStart);
        QVERIFY(index >= 0);
        QCOMPARE((*f)->inbox().message_ref(index).on_phone(), uint8_t{0});
        QVERIFY(!phone_has(*env_, QStringLiteral("inbox"), kUnreadStart));
        QCOMPARE((*f)->status_text(), QStringLiteral("SMS Message(s) deleted."));
        const SmsBox saved = reload(BoxKind::Inbox);
        QCOMPARE(saved.message_ref(find_text(saved, kUnreadStart)).on_phone(), uint8_t{0});
        // Asking again for a message no longer on the phone is no error.
        click_row(list, row_of(list, kUnreadStart));
        (*f)->delete_messages_on_device();
        QVERIFY(env_->message_boxes().empty());
    }

    void deletionWithTheLinkDownIsReportedAndKeepsTheMessages() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_row(list, 0);
        click_row(list, 1, Qt::ControlModifier);
        const size_t before = (*f)->inbox().count();
        // The phone goes away and its agent with it.
        QVERIFY(env_->phone({QStringLiteral("unplug")}));
        env_->kill_agents();
        QVERIFY(QTest::qWaitFor([&f] { return f->link->state() != LinkState::CONNECTED; }, 10000));
        (*f)->delete_messages();
        std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(QStringLiteral(
            "Unable to delete on device. Please Check your ActiveSync connection.\nDetails:\n")));
        QVERIFY(boxes[0].text.size() > 70);  // the link's own words follow
        QCOMPARE((*f)->inbox().count(), before);
        QCOMPARE(list.list_model().rowCount(), static_cast<int>(before));
        QCOMPARE((*f)->status_text(),
                 QStringLiteral("No message deleted: the phone could not be reached."));

        (*f)->delete_messages_on_device();
        boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE((*f)->status_text(),
                 QStringLiteral("No message deleted on device: the phone could not be reached."));
        // Nothing was deleted, so nothing changed: both rows, in the window and
        // in the saved box, are still on the phone.
        const SmsBox saved = reload(BoxKind::Inbox);
        for (const int row : {0, 1}) {
            const QModelIndex on_phone = list.list_model().index(row, MessageListModel::kOnPhone);
            QCOMPARE(list.list_model().data(on_phone).toString(), QStringLiteral("*"));
            QCOMPARE(saved.message_ref(list.list_model().message_index(row)).on_phone(),
                     uint8_t{1});
        }
    }

    void ctrlDeleteDeletesNothing() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_row(list, row_of(list, kUnreadStart));
        list.setFocus();
        const size_t before = (*f)->inbox().count();
        QTest::keyClick(&list, Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE((*f)->inbox().count(), before);
        QVERIFY(phone_has(*env_, QStringLiteral("inbox"), kUnreadStart));
    }

    void markUnreadAndReadByKeysAreSaved_data() {
        QTest::addColumn<bool>("in_background");
        QTest::newRow("saved at once") << false;
        // As a box of a lifetime's messages is: the window goes on meanwhile.
        QTest::newRow("saved in the background") << true;
    }

    void markUnreadAndReadByKeysAreSaved() {
        QFETCH(bool, in_background);
        auto f = imported_frame();
        QVERIFY(f);
        if (in_background)
            (*f)->library().set_background_from(0);
        SmsListView& list = (*f)->list_view();
        const int row = row_of(list, kUnreadStart);
        click_row(list, row);
        const int index = list.list_model().message_index(row);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE((*f)->inbox().message_ref(index).read(), uint8_t{0});
        QCOMPARE(list.list_model()
                     .data(list.list_model().index(row, MessageListModel::kUnread))
                     .toString(),
                 QStringLiteral("*"));
        // A save waits for the disk's flush, which a busy machine can hold up
        // for seconds.
        constexpr int kSaved = 30'000;
        const auto saved_as = [&](uint8_t read) {
            return QTest::qWaitFor(
                [&] { return reload(BoxKind::Inbox).message_ref(index).read() == read; }, kSaved);
        };
        QVERIFY(saved_as(0));
        QTest::keyClick(&list, Qt::Key_M, Qt::ControlModifier);
        QCOMPARE((*f)->inbox().message_ref(index).read(), uint8_t{1});
        QCOMPARE(list.list_model()
                     .data(list.list_model().index(row, MessageListModel::kUnread))
                     .toString(),
                 QString());
        QVERIFY(saved_as(1));
        QVERIFY(QTest::qWaitFor([&] { return !(*f)->library().saving_in_background(); }, kSaved));
    }

    // Click a message, Ctrl+A, Delete answered No, click the first row
    // again: nothing changed, and the view and Reply follow the row.
    void selectAllThenNoLeavesTheMarksAndTheViewFollowsTheRow() {
        auto f = imported_frame();
        QVERIFY(f);
        env_->answer_questions(false);
        SmsListView& list = (*f)->list_view();
        const MessageListModel& model = list.list_model();
        const auto unread_rows = [&] {
            std::vector<int> rows;
            for (int row = 0; row < model.rowCount(); ++row) {
                if (model.data(model.index(row, MessageListModel::kUnread)).toString() ==
                    QStringLiteral("*"))
                    rows.push_back(row);
            }
            return rows;
        };
        const auto message_of = [&](int row) {
            return list.current_box()->message_at(model.message_index(row));
        };
        // A row from another sender than the last row's, which a selection
        // of every row ends with.
        const int last = model.rowCount() - 1;
        const SmsMessage last_message = message_of(last);
        int first = 0;
        while (first < last && text_field(message_of(first).number_field()) ==
                                   text_field(last_message.number_field()))
            ++first;
        QVERIFY(first < last);
        const SmsMessage first_message = message_of(first);
        click_row(list, first);
        const std::vector<int> unread = unread_rows();
        QVERIFY(unread.size() >= 2);
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(list.selected_rows().size(), (*f)->inbox().count());
        QCOMPARE(unread_rows(), unread);
        QTest::keyClick(&list, Qt::Key_Delete);
        QCOMPARE(env_->questions().size(), 1);
        QCOMPARE(model.rowCount(), last + 1);
        QCOMPARE(unread_rows(), unread);

        click_row(list, first);
        QCOMPARE(list.selected_rows(), std::vector<int>{first});
        const QString first_line =
            qstring(first_message.text_view()).section(QLatin1Char('\n'), 0, 0);
        const QString last_line =
            qstring(last_message.text_view()).section(QLatin1Char('\n'), 0, 0);
        const QString shown = (*f)->html_view().browser().toPlainText();
        QVERIFY(shown.contains(first_line));
        QVERIFY(!shown.contains(last_line));
        QTest::keyClick(&list, Qt::Key_R, Qt::ControlModifier);
        NewSmsWindow* reply = (*f)->composer();
        QVERIFY(reply != nullptr);
        QCOMPARE(reply->form().recipient_count(), size_t{1});
        QCOMPARE(text_field(reply->form().recipient_at(0).number),
                 text_field(first_message.number_field()));
        QCOMPARE(unread_rows(), unread);
        size_t unread_saved = 0;
        const SmsBox saved = reload(BoxKind::Inbox);
        for (const SmsMessage& m : saved.messages())
            unread_saved += m.read() == 0 ? 1 : 0;
        QCOMPARE(unread_saved, unread.size());
    }

    void listKeysMoveByWholeRowsAndTabLeaves() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        const int last = list.list_model().rowCount() - 1;
        QVERIFY(last >= 2);
        click_row(list, 1);
        list.setFocus();
        struct Step {
            Qt::Key key;
            int row;
        };
        // Home and End go to the ends of the list, Left and Right only
        // scroll: the list is not a grid of cells.
        for (const Step step :
             {Step{Qt::Key_End, last}, Step{Qt::Key_Left, last}, Step{Qt::Key_Home, 0},
              Step{Qt::Key_Right, 0}, Step{Qt::Key_Down, 1}}) {
            QTest::keyClick(&list, step.key);
            QCOMPARE(list.selected_rows(), std::vector<int>{step.row});
            const SmsMessage& message =
                list.current_box()->message_ref(list.list_model().message_index(step.row));
            const QString first_line =
                qstring(message.text_view()).section(QLatin1Char('\n'), 0, 0);
            QVERIFY((*f)->html_view().browser().toPlainText().contains(first_line));
        }
        // Every row is one line high, bold (unread) or not.
        const int height = list.visualRect(list.list_model().index(0, 0)).height();
        QVERIFY(height >= list.fontMetrics().height());
        for (int row = 1; row <= last; ++row)
            QCOMPARE(list.visualRect(list.list_model().index(row, 0)).height(), height);
        QTest::keyClick(&list, Qt::Key_Tab);
        QVERIFY(list.window()->focusWidget() != &list);
        QCOMPARE(list.selected_rows(), std::vector<int>{1});
    }

    void replyAndForwardPrefillAComposer() {
        auto f = imported_frame();
        QVERIFY(f);
        (*f)->reply();
        (*f)->forward();
        QVERIFY((*f)->composer() == nullptr);  // nothing shown yet
        SmsListView& list = (*f)->list_view();
        click_row(list, row_of(list, kUnreadStart));
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_R, Qt::ControlModifier);
        NewSmsWindow* reply = (*f)->composer();
        QVERIFY(reply != nullptr);
        QCOMPARE(reply->form().recipient_count(), size_t{1});
        QCOMPARE(text_field(reply->form().recipient_at(0).number), std::string_view("+4930555000"));
        // No contact has that number: the name is the number.
        QCOMPARE(text_field(reply->form().recipient_at(0).name), std::string_view("+4930555000"));
        QCOMPARE(reply->size(), QSize(400, 400));

        (*f)->forward();
        NewSmsWindow* forward = (*f)->composer();
        QVERIFY(forward != nullptr && forward != reply);
        QCOMPARE(forward->form().recipient_count(), size_t{0});
        QCOMPARE(qstring(forward->form().message_text()), kUnreadText);
        QVERIFY(reply->isVisible());
    }

    void sentMessageIsStoredAndSaved() {
        auto f = imported_frame();
        QVERIFY(f);
        (*f)->show_box(BoxKind::SentItems);
        const size_t before = (*f)->sent_items().count();
        NewSmsWindow* composer = (*f)->new_sms();
        QVERIFY(composer != nullptr);
        Contact to;
        set_text_field(to.name, "Test");
        set_text_field(to.number, "+4930777000");
        composer->add_recipient(to);
        composer->set_message_text(u"Sent from the main window test");
        composer->send_message();
        QCOMPARE((*f)->sent_items().count(), before + 1);
        QCOMPARE((*f)->list_view().list_model().rowCount(), static_cast<int>(before + 1));
        QCOMPARE(reload(BoxKind::SentItems).count(), before + 1);
    }

    void exportsWriteTheCurrentBox() {
        auto f = imported_frame();
        QVERIFY(f);
        const QString csv = env_->temp_path(QStringLiteral("inbox.csv"));
        const QString xml = env_->temp_path(QStringLiteral("inbox.xml"));
        env_->answer_file_dialogs({csv, xml, QString()});
        (*f)->export_csv();
        (*f)->export_xml();
        (*f)->export_csv();  // cancelled
        QCOMPARE(env_->file_dialogs().size(), 3);
        const ContactList& contacts = (*f)->contacts_window()->contacts();
        QCOMPARE(MainTestEnv::read_file(csv),
                 QByteArray::fromStdString(csv_bytes((*f)->inbox(), contacts)));
        QCOMPARE(MainTestEnv::read_file(xml),
                 QByteArray::fromStdString(xml_bytes((*f)->inbox(), contacts)));
        QVERIFY(MainTestEnv::read_file(csv).contains("dinner at <b>8</b>"));
        QVERIFY(env_->message_boxes().empty());
    }

    void exportThatCannotBeWrittenIsReported() {
        auto f = imported_frame();
        QVERIFY(f);
        env_->answer_file_dialogs({env_->temp_path(QStringLiteral("no/such/folder/inbox.csv"))});
        (*f)->export_csv();
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(QStringLiteral("Unable to export")));
    }

    void failedSaveIsReportedOnceUntilSavingWorksAgain() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        click_row(list, 0);
        // A folder where the box file belongs: nothing can replace it.
        QVERIFY(QFile::remove(env_->data_path(QStringLiteral("inbox1.sms"))));
        QVERIFY(QDir(env_->data_path()).mkdir(QStringLiteral("inbox1.sms")));
        (*f)->mark_unread();
        (*f)->mark_read();
        (*f)->mark_unread();
        std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(
            QStringLiteral("Unable to save your messages.\nDetails:\ninbox1.sms")));
        QVERIFY(QDir(env_->data_path()).rmdir(QStringLiteral("inbox1.sms")));
        (*f)->mark_read();
        QVERIFY(env_->message_boxes().empty());
        QCOMPARE(reload(BoxKind::Inbox).count(), (*f)->inbox().count());
    }

    void unknownBoxFileIsReportedAndKeptAside() {
        QFile junk(env_->data_path(QStringLiteral("sent1.sms")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a box file at all, not at all");
        junk.close();
        RunningFrame f;
        const std::vector<MessageBoxRequest> boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(
            boxes[0].text.startsWith(QStringLiteral("Unknown version of Quillet in inbox files.")));
        QCOMPARE(f->sent_items().count(), size_t{0});
        const QStringList kept = QDir(env_->data_path()).entryList({QStringLiteral("sent1.sms.*")});
        QCOMPARE(kept.size(), 1);
    }

    void contextMenuRunsTheCommands() {
        auto f = imported_frame();
        QVERIFY(f);
        SmsListView& list = (*f)->list_view();
        QMenu* menu = list.context_menu();
        QStringList texts;
        for (QAction* action : menu->actions())
            texts << action->text();
        QCOMPARE(texts,
                 (QStringList{QStringLiteral("Forward"), QStringLiteral("Reply"),
                              QStringLiteral("Mark read"), QStringLiteral("Mark unread"),
                              QStringLiteral("Delete"), QStringLiteral("Delete on device")}));
        click_row(list, row_of(list, kUnreadStart));
        const size_t before = (*f)->inbox().count();
        menu->findChild<QAction*>(QStringLiteral("menuDelete"))->trigger();
        QCOMPARE((*f)->inbox().count(), before - 1);
        QCOMPARE((*f)->status_text(), QStringLiteral("Message(s) deleted."));
    }

    // A picture of the window with the sample phone's messages, for people to
    // look at (saved under /tmp/screens when that can be made).
    void screenshotOfTheSampleMessages() {
        auto f = imported_frame();
        QVERIFY(f);
        (*f)->resize(1100, 760);
        SmsListView& list = (*f)->list_view();
        click_header(list, MessageListModel::kDate);
        click_header(list, MessageListModel::kDate);
        click_row(list, row_of(list, kUnreadStart));
        QTest::qWait(50);
        const QPixmap picture = (*f)->grab();
        QVERIFY(!picture.isNull());
        if (QDir().mkpath(QStringLiteral("/tmp/screens"))) {
            picture.save(QStringLiteral("/tmp/screens/main_window.png"));
        }
    }

    void helpKeyShowsTheManual() {
        RunningFrame f;
        QTest::keyClick(&f->list_view(), Qt::Key_F1);
        HelpWindow* help = f->help_window();
        QVERIFY(help != nullptr);
        QVERIFY(help->isVisible());
        QVERIFY(help->browser().source().toLocalFile().endsWith(QStringLiteral("help/index.html")));
        const QString text = help->browser().toPlainText();
        for (const char* section :
             {"Getting started", "Deleting", "Options", "Your files", "Keys"}) {
            QVERIFY2(text.contains(QLatin1String(section)), section);
        }
        help->resize(760, 700);
        if (QDir().mkpath(QStringLiteral("/tmp/screens")))
            help->grab().save(QStringLiteral("/tmp/screens/help.png"));
    }

    void aboutBoxNamesTheVersion() {
        RunningFrame f;
        QString title;
        QString text;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            if (box == nullptr)
                return;
            title = box->windowTitle();
            text = box->findChild<QLabel*>(QStringLiteral("aboutText"))->text();
            if (QDir().mkpath(QStringLiteral("/tmp/screens")))
                box->grab().save(QStringLiteral("/tmp/screens/about.png"));
            QTest::mouseClick(box->findChild<QPushButton*>(QStringLiteral("aboutOkButton")),
                              Qt::LeftButton);
        });
        f->findChild<QAction*>(QStringLiteral("aboutAction"))->trigger();
        QCOMPARE(title, QStringLiteral("About Quillet"));
        QVERIFY(text.contains(QStringLiteral("Version 1.12")));
    }

    // The menus show the keys as the desktop writes them, from the actions'
    // own shortcuts; a key runs its command once, not once for the filter and
    // once more for the shortcut.
    void menusShowTheKeysAndEachKeyRunsOnce() {
        QVERIFY(env_->phone({QStringLiteral("init"), QStringLiteral("--sample")}));
        RunningFrame f;
        const struct {
            const char* action;
            const char* shown;
        } expected[] = {
            {"getSmsAction", "Ctrl+G"},     {"contactsAction", "F4"},
            {"printAction", "Ctrl+P"},      {"exitAction", "Ctrl+Q"},
            {"newAction", "Ctrl+N"},        {"replyAction", "Ctrl+R"},
            {"forwardAction", "Ctrl+F"},    {"markReadAction", "Ctrl+M"},
            {"markUnreadAction", "Ctrl+U"}, {"selectAllAction", "Ctrl+A"},
            {"deleteAction", "Del"},        {"deleteOnDeviceAction", "Shift+Del"},
            {"helpAction", "F1"},           {"viewInboxAction", "Ctrl+1"},
        };
        for (const auto& e : expected) {
            auto* action = f->findChild<QAction*>(QLatin1String(e.action));
            QVERIFY2(action != nullptr, e.action);
            QCOMPARE(action->shortcut().toString(QKeySequence::PortableText),
                     QLatin1String(e.shown));
            QVERIFY2(!action->text().contains(QLatin1Char('\t')), e.action);
        }
        // The desktop's standard keys where it has them; Ctrl+E stays free
        // for the search field.
        auto shortcut = [&f](const char* name) {
            return f->findChild<QAction*>(QLatin1String(name))->shortcut();
        };
        // (Quit's standard key is the desktop theme's: none offscreen.)
        const QList<QKeySequence> quit = QKeySequence::keyBindings(QKeySequence::Quit);
        QVERIFY(quit.isEmpty() || quit.contains(shortcut("exitAction")));
        QVERIFY(
            QKeySequence::keyBindings(QKeySequence::HelpContents).contains(shortcut("helpAction")));
        QVERIFY(QKeySequence::keyBindings(QKeySequence::Print).contains(shortcut("printAction")));
        for (QAction* action : f->findChildren<QAction*>()) {
            if (action->objectName() != QStringLiteral("searchAction"))
                QVERIFY(action->shortcut() != QKeySequence(Qt::CTRL | Qt::Key_E));
        }
        QCOMPARE(shortcut("searchAction"), QKeySequence(Qt::CTRL | Qt::Key_E));
        QCOMPARE(f->list_view()
                     .context_menu()
                     ->findChild<QAction*>(QStringLiteral("menuDeleteOnDevice"))
                     ->shortcut(),
                 QKeySequence(Qt::SHIFT | Qt::Key_Delete));

        // Ctrl+N opens one composer per press.
        auto composers = [] {
            int n = 0;
            for (QWidget* w : QApplication::topLevelWidgets())
                n += qobject_cast<NewSmsWindow*>(w) != nullptr && w->isVisible() ? 1 : 0;
            return n;
        };
        f->list_view().setFocus();
        QTest::keyClick(&f->list_view(), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(composers(), 1);
        // Ctrl+G runs one Get SMS, which imports the sample phone's messages.
        QSignalSpy fetched(f.frame.get(), &MainFrame::getSmsFinished);
        QTest::keyClick(&f->list_view(), Qt::Key_G, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(fetched.count() > 0, 30000);
        QTest::qWait(300);
        QCOMPARE(fetched.count(), 1);
        QVERIFY(fetched.at(0).at(0).toInt() > 0);
        QVERIFY(f->list_view().list_model().rowCount() > 0);
        // Ctrl+Q closes the window, once.
        QSignalSpy closed(f.frame.get(), &MainFrame::closed);
        QTest::keyClick(&f->list_view(), Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!f->isVisible());
    }

    void newSmsKeyOpensAComposerEachTime() {
        RunningFrame f;
        QTest::keyClick(&f->list_view(), Qt::Key_N, Qt::ControlModifier);
        NewSmsWindow* first = f->composer();
        QVERIFY(first != nullptr);
        QTest::keyClick(&f->list_view(), Qt::Key_N, Qt::ControlModifier);
        QVERIFY(f->composer() != nullptr && f->composer() != first);
        QVERIFY(first->isVisible());
        QTest::keyClick(&f->list_view(), Qt::Key_F4);
        QVERIFY(f->contacts_window()->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
