// The rules behind the windows that need no window: SMS part counting, how
// a contact's name is shown, and which file selections the sound dialog
// plays.
#include <QTemporaryDir>
#include <QTest>

#include "desktop/composer/new_sms_form.h"
#include "desktop/composer/part_count.h"
#include "desktop/store/contacts_names.h"
#include "desktop/views/sound_file_dialog.h"

using namespace quillet;

namespace {

std::u16string repeat(char16_t c, size_t n) {
    return std::u16string(n, c);
}

bool write_file(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write("RIFF") == 4;
}

}  // namespace

class TextRulesTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void gsmTextFits160SeptetsInOneSms() {
        const SmsPartCount empty = count_sms_parts(u"");
        QCOMPARE(empty.parts, size_t{1});
        QCOMPARE(empty.units, size_t{0});
        QVERIFY(!empty.ucs2);
        QCOMPARE(count_sms_parts(repeat(u'a', 160)).parts, size_t{1});
        QCOMPARE(count_sms_parts(repeat(u'a', 161)).parts, size_t{2});
        QCOMPARE(count_sms_parts(repeat(u'a', 306)).parts, size_t{2});
        QCOMPARE(count_sms_parts(repeat(u'a', 307)).parts, size_t{3});
    }

    void extensionCharactersTakeTwoSeptetsAndAreNeverSplit() {
        QCOMPARE(gsm7_septets(u'{'), 2);
        QCOMPARE(gsm7_septets(u'\u20AC'), 2);
        QCOMPARE(gsm7_septets(u'@'), 1);
        QCOMPARE(gsm7_septets(u'\u00E9'), 1);
        QCOMPARE(gsm7_septets(u'`'), 0);
        // 80 euro signs are 160 septets: still one SMS.
        const SmsPartCount euros = count_sms_parts(repeat(u'\u20AC', 80));
        QCOMPARE(euros.units, size_t{160});
        QCOMPARE(euros.parts, size_t{1});
        QCOMPARE(count_sms_parts(repeat(u'\u20AC', 81)).parts, size_t{2});
        // 152 septets, then a two-septet character: it opens the second part
        // instead of straddling the first part's end. 305 septets fit in two
        // parts; 306 need a third although 2 x 153 would hold them.
        std::u16string text = repeat(u'a', 152) + u"^" + repeat(u'a', 151);
        QCOMPARE(count_sms_parts(text).units, size_t{305});
        QCOMPARE(count_sms_parts(text).parts, size_t{2});
        text += u"a";
        QCOMPARE(count_sms_parts(text).parts, size_t{3});
    }

    void oneCharacterOutsideTheAlphabetMakesTheTextUcs2() {
        const SmsPartCount one = count_sms_parts(repeat(u'a', 69) + u"\u0436");
        QVERIFY(one.ucs2);
        QCOMPARE(one.units, size_t{70});
        QCOMPARE(one.parts, size_t{1});
        QCOMPARE(count_sms_parts(repeat(u'a', 70) + u"`").parts, size_t{2});
        QCOMPARE(count_sms_parts(repeat(u'\u0436', 134)).parts, size_t{2});
        QCOMPARE(count_sms_parts(repeat(u'\u0436', 135)).parts, size_t{3});
        // A surrogate pair that would straddle the end of part one moves whole.
        const std::u16string pair = u"\U0001F600";
        QCOMPARE(count_sms_parts(repeat(u'x', 66) + pair + repeat(u'x', 5)).parts, size_t{2});
        QCOMPARE(count_sms_parts(repeat(u'x', 66) + pair + repeat(u'x', 66)).parts, size_t{3});
    }

    void partCounterText() {
        QCOMPARE(sms_parts_text(u"hello"), QStringLiteral("1 SMS"));
        QCOMPARE(sms_parts_text(repeat(u'a', 200)), QStringLiteral("2 SMS parts"));
    }

    void contactNamesByOrder_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("before_first");
        QTest::addColumn<QString>("after_first");
        QTest::newRow("two parts") << "Doe,John"
                                   << "Doe John"
                                   << "John Doe";
        QTest::newRow("leading comma") << ",John"
                                       << "John"
                                       << "John ";
        QTest::newRow("trailing comma") << "Doe,"
                                        << "Doe "
                                        << "Doe";
        QTest::newRow("blank after comma") << "Doe, John"
                                           << "Doe  John"
                                           << " John Doe";
        QTest::newRow("no comma") << "Mum"
                                  << "Mum"
                                  << "Mum";
        QTest::newRow("second comma stays") << "A,B,C"
                                            << "A B,C"
                                            << "B,C A";
    }
    void contactNamesByOrder() {
        QFETCH(QString, stored);
        QFETCH(QString, before_first);
        QFETCH(QString, after_first);
        const std::u16string name = stored.toStdU16String();
        QCOMPARE(shown_contact_name(name, NameOrder::BeforeCommaFirst),
                 before_first.toStdU16String());
        QCOMPARE(shown_contact_name(name, NameOrder::AfterCommaFirst),
                 after_first.toStdU16String());
    }

    void namesThatGetNoRow() {
        QVERIFY(!contact_has_row(""));
        QVERIFY(!contact_has_row(" "));
        QVERIFY(contact_has_row("  "));
        QVERIFY(contact_has_row("A"));
    }

    void soundPreviewPlaysFirstSelectionThenSkipsANewFoldersFirst() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("other")));
        const QString a = dir.filePath(QStringLiteral("a.wav"));
        const QString b = dir.filePath(QStringLiteral("b.wav"));
        const QString c = dir.filePath(QStringLiteral("other/c.wav"));
        const QString d = dir.filePath(QStringLiteral("other/d.wav"));
        for (const QString& path : {a, b, c, d})
            QVERIFY(write_file(path));

        SoundPreview preview;
        QVERIFY(preview.on_selection(a));   // first selection after opening
        QVERIFY(preview.on_selection(b));   // same folder
        QVERIFY(!preview.on_selection(c));  // first in another folder
        QCOMPARE(preview.last_folder(), dir.filePath(QStringLiteral("other")));
        QVERIFY(preview.on_selection(d));
        QVERIFY(preview.on_selection(c));
    }

    void soundPreviewSkipsUnreadableAndShortPaths() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SoundPreview preview;
        QVERIFY(!preview.on_selection(QStringLiteral("/a")));
        QVERIFY(preview.last_folder().isEmpty());  // too short to count
        QVERIFY(!preview.on_selection(dir.filePath(QStringLiteral("missing.wav"))));
        QCOMPARE(preview.last_folder(), dir.path());
        const QString there = dir.filePath(QStringLiteral("there.wav"));
        QVERIFY(write_file(there));
        QVERIFY(preview.on_selection(there));
    }
};

QTEST_MAIN(TextRulesTest)
#include "text_rules_test.moc"
