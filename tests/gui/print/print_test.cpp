// A conversation as PDF, read back with poppler's pdftotext and pdfinfo: the
// header, the period, the page numbers, every message exactly once across
// page breaks, line breaks kept, and the locale's paper.
#include <sys/stat.h>
#include <time.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "desktop/print/archive.h"
#include "desktop/print/conversation_print.h"
#include "tests/store/store_test_support.h"

using namespace quillet;

namespace {

// 2026-03-14 09:30:00 UTC
constexpr int64_t kMorning = 1'773'480'600;

SmsMessage message(std::u16string_view text, std::string_view number, int64_t unix_time) {
    return test::message(text, number, filetime_from_unix(unix_time));
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60'000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdf_text(const QString& path) {
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
}

}  // namespace

class PrintTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        qputenv("TZ", "UTC0");
        tzset();
        QVERIFY(dir_.isValid());
    }

    void conversationPdfShowsHeaderPeriodPagesAndMessages() {
        SmsBox inbox(BoxKind::Inbox);
        SmsBox sent(BoxKind::SentItems);
        SmsBox deleted(BoxKind::DeletedItems);
        inbox.append(message(u"Are you coming?\nBring the cake", "+4915112345678", kMorning));
        sent.append(message(u"Yes <at 8> & on time", "0151 12345678", kMorning + 600));
        deleted.append(message(u"Old news", "+4915112345678", kMorning + 86'400));
        inbox.append(message(u"Someone else", "+15550001111", kMorning + 60));
        const Correspondence c =
            correspondence_with("+4915112345678", {inbox, sent, &deleted}, PhoneNumbers("DE"));
        QCOMPARE(c.messages.size(), size_t{3});

        const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
        const QString path = dir_.filePath(QStringLiteral("nora.pdf"));
        const QString title = correspondent_title(u"Nora Weiss", c.number);
        QCOMPARE(title, QStringLiteral("Nora Weiss (+4915112345678)"));
        QVERIFY(write_conversation_pdf(path, {title, &c}, locale).ok());

        const QString text = pdf_text(path);
        QVERIFY2(!text.isEmpty(), "pdftotext could not read the file");
        QVERIFY(text.contains(QStringLiteral("Nora Weiss (+4915112345678)")));
        QVERIFY2(text.contains(QStringLiteral("14/03/2026 \u2013 15/03/2026")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Page 1 of 1")));
        QVERIFY(text.contains(QStringLiteral("Are you coming?")));
        QVERIFY(text.contains(QStringLiteral("Bring the cake")));
        QVERIFY(text.contains(QStringLiteral("Yes <at 8> & on time")));
        QVERIFY(text.contains(QStringLiteral("deleted on device")));
        QVERIFY(text.contains(QStringLiteral("Saturday, 14 March 2026")));
        QVERIFY(!text.contains(QStringLiteral("Someone else")));
        // The two lines of the first message stay two lines.
        QVERIFY(text.indexOf(QStringLiteral("Bring the cake")) >
                text.indexOf(QStringLiteral("Are you coming?")) + 15);
        QVERIFY(run(QStringLiteral("pdfinfo"), {path}).contains(QStringLiteral("(A4)")));
    }

    void longConversationKeepsEveryMessageOnceAcrossPages() {
        SmsBox inbox(BoxKind::Inbox);
        SmsBox sent(BoxKind::SentItems);
        for (int i = 0; i < 300; ++i) {
            SmsBox& box = i % 2 == 0 ? inbox : sent;
            const std::u16string text =
                u"message " + QString::number(1000 + i).toStdU16String() + u" line\nsecond line";
            box.append(message(text, "5550100", kMorning + i * 3600));
        }
        const Correspondence c = correspondence_with("5550100", {inbox, sent}, PhoneNumbers("DE"));
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QString path = dir_.filePath(QStringLiteral("long.pdf"));
        QVERIFY(write_conversation_pdf(path, {QStringLiteral("5550100"), &c}, us).ok());
        const QString text = pdf_text(path);
        const QString info = run(QStringLiteral("pdfinfo"), {path});
        QVERIFY2(info.contains(QStringLiteral("(letter)")), qPrintable(info));
        const int pages = info.section(QStringLiteral("Pages:"), 1)
                              .trimmed()
                              .section(QLatin1Char('\n'), 0, 0)
                              .toInt();
        QVERIFY2(pages > 3, qPrintable(info));
        QVERIFY(text.contains(QStringLiteral("Page 1 of %1").arg(pages)));
        QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages)));
        for (int i = 0; i < 300; ++i) {
            const QString token = QStringLiteral("message %1 line").arg(1000 + i);
            QCOMPARE(text.count(token), 1);
        }
        QCOMPARE(text.count(QStringLiteral("second line")), 300);
    }

    // Emoji print from the font that has them (U+23F0 and U+26BD are only in
    // Symbola here; those of the Basic Multilingual Plane also extract), and
    // a Hebrew or Arabic message runs from the right of its place: its time
    // and text begin past the left third.
    void emojiPrintAndRightToLeftTextsRunFromTheRight() {
        SmsBox inbox(BoxKind::Inbox);
        SmsBox sent(BoxKind::SentItems);
        const struct {
            const char16_t* text;
            QString time;
            bool from_right;
        } cases[] = {
            {u"Alarm \u23F0 football \u26BD \U0001F389", QStringLiteral("09:30"), false},
            {u"Left to right", QStringLiteral("09:31"), false},
            {u"\u05E9\u05DC\u05D5\u05DD \u05D7\u05D1\u05E8", QStringLiteral("09:32"), true},
            {u"\u0645\u0631\u062D\u0628\u0627 bye", QStringLiteral("09:33"), true}};
        for (size_t i = 0; i < std::size(cases); ++i)
            inbox.append(message(cases[i].text, "+4915112345678", kMorning + 60 * int64_t(i)));
        const Correspondence conversation =
            correspondence_with("+4915112345678", {inbox, sent, nullptr}, PhoneNumbers("DE"));
        const QString path = dir_.filePath(QStringLiteral("scripts.pdf"));
        QVERIFY(
            write_conversation_pdf(path, {QStringLiteral("x"), &conversation}, QLocale::c()).ok());
        QVERIFY(pdf_text(path).contains(QStringLiteral("\u26BD")));
        QVERIFY(run(QStringLiteral("pdffonts"), {path}).contains(QStringLiteral("Symbola")));
        // Each word with its box: <word xMin="..." ...>text</word>.
        const QString boxes =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
        const double page_width = QRegularExpression(QStringLiteral("<page width=\"([0-9.]+)\""))
                                      .match(boxes)
                                      .captured(1)
                                      .toDouble();
        QVERIFY(page_width > 0);
        for (const auto& c : cases) {
            const QRegularExpressionMatch word =
                QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>") + c.time +
                                   QStringLiteral("</word>"))
                    .match(boxes);
            QVERIFY2(word.hasMatch(), qPrintable(c.time));
            QCOMPARE(word.captured(1).toDouble() > page_width / 3, c.from_right);
        }
    }

    void paperFollowsTheLocale() {
        QCOMPARE(paper_size_for(QLocale(QLocale::English, QLocale::UnitedStates)),
                 QPageSize::Letter);
        QCOMPARE(paper_size_for(QLocale(QLocale::French, QLocale::France)), QPageSize::A4);
        QCOMPARE(paper_size_for(QLocale(QLocale::German, QLocale::Germany)), QPageSize::A4);
    }

    void failedWriteSaysWhyAndAnEmptyConversationPrints() {
        const Correspondence c;
        const QString missing = dir_.filePath(QStringLiteral("no/such/folder/x.pdf"));
        const Outcome failed =
            write_conversation_pdf(missing, {QStringLiteral("x"), &c}, QLocale::c());
        QCOMPARE(failed.kind(), Outcome::Kind::Unwritable);
        QVERIFY(failed.what().find("x.pdf") != std::string::npos);
        const QString path = dir_.filePath(QStringLiteral("empty.pdf"));
        QVERIFY(write_conversation_pdf(path, {QStringLiteral("12"), &c}, QLocale::c()).ok());
        QVERIFY(pdf_text(path).contains(QStringLiteral("No messages.")));
    }

    void archiveHoldsEveryFormatAndAPdfPerCorrespondent() {
        SmsBox inbox(BoxKind::Inbox);
        SmsBox sent(BoxKind::SentItems);
        SmsBox deleted(BoxKind::DeletedItems);
        inbox.append(message(u"Hello from Nora", "+4915112345678", kMorning));
        sent.append(message(u"Hi Nora", "0151 12345678", kMorning + 60));
        SmsMessage group = message(u"To both of you", "", kMorning + 120);
        group.set_number_raw("+4915112345678;7788");
        sent.append(group);
        SmsMessage bank = message(u"Your code is 1234", "", kMorning + 180);
        bank.set_number_raw("Bank");  // a sender name, as a box file may hold
        deleted.append(bank);
        // In Germany, where the national spelling is Nora's number too.
        ContactList contacts(PhoneNumbers("DE"));
        contacts.append(make_contact("Nora,Weiss", "0151 12345678"));
        contacts.append(make_contact("A/B: \"odd\"", "7788"));
        contacts.sort_contacts();

        const QString folder = dir_.filePath(QStringLiteral("archive"));
        const mode_t old_mask = ::umask(027);
        std::vector<size_t> progress;
        const ArchiveReport r =
            write_archive(folder, {inbox, sent, &deleted}, contacts,
                          QLocale(QLocale::English, QLocale::UnitedKingdom),
                          [&](size_t done, size_t) { progress.push_back(done); });
        ::umask(old_mask);
        QVERIFY2(r.outcome.ok(), r.outcome.what().c_str());
        QCOMPARE(r.messages, size_t{3});  // the group message once, to both
        QCOMPARE(r.cards, size_t{2});
        QCOMPARE(r.conversations, size_t{3});
        QCOMPARE(progress, (std::vector<size_t>{0, 1, 2}));
        const QDir archive(folder);
        QCOMPARE(QFileInfo(folder).permissions() & 0x0007,
                 QFileDevice::Permissions());  // others: none
        for (const char* name : {"sms-backup.xml", "contacts.vcf", "inbox.csv", "sent.csv",
                                 "deleted.csv", "README.txt"})
            QVERIFY2(archive.exists(QLatin1String(name)), name);
        QFile csv(archive.filePath(QStringLiteral("deleted.csv")));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().contains("Your code is 1234"));
        QFile readme(archive.filePath(QStringLiteral("README.txt")));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        QVERIFY(readme.readAll().contains("contacts.vcf"));

        const QStringList pdfs = QDir(archive.filePath(QStringLiteral("conversations")))
                                     .entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
        QCOMPARE(pdfs,
                 (QStringList{QStringLiteral("A_B_ _odd_ (7788).pdf"), QStringLiteral("Bank.pdf"),
                              QStringLiteral("Nora Weiss (+4915112345678).pdf")}));
        const QString nora =
            pdf_text(archive.filePath(QStringLiteral("conversations/") + pdfs.at(2)));
        QVERIFY(nora.contains(QStringLiteral("Hello from Nora")));
        QVERIFY(nora.contains(QStringLiteral("Hi Nora")));
        QVERIFY(nora.contains(QStringLiteral("To both of you")));
        QVERIFY(!nora.contains(QStringLiteral("Your code")));

        // Never into an existing folder; a failure leaves nothing behind.
        const ArchiveReport again =
            write_archive(folder, {inbox, sent, &deleted}, contacts, QLocale::c());
        QVERIFY(!again.outcome.ok());
        QFile blocker(dir_.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const ArchiveReport blocked =
            write_archive(dir_.filePath(QStringLiteral("file/archive")), {inbox, sent, &deleted},
                          contacts, QLocale::c());
        QVERIFY(!blocked.outcome.ok());
        QCOMPARE(QDir(dir_.path())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                     .size(),
                 QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
    }

  private:
    QTemporaryDir dir_;
};

QTEST_MAIN(PrintTest)
#include "print_test.moc"
