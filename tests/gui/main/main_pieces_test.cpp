// The main window's pieces on their own: the message page, the list model
// over a box in memory, the key table, the lock-key panes' source and the
// pictures.
#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>
#include <numeric>

#include "desktop/app/key_table.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/conversation_page.h"
#include "desktop/views/gui_seams.h"
#include "desktop/views/lock_keys.h"
#include "desktop/views/message_list_model.h"
#include "desktop/views/message_page.h"
#include "desktop/views/pictures.h"
#include "desktop/views/window_parts.h"

using namespace quillet;

namespace {

SmsMessage message(std::u16string_view text, std::string_view number, int64_t unix_time,
                   uint8_t read = 1, uint8_t on_phone = 1) {
    SmsMessage m;
    m.set_text(text);
    m.set_number(number);
    m.set_time(filetime_from_unix(unix_time));
    m.set_read(read);
    m.set_on_phone(on_phone);
    return m;
}

QString cell(const MessageListModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

// The box indices in row order must be a permutation of 0..n-1.
bool is_permutation(std::vector<int> rows) {
    std::sort(rows.begin(), rows.end());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] != static_cast<int>(i))
            return false;
    }
    return true;
}

}  // namespace

class MainPiecesTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // --- The message page -------------------------------------------------
    void pageJoinsLinesWithBreaksInsideTheParagraph() {
        PageFields fields;
        fields.message = u"first\nsecond";
        QCOMPARE(render_page("<p>{message}</p>", fields),
                 std::u16string(u"<p>first<br>second</p>"));
    }

    void pageEscapesMarkupInEveryField() {
        PageFields fields;
        fields.message = u"<b>bold</b> & \"quoted\"\r\nnext";
        fields.sender = u"<i>Eve</i>";
        fields.phone = u"+1\"2";
        fields.date = u"1/2/26 10:00";
        const std::u16string page = render_page("{message}|{sender}|{phone}|{date}", fields);
        QCOMPARE(page, std::u16string(u"&lt;b&gt;bold&lt;/b&gt; &amp; &quot;quoted&quot;\r<br>next|"
                                      u"&lt;i&gt;Eve&lt;/i&gt;|+1&quot;2|1/2/26 10:00"));
    }

    void pageNamesAnUnknownPlaceholder() {
        QCOMPARE(render_page("a{Message}b", {}), std::u16string(u"a[Messagenot defined]b"));
    }

    void pageReadsTemplateBytesAsLatin1() {
        QCOMPARE(render_page("caf\xE9", {}), std::u16string(u"caf\u00E9"));
    }

    void pageEndsAtByteFFAndAt1A() {
        QCOMPARE(render_page("kept\xFFgone {message}", {}), std::u16string(u"kept"));
        QCOMPARE(render_page("kept\x1Agone", {}), std::u16string(u"kept"));
    }

    void pageTurnsCrLfIntoLf() {
        QCOMPARE(render_page("a\r\nb\rc", {}), std::u16string(u"a\nb\rc"));
    }

    void pageDropsAnOpenPlaceholderAndKeepsAStrayBrace() {
        PageFields fields;
        fields.phone = u"+49";
        QCOMPARE(render_page("x}y{phone", fields), std::u16string(u"x}y"));
    }

    void pageKeepsOnly31CharactersOfAName() {
        const std::string name(40, 'n');
        const std::u16string page = render_page("{" + name + "}", {});
        QCOMPARE(page, u"[" + std::u16string(kMaxPlaceholderName, u'n') + u"not defined]");
    }

    void pageMarksSearchHitsInsideTheEscapedText() {
        PageFields fields;
        fields.message = u"<Café> and CAFE\nnext";
        fields.hits = search_hits(fields.message, "cafe");
        QCOMPARE(fields.hits.size(), size_t{2});
        const std::u16string page = render_page("{message}", fields);
        const std::u16string open = u"<span style=\"background-color:#ffe36e; color:#1d2733\">";
        QCOMPARE(page, u"&lt;" + open + u"Café</span>&gt; and " + open + u"CAFE</span><br>next");
        // Overlapping and out-of-range hits are dropped, never cut a text.
        QCOMPARE(message_as_html(u"abc", {{0, 2}, {1, 2}, {5, 3}}), u"" + open + u"ab</span>c");
    }

    void conversationPageEscapesEveryField() {
        SmsMessage received;
        received.set_text(u"<script>x</script>");
        received.set_time(filetime_from_unix(1'767'261'600));
        SmsMessage sent;
        sent.set_text(u"a & b");
        sent.set_time(filetime_from_unix(1'767'261'600 + 86'400));
        ConversationPageFields fields;
        fields.sender = u"<i>Eve</i>";
        fields.phone = u"+1\"2";
        fields.shown = {{&received, false, true}, {&sent, true, false}};
        fields.earlier = 3;
        const QString page = to_qstring(render_conversation_page(
            "{sender}|{phone}|{count}|{earlier}|{messages}|{other}", fields, QLocale::c()));
        QVERIFY(page.startsWith(u"&lt;i&gt;Eve&lt;/i&gt;|+1&quot;2|5 messages|"_qs));
        QVERIFY(page.contains(u"&lt;script&gt;x&lt;/script&gt;"_qs));
        QVERIFY(!page.contains(u"<script>"_qs));
        QVERIFY(page.contains(u"a &amp; b"_qs));
        QVERIFY(page.contains(u"href=\"quillet:earlier\">Show earlier messages (3 more)"_qs));
        // Received left and marked deleted, sent right; one day line each.
        QVERIFY(page.contains(u"<p class=\"received deleted\" align=\"left\"><a name=\"m3\">"_qs));
        QVERIFY(page.contains(u"<p class=\"sent\" align=\"right\"><a name=\"m4\">"_qs));
        QCOMPARE(page.count(u"class=\"day\""_qs), 2);
        QVERIFY(page.endsWith(u"|[othernot defined]"_qs));
    }

    void pageFileIsUtf16LittleEndianWithMark() {
        const std::vector<uint8_t> bytes = page_file_bytes(u"A\u00E9\u20AC");
        const std::vector<uint8_t> expected = {0xFF, 0xFE, 'A', 0, 0xE9, 0, 0xAC, 0x20};
        QCOMPARE(bytes, expected);
    }

    // --- The list model ---------------------------------------------------
    void cellsFollowTheColumnRules() {
        SmsBox box(BoxKind::Inbox);
        box.append(message(u"\nstarts with a line feed", "+49123", 1000));
        box.append(message(u"tab\there", "+49123", 1000, 0, 0));
        box.append(message(std::u16string(100, u'x'), "+49123", 1000));
        MessageListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.fill_from_box(&box);
        QCOMPARE(cell(model, 0, MessageListModel::kMessage), QString());
        QCOMPARE(cell(model, 1, MessageListModel::kMessage), QStringLiteral("tab"));
        QCOMPARE(cell(model, 2, MessageListModel::kMessage).size(), 64);
        QCOMPARE(cell(model, 1, MessageListModel::kUnread), QStringLiteral("*"));
        QCOMPARE(cell(model, 0, MessageListModel::kUnread), QString());
        QCOMPARE(cell(model, 0, MessageListModel::kOnPhone), QStringLiteral("*"));
        QCOMPARE(cell(model, 1, MessageListModel::kOnPhone), QString());
        QCOMPARE(cell(model, 0, MessageListModel::kSender), QStringLiteral("+49123"));
        QVERIFY(model.data(model.index(1, 0), Qt::FontRole).value<QFont>().bold());
        QVERIFY(!model.data(model.index(0, 0), Qt::FontRole).isValid());
    }

    // A progress dialog's estimate is rounded up and never says 0; from 90
    // seconds on it speaks in minutes; with nothing to go on it says nothing.
    void timeLeftIsRoundedUpAndNeverZero() {
        const struct {
            double spent;
            uint64_t done, total;
            const char* shown;
        } rows[] = {
            {0.5, 10, 100, ""},   // too early to tell
            {5.0, 0, 100, ""},    // nothing done yet
            {5.0, 100, 100, ""},  // all done
            {20.0, 999, 1000, "About 1 seconds left"},
            {10.0, 50, 100, "About 10 seconds left"},
            {10.0, 30, 100, "About 24 seconds left"},
            {60.0, 40, 100, "About 2 minutes left"},
            {100.0, 1, 1000, "About 1665 minutes left"},
        };
        for (const auto& r : rows)
            QCOMPARE(time_left(r.spent, r.done, r.total), QString::fromLatin1(r.shown));
    }

    void senderColumnShowsContactNames() {
        SmsBox box(BoxKind::SentItems);
        box.append(message(u"hi", "+491701234567", 1000));
        ContactList contacts;
        Contact anna;
        set_text_field(anna.name, "Anna");
        set_text_field(anna.number, "0170 1234567");
        contacts.append(anna);
        contacts.sort_contacts();
        MessageListModel model;
        model.set_contacts(&contacts);
        model.fill_from_box(&box);
        QCOMPARE(cell(model, 0, MessageListModel::kSender), QStringLiteral("Anna"));
        QCOMPARE(model.headerData(MessageListModel::kSender, Qt::Horizontal).toString(),
                 QStringLiteral("Recipient"));
    }

    void dateSortsAscendingThenDescendingAndKeepsTheMap() {
        SmsBox box(BoxKind::Inbox);
        const int64_t times[] = {5000, 1000, 9000, 3000};
        for (const int64_t t : times)
            box.append(message(u"m" + std::u16string(1, char16_t(u'0' + t / 1000)), "1", t));
        MessageListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.fill_from_box(&box);
        model.click_column(MessageListModel::kDate);
        QCOMPARE(box.sort_column(), 2);
        QCOMPARE(box.sort_order(), -1);
        QCOMPARE(model.row_to_message(), (std::vector<int>{1, 3, 0, 2}));
        QCOMPARE(cell(model, 0, MessageListModel::kMessage), QStringLiteral("m1"));
        model.click_column(MessageListModel::kDate);
        QCOMPARE(box.sort_order(), 1);
        QCOMPARE(model.row_to_message(), (std::vector<int>{2, 0, 3, 1}));
        // The state lives in the box: a new fill sorts the same way.
        MessageListModel again;
        again.fill_from_box(&box);
        QCOMPARE(again.row_to_message(), (std::vector<int>{2, 0, 3, 1}));
    }

    void unreadSortsReadRowsFirst() {
        SmsBox box(BoxKind::Inbox);
        box.append(message(u"a", "1", 1, 0));
        box.append(message(u"b", "1", 2, 1));
        box.append(message(u"c", "1", 3, 0));
        box.append(message(u"d", "1", 4, 1));
        MessageListModel model;
        model.fill_from_box(&box);
        // Rows of equal keys keep the order they had: newest first.
        model.click_column(MessageListModel::kUnread);
        QCOMPARE(model.row_to_message(), (std::vector<int>{3, 1, 2, 0}));
        model.click_column(MessageListModel::kUnread);
        QCOMPARE(model.row_to_message(), (std::vector<int>{2, 0, 3, 1}));
    }

    void textSortIsOrdinalAndAnotherColumnStartsAscending() {
        SmsBox box(BoxKind::Inbox);
        box.append(message(u"banana", "3", 1));
        box.append(message(u"Apple", "1", 2));
        box.append(message(u"apple", "2", 3));
        MessageListModel model;
        model.fill_from_box(&box);
        model.click_column(MessageListModel::kMessage);
        model.click_column(MessageListModel::kMessage);
        QCOMPARE(box.sort_order(), 1);
        model.click_column(MessageListModel::kSender);
        QCOMPARE(box.sort_column(), 1);
        QCOMPARE(box.sort_order(), -1);
        QCOMPARE(model.row_to_message(), (std::vector<int>{1, 2, 0}));
        model.click_column(MessageListModel::kMessage);
        QCOMPARE(model.row_to_message(),
                 (std::vector<int>{1, 2, 0}));  // "Apple" < "apple" < "banana"
    }

    void neverSortedBoxShowsNewestFirstAndOddOrderReadsAsDescending() {
        SmsBox box(BoxKind::Inbox);
        for (const int64_t seconds : {100, 300, 200})
            box.append(message(u"x", "1", seconds));
        MessageListModel model;
        model.fill_from_box(&box);
        QCOMPARE(model.row_to_message(), (std::vector<int>{1, 2, 0}));
        QCOMPARE(box.sort_column(), -1);  // the box's own state is left alone
        box.set_sort_column(MessageListModel::kDate);
        box.set_sort_order(7);  // only a damaged file holds this
        model.fill_from_box(&box);
        QCOMPARE(model.row_to_message(), (std::vector<int>{1, 2, 0}));
        box.set_sort_column(99);
        model.fill_from_box(&box);
        QCOMPARE(model.row_to_message(), (std::vector<int>{0, 1, 2}));
    }

    void removingARowShiftsTheMapExactly() {
        SmsBox box(BoxKind::Inbox);
        const int64_t times[] = {40, 10, 30, 20, 50};
        for (const int64_t t : times)
            box.append(message(u"t", "1", t));
        MessageListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.fill_from_box(&box);
        model.click_column(MessageListModel::kDate);
        QCOMPARE(model.row_to_message(), (std::vector<int>{1, 3, 2, 0, 4}));
        // Row 2 shows message 2; the box drops it, then the model its row.
        model.remove_row(2);
        QCOMPARE(model.row_to_message(), (std::vector<int>{1, 2, 0, 3}));
        QVERIFY(is_permutation(model.row_to_message()));
        QCOMPARE(model.message_index(4), -1);
        QCOMPARE(model.message_index(-1), -1);
    }

    void selectionFollowsItsRowWhenSorted() {
        SmsBox box(BoxKind::Inbox);
        for (const int64_t t : {3, 1, 2})
            box.append(message(u"t", "1", t));
        MessageListModel model;
        model.fill_from_box(&box);
        const QPersistentModelIndex kept = model.index(0, 0);  // message 0, time 3
        model.click_column(MessageListModel::kDate);
        QCOMPARE(kept.row(), 2);
        QCOMPARE(model.message_index(kept.row()), 0);
    }

    // --- Keys -------------------------------------------------------------
    // --- Commands ------------------------------------------------------------

    // The wait cursor while a command runs, the arrow over a message box
    // inside it, and the after-command step once, when the outer one ends.
    void commandsShowTheWaitCursorButNotOverAMessageBox() {
        auto shape = [] {
            const QCursor* cursor = QGuiApplication::overrideCursor();
            return cursor == nullptr ? Qt::ArrowCursor : cursor->shape();
        };
        std::vector<Qt::CursorShape> over_boxes;
        set_message_box_handler([&](const MessageBoxRequest&) { over_boxes.push_back(shape()); });
        int steps = 0;
        CommandScope::set_after_command([&] { ++steps; });
        QVERIFY(!CommandScope::running());
        {
            const CommandScope outer;
            QCOMPARE(shape(), Qt::WaitCursor);
            show_message_box(nullptr, QStringLiteral("first"));
            QCOMPARE(shape(), Qt::WaitCursor);
            {
                const CommandScope inner;  // let in by a message box
                show_message_box(nullptr, QStringLiteral("nested"));
            }
            QCOMPARE(steps, 0);
            QVERIFY(CommandScope::running());
            QCOMPARE(shape(), Qt::WaitCursor);
        }
        QCOMPARE(steps, 1);
        QVERIFY(!CommandScope::running());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        show_message_box(nullptr, QStringLiteral("outside"));
        QCOMPARE(over_boxes, (std::vector<Qt::CursorShape>(3, Qt::ArrowCursor)));
        CommandScope::set_after_command({});
        set_message_box_handler({});
    }

    void keyTableFollowsCtrlAndShift() {
        QCOMPARE(frame_key(Qt::Key_A, true, false), FrameKey::SelectAll);
        QCOMPARE(frame_key(Qt::Key_G, true, true), FrameKey::GetSms);
        QCOMPARE(frame_key(Qt::Key_Delete, true, false), FrameKey::None);
        QCOMPARE(frame_key(Qt::Key_Delete, false, true), FrameKey::DeleteOnDevice);
        QCOMPARE(frame_key(Qt::Key_Delete, false, false), FrameKey::Delete);
        QCOMPARE(frame_key(Qt::Key_F1, false, true), FrameKey::None);
        QCOMPARE(frame_key(Qt::Key_F4, false, false), FrameKey::Contacts);
        QCOMPARE(frame_key(Qt::Key_G, false, false), FrameKey::None);
        QCOMPARE(frame_key(Qt::Key_Q, true, false), FrameKey::Quit);
        QCOMPARE(frame_key(Qt::Key_E, true, false), FrameKey::None);  // the search field's
    }

    // The key a menu shows for a command is the key that runs it.
    void shownKeysRunTheirCommands() {
        for (int i = static_cast<int>(FrameKey::SelectAll); i <= static_cast<int>(FrameKey::Quit);
             ++i) {
            const auto command = static_cast<FrameKey>(i);
            const QKeySequence shown = frame_key_sequence(command);
            QCOMPARE(shown.count(), 1);
            const QKeyCombination combination = shown[0];
            const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
            QCOMPARE(frame_key(combination.key(), mods.testFlag(Qt::ControlModifier),
                               mods.testFlag(Qt::ShiftModifier)),
                     command);
        }
        QVERIFY(frame_key_sequence(FrameKey::None).isEmpty());
    }

    // --- Lock keys and pictures -------------------------------------------
    void lockKeysComeFromTheKeyboardLeds() {
        QTemporaryDir leds;
        auto led = [&leds](const QString& name, const char* brightness) {
            QDir(leds.path()).mkpath(name);
            QFile file(QDir(leds.path()).filePath(name + QStringLiteral("/brightness")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(brightness);
        };
        led(QStringLiteral("input3::capslock"), "1\n");
        led(QStringLiteral("input3::numlock"), "0\n");
        led(QStringLiteral("input3::scrolllock"), "0\n");
        led(QStringLiteral("input7::scrolllock"), "1\n");
        const LockKeys keys = read_lock_keys(leds.path().toStdString());
        QVERIFY(keys.caps);
        QVERIFY(!keys.num);
        QVERIFY(keys.scroll);
        QCOMPARE(read_lock_keys("/no/such/folder"), LockKeys{});
    }

    void picturesAreDrawnAtBothScales() {
        for (const ToolbarPicture picture :
             {ToolbarPicture::GetSms, ToolbarPicture::NewSms, ToolbarPicture::Reply,
              ToolbarPicture::Forward, ToolbarPicture::Contacts, ToolbarPicture::Send,
              ToolbarPicture::GetContacts, ToolbarPicture::AddRecipient}) {
            const QIcon icon = toolbar_icon(picture, QApplication::palette());
            const QPixmap normal = icon.pixmap(QSize(32, 32), 1.0);
            const QPixmap sharp = icon.pixmap(QSize(32, 32), 2.0);
            QCOMPARE(normal.size(), QSize(32, 32));
            QCOMPARE(sharp.size(), QSize(64, 64));
            // Drawn for the small toolbars too, not scaled down.
            QCOMPARE(icon.pixmap(QSize(16, 16), 1.0).size(), QSize(16, 16));
            // Something was drawn: not every pixel is transparent.
            const QImage image = sharp.toImage();
            int painted = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    painted += qAlpha(image.pixel(x, y)) > 0;
            }
            QVERIFY(painted > 200);
        }
        QVERIFY(!application_icon().pixmap(QSize(16, 16)).isNull());
    }
};

QTEST_MAIN(MainPiecesTest)
#include "main_pieces_test.moc"
