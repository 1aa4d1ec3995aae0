// The composer's form on its own: in-place editing of the recipients, the
// keys that delete them, the counters and the layout on resize.
#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <memory>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/recipient_list.h"

using namespace quillet;

class ComposerFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<NewSmsForm> form_;
    std::unique_ptr<QAbstractItemModelTester> tester_;

    RecipientList& list() { return form_->recipient_list(); }
    RecipientModel& model() { return list().recipients(); }
    QString number_at(int row) { return model().index(row, 0).data().toString(); }
    template <typename T>
    T* child(const char* name) {
        T* widget = form_->findChild<T*>(QLatin1StringView(name));
        if (widget == nullptr)
            qFatal("no child %s", name);
        return widget;
    }
    // Starts editing the Number cell of `row` with F2 and returns the editor.
    QLineEdit* edit_row(int row) {
        list().setFocus();
        list().setCurrentIndex(model().index(row, 0));
        QTest::keyClick(&list(), Qt::Key_F2);
        return list().findChild<QLineEdit*>();
    }
    void finish_edit(QLineEdit* editor, const QString& text, Qt::Key key = Qt::Key_Return) {
        editor->selectAll();
        if (text.isEmpty())
            QTest::keyClick(editor, Qt::Key_Delete);
        else
            QTest::keyClicks(editor, text);
        QTest::keyClick(editor, key);
        QCoreApplication::processEvents();  // Return commits through a queued call
        // The closed editor goes away for good before the next edit starts.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

  private Q_SLOTS:
    void init() {
        form_ = std::make_unique<NewSmsForm>();
        form_->resize(400, 330);
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        tester_ = std::make_unique<QAbstractItemModelTester>(
            &model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void cleanup() {
        tester_.reset();
        form_.reset();
    }

    void editingThePlaceholderAddsARecipientAndANewPlaceholder() {
        QCOMPARE(list().header()->sectionSize(0), 100);
        QLineEdit* editor = edit_row(0);
        QVERIFY(editor != nullptr);
        QCOMPARE(editor->text(), QString());  // the placeholder's editor starts empty
        finish_edit(editor, u"0800 1"_qs);
        QCOMPARE(model().recipient_count(), size_t{1});
        QCOMPARE(number_at(0), u"0800 1"_qs);
        QCOMPARE(model().index(0, 1).data().toString(), QString());
        QCOMPARE(number_at(1), u"(new number)"_qs);
        // An edit is not compared with the other rows.
        finish_edit(edit_row(1), u"0800 1"_qs);
        QCOMPARE(model().recipient_count(), size_t{2});
    }

    void anEmptyEditDeletesARecipientButNotThePlaceholder() {
        form_->add_recipient(make_contact("Ann", "111"));
        form_->add_recipient(make_contact("Ben", "222"));
        finish_edit(edit_row(2), QString());
        QCOMPARE(model().rowCount(), 3);
        finish_edit(edit_row(0), QString());
        QCOMPARE(model().recipient_count(), size_t{1});
        QCOMPARE(number_at(0), u"222"_qs);
        QCOMPARE(model().index(0, 1).data().toString(), u"Ben"_qs);
    }

    void aChangedNumberKeepsTheNameAndEscapeChangesNothing() {
        form_->add_recipient(make_contact("Ann", "111"));
        finish_edit(edit_row(0), u"112"_qs);
        QCOMPARE(number_at(0), u"112"_qs);
        QCOMPARE(model().index(0, 1).data().toString(), u"Ann"_qs);
        finish_edit(edit_row(0), u"999"_qs, Qt::Key_Escape);
        QCOMPARE(number_at(0), u"112"_qs);
        finish_edit(edit_row(1), u"999"_qs, Qt::Key_Escape);
        QCOMPARE(model().recipient_count(), size_t{1});
    }

    void aClickOnTheNameCellEditsTheNumber() {
        form_->add_recipient(make_contact("Ann", "111"));
        list().setFocus();
        list().setCurrentIndex(model().index(0, 0));
        const QRect name_cell = list().visualRect(model().index(0, 1));
        QTest::mouseClick(list().viewport(), Qt::LeftButton, {}, name_cell.center());
        QTRY_VERIFY(list().findChild<QLineEdit*>() != nullptr);
        QLineEdit* editor = list().findChild<QLineEdit*>();
        QCOMPARE(editor->text(), u"111"_qs);
        QVERIFY(editor->geometry().left() < name_cell.left());
    }

    void deleteAndBackspaceRemoveTheCurrentRecipientOnly() {
        form_->add_recipient(make_contact("Ann", "111"));
        form_->add_recipient(make_contact("Ben", "222"));
        list().setFocus();
        list().setCurrentIndex(model().index(2, 0));
        QTest::keyClick(&list(), Qt::Key_Delete);  // the placeholder stays
        QCOMPARE(model().rowCount(), 3);
        list().setCurrentIndex(model().index(0, 0));
        QTest::keyClick(&list(), Qt::Key_Delete);
        QCOMPARE(model().recipient_count(), size_t{1});
        QCOMPARE(number_at(0), u"222"_qs);
        list().setCurrentIndex(model().index(0, 0));
        QTest::keyClick(&list(), Qt::Key_Backspace);
        QCOMPARE(model().recipient_count(), size_t{0});
        QCOMPARE(model().rowCount(), 1);
        list().setCurrentIndex({});
        QTest::keyClick(&list(), Qt::Key_Delete);
        QCOMPARE(model().rowCount(), 1);
    }

    void recipientsAreUniqueByTheir8bitNumber() {
        form_->add_recipient(make_contact("Ann", "111"));
        form_->add_recipient(make_contact("Other", "111"));
        form_->add_recipient(make_contact("Ann", "111 "));
        QCOMPARE(form_->recipient_count(), size_t{2});
        // The placeholder's label is no recipient's number.
        form_->add_recipient(make_contact("Odd", "(new number)"));
        QCOMPARE(form_->recipient_count(), size_t{3});
        // Names and numbers come back as 8-bit text.
        form_->add_recipient(make_contact("Zo\xEB", "5"));
        QCOMPARE(model().index(3, 1).data().toString(), u"Zo\u00EB"_qs);
        QCOMPARE(text_field(form_->recipient_at(3).name), "Zo\xEB");
    }

    void theToLineKeepsAtMost31Characters() {
        QLineEdit* to = child<QLineEdit>("toLine");
        to->setFocus();
        QTest::keyClicks(to, QString(40, u'7'));
        QTest::keyClick(to, Qt::Key_Enter);
        QCOMPARE(form_->recipient_count(), size_t{1});
        QCOMPARE(text_field(form_->recipient_at(0).number), std::string(31, '7'));
        // Return on an empty line adds nothing.
        QTest::keyClick(to, Qt::Key_Return);
        QCOMPARE(form_->recipient_count(), size_t{1});
    }

    void countersFollowTheText() {
        auto* edit = child<QPlainTextEdit>("messageEdit");
        auto* counter = child<QLineEdit>("characterCounter");
        QCOMPARE(counter->text(), u"0"_qs);
        QCOMPARE(child<QLabel>("partCounter")->text(), u"1 SMS"_qs);
        edit->setFocus();
        QTest::keyClicks(edit, u"a"_qs);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, u"b"_qs);
        QCOMPARE(counter->text(), u"3"_qs);
        QCOMPARE(form_->message_text(), u"a\nb");
        form_->set_message_text(u"\u00A0x\r\ny");  // a no-break space stays one
        QCOMPARE(form_->message_text(), u"\u00A0x\ny");
        QCOMPARE(counter->text(), u"4"_qs);
        form_->set_message_text(std::u16string(71, u'\u0436'));
        QCOMPARE(child<QLabel>("partCounter")->text(), u"2 SMS parts"_qs);
        QCOMPARE(form_->message_class(), uint8_t{1});
        child<QComboBox>("messageClassBox")->setCurrentIndex(1);
        QCOMPARE(form_->message_class(), uint8_t{0});
    }

    void resizingStretchesTheTextAndTheListOnly() {
        auto* edit = child<QPlainTextEdit>("messageEdit");
        auto* to = child<QLineEdit>("toLine");
        auto* counter = child<QLineEdit>("characterCounter");
        const QRect edit_before = edit->geometry();
        const QRect list_before = list().geometry();
        const QRect to_before = to->geometry();
        const QRect counter_before = counter->geometry();
        form_->resize(600, 500);
        QTRY_VERIFY(edit->geometry() != edit_before);
        QCOMPARE(edit->geometry().topLeft(), edit_before.topLeft());
        QCOMPARE(edit->width(), edit_before.width() + 200);
        QCOMPARE(edit->height(), edit_before.height() + 170);
        QCOMPARE(list().geometry().topLeft(), list_before.topLeft());
        QCOMPARE(list().width(), list_before.width() + 200);
        QCOMPARE(list().height(), list_before.height());
        QCOMPARE(to->geometry(), to_before);
        QCOMPARE(counter->geometry(), counter_before);
    }
};

QTEST_MAIN(ComposerFormTest)
#include "composer_form_test.moc"
