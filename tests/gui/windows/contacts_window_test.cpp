// The contacts window: its rows and name orders from a real contacts file,
// picking for a composer, and importing from the emulated phone through the
// real agent over loopback.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>
#include <memory>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/link/smartphone_sms_connect.h"
#include "desktop/store/contact_list.h"
#include "desktop/views/contacts_list_view.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/lock_keys.h"
#include "phone_link.h"
#include "protocol/text_codec.h"
#include "tests/gui/screen_helpers.h"
#include "window_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

void save_contacts_file(std::initializer_list<Contact> contacts) {
    ContactList list;
    for (const Contact& c : contacts)
        list.append(c);
    QVERIFY(list.save_contacts(kContactsFileName).ok());
}

QStringList column(QAbstractItemModel& model, int col) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.index(row, col).data().toString();
    return texts;
}

}  // namespace

class ContactsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowTestEnv> env_;
    std::unique_ptr<SmartphoneSmsConnect> link_;
    std::unique_ptr<SmsBox> sent_;
    std::unique_ptr<ContactsWindow> window_;
    std::unique_ptr<QAbstractItemModelTester> tester_;

    void open_window(DeviceOperations* phone = nullptr) {
        window_ = std::make_unique<ContactsWindow>(phone != nullptr ? *phone : *link_);
        window_->resize(400, 400);
        tester_ = std::make_unique<QAbstractItemModelTester>(
            &window_->list_view().contacts_model(),
            QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    QAbstractItemModel& rows() { return window_->list_view().contacts_model(); }
    QAction* add_action() {
        return window_->findChild<QAction*>(QStringLiteral("addContactAction"));
    }
    void click_header(int section) {
        QHeaderView* header = window_->list_view().header();
        const int x = header->sectionViewportPosition(section) + 10;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    }
    void double_click_row(int row) {
        ContactsListView& view = window_->list_view();
        const QRect rect = view.visualRect(rows().index(row, 0));
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, rect.center());
    }
    // A double click as the windowing system delivers it: press, release,
    // press, double click, release, close together in time.
    void system_double_click_row(int row) {
        ContactsListView& view = window_->list_view();
        const QPoint at = view.visualRect(rows().index(row, 0)).center();
        const QPoint global = view.viewport()->mapToGlobal(at);
        quint64 time = 100000;
        const auto send = [&](QEvent::Type type, Qt::MouseButtons held) {
            QMouseEvent event(type, at, global, Qt::LeftButton, held, Qt::NoModifier);
            event.setTimestamp(time += 40);
            QApplication::sendEvent(view.viewport(), &event);
        };
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
        send(QEvent::MouseButtonPress, Qt::LeftButton);
        send(QEvent::MouseButtonDblClick, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Qt::NoButton);
    }
    void select_rows(std::initializer_list<int> wanted) {
        ContactsListView& view = window_->list_view();
        view.clearSelection();
        for (int row : wanted)
            view.selectionModel()->select(rows().index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // Plugs in a phone with `setup` done by the phone tool and waits until
    // the agent is connected.
    void connect_phone(const std::vector<QStringList>& setup) {
        QVERIFY(env_->phone({u"init"_qs}));
        for (const QStringList& args : setup)
            QVERIFY(env_->phone(args));
        link_->start_sentinel([] {}, std::chrono::milliseconds(200));
        QTRY_VERIFY_WITH_TIMEOUT(link_->state() == LinkState::CONNECTED, 20000);
    }
    void import_by_menu() {
        QAction* import = window_->findChild<QAction*>(u"importAction"_qs);
        QVERIFY(import != nullptr);
        import->trigger();
    }

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<WindowTestEnv>();
        link_ = std::make_unique<SmartphoneSmsConnect>(quick_link_settings());
        sent_ = std::make_unique<SmsBox>(BoxKind::SentItems);
    }
    void cleanup() {
        const int under_wait_cursor = env_->boxes_under_wait_cursor();
        tester_.reset();
        window_.reset();
        link_.reset();
        sent_.reset();
        env_.reset();
        QCOMPARE(under_wait_cursor, 0);
    }

    void firstOpeningStoresNameOrderZero() {
        save_contacts_file({make_contact("Doe,John", "555")});
        open_window();
        QCOMPARE(window_->objectName(), u"contactsWindow"_qs);
        QCOMPARE(window_->windowTitle(), u"Contacts"_qs);
        QVERIFY(!window_->isVisible());
        QCOMPARE(window_->list_view().name_order(), NameOrder::BeforeCommaFirst);
        QCOMPARE(env_->read_file(env_->data_path(u"options.cfg"_qs)),
                 QByteArray("contacts_sort = 0\r\n"));
        QCOMPARE(rows().headerData(0, Qt::Horizontal).toString(), u"Name"_qs);
        QCOMPARE(rows().headerData(1, Qt::Horizontal).toString(), u"Number"_qs);
        QCOMPARE(window_->list_view().header()->sectionSize(0), 180);
        QCOMPARE(window_->list_view().header()->sectionSize(1), 100);
    }

    void rowsFollowTheNameOrderAndSortWithoutCase() {
        save_contacts_file({make_contact("Doe,John", "555"), make_contact(",Solo", "1"),
                            make_contact("Tail,", "2"), make_contact("Doe, Jane", "3"),
                            make_contact("mum", "4"), make_contact("", "5"), make_contact(" ", "6"),
                            make_contact("Bob", "7"), make_contact("anna,zed", "8")});
        open_window();
        QCOMPARE(window_->contacts().count(), size_t{9});  // blank names stay listed
        QCOMPARE(column(rows(), 0),
                 (QStringList{u"anna zed"_qs, u"Bob"_qs, u"Doe  Jane"_qs, u"Doe John"_qs, u"mum"_qs,
                              u"Solo"_qs, u"Tail "_qs}));
        QCOMPARE(column(rows(), 1),
                 (QStringList{u"8"_qs, u"7"_qs, u"3"_qs, u"555"_qs, u"4"_qs, u"1"_qs, u"2"_qs}));

        window_->show_for(nullptr);
        click_header(1);  // the Number header switches the name order too
        QCOMPARE(window_->list_view().name_order(), NameOrder::AfterCommaFirst);
        QCOMPARE(column(rows(), 0),
                 (QStringList{u" Jane Doe"_qs, u"Bob"_qs, u"John Doe"_qs, u"mum"_qs, u"Solo "_qs,
                              u"Tail"_qs, u"zed anna"_qs}));
        QVERIFY(env_->read_file(env_->data_path(u"options.cfg"_qs)).contains("contacts_sort = 1"));

        // A new window (the next run) starts with the stored order.
        tester_.reset();
        window_.reset();
        open_window();
        QCOMPARE(window_->list_view().name_order(), NameOrder::AfterCommaFirst);
        QCOMPARE(column(rows(), 0).first(), u" Jane Doe"_qs);

        window_->show_for(nullptr);
        click_header(0);
        QCOMPARE(window_->list_view().name_order(), NameOrder::BeforeCommaFirst);
        QCOMPARE(column(rows(), 0).first(), u"anna zed"_qs);
        QVERIFY(env_->read_file(env_->data_path(u"options.cfg"_qs)).contains("contacts_sort = 0"));
    }

    void togglingKeepsTheOtherSettings() {
        QFile file(env_->data_path(u"options.cfg"_qs));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("import_inbox = 0\r\ncontacts_sort = 0\r\nsync_on_open = 1\r\n");
        file.close();
        save_contacts_file({});
        open_window();
        window_->list_view().toggle_name_order();
        QCOMPARE(env_->read_file(env_->data_path(u"options.cfg"_qs)),
                 QByteArray("import_inbox = 0\r\ncontacts_sort = 1\r\nsync_on_open = 1\r\n"));
    }

    void openedFromTheMainWindowPickingDoesNothing() {
        save_contacts_file({make_contact("Doe,John", "555"), make_contact("Bob", "7")});
        open_window();
        NewSmsWindow composer(*link_, *sent_, *window_);
        window_->show_for(nullptr);
        QVERIFY(window_->isVisible());
        QVERIFY(!add_action()->isVisible());
        select_rows({0, 1});
        double_click_row(0);
        window_->add_selected();
        QCOMPARE(composer.form().recipient_count(), size_t{0});
    }

    void aComposerPicksEverySelectedRow() {
        save_contacts_file({make_contact("Doe,John", "555 1234"), make_contact("Bob", "7"),
                            make_contact("anna", "8")});
        open_window();
        auto* composer = new NewSmsWindow(*link_, *sent_, *window_);
        composer->show();
        composer->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(composer));
        QTest::keyClick(composer, Qt::Key_F4);  // the composer's F4
        QVERIFY(window_->isVisible());
        QCOMPARE(window_->target(), static_cast<RecipientSink*>(composer));
        QVERIFY(add_action()->isVisible());

        select_rows({0, 2});  // anna, Doe John
        double_click_row(2);
        QCOMPARE(composer->form().recipient_count(), size_t{2});
        QCOMPARE(text_field(composer->form().recipient_at(0).name), "anna");
        QCOMPARE(text_field(composer->form().recipient_at(1).name), "Doe John");
        QCOMPARE(text_field(composer->form().recipient_at(1).number), "555 1234");
        QVERIFY(window_->list_view().selectionModel()->selectedRows().isEmpty());

        // The toolbar button does the same; a number already there is skipped.
        select_rows({0, 1});
        add_action()->trigger();
        QCOMPARE(composer->form().recipient_count(), size_t{3});
        QCOMPARE(text_field(composer->form().recipient_at(2).name), "Bob");
        QVERIFY(window_->list_view().selectionModel()->selectedRows().isEmpty());

        // A double click on one of several selected rows adds them all; one
        // on an unselected row adds that row.
        QCOMPARE(composer->form().recipient_count(), size_t{3});
        composer->form().recipient_list().recipients().remove_recipient(0);
        composer->form().recipient_list().recipients().remove_recipient(0);
        composer->form().recipient_list().recipients().remove_recipient(0);
        select_rows({1, 2});
        system_double_click_row(2);
        QCOMPARE(composer->form().recipient_count(), size_t{2});
        QCOMPARE(text_field(composer->form().recipient_at(0).name), "Bob");
        QCOMPARE(text_field(composer->form().recipient_at(1).name), "Doe John");
        select_rows({1});
        system_double_click_row(0);
        QCOMPARE(composer->form().recipient_count(), size_t{3});
        QCOMPARE(text_field(composer->form().recipient_at(2).name), "anna");

        // Closed, the composer is no target any more: picking does nothing.
        QPointer<NewSmsWindow> watch(composer);
        composer->close();
        QTRY_VERIFY(watch.isNull());
        QCOMPARE(window_->target(), nullptr);
        QVERIFY(!add_action()->isVisible());
        select_rows({0});
        double_click_row(0);
        window_->add_selected();
    }

    void closingHidesAndShowingAgainKeepsTheContacts() {
        save_contacts_file({make_contact("Bob", "7")});
        open_window();
        window_->show_for(nullptr);
        window_->close();
        QVERIFY(!window_->isVisible());
        window_->show_for(nullptr);
        QVERIFY(window_->isVisible());
        QCOMPARE(column(rows(), 0), QStringList{u"Bob"_qs});
    }

    void importFromPhoneShowsSavesAndReportsEachContact() {
        connect_phone({{u"sim"_qs, u"add"_qs, u"--slot"_qs, u"1"_qs, u"--name"_qs, u"zoe sim"_qs,
                        u"--number"_qs, u"+49 170 1"_qs},
                       {u"contact"_qs, u"add"_qs, u"--first"_qs, u"John"_qs, u"--last"_qs,
                        u"Doe"_qs, u"--number"_qs, u"555 1234"_qs}});
        save_contacts_file({make_contact("Old,Friend", "1")});
        open_window();
        window_->show_for(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        PaintedTexts painted(window_->findChild<QLabel*>(u"statusPane"_qs));
        QSignalSpy changed(window_.get(), &ContactsWindow::contactsChanged);
        import_by_menu();

        QVERIFY(env_->message_boxes().empty());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(window_->contacts().count(), size_t{2});
        const QString phone_name =
            QString::fromLatin1(text_field(window_->contacts().contact_at(0).name).data());
        QVERIFY(phone_name == u"John,Doe"_qs || phone_name == u"Doe,John"_qs);
        const QString shown = phone_name.split(u',').join(u' ');
        QCOMPARE(column(rows(), 0), (QStringList{shown, u"zoe sim"_qs}));
        QCOMPARE(column(rows(), 1), (QStringList{u"555 1234"_qs, u"+49 170 1"_qs}));

        QVERIFY(painted.texts.size() >= 4);
        QCOMPARE(painted.texts.first(), u"Retrieving contacts..."_qs);
        QVERIFY(painted.texts.contains(u"retrieving contact 0: zoe sim"_qs));
        QVERIFY(painted.texts.contains(u"retrieving contact 1: "_qs + phone_name));
        QCOMPARE(painted.texts.last(), u"Contact list Updated"_qs);
        QCOMPARE(window_->findChild<QLabel*>(u"statusPane"_qs)->text(), u"Contact list Updated"_qs);

        ContactList saved;
        QCOMPARE(saved.load_contacts(kContactsFileName).records, size_t{2});
        QCOMPARE(saved.find_name_by_number("+491701"), u"zoe sim");
    }

    // The window's progress goes with the fetch, not with the link object:
    // a wrapper around the link reports it all the same.
    void aWrappedLinkStillReportsEachContact() {
        connect_phone({{u"sim"_qs, u"add"_qs, u"--slot"_qs, u"1"_qs, u"--name"_qs, u"zoe sim"_qs,
                        u"--number"_qs, u"+49 170 1"_qs}});
        RefusingOneNumber wrapped(*link_, *env_, "222");
        open_window(&wrapped);
        window_->show_for(nullptr);
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        PaintedTexts painted(window_->findChild<QLabel*>(u"statusPane"_qs));
        import_by_menu();
        QCOMPARE(window_->contacts().count(), size_t{1});
        QVERIFY(painted.texts.contains(u"retrieving contact 0: zoe sim"_qs));
        tester_.reset();
        window_.reset();  // before the wrapper goes
    }

    void tooltipsShowNamesAsTextAndLockPanesTheKeys() {
        save_contacts_file({make_contact("<img src=/dev/zero>", "<b>1</b>")});
        open_window();
        for (int col = 0; col < 2; ++col) {
            const QModelIndex cell = rows().index(0, col);
            const QString tip = cell.data(Qt::ToolTipRole).toString();
            QVERIFY(!tip.contains(u"<img"_qs) && !tip.contains(u"<b>"_qs));
            QTextDocument rendered;
            rendered.setHtml(tip);
            QCOMPARE(rendered.toPlainText(), cell.data().toString());
        }
        const LockKeys keys = read_lock_keys();
        QCOMPARE(window_->findChild<QLabel*>(u"capsPane"_qs)->text(),
                 keys.caps ? u"CAP"_qs : QString());
        QCOMPARE(window_->findChild<QLabel*>(u"numPane"_qs)->text(),
                 keys.num ? u"NUM"_qs : QString());
        QCOMPARE(window_->findChild<QLabel*>(u"scrollPane"_qs)->text(),
                 keys.scroll ? u"SCRL"_qs : QString());
    }

    void aPhoneWithoutContactsEmptiesTheList() {
        connect_phone({});
        save_contacts_file({make_contact("Old,Friend", "1")});
        open_window();
        QCOMPARE(rows().rowCount(), 1);
        window_->findChild<QAction*>(u"getContactsAction"_qs)->trigger();
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text,
                 u"No contacts available. Please Check your ActiveSync connection."_qs);
        QCOMPARE(rows().rowCount(), 0);
        ContactList saved;
        saved.load_contacts(kContactsFileName);
        QCOMPARE(saved.count(), size_t{0});
        QCOMPARE(window_->findChild<QLabel*>(u"statusPane"_qs)->text(),
                 u"Contact list Updated: the phone has no contacts."_qs);
    }

    void aFailedLinkKeepsThePreviousContacts() {
        QVERIFY(env_->phone({u"init"_qs}));
        QVERIFY(env_->phone({u"unplug"_qs}));
        LinkSettings settings = quick_link_settings();
        settings.connect_polls = 10;
        link_ = std::make_unique<SmartphoneSmsConnect>(settings);
        link_->start_sentinel([] {}, std::chrono::milliseconds(200));
        save_contacts_file({make_contact("Old,Friend", "1")});
        const QByteArray file_before = env_->read_file(env_->data_path(u"contacts.sql"_qs));
        open_window();
        import_by_menu();
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text,
                 u"No contacts available. Please Check your ActiveSync "
                 "connection.\ndetails:\nCould not connect"_qs);
        QCOMPARE(column(rows(), 0), QStringList{u"Old Friend"_qs});
        QCOMPARE(env_->read_file(env_->data_path(u"contacts.sql"_qs)), file_before);
        QCOMPARE(window_->findChild<QLabel*>(u"statusPane"_qs)->text(),
                 u"Contact list not updated: the phone could not be reached."_qs);
    }
};

QTEST_MAIN(ContactsWindowTest)
#include "contacts_window_test.moc"
