// The composer against the real agent over loopback and an emulated phone:
// recipients, counters, and what the phone's SMS service and Sent Items get.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <memory>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/new_sms_window.h"
#include "desktop/views/command_scope.h"
#include "desktop/views/contacts_window.h"
#include "desktop/views/lock_keys.h"
#include "phone_link.h"
#include "window_test_env.h"

using namespace quillet;
using namespace quillet::testing;

namespace {

struct Submission {
    QString address;
    int message_class = -1;
    QString text;
};

}  // namespace

class ComposerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowTestEnv> env_;
    std::unique_ptr<SmartphoneSmsConnect> link_;
    std::unique_ptr<SmsBox> sent_;
    std::unique_ptr<ContactsWindow> contacts_;
    QPointer<NewSmsWindow> composer_;
    std::unique_ptr<QAbstractItemModelTester> tester_;

    NewSmsWindow* open_composer(DeviceOperations* phone = nullptr) {
        composer_ = new NewSmsWindow(phone != nullptr ? *phone : *link_, *sent_, *contacts_);
        composer_->resize(400, 400);
        composer_->show();
        composer_->activateWindow();
        if (!QTest::qWaitForWindowActive(composer_))
            qWarning("composer not active");
        tester_ = std::make_unique<QAbstractItemModelTester>(
            &composer_->form().recipient_list().recipients(),
            QAbstractItemModelTester::FailureReportingMode::QtTest);
        return composer_;
    }
    template <typename T>
    T* child(const char* name) {
        T* widget = composer_->findChild<T*>(QLatin1StringView(name));
        if (widget == nullptr)
            qFatal("no child %s", name);
        return widget;
    }
    QLineEdit* to_line() { return child<QLineEdit>("toLine"); }
    RecipientModel& recipients() { return composer_->form().recipient_list().recipients(); }
    QString counter() { return child<QLineEdit>("characterCounter")->text(); }
    void type_number(const QString& number, bool with_return = true) {
        to_line()->setFocus();
        QTest::keyClicks(to_line(), number);
        if (with_return)
            QTest::keyClick(to_line(), Qt::Key_Return);
    }
    // Sends with Ctrl+S and waits until the composer has gone.
    void send_and_wait_closed() {
        QTest::keyClick(child<QPlainTextEdit>("messageEdit"), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(composer_.isNull());
    }
    std::vector<Submission> outbox() {
        QByteArray json;
        if (!env_->phone({u"outbox"_qs, u"--json"_qs}, &json))
            return {};
        std::vector<Submission> result;
        for (const QJsonValue& v : QJsonDocument::fromJson(json).array()) {
            const QJsonObject o = v.toObject();
            result.push_back(
                {o[u"address"].toString(), o[u"class"].toInt(-1), o[u"text"].toString()});
        }
        return result;
    }
    QStringList sent_numbers() {
        QStringList numbers;
        for (const SmsMessage& m : sent_->messages())
            numbers << QString::fromLatin1(m.number().data(),
                                           static_cast<qsizetype>(m.number().size()));
        return numbers;
    }

  private Q_SLOTS:
    void init() {
        env_ = std::make_unique<WindowTestEnv>();
        QVERIFY(env_->phone({u"init"_qs}));
        link_ = start_link();
        // Every test starts with the agent connected, so that none is left
        // waiting for a link that has gone.
        QTRY_VERIFY_WITH_TIMEOUT(link_->state() == LinkState::CONNECTED, 20000);
        sent_ = std::make_unique<SmsBox>(BoxKind::SentItems);
        contacts_ = std::make_unique<ContactsWindow>(*link_);
    }
    void cleanup() {
        const int under_wait_cursor = env_->boxes_under_wait_cursor();
        tester_.reset();
        delete composer_.data();
        contacts_.reset();
        link_.reset();
        sent_.reset();
        env_.reset();
        QCOMPARE(under_wait_cursor, 0);
    }

    void windowHasItsMenuToolbarAndStatusPanes() {
        open_composer();
        QCOMPARE(composer_->windowTitle(), u"New SMS"_qs);
        QCOMPARE(composer_->objectName(), u"newSmsWindow"_qs);
        QCOMPARE(child<QAction>("sendMenuAction")->text(), u"&Send"_qs);
        QCOMPARE(child<QAction>("sendMenuAction")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
        QCOMPARE(child<QAction>("cancelMenuAction")->text(), u"&Cancel"_qs);
        QCOMPARE(child<QAction>("addMenuAction")->text(), u"&Add"_qs);
        QCOMPARE(child<QAction>("addMenuAction")->shortcut(), QKeySequence(Qt::Key_F4));
        QCOMPARE(child<QAction>("sendToolAction")->statusTip(), u"Send message"_qs);
        QCOMPARE(child<QAction>("contactsToolAction")->statusTip(), u"Get from contacts"_qs);
        const auto menus = composer_->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), u"&Sms"_qs);
        QCOMPARE(menus[1]->text(), u"&Contacts"_qs);
        QCOMPARE(child<QComboBox>("messageClassBox")->currentText(), u"Standard SMS"_qs);
        QCOMPARE(child<QComboBox>("messageClassBox")->itemText(1), u"Notification"_qs);
        QCOMPARE(counter(), u"0"_qs);
        QCOMPARE(recipients().rowCount(), 1);
        QCOMPARE(recipients().index(0, 0).data().toString(), u"(new number)"_qs);
        // The lock panes say what the keyboard's lock keys say, as the main
        // window's do: lit only while the key is on.
        const LockKeys keys = read_lock_keys();
        QCOMPARE(child<QLabel>("capsPane")->text(), keys.caps ? u"CAP"_qs : QString());
        QCOMPARE(child<QLabel>("numPane")->text(), keys.num ? u"NUM"_qs : QString());
        QCOMPARE(child<QLabel>("scrollPane")->text(), keys.scroll ? u"SCRL"_qs : QString());
    }

    void returnInTheToLineAddsARecipientOnce() {
        open_composer();
        type_number(u"0170 555"_qs);
        QCOMPARE(to_line()->text(), QString());
        QCOMPARE(recipients().recipient_count(), size_t{1});
        QCOMPARE(text_field(recipients().recipient_at(0).number), "0170 555");
        QCOMPARE(text_field(recipients().recipient_at(0).name), "");
        QCOMPARE(recipients().index(1, 0).data().toString(), u"(new number)"_qs);
        type_number(u"0170 555"_qs);
        QCOMPARE(recipients().recipient_count(), size_t{1});
        QCOMPARE(to_line()->text(), QString());
        // Leaving the line commits it too.
        type_number(u"999"_qs, false);
        child<QPlainTextEdit>("messageEdit")->setFocus();
        QTRY_COMPARE(recipients().recipient_count(), size_t{2});
        QCOMPARE(to_line()->text(), QString());
    }

    void aNumberLeftInTheToLineIsSent() {
        open_composer();
        type_number(u"+44 20 7946 0000"_qs, false);
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"hi"_qs);
        // One command: its end (where the main window saves) sees the copy.
        int command_ends = 0;
        size_t copies_at_end = 0;
        CommandScope::set_after_command([&] {
            ++command_ends;
            copies_at_end = sent_->count();
        });
        child<QAction>("sendToolAction")->trigger();
        CommandScope::set_after_command({});
        QVERIFY(composer_.isNull() || !composer_->isVisible());
        QCOMPARE(command_ends, 1);
        QCOMPARE(copies_at_end, size_t{1});
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{1});
        QCOMPARE(out[0].address, u"+442079460000"_qs);
        QCOMPARE(out[0].text, u"hi"_qs);
        QCOMPARE(out[0].message_class, 1);
        QCOMPARE(sent_numbers(), QStringList{u"+442079460000"_qs});
        QVERIFY(env_->message_boxes().empty());
    }

    void lineBreaksGoAsLfAndAreKeptAsCrLf() {
        open_composer();
        composer_->set_message_text(u"a\r\nb");
        QCOMPARE(counter(), u"3"_qs);
        QCOMPARE(child<QLabel>("partCounter")->text(), u"1 SMS"_qs);
        type_number(u"123"_qs);
        send_and_wait_closed();
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{1});
        QCOMPARE(out[0].text, u"a\nb"_qs);
        QCOMPARE(sent_->count(), size_t{1});
        const SmsMessage copy = sent_->message_at(0);
        QCOMPARE(copy.text_view(), std::u16string_view(u"a\r\nb"));
        QCOMPARE(copy.read(), uint8_t{1});
        QCOMPARE(copy.on_phone(), uint8_t{0});
        QCOMPARE(copy.message_class(), uint8_t{1});
        QVERIFY(copy.time() != 0);
        QVERIFY(std::all_of(copy.entry_id().begin(), copy.entry_id().end(),
                            [](uint8_t b) { return b == 0; }));
    }

    void aLongTextIsSentWholeAndItsPartsAreShown() {
        open_composer();
        const QString text(200, u'x');
        QTest::keyClicks(child<QPlainTextEdit>("messageEdit"), text);
        QCOMPARE(counter(), u"200"_qs);
        QCOMPARE(child<QLabel>("partCounter")->text(), u"2 SMS parts"_qs);
        type_number(u"123"_qs);
        send_and_wait_closed();
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{1});
        QCOMPARE(out[0].text, text);
        QCOMPARE(sent_->message_at(0).text_view().size(), size_t{200});
    }

    // One number in two spellings is one recipient: one SMS, one copy.
    void numbersThatDifferInBlanksAreSentOnce() {
        open_composer();
        type_number(u"0170 1234567"_qs);
        type_number(u"01701234567"_qs);
        QCOMPARE(recipients().recipient_count(), size_t{2});
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"twice"_qs);
        send_and_wait_closed();
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{1});
        QCOMPARE(out[0].address, u"01701234567"_qs);
        QCOMPARE(sent_numbers(), (QStringList{u"01701234567"_qs}));
    }

    void notificationGoesAsClassZero() {
        open_composer();
        child<QComboBox>("messageClassBox")->setCurrentIndex(1);
        type_number(u"112"_qs);
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"now"_qs);
        send_and_wait_closed();
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{1});
        QCOMPARE(out[0].message_class, 0);
        QCOMPARE(sent_->message_at(0).message_class(), uint8_t{0});
    }

    void withoutRecipientsNothingIsSentAndTheComposerStays() {
        open_composer();
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"lost?"_qs);
        child<QAction>("sendMenuAction")->trigger();
        QVERIFY(!composer_.isNull());
        QVERIFY(composer_->isVisible());
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text, u"Please fill in a recipient."_qs);
        QCOMPARE(boxes[0].caption, u"Quillet"_qs);
        QCOMPARE(child<QLabel>("statusPane")->text(), u"SMS Message not sent: no recipient."_qs);
        QCOMPARE(child<QPlainTextEdit>("messageEdit")->toPlainText(), u"lost?"_qs);
        QVERIFY(outbox().empty());
        QCOMPARE(sent_->count(), size_t{0});
    }

    void theSecondOfThreeRefusedGivesOneBoxAndThreeCopies() {
        RefusingOneNumber phone(*link_, *env_, "222");
        open_composer(&phone);
        type_number(u"111"_qs);
        type_number(u"222"_qs);
        type_number(u"333"_qs);
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"hello all"_qs);
        send_and_wait_closed();
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{2});
        QCOMPARE(out[0].address, u"111"_qs);
        QCOMPARE(out[1].address, u"333"_qs);
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QCOMPARE(boxes[0].text,
                 u"Could not send message. Please check your ActiveSync connection and if the "
                 "phone numbers are valid.\nDetails:\nOnDeviceError: could not send sms to 222"_qs);
        QCOMPARE(sent_numbers(), (QStringList{u"111"_qs, u"222"_qs, u"333"_qs}));
    }

    void allRefusedGivesABoxEachKeepsTheTextOpenAndStoresNothing() {
        QVERIFY(env_->phone({u"refuse"_qs, u"on"_qs}));
        open_composer();
        type_number(u"+1 555"_qs);
        type_number(u"0049 (30) 1"_qs);
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"x"_qs);
        QTest::keyClick(child<QPlainTextEdit>("messageEdit"), Qt::Key_S, Qt::ControlModifier);
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{2});
        QVERIFY(
            boxes[0].text.endsWith(u"\nDetails:\nOnDeviceError: could not send sms to +1555"_qs));
        QVERIFY(
            boxes[1].text.endsWith(u"\nDetails:\nOnDeviceError: could not send sms to 0049301"_qs));
        QVERIFY(outbox().empty());
        // Nothing went out: the composer stays with its text and recipients,
        // says so, and Sent Items gets nothing.
        QVERIFY(!composer_.isNull() && composer_->isVisible());
        QCOMPARE(child<QLabel>("statusPane")->text(),
                 u"SMS Message not sent: every recipient was refused."_qs);
        QCOMPARE(child<QPlainTextEdit>("messageEdit")->toPlainText(), u"x"_qs);
        QCOMPARE(recipients().recipient_count(), size_t{2});
        QVERIFY(sent_numbers().isEmpty());
        // Once the phone takes them, the same composer sends.
        QVERIFY(env_->phone({u"refuse"_qs, u"off"_qs}));
        send_and_wait_closed();
        QCOMPARE(outbox().size(), size_t{2});
        QCOMPARE(sent_numbers(), (QStringList{u"+1555"_qs, u"0049301"_qs}));
    }

    void aLinkFailureIsReportedPerRecipient() {
        link_.reset();
        QVERIFY(env_->phone({u"unplug"_qs}));
        LinkSettings settings = quick_link_settings();
        settings.connect_polls = 10;
        link_ = std::make_unique<SmartphoneSmsConnect>(settings);
        link_->start_sentinel([] {}, std::chrono::milliseconds(200));
        open_composer();
        type_number(u"1"_qs);
        child<QAction>("sendMenuAction")->trigger();
        const auto boxes = env_->take_message_boxes();
        QCOMPARE(boxes.size(), size_t{1});
        QVERIFY(boxes[0].text.startsWith(u"Could not send message."_qs));
        QVERIFY(boxes[0].text.endsWith(u"\nDetails:\nCould not connect"_qs));
        QVERIFY(!composer_.isNull());
        QCOMPARE(sent_->count(), size_t{0});
    }

    void aNumberInEditInTheListIsSent() {
        open_composer();
        type_number(u"111"_qs);
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"to both"_qs);
        // The "(new number)" cell in edit, a number typed, not committed.
        RecipientList& list = composer_->form().recipient_list();
        const QModelIndex placeholder = recipients().index(1, RecipientModel::NumberColumn);
        list.setCurrentIndex(placeholder);
        list.edit(placeholder);
        auto* editor = list.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        QTest::keyClicks(editor, u"222"_qs);
        child<QAction>("sendToolAction")->trigger();
        QTRY_VERIFY(composer_.isNull());
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{2});
        QCOMPARE(out[0].address, u"111"_qs);
        QCOMPARE(out[1].address, u"222"_qs);
        QCOMPARE(sent_numbers(), (QStringList{u"111"_qs, u"222"_qs}));
    }

    void anEditedNumberInTheListIsSentAsEdited() {
        open_composer();
        type_number(u"111"_qs);
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"changed"_qs);
        RecipientList& list = composer_->form().recipient_list();
        const QModelIndex first = recipients().index(0, RecipientModel::NumberColumn);
        list.setCurrentIndex(first);
        list.edit(first);
        auto* editor = list.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, u"333"_qs);
        QTest::keyClick(child<QPlainTextEdit>("messageEdit"), Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(composer_.isNull());
        const auto out = outbox();
        QCOMPARE(out.size(), size_t{1});
        QCOMPARE(out[0].address, u"333"_qs);
    }

    void closingWithATextAsksFirst() {
        open_composer();
        type_number(u"123"_qs);
        composer_->close();  // no text yet: no question
        QTRY_VERIFY(composer_.isNull());
        QVERIFY(env_->questions().isEmpty());

        open_composer();
        child<QPlainTextEdit>("messageEdit")->setPlainText(u"half written"_qs);
        env_->answer_questions(false);
        child<QAction>("cancelMenuAction")->trigger();
        QCOMPARE(env_->questions(), QStringList{u"Discard the message you have written?"_qs});
        QVERIFY(!composer_.isNull() && composer_->isVisible());
        QCOMPARE(child<QPlainTextEdit>("messageEdit")->toPlainText(), u"half written"_qs);
        env_->answer_questions(true);
        composer_->close();
        QTRY_VERIFY(composer_.isNull());
        QCOMPARE(env_->questions().size(), 2);
        QVERIFY(outbox().empty());
    }

    void cancelClosesWithoutSendingOrStoring() {
        open_composer();
        type_number(u"123"_qs);
        child<QAction>("cancelMenuAction")->trigger();
        QTRY_VERIFY(composer_.isNull());
        QVERIFY(outbox().empty());
        QCOMPARE(sent_->count(), size_t{0});
    }

    void contactsArePickedAndAClosedComposerIsForgotten() {
        open_composer();
        QTest::keyClick(child<QPlainTextEdit>("messageEdit"), Qt::Key_F4);
        QVERIFY(contacts_->isVisible());
        QCOMPARE(contacts_->target(), static_cast<RecipientSink*>(composer_.data()));
        contacts_->add_selected();  // nothing selected: nothing added
        QCOMPARE(recipients().recipient_count(), size_t{0});
        composer_->add_recipient(make_contact("Doe John", "555"));
        composer_->add_recipient(make_contact("Other", "555"));
        QCOMPARE(recipients().recipient_count(), size_t{1});
        QCOMPARE(recipients().index(0, 1).data().toString(), u"Doe John"_qs);
        composer_->close();
        QTRY_VERIFY(composer_.isNull());
        QCOMPARE(contacts_->target(), nullptr);
    }
};

QTEST_MAIN(ComposerTest)
#include "composer_test.moc"
